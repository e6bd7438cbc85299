#include "clean/restart_operations.h"

#include <map>

#include "base/handles.h"
#include "base/text.h"
#include "clean/pending_list_format.h"
#include "clean/search_delete.h"
#include "clean/wininit_format.h"
#include "startup/api.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"
#include "startup/registry_data.h"

namespace qm {

namespace {

constexpr wchar_t kRecordSeparator = L'|';  // never part of a path
constexpr std::uint64_t kMaxWininitSize = 1u << 20;
constexpr int kWriteAttempts = 3;

// ---- Registry values, raw ----------------------------------------------------------------

struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const StoredValue& other) const {
        return present == other.present && type == other.type && bytes == other.bytes;
    }
};

// False when the key or value could not be read for another reason than being absent.
bool ReadStored(HKEY root, const wchar_t* key, const wchar_t* name, StoredValue& value) {
    value = StoredValue{};
    UniqueRegKey opened;
    LSTATUS status = ::RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, opened.put());
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return false;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        DWORD size = 0;
        status = ::RegQueryValueExW(opened.get(), name, nullptr, &value.type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND) return true;
        if (status != ERROR_SUCCESS) return false;
        value.bytes.resize(size);
        status = ::RegQueryValueExW(opened.get(), name, nullptr, &value.type, value.bytes.data(), &size);
        if (status == ERROR_MORE_DATA) continue;  // it grew meanwhile
        if (status != ERROR_SUCCESS) return false;
        value.bytes.resize(size);
        value.present = true;
        return true;
    }
    return false;
}

// Writes characters (NULs included) as REG_MULTI_SZ, or deletes the value when empty.
bool WriteMulti(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& characters) {
    UniqueRegKey opened;
    if (::RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.put(), nullptr) != ERROR_SUCCESS)
        return false;
    if (characters.empty()) {
        const LSTATUS status = ::RegDeleteValueW(opened.get(), name);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return ::RegSetValueExW(opened.get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(characters.data()),
                            static_cast<DWORD>(characters.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void AddToOwnList(const wchar_t* name, const std::wstring& entry) {
    std::vector<std::wstring> strings = ReadOwnList(name);
    for (const auto& existing : strings)
        if (EqualsNoCase(existing, entry)) return;
    strings.push_back(entry);
    WriteOwnList(name, strings);
}

bool ReadPending(StoredValue& value) { return ReadStored(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, value); }

// ---- Paths -------------------------------------------------------------------------------

// Something that exists and is no link; a folder only for a deletion (which the system
// carries out when the folder is empty by then).
bool IsSchedulable(const std::wstring& path, bool deletion) {
    const DWORD attributes = ::GetFileAttributesW(UnicodeFid(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return deletion || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring RecordOf(const RestartPair& pair) { return pair.source + kRecordSeparator + pair.destination; }

std::optional<RestartPair> PairOfRecord(const std::wstring& record) {
    const size_t separator = record.find(kRecordSeparator);
    if (separator == std::wstring::npos) return std::nullopt;
    return RestartPair{record.substr(0, separator), record.substr(separator + 1)};
}

bool HoldsPair(const PendingText& pending, const RestartPair& pair) {
    for (const auto& entry : pending.entries)
        if (SamePair({FromU16(entry.source), FromU16(entry.destination)}, pair)) return true;
    return false;
}

// The records whose pair the list still holds: a pair the restart carried out is no longer
// ours, and another program may schedule the very same pair later.
std::vector<std::wstring> RecordsStillPending(const PendingText& pending) {
    std::vector<std::wstring> kept;
    for (const auto& record : ReadOwnList(kOwnPendingValue)) {
        const std::optional<RestartPair> pair = PairOfRecord(record);
        if (pair && HoldsPair(pending, *pair)) kept.push_back(record);
    }
    return kept;
}

// The system's list as read now; nothing when it cannot be read exactly.
std::optional<PendingText> ReadPendingText(StoredValue& stored) {
    if (!ReadPending(stored)) return std::nullopt;
    if (!stored.present) return PendingText{};
    return ParsePendingText(stored.type, stored.bytes);
}

// Wininit.ini lines compare in the code page's letter case.
bool SameAnsiLine(std::string_view a, std::string_view b) { return EqualsNoCase(WidenAnsi(a), WidenAnsi(b)); }

using WininitLines = std::map<std::wstring, std::vector<std::string>, NoCaseLess>;
// The recorded Wininit.ini lines, by the file they were added to.
WininitLines OwnWininitLinesByFile() {
    WininitLines byFile;
    for (const auto& record : ReadOwnList(kOwnWininitValue)) {
        const size_t separator = record.find(kRecordSeparator);
        if (separator != std::wstring::npos)
            byFile[record.substr(0, separator)].push_back(NarrowAnsi(record.substr(separator + 1)));
    }
    return byFile;
}

// A recorded line "<target>=<path's short form>" that its file still holds: the system
// carries the lines out at the restart and puts the file aside.
bool IsOwnWininitMoveSource(const std::wstring& path) {
    const std::wstring shortPath = GetShortPath(path);
    if (shortPath.empty()) return false;
    for (const auto& [file, lines] : OwnWininitLinesByFile()) {
        std::vector<std::string> moves;
        for (const auto& line : lines) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos && !SameAnsiLine(line.substr(0, equals), "Nul") &&
                EqualsNoCase(WidenAnsi(line.substr(equals + 1)), shortPath))
                moves.push_back(line);
        }
        if (moves.empty()) continue;
        const BoundedRead read = ReadFileBounded(file, kMaxWininitSize);
        if (read.opened && (!read.complete || WithoutRenameLines(read.bytes, moves, SameAnsiLine) != read.bytes))
            return true;
    }
    return false;
}

}  // namespace

std::vector<std::wstring> ReadOwnList(const wchar_t* name) {
    StoredValue value;
    std::vector<std::wstring> strings;
    if (!ReadStored(HKEY_CURRENT_USER, kProgramKey, name, value) || !value.present || value.type != REG_MULTI_SZ)
        return strings;
    for (const auto& item : MultiStringItems(value.bytes)) strings.push_back(FromU16(item));
    return strings;
}

bool WriteOwnList(const wchar_t* name, const std::vector<std::wstring>& strings) {
    std::wstring characters;
    for (const auto& text : strings) characters += text + L'\0';
    if (!characters.empty()) characters += L'\0';
    return WriteMulti(HKEY_CURRENT_USER, kProgramKey, name, characters);
}

bool SamePair(const RestartPair& a, const RestartPair& b) {
    return EqualsNoCase(a.source, b.source) && EqualsNoCase(a.destination, b.destination);
}

std::wstring SystemPathForm(const std::wstring& fullPath) {
    std::wstring plain = fullPath;
    if (StartsWith(plain, L"\\\\?\\")) plain = plain.substr(4);
    else if (StartsWith(plain, L"\\\\")) plain = L"UNC\\" + plain.substr(2);
    return L"\\??\\" + plain;
}

std::optional<PendingList> ParsePendingList(DWORD type, const std::vector<BYTE>& bytes) {
    const std::optional<PendingText> parsed = ParsePendingText(type, bytes);
    if (!parsed) return std::nullopt;
    PendingList list;
    list.raw = FromU16(parsed->raw);
    for (const auto& entry : parsed->entries)
        list.entries.push_back({{FromU16(entry.source), FromU16(entry.destination)}, entry.begin, entry.end});
    return list;
}

Scheduled ScheduleAtRestart(const std::wstring& source, const std::wstring& destination) {
    if (!IsFullPath(source) || (!destination.empty() && !IsFullPath(destination))) return Scheduled::Skipped;
    if (!IsSchedulable(source, destination.empty())) return Scheduled::Skipped;
    const std::wstring longSource = UnicodeFid(source);
    const std::wstring longDestination = destination.empty() ? std::wstring() : UnicodeFid(destination);
    const RestartPair pair{SystemPathForm(longSource),
                           destination.empty() ? std::wstring() : L"!" + SystemPathForm(longDestination)};

    StoredValue stored;
    const std::optional<PendingText> pending = ReadPendingText(stored);
    if (!pending) return Scheduled::Failed;  // the system would append to a value it cannot read either
    if (HoldsPair(*pending, pair)) return Scheduled::AlreadyThere;

    // The system's own call appends to the list and never rewrites what is there.
    const DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT | (destination.empty() ? 0 : MOVEFILE_REPLACE_EXISTING);
    if (!::MoveFileExW(longSource.c_str(), destination.empty() ? nullptr : longDestination.c_str(), flags))
        return Scheduled::Failed;
    std::vector<std::wstring> records = RecordsStillPending(*pending);
    records.push_back(RecordOf(pair));
    WriteOwnList(kOwnPendingValue, records);
    return Scheduled::Added;
}

bool ForgetCarriedOutRestartOperations() {
    if (ReadOwnList(kOwnPendingValue).empty()) return true;
    StoredValue stored;
    const std::optional<PendingText> pending = ReadPendingText(stored);
    return pending && WriteOwnList(kOwnPendingValue, RecordsStillPending(*pending));
}

bool IsOwnPendingMoveSource(const std::wstring& path) {
    const std::wstring source = SystemPathForm(UnicodeFid(path));
    for (const auto& pair : OwnRestartPairs())
        if (!pair.destination.empty() && EqualsNoCase(pair.source, source)) return true;
    return IsOwnWininitMoveSource(path);
}

std::vector<RestartPair> OwnRestartPairs() {
    std::vector<RestartPair> pairs;
    for (const auto& record : ReadOwnList(kOwnPendingValue))
        if (const std::optional<RestartPair> pair = PairOfRecord(record)) pairs.push_back(*pair);
    return pairs;
}

bool WithdrawOwnRestartOperations() {
    const std::vector<RestartPair> own = OwnRestartPairs();
    if (own.empty()) return true;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        StoredValue stored;
        if (!ReadPending(stored)) return false;
        if (!stored.present) return WriteOwnList(kOwnPendingValue, {});
        const std::optional<PendingText> pending = ParsePendingText(stored.type, stored.bytes);
        if (!pending) return false;

        // Each of our pairs takes out one pending entry, the first that matches it.
        std::vector<bool> ownUsed(own.size(), false);
        std::vector<bool> withdrawn(pending->entries.size(), false);
        bool changed = false;
        for (size_t i = 0; i < pending->entries.size(); ++i) {
            const auto& entry = pending->entries[i];
            const RestartPair pair{FromU16(entry.source), FromU16(entry.destination)};
            size_t match = 0;
            while (match < own.size() && (ownUsed[match] || !SamePair(own[match], pair))) ++match;
            if (match < own.size()) ownUsed[match] = withdrawn[i] = changed = true;
        }
        // Nothing of ours is pending any more (the restart carried it out): forget it.
        if (!changed) return WriteOwnList(kOwnPendingValue, {});
        // Another program may have added an entry since the list was read: write only over
        // the list that was read.
        StoredValue again;
        if (!ReadPending(again) || !(again == stored)) continue;
        const std::wstring kept = FromU16(PendingTextWithout(*pending, withdrawn));
        if (!WriteMulti(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, kept)) return false;
        return WriteOwnList(kOwnPendingValue, {});
    }
    return false;
}

std::string WithRenameLines(std::string_view text, const std::vector<std::string>& lines,
                            std::vector<std::string>& added) {
    return WithRenameLines(text, lines, added, SameAnsiLine);
}

std::string WithoutRenameLines(std::string_view text, const std::vector<std::string>& lines) {
    return WithoutRenameLines(text, lines, SameAnsiLine);
}

bool AddWininitLines(const std::wstring& wininit, const std::vector<std::string>& lines, int& added) {
    added = 0;
    const BoundedRead read = ReadFileBounded(wininit, kMaxWininitSize);
    if (read.opened ? !read.complete : read.error != ERROR_FILE_NOT_FOUND) return false;
    std::vector<std::string> newLines;
    const std::string text = WithRenameLines(read.bytes, lines, newLines);
    if (newLines.empty()) return true;
    if (ReplaceWholeFile(wininit, text) != 0) return false;
    for (const auto& line : newLines) AddToOwnList(kOwnWininitValue, wininit + kRecordSeparator + WidenAnsi(line));
    added = static_cast<int>(newLines.size());
    return true;
}

bool WithdrawOwnWininitLines() {
    std::vector<std::wstring> remaining;
    for (const auto& [file, lines] : OwnWininitLinesByFile()) {
        const BoundedRead read = ReadFileBounded(file, kMaxWininitSize);
        if (!read.opened) continue;  // the file is gone: so are the lines
        const std::string text = read.complete ? WithoutRenameLines(read.bytes, lines) : read.bytes;
        if (read.complete && (text == read.bytes || ReplaceWholeFile(file, text) == 0)) continue;
        for (const auto& line : lines) remaining.push_back(file + kRecordSeparator + WidenAnsi(line));
    }
    WriteOwnList(kOwnWininitValue, remaining);
    return remaining.empty();
}

}  // namespace qm

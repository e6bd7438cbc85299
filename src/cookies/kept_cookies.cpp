#include "cookies/kept_cookies.h"

#include <algorithm>
#include <utility>

#include "base/handles.h"
#include "base/text.h"
#include "cookies/discovery.h"
#include "cookies/kept_list_format.h"
#include "cookies/ns_cookies.h"

namespace qm {

namespace {

// Every numbered value of an open key; false (and error set) when the key cannot be listed.
bool ListNumbered(HKEY key, std::vector<StoredValueData>& values, DWORD& error) {
    std::vector<wchar_t> name(256);
    std::vector<BYTE> data(1024);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        error = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (error == ERROR_NO_MORE_ITEMS) {
            error = ERROR_SUCCESS;
            return true;
        }
        if (error == ERROR_MORE_DATA) {  // either buffer was short: grow both and ask again
            if (name.size() >= 32768 && data.size() >= (64u << 20)) return false;
            name.resize(std::max<size_t>(name.size() * 2, 32768));
            data.resize(std::max<size_t>(data.size() * 4, size));
            continue;
        }
        if (error != ERROR_SUCCESS) return false;
        ++index;
        std::u16string valueName = ToU16(std::wstring_view(name.data(), nameLength));
        if (IsDecimalName(valueName))
            values.push_back({std::move(valueName), type, std::vector<std::uint8_t>(data.begin(), data.begin() + size)});
    }
}

HKEY OpenKept(const std::wstring& key, REGSAM access, LSTATUS& status) {
    HKEY handle = nullptr;
    status = ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access, &handle);
    return status == ERROR_SUCCESS ? handle : nullptr;
}

}  // namespace

const wchar_t* KeptListKeyOf(std::int32_t kind) {
    switch (kind & kFamilyMask) {
        case kFamilyMsie: return kMsieSavedKey;
        case kFamilyNetscape: return kNsSavedKey;
        case kFamilyFireFox: return kFireFoxSavedKey;
        case kFamilyChromium: return kChromiumSavedKey;
        default: return nullptr;
    }
}

KeptList ReadKeptList(const std::wstring& key) {
    KeptList list;
    LSTATUS status = ERROR_SUCCESS;
    const UniqueRegKey handle(OpenKept(key, KEY_QUERY_VALUE, status));
    if (!handle) {
        if (status == ERROR_FILE_NOT_FOUND) return list;
        list.state = KeptList::State::Damaged;
        list.error = static_cast<DWORD>(status);
        return list;
    }
    std::vector<StoredValueData> values;
    if (!ListNumbered(handle.get(), values, list.error)) {
        list.state = KeptList::State::Damaged;
        return list;
    }
    const std::optional<std::vector<std::u16string>> entries = KeptEntriesOf(values);
    if (!entries) {
        list.state = KeptList::State::Damaged;
        list.error = ERROR_INVALID_DATATYPE;
        return list;
    }
    list.state = KeptList::State::Entries;
    for (const auto& entry : *entries) list.entries.push_back(FromU16(entry));
    return list;
}

bool WriteKeptList(const std::wstring& key, const std::vector<std::wstring>& entries) {
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          &raw, nullptr) != ERROR_SUCCESS)
        return false;
    const UniqueRegKey handle(raw);

    // The new values go in first, so a failure part-way never leaves fewer entries stored.
    std::unordered_set<std::wstring> written;
    for (const auto& entry : entries) {
        if (entry.empty() || entry == L"0") continue;
        const std::wstring name = std::to_wstring(written.size());
        const auto bytes = static_cast<DWORD>((entry.size() + 1) * sizeof(wchar_t));
        if (::RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.c_str()),
                             bytes) != ERROR_SUCCESS)
            return false;
        written.insert(name);
    }

    std::vector<std::wstring> stale;
    std::vector<wchar_t> name(32768);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status = ::RegEnumValueW(handle.get(), index, name.data(), &length, nullptr, nullptr, nullptr,
                                               nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return false;
        std::wstring valueName(name.data(), length);
        if (IsDecimalName(ToU16(valueName)) && !written.count(valueName)) stale.push_back(std::move(valueName));
    }
    bool removed = true;
    for (const auto& valueName : stale)
        removed = ::RegDeleteValueW(handle.get(), valueName.c_str()) == ERROR_SUCCESS && removed;
    return removed;
}

KeptChange KeepCookieLine(const std::wstring& key, const std::wstring& line) {
    if (line.empty()) return KeptChange::Nothing;
    KeptList list = ReadKeptList(key);
    if (list.Damaged()) return KeptChange::Damaged;
    list.entries.push_back(line);
    return WriteKeptList(key, list.entries) ? KeptChange::Done : KeptChange::Failed;
}

KeptChange DropKeptEntry(const std::wstring& key, int index, const std::wstring& expected) {
    KeptList list = ReadKeptList(key);
    if (list.Damaged()) return KeptChange::Damaged;
    auto& entries = list.entries;
    auto at = entries.end();
    if (index >= 0 && static_cast<size_t>(index) < entries.size() && entries[static_cast<size_t>(index)] == expected)
        at = entries.begin() + index;
    else
        at = std::find(entries.begin(), entries.end(), expected);
    if (at == entries.end()) return KeptChange::Nothing;
    entries.erase(at);
    return WriteKeptList(key, entries) ? KeptChange::Done : KeptChange::Failed;
}

std::wstring_view CookieStem(std::wstring_view cookieLine) {
    const std::wstring_view first = cookieLine.substr(0, cookieLine.find(L'\t'));
    return first.substr(0, first.find(L'['));
}

KeptIdentities IdentitiesOf(const std::vector<std::wstring>& entries) {
    KeptIdentities kept;
    for (const auto& entry : entries) {
        kept.identities.insert(CookieIdentity(entry));
        kept.stems.emplace(CookieStem(entry));
    }
    return kept;
}

}  // namespace qm

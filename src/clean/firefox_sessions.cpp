#include "clean/firefox_sessions.h"

#include <optional>
#include <vector>

#include "base/text.h"
#include "clean/search_delete.h"

namespace qm {

namespace {

// One listing of the profile by this mask finds every name below and nothing unrelated.
constexpr wchar_t kSessionMask[] = L"sessionstore*";
constexpr const wchar_t* kSessionFiles[] = {L"sessionstore.jsonlz4", L"sessionstore.js", L"sessionstore.bak"};
constexpr wchar_t kBackupsFolder[] = L"sessionstore-backups";

bool IsSessionFileName(std::wstring_view name) {
    for (const wchar_t* known : kSessionFiles)
        if (EqualsNoCase(name, known)) return true;
    return false;
}

// A listed entry kept past its listing, so that nothing is deleted while a listing runs.
struct KeptEntry {
    std::wstring name;
    DWORD attributes;
    ULONGLONG fileIndex;
    ListedEntry View() const { return {name, attributes, fileIndex}; }
};
KeptEntry KeepEntry(const ListedEntry& entry) { return {std::wstring(entry.name), entry.attributes, entry.fileIndex}; }

}  // namespace

void ForEachSessionFile(const WalkFolder& profile, const SessionFileVisit& visit) {
    std::vector<KeptEntry> files;
    std::optional<ListedFolder> backups;
    profile.ForEachEntryMatching(kSessionMask, [&](const ListedEntry& entry) {
        if (!entry.IsFolder() && IsSessionFileName(entry.name)) files.push_back(KeepEntry(entry));
        else if (entry.IsFolder() && EqualsNoCase(entry.name, kBackupsFolder)) backups = profile.Keep(entry);
    });
    for (const auto& file : files) visit(profile, file.View());
    if (!backups) return;

    const std::optional<WalkFolder> folder = profile.OpenChild(*backups);
    if (!folder) return;
    files.clear();
    folder->ForEachEntry([&](const ListedEntry& entry) {
        if (!entry.IsFolder()) files.push_back(KeepEntry(entry));
    });
    for (const auto& file : files) visit(*folder, file.View());
}

std::vector<std::wstring> SessionFileNames(const std::wstring& profileFolder) {
    std::vector<std::wstring> names;
    const std::optional<GatedPath> gated = GatePath(profileFolder, PathOrigin::Listing);
    const std::optional<WalkFolder> profile = gated ? WalkFolder::OpenTop(*gated) : std::nullopt;
    if (profile)
        ForEachSessionFile(*profile, [&](const WalkFolder&, const ListedEntry& file) { names.emplace_back(file.name); });
    return names;
}

}  // namespace qm

#include "clean/next_start_deletes.h"

#include <map>
#include <optional>
#include <set>

#include "clean/deletion_guard.h"
#include "clean/held_delete.h"
#include "clean/report_recording.h"
#include "clean/restart_operations.h"
#include "clean/search_delete.h"

namespace qm {

namespace {

struct NotedFile {
    std::wstring name;
    DWORD attributes = 0;
};

// The noted names of one folder that its listing still shows, exactly so spelt (no folders).
std::vector<NotedFile> StillListed(const WalkFolder& folder, const std::set<std::wstring>& names) {
    std::vector<NotedFile> listed;
    folder.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.IsFolder() || !names.count(std::wstring(entry.name))) return;
        listed.push_back({std::wstring(entry.name), entry.attributes});
    });
    return listed;
}

}  // namespace

void RemoveAtNextStart(AppContext& ctx, const std::vector<std::wstring>& paths) {
    if (paths.empty()) return;
    for (const auto& path : paths) ReportKeptUntilNextStart(ctx, path);
    if (IsPreview(ctx)) return;
    std::vector<std::wstring> noted = ReadOwnList(kNextStartValue);
    std::set<std::wstring> known(noted.begin(), noted.end());
    for (const auto& path : paths) {
        const std::wstring plain = WithoutLongPrefix(path);
        if (known.insert(plain).second) noted.push_back(plain);
    }
    WriteOwnList(kNextStartValue, noted);
}

void RemoveNotedFiles(AppContext& ctx) {
    const std::vector<std::wstring> noted = ReadOwnList(kNextStartValue);
    if (noted.empty()) return;
    WriteOwnList(kNextStartValue, {});  // forgotten first: nothing is tried twice
    std::map<std::wstring, std::set<std::wstring>> byFolder;
    for (const auto& path : noted) {
        const size_t slash = path.find_last_of(L'\\');
        if (slash != std::wstring::npos && slash + 1 < path.size())
            byFolder[path.substr(0, slash)].insert(path.substr(slash + 1));
    }
    const DeletionGuard guard;
    for (const auto& [folder, names] : byFolder) {
        const GuardVerdict verdict = guard.Check(folder, RootKind::InternetCache, PathOrigin::Listing);
        if (!verdict.root) continue;
        DeletePass pass(ctx);
        for (const auto& file : StillListed(verdict.root->Folder(), names))
            pass.DeleteFile(verdict.root->Folder(), file.name, file.attributes);
    }
}

}  // namespace qm

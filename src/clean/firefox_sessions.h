#pragma once
// The session files of a Firefox profile (open tabs, form data, session cookies): the only
// files a clean takes from a profile folder. The profile is asked for those names alone, so
// nothing else of it (bookmarks, history, passwords) is listed, opened or changed.
#include <functional>
#include <string>
#include <vector>

#include "clean/folder_walk.h"

namespace qm {

// Calls visit(folder, file) for every session file of the held profile folder, while the
// folder it was listed in is held: "sessionstore.jsonlz4", "sessionstore.js" and
// "sessionstore.bak" in the profile, and every file of its "sessionstore-backups" folder
// (entered only when it is no link and still the folder listed).
using SessionFileVisit = std::function<void(const WalkFolder& folder, const ListedEntry& file)>;
void ForEachSessionFile(const WalkFolder& profile, const SessionFileVisit& visit);

// The names of the session files a profile folder holds now, for the previews.
std::vector<std::wstring> SessionFileNames(const std::wstring& profileFolder);

}  // namespace qm

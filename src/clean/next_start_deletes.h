#pragma once
// Files a clean found in use (cache files, session files) wait for the program's next start
// instead of the system's restart: the system would delete them with full rights, by path,
// through whatever their folders had become by then (a folder turned into a link sends the
// delete behind it). Here each goes as the user, through the guard and the held routine.
#include <string>
#include <vector>

namespace qm {

class AppContext;

// The program key's value listing the files (REG_MULTI_SZ, full paths as listed).
inline constexpr wchar_t kNextStartValue[] = L"RemoveAtNextStart";
// The reason a report gives such a file.
inline constexpr wchar_t kInUseUntilNextStartReason[] = L"in use by another program; removed at the next start";

// Notes files the walk listed and found in use (exact paths) for the next start, and says so
// in the run's report. A preview only says so.
void RemoveAtNextStart(AppContext& ctx, const std::vector<std::wstring>& paths);

// Deletes the noted files, each only when its folder passes the guard again and still lists
// it by that name, and forgets them all: what stays is the next clean's. Runs at start, under
// the clean lock.
void RemoveNotedFiles(AppContext& ctx);

}  // namespace qm

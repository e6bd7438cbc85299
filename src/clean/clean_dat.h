#pragma once
// Locked index files ("index.dat") handed to the restart-time operations: the program's
// side of the scheduling, with the words the user sees when it fails.
#include <functional>
#include <optional>
#include <string>

#include "clean/deletion_guard.h"
#include "clean/restart_operations.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kNoWindowsFolderText[] =
    L"Program Was Unable To Get The Windows Directory\r\n\r\nThe Instructions To Delete Dat Files Was Not Written!";
inline constexpr wchar_t kNotScheduledText[] =
    L"Some Files In Use Could Not Be Set To Be Removed At The Next Restart.\r\n\r\n"
    L"Removing Files At Restart Needs Administrator Rights.";
inline constexpr wchar_t kNotWithdrawnText[] =
    L"Some Files This Program Set To Be Removed At The Next Restart Could Not Be Withdrawn.\r\n\r\n"
    L"Changing The Restart Instructions Needs Administrator Rights.";

// The Windows folder (without a trailing backslash); empty when the system cannot tell.
using WindowsFolderLookup = std::function<std::wstring()>;
std::wstring SystemWindowsFolder();

// AddCleanDat with the Windows folder (9x/ME only) from the given lookup.
void AddCleanDat(AppContext& ctx, const WindowsFolderLookup& windowsFolder);

// Which of discovery's lists names a kind of Internet Explorer folder.
enum class IeList { CookieStores, Caches };  // cboLoc, cache
// A folder that discovery lists now in list as an Internet Explorer location, held through
// the guard and still the listed folder (its final path is the listed one, so nothing on the
// way has become a link); nothing otherwise. A folder a setting merely names is no store.
std::optional<GuardedRoot> HoldListedIeFolder(AppContext& ctx, const DeletionGuard& guard, const std::wstring& folder,
                                              IeList list);

// Schedules one operation for the run: notes what waits for the restart and what failed.
Scheduled ScheduleForRun(AppContext& ctx, const std::wstring& source, const std::wstring& destination = {});
// Tells the user (once) about operations the system refused since the last time.
void ReportUnscheduled(AppContext& ctx);

}  // namespace qm

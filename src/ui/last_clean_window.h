#pragma once
// "Last Clean": what the last recorded clean removed, kept, refused, failed to remove and
// left for the restart, read from the clean log each time the window is shown. A search box
// narrows the list; Copy puts the rows shown on the clipboard as tab-separated text.
#include <windows.h>

namespace qm {

class AppContext;

inline constexpr wchar_t kLastCleanWindowClass[] = L"QuillmereLastClean";
inline constexpr wchar_t kLastCleanTitle[] = L"Last Clean";
inline constexpr wchar_t kNoCleanRecorded[] = L"No Clean Has Been Recorded Yet.";

// The controls' ids; Close is IDCANCEL, so Esc closes too.
enum : int { kLastCleanSummaryId = 100, kLastCleanSearchLabelId, kLastCleanSearchId, kLastCleanListId,
             kLastCleanLeftOutId, kLastCleanCopyId };

// Opens the window on the log's last clean, or brings the open one forward read afresh.
void ShowLastCleanWindow(AppContext& ctx);

}  // namespace qm

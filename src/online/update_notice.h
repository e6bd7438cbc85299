#pragma once
// frmUpdate: the notice of a newer version. It slides up at the work area's bottom-right
// corner, 220/255 opaque, plays the notice sound from memory and counts down seven seconds;
// a click anywhere on it starts the update, otherwise it slides away.
#include <string>

namespace qm {

class AppContext;

inline constexpr wchar_t kUpdateNoticeClass[] = L"QuillmereUpdate";
inline constexpr int kNoticeSeconds = 7;
inline constexpr int kNoticeAlpha = 220;
// The notice's two buttons: take the update, or let the notice go now.
inline constexpr wchar_t kDownloadCaption[] = L"Click here to download and install it.";
inline constexpr wchar_t kCloseNoticeCaption[] = L"Close";

// Shows the notice for ctx.update's offer (one notice at a time).
void ShowUpdateNotice(AppContext& ctx);

}  // namespace qm

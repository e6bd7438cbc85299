#pragma once
// The progress of an update check the user asked for: a moving bar until the check is over,
// and Cancel (also Esc and the close box), which ends the wait at once.
#include <windows.h>

#include <functional>

#include "base/handles.h"
#include "ui/window.h"

namespace qm {

inline constexpr wchar_t kCheckProgressClass[] = L"QuillmereCheckProgress";
inline constexpr wchar_t kCheckProgressText[] = L"Checking The Dorvik Web Site For A Newer Version...";
inline constexpr int kCheckProgressCancelId = IDCANCEL;

class CheckProgressWindow final : public Window {
public:
    // Shown centred and in front.
    explicit CheckProgressWindow(HWND owner);
    // Runs when the user cancels; then the window goes.
    void SetCancel(std::function<void()> cancel) { cancel_ = std::move(cancel); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Layout(UINT dpi);

    std::function<void()> cancel_;
    HWND text_ = nullptr, bar_ = nullptr, button_ = nullptr;
    UniqueGdiObject font_;
};

}  // namespace qm

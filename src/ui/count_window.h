#pragma once
// frmCount as a Win32 window: borderless, translucent, shown without taking the focus,
// placed and coloured as its form model says.
#include <windows.h>

#include <memory>
#include <vector>

#include "base/handles.h"
#include "base/signal.h"
#include "ui/bound_controls.h"
#include "ui/window.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kCountWindowClass[] = L"QuillmereCount";

class CountWindow final : public Window {
public:
    CountWindow(AppContext& ctx, HWND owner);
    ~CountWindow() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Layout();
    void MirrorForm();
    void Place();
    void MirrorTimer();
    bool ResultShown() const;

    AppContext& ctx_;
    std::unique_ptr<ControlBinder> binder_;
    HWND label1_ = nullptr, label2_ = nullptr, label3_ = nullptr, bar_ = nullptr;
    UniqueGdiObject countFont_, textFont_, detailFont_, background_;
    COLORREF backColor_ = CLR_INVALID;
    UINT dpi_ = 96;
    bool timerRunning_ = false;
    std::vector<Subscription> subscriptions_;
};

}  // namespace qm

#pragma once
// frmMain as a Win32 window: a tab control with one child page per tab, each page's
// controls bound to the main form model. The layout is written at 96 DPI and follows
// the DPI of the monitor the window is on.
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/signal.h"
#include "ui/bound_controls.h"
#include "ui/window.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kMainWindowClass[] = L"QuillmereMain";
inline constexpr wchar_t kMainWindowTitle[] = L"Dorvik Quillmere Program";

class MainWindow final : public Window {
public:
    // A replacement window procedure: sees every message first; a value means consumed.
    using Interceptor = std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)>;

    explicit MainWindow(AppContext& ctx);
    ~MainWindow() override;

    void SetInterceptor(Interceptor interceptor) { interceptor_ = std::move(interceptor); }
    // The child page of a tab, and a control of the window by its id.
    HWND Page(int tab) const;
    HWND Control(int id) const;
    HWND Tabs() const { return tabs_; }
    // Ctrl+Tab and Ctrl+Shift+Tab move between the tabs; true when the key was taken.
    bool TranslateTabKeys(const MSG& message);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class PageView;
    struct Placed {
        HWND control;
        int page;
        RECT design;  // in 96-DPI pixels, on its page
    };

    void BuildPages();
    HWND Add(int page, const wchar_t* className, DWORD style, int id, RECT design, const wchar_t* text = L"");
    void BuildOptionsPage();
    void BuildInternetPage();
    void BuildTempPage();
    void BuildCookiesPage();
    void BuildYourFolderPage();
    void Bind();
    void Layout();
    void MirrorForm();
    void ShowPage(int tab);
    void OnPageCommand(HWND control, UINT code);
    // A key for a list box that asked for them (WM_VKEYTOITEM); true when taken.
    void MirrorDir1();
    void ChooseFolder();
    void OnPagePointer(int page, HWND control);
    ListModel* ActionList(HWND control) const;
    void OnEnter(HWND focus);
    int OnListKey(HWND control, UINT key);

    AppContext& ctx_;
    Interceptor interceptor_;
    HWND tabs_ = nullptr;
    std::array<std::unique_ptr<PageView>, 5> pages_;
    std::vector<Placed> placed_;
    std::unique_ptr<ControlBinder> binder_;
    HWND frame2_ = nullptr;
    HWND lastFocus_ = nullptr;  // the control that had the focus when the window was last left
    HWND dir1_ = nullptr;
    UniqueGdiObject font_;
    UINT dpi_ = 96;
    std::vector<Subscription> subscriptions_;
};

}  // namespace qm

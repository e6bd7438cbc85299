#pragma once
// Base of the program's Win32 windows: one static window procedure attaches the C++
// object at WM_NCCREATE and forwards every message to its HandleMessage.
#include <windows.h>

#include <functional>

#include "base/handles.h"

namespace qm {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    HWND Handle() const { return hwnd_; }
    void Destroy() { owner_.reset(); }

protected:
    struct CreateArgs {
        const wchar_t* className;
        const wchar_t* title = L"";
        DWORD style = WS_OVERLAPPEDWINDOW;
        DWORD exStyle = 0;
        int width = CW_USEDEFAULT;
        int height = CW_USEDEFAULT;
        HWND owner = nullptr;
    };
    bool Create(const CreateArgs& args);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcW(Handle(), message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;  // known from WM_NCCREATE on, before CreateWindowEx returns
    UniqueWindow owner_;   // destroys the window with this object
};

// One WM_PAINT: begun here and ended when this goes, with the client area first filled with
// the background colour and text drawn without a box of its own.
class PaintOnBackground {
public:
    PaintOnBackground(HWND window, COLORREF background);
    ~PaintOnBackground() { ::EndPaint(window_, &paint_); }
    PaintOnBackground(const PaintOnBackground&) = delete;
    PaintOnBackground& operator=(const PaintOnBackground&) = delete;
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Draws an owner-drawn button as a link: its caption in colour on background, and the
// focus rectangle while it has the keyboard focus.
void DrawLinkButton(const DRAWITEMSTRUCT& item, COLORREF background, COLORREF colour, HFONT font);

// Shows focus rectangles and keyboard cues in window and its controls from the start, not
// only after the first key.
void ShowKeyboardCues(HWND window);

// Shows or hides a control or a page, and enables or disables it. The keyboard focus never
// stays on one that is hidden or disabled (itself or a control inside it): it moves to the
// first control Tab reaches in the window, as the dialog-key handling would otherwise walk
// from something unseen.
void ShowControl(HWND control, bool shown);
void EnableControl(HWND control, bool enabled);

// Runs a modal message loop until window is destroyed (or keepGoing, asked after each
// message, answers false), with owner disabled meanwhile.
void RunModal(HWND window, HWND owner, const std::function<bool()>& keepGoing = {});

// Shows a top-level window, restored if it is minimised, in front of the others.
void BringToFront(HWND window);

// Places a top-level window in the middle of the work area of its monitor.
void CentreOnScreen(HWND window);

// Creates a child control with the GUI font.
HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id, int x, int y,
                   int width, int height);

}  // namespace qm

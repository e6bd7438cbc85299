#include "help/help_window.h"

#include <richedit.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "base/app_error.h"
#include "base/program_version.h"
#include "base/text.h"
#include "help/print_rtf.h"
#include "help/resources.h"
#include "startup/app_context.h"
#include "startup/mod_registry.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr TrapSite kTrapLoad{L"frmHelp", L"Form_Load"};
constexpr TrapSite kTrapPrint{L"frmHelp", L"sPrint_Click"};
constexpr TrapSite kTrapUnload{L"frmHelp", L"Form_Unload"};
constexpr UINT_PTR kCloseTimerId = 1;
constexpr UINT kCloseDelayMs = 1000;
constexpr int kRichEditId = 100;

// The system's rich edit control (version 4.1 and later), loaded once for the process.
const wchar_t* RichEditClass() {
    static const HMODULE library = ::LoadLibraryW(L"Msftedit.dll");
    return library ? MSFTEDIT_CLASS : nullptr;
}

int SizeFromText(std::wstring_view text, int fallback) {
    std::int64_t value = 0;
    if (!TryParseInt(text, value) || value <= 0) return fallback;
    return static_cast<int>(std::min<std::int64_t>(value, INT_MAX));
}

int Clamp(int value, int minimum, int maximum) { return std::clamp(value, minimum, std::max(minimum, maximum)); }

TwipsSize WorkAreaTwips() {
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {(area.right - area.left) * TwipsPerPixelX(), (area.bottom - area.top) * TwipsPerPixelY()};
}

// Streams bytes held in memory into the control.
struct MemoryStream {
    std::string_view bytes;
    size_t position = 0;

    static DWORD CALLBACK Read(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
        auto& self = *reinterpret_cast<MemoryStream*>(cookie);
        const size_t count = std::min(static_cast<size_t>(wanted), self.bytes.size() - self.position);
        std::copy_n(self.bytes.data() + self.position, count, buffer);
        self.position += count;
        *given = static_cast<LONG>(count);
        return 0;
    }
};

void LoadRtf(HWND richEdit, std::string_view rtf) {
    MemoryStream stream{rtf};
    EDITSTREAM edit{reinterpret_cast<DWORD_PTR>(&stream), 0, &MemoryStream::Read};
    ::SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&edit));
}

class HelpWindow final : public Window {
public:
    // Unowned, so that it has a task-bar button (an owned window gets none under Wine even
    // with WS_EX_APPWINDOW). A modal one cannot be minimised: its caller waits for it.
    HelpWindow(AppContext& ctx, bool modal) : ctx_(ctx), modal_(modal) {
        const DWORD style = modal ? WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX : WS_OVERLAPPEDWINDOW;
        Create({kHelpWindowClass, HelpCaption().c_str(), style, WS_EX_APPWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                nullptr});
        TrapStep(ctx_.dialogs, kTrapLoad, [&] { Load(); });
    }
    // query-unload, then unload: the window object ends with its window.
    void Unload() {
        if (ctx_.flags.returnToMain) {
            ::ShowWindow(Handle(), SW_HIDE);
            ctx_.frmMain.form.SetVisible(true);
            ctx_.flags.returnToMain = false;
        }
        Destroy();
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_GETMINMAXINFO: {
                auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
                limits.ptMinTrackSize = {kHelpMinimumSize.width / TwipsPerPixelX(),
                                         kHelpMinimumSize.height / TwipsPerPixelY()};
                return 0;
            }
            case WM_SIZE:
                if (wParam == SIZE_RESTORED) KeepMinimumSize();
                ::MoveWindow(richEdit_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
                return 0;
            case WM_SETFOCUS:
                ::SetFocus(richEdit_);
                return 0;
            case WM_COMMAND:
                if (lParam == 0 && LOWORD(wParam) == kHelpPrintCommand) Print();
                if (lParam == 0 && LOWORD(wParam) == kHelpCloseCommand) CloseLater();
                return 0;
            case WM_TIMER:
                if (wParam == kCloseTimerId) {
                    ::KillTimer(Handle(), kCloseTimerId);
                    Unload();
                }
                return 0;
            case WM_SYSCOMMAND:  // the task bar minimises by command, whatever the style
                if (modal_ && (wParam & 0xFFF0) == SC_MINIMIZE) return 0;
                break;
            case WM_CLOSE:
                Unload();
                return 0;
            case WM_DESTROY:
                TrapStep(ctx_.dialogs, kTrapUnload, [&] { StoreSize(); });
                return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    void Load() {
        HMENU menu = ::CreateMenu();
        ::AppendMenuW(menu, MF_STRING, kHelpPrintCommand, L"Print Help File");
        ::AppendMenuW(menu, MF_STRING, kHelpCloseCommand, L"Close Me");
        ::SetMenu(Handle(), menu);

        std::wstring width, height;
        fReadValue(L"HKCU", kProgramKey, kHelpWidthValue, L"S", L"", width);
        fReadValue(L"HKCU", kProgramKey, kHelpHeightValue, L"S", L"", height);
        const TwipsSize size = HelpSizeFromSettings(width, height, WorkAreaTwips());
        ::SetWindowPos(Handle(), nullptr, 0, 0, size.width / TwipsPerPixelX(), size.height / TwipsPerPixelY(),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        CentreOnScreen(Handle());

        RECT client{};
        ::GetClientRect(Handle(), &client);
        if (const wchar_t* richEditClass = RichEditClass())
            richEdit_ = CreateControl(Handle(), richEditClass, L"",
                                      ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                                      kRichEditId, 0, 0, client.right, client.bottom);
        if (!richEdit_) return;  // no rich edit control: the window opens empty
        ::SendMessageW(richEdit_, EM_SETEVENTMASK, 0, 0);
        LoadRtf(richEdit_, ProgramResource(IDR_HELP_TEXT));
        ::SendMessageW(richEdit_, EM_SETSEL, 0, 0);
        ::SendMessageW(richEdit_, EM_SCROLLCARET, 0, 0);
    }

    void Print() {
        const HMENU menu = ::GetMenu(Handle());
        ::EnableMenuItem(menu, kHelpPrintCommand, MF_BYCOMMAND | MF_GRAYED);
        ::DrawMenuBar(Handle());
        TrapStep(ctx_.dialogs, kTrapPrint, [&] {
            if (!PrintRTF(richEdit_, {}, HelpCaption().c_str()))
                ctx_.dialogs.ShowMessage({L"The help file could not be printed: there is no default printer.",
                                          kTitleInfo, MB_OK | MB_ICONINFORMATION, Handle()});
        });
        ::EnableMenuItem(menu, kHelpPrintCommand, MF_BYCOMMAND | MF_ENABLED);
        ::DrawMenuBar(Handle());
    }

    // A size set by a program rather than by dragging snaps back to the minimum too.
    void KeepMinimumSize() {
        RECT frame{};
        ::GetWindowRect(Handle(), &frame);
        const int minimumWidth = kHelpMinimumSize.width / TwipsPerPixelX();
        const int minimumHeight = kHelpMinimumSize.height / TwipsPerPixelY();
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        if (width >= minimumWidth && height >= minimumHeight) return;
        ::SetWindowPos(Handle(), nullptr, 0, 0, std::max(width, minimumWidth), std::max(height, minimumHeight),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void CloseLater() {
        ::ShowWindow(Handle(), SW_HIDE);
        ::SetTimer(Handle(), kCloseTimerId, kCloseDelayMs, nullptr);
    }

    // The restored size, also when the window is minimised or maximised at the end.
    void StoreSize() {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        if (!::GetWindowPlacement(Handle(), &placement)) return;
        const RECT& normal = placement.rcNormalPosition;
        fWriteValue(L"HKCU", kProgramKey, kHelpWidthValue, L"S",
                    std::to_wstring((normal.right - normal.left) * TwipsPerPixelX()));
        fWriteValue(L"HKCU", kProgramKey, kHelpHeightValue, L"S",
                    std::to_wstring((normal.bottom - normal.top) * TwipsPerPixelY()));
    }

    AppContext& ctx_;
    bool modal_;
    HWND richEdit_ = nullptr;
};

}  // namespace

TwipsSize HelpSizeFromSettings(std::wstring_view width, std::wstring_view height, TwipsSize workArea) {
    return {Clamp(SizeFromText(width, kHelpMinimumSize.width), kHelpMinimumSize.width, workArea.width),
            Clamp(SizeFromText(height, kHelpMinimumSize.height), kHelpMinimumSize.height, workArea.height)};
}

std::wstring HelpCaption() { return kHelpCaption + ProgramVersionText(); }

void Help(AppContext& ctx, HelpOpening opening) {
    if (ctx.frmHelp && !ctx.frmHelp->Handle()) ctx.frmHelp.reset();  // closed since
    const bool modal = opening == HelpOpening::Modal;
    if (!ctx.frmHelp) {
        if (opening == HelpOpening::InPlaceOfMain) {
            ctx.frmMain.form.SetVisible(false);
            ctx.flags.returnToMain = true;
        }
        ctx.frmHelp = std::make_unique<HelpWindow>(ctx, modal);
    }
    const HWND window = ctx.frmHelp->Handle();
    if (!window) return;
    BringToFront(window);
    if (!modal) return;
    RunModal(window, ctx.frmMain.form.Loaded() ? ctx.ui.MainWindow() : nullptr);
    ctx.frmHelp.reset();
}

}  // namespace qm

#pragma once
// The seam through which every message box of the program is shown. The real
// implementation shows platform boxes and the program's own self-closing box; a test
// double records exactly what the user would have been shown and answers for them.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace qm {

inline constexpr wchar_t kTitleInfo[] = L"Dorvik Info.....";
inline constexpr wchar_t kTitleInformation[] = L"Dorvik Quillmere Information";
inline constexpr wchar_t kTitleRemoval[] = L"Dorvik Quillmere";
inline constexpr wchar_t kTitleTimedBox[] = L"Dorvik Quillmere Program";
inline constexpr wchar_t kTitleAppError[] = L"Application Error";
inline constexpr wchar_t kAppTitle[] = L"Quillmere";

// A standard message box: style holds the MB_ button and icon flags.
struct MessageBoxRequest {
    std::wstring text;
    std::wstring title;
    UINT style = MB_OK;
    HWND owner = nullptr;
};

// The self-closing box. text may hold "%T", replaced by the seconds that remain;
// when the count reaches 0 the button with the id timeoutButton is pressed.
// captions are written onto the box's buttons by mode (see the timed box module).
struct TimedBoxRequest {
    std::wstring text;
    std::wstring title;
    UINT style = MB_OK | MB_ICONINFORMATION;
    HWND owner = nullptr;
    int seconds = 0;
    int timeoutButton = IDCANCEL;
    bool singleButton = false;
    bool twoButton = false;
    std::array<std::wstring, 3> captions;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Returns the platform's answer: IDOK, IDCANCEL, IDYES, IDNO, ...
    virtual int ShowMessage(const MessageBoxRequest& request) = 0;
    // Returns 1 (OK) or 2 (Cancel).
    virtual int ShowTimed(const TimedBoxRequest& request) = 0;
};

// Real boxes on the user's desktop.
class SystemDialogs final : public Dialogs {
public:
    int ShowMessage(const MessageBoxRequest& request) override;
    int ShowTimed(const TimedBoxRequest& request) override;
};

// The answer of a box that nobody answers: the one that deletes, retries and starts nothing
// (Cancel, No, Abort), or OK where OK is the only button.
int SafeAnswer(UINT style);
int SafeAnswer(const TimedBoxRequest& request);

// Between the program and the boxes it shows. In an unattended run (started at logon or by a
// scheduler) nobody is there to answer, so a box would keep the run waiting for ever: each
// box then gets its safe answer without being shown, and what it would have said is kept.
class DialogGate final : public Dialogs {
public:
    explicit DialogGate(Dialogs& shown) : shown_(shown) {}

    void SetUnattended(bool unattended) { unattended_ = unattended; }
    bool Unattended() const { return unattended_; }
    // "title: text" of every box answered without being shown, oldest first.
    const std::vector<std::wstring>& Unshown() const { return unshown_; }

    int ShowMessage(const MessageBoxRequest& request) override;
    int ShowTimed(const TimedBoxRequest& request) override;

private:
    void Keep(const std::wstring& title, const std::wstring& text);

    Dialogs& shown_;
    bool unattended_ = false;
    std::vector<std::wstring> unshown_;
};

// Shows the program's own self-closing dialog (implemented with the timed box module).
int ShowTimedDialog(const TimedBoxRequest& request);

}  // namespace qm

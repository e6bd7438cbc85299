// The real self-closing dialog, driven under the test display: what it shows each
// second, which buttons it has, how it answers, and where it sits.
#include "clean/timed_box_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "clean/timed_message_box.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/keyboard.h"

namespace qm {
namespace {

std::wstring TextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

struct ButtonSeen {
    int id;
    std::wstring caption;
    bool operator==(const ButtonSeen&) const = default;
};

std::vector<ButtonSeen> VisibleButtons(HWND dialog) {
    std::vector<ButtonSeen> buttons;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        ::GetClassNameW(child, className, 32);
        if (::lstrcmpiW(className, L"Button") == 0 && (::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) {
            buttons.push_back({::GetDlgCtrlID(child), TextOf(child)});
        }
    }
    return buttons;
}

// One-shot actions on the dialog's own message loop, for things a user does later.
std::map<UINT_PTR, std::function<void()>>& Scheduled() {
    static std::map<UINT_PTR, std::function<void()>> actions;
    return actions;
}

void CALLBACK RunScheduled(HWND window, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(window, id);
    const auto action = Scheduled().extract(id);
    if (action) action.mapped()();
}

void After(HWND dialog, UINT milliseconds, std::function<void()> action) {
    static UINT_PTR nextId = 5000;
    const UINT_PTR id = ++nextId;
    Scheduled()[id] = std::move(action);
    ::SetTimer(dialog, id, milliseconds, &RunScheduled);
}

void PressButton(HWND dialog, int id) { ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

class TimedBoxDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTimedDialogOpenedHook([this](HWND dialog) { Opened(dialog); });
    }
    void TearDown() override {
        SetTimedDialogOpenedHook({});
        Scheduled().clear();
        EXPECT_FALSE(watchdogFired) << "the box had to be closed by the test";
    }

    // Runs when the box opens, after its layout.
    std::function<void(HWND)> onOpened;
    // Runs after each change of the box's text, with every text seen so far.
    std::function<void(HWND)> onText;

    HWND dialog = nullptr;
    std::wstring title;
    std::vector<ButtonSeen> buttons;
    std::vector<std::wstring> texts;  // as shown at opening and after every change
    bool watchdogFired = false;

    // A context whose boxes are the real ones.
    SystemDialogs systemDialogs;
    FixedOsVersion os{FixedOsVersion::Windows10()};
    test::RecordingPump pump;
    test::RecordingUiHost ui;
    AppContext ctx{systemDialogs, os, pump, ui};

private:
    void Opened(HWND box) {
        dialog = box;
        title = TextOf(box);
        buttons = VisibleButtons(box);
        const HWND text = ::GetDlgItem(box, kTimedBoxTextId);
        texts.push_back(TextOf(text));
        ::SetWindowSubclass(text, &WatchText, 1, reinterpret_cast<DWORD_PTR>(this));
        // A box that never closes must fail the test, not hang the run.
        After(box, 8000, [this, box] {
            watchdogFired = true;
            ::PostMessageW(box, WM_CLOSE, 0, 0);
        });
        if (onOpened) onOpened(box);
    }

    static LRESULT CALLBACK WatchText(HWND text, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR self) {
        if (message == WM_NCDESTROY) ::RemoveWindowSubclass(text, &WatchText, 1);
        const LRESULT result = ::DefSubclassProc(text, message, wParam, lParam);
        if (message == WM_SETTEXT) {
            auto* test = reinterpret_cast<TimedBoxDialogTest*>(self);
            test->texts.push_back(TextOf(text));
            if (test->onText) test->onText(::GetParent(text));
        }
        return result;
    }
};

TimedBoxRequest TwoButtonRequest(std::wstring text, int seconds, int timeoutButton) {
    TimedBoxRequest request;
    request.text = std::move(text);
    request.title = kTitleTimedBox;
    request.style = kTimedBoxTwoButtonStyle;
    request.seconds = seconds;
    request.timeoutButton = timeoutButton;
    request.twoButton = true;
    request.captions = {L"OK", L"Cancel", L""};
    return request;
}

TEST_F(TimedBoxDialogTest, NoticeCountsDownAndAnswersWithItsOnlyButtonWhenZeroIsShown) {
    const int answer = ShowTimedNotice(ctx, L"Automatic Return Will Happen In %T Seconds.", nullptr, 3);

    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Automatic Return Will Happen In 3 Seconds.",
                                                 L"Automatic Return Will Happen In 2 Seconds.",
                                                 L"Automatic Return Will Happen In 1 Seconds.",
                                                 L"Automatic Return Will Happen In 0 Seconds."}));
    EXPECT_EQ(title, L"Dorvik Quillmere Program");
    EXPECT_EQ(buttons, (std::vector<ButtonSeen>{{IDCANCEL, L"OK"}}));
    EXPECT_FALSE(ctx.timedBox.bSingleButton);
}

TEST_F(TimedBoxDialogTest, QuestionLeftAloneAnswersItsTimeoutButton) {
    const int answer = AskTimedQuestion(ctx, L"Clean And Shutdown Will Begin In %T Seconds!", nullptr, 2, IDOK);

    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Clean And Shutdown Will Begin In 2 Seconds!",
                                                 L"Clean And Shutdown Will Begin In 1 Seconds!",
                                                 L"Clean And Shutdown Will Begin In 0 Seconds!"}));
    EXPECT_EQ(buttons, (std::vector<ButtonSeen>{{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}}));
}

TEST_F(TimedBoxDialogTest, CancelPressedDuringTheCountdownAnswersCancel) {
    onText = [this](HWND box) {
        if (texts.size() == 2) PressButton(box, IDCANCEL);
    };

    const int answer = AskTimedQuestion(ctx, L"This Will Remove All Program Paths! %T", nullptr, 3, IDOK);

    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(texts.size(), 2u) << "closed at the press, not at the timeout";
}

TEST_F(TimedBoxDialogTest, TextWithoutMarkerStaysTheSameAndStillClosesItself) {
    const int answer = ShowTimedNotice(ctx, L"You Must Be Connected To The Internet!", nullptr, 1);

    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"You Must Be Connected To The Internet!",
                                                 L"You Must Be Connected To The Internet!"}));
}

TEST_F(TimedBoxDialogTest, ABoxWithNoSecondsShowsZeroAndClosesAtTheFirstTick) {
    const int answer = ShowTimedNotice(ctx, L"%T seconds", nullptr, 0);

    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"0 seconds", L"0 seconds"})) << "never counts below zero";
}

TEST_F(TimedBoxDialogTest, AMissingTimeoutButtonIsNotPressedAndTheBoxWaitsForTheUser) {
    bool openAfterTimeout = false;
    onText = [&](HWND box) {
        if (texts.back() != L"0 left") return;
        After(box, 300, [&openAfterTimeout, box] {
            openAfterTimeout = ::IsWindowVisible(box) != FALSE;
            PressButton(box, IDCANCEL);
        });
    };

    const int answer = ShowTimedDialog(TwoButtonRequest(L"%T left", 1, IDABORT));

    EXPECT_TRUE(openAfterTimeout);
    EXPECT_EQ(answer, IDCANCEL);
}

TEST_F(TimedBoxDialogTest, KeyboardAndCloseBoxAnswerLikeThePlatformsBoxes) {
    const auto pressKey = [](WPARAM key) {
        return [key](HWND box) { ::PostMessageW(::GetFocus() ? ::GetFocus() : box, WM_KEYDOWN, key, 0); };
    };
    TimedBoxRequest notice = TwoButtonRequest(L"notice", 5, IDCANCEL);
    notice.style = kTimedBoxOneButtonStyle;
    notice.twoButton = false;

    onOpened = pressKey(VK_ESCAPE);
    EXPECT_EQ(ShowTimedDialog(TwoButtonRequest(L"question", 5, IDOK)), IDCANCEL) << "Esc is Cancel";
    EXPECT_EQ(ShowTimedDialog(notice), IDOK) << "Esc answers the only button";

    onOpened = pressKey(VK_RETURN);
    EXPECT_EQ(ShowTimedDialog(TwoButtonRequest(L"question", 5, IDCANCEL)), IDOK) << "OK is the default button";

    onOpened = [](HWND box) { ::PostMessageW(box, WM_CLOSE, 0, 0); };
    EXPECT_EQ(ShowTimedDialog(TwoButtonRequest(L"question", 5, IDOK)), IDCANCEL);
    EXPECT_EQ(ShowTimedDialog(notice), IDOK);
}

TEST_F(TimedBoxDialogTest, TabReachesAndNamesEveryButton) {
    std::vector<HWND> cycle, stops;
    std::vector<std::wstring> names;
    onOpened = [&](HWND box) {
        After(box, 50, [&, box] {
            cycle = test::TabCycle(box, [box](DWORD milliseconds) { test::PumpMessages(milliseconds, {}, box); });
            stops = test::TabStops(box);
            for (const HWND control : cycle) names.push_back(test::AccessibleName(control));
            PressButton(box, IDCANCEL);
        });
    };
    ShowTimedDialog(TwoButtonRequest(L"question", 5, IDOK));
    ASSERT_EQ(stops.size(), 2u) << "OK and Cancel";
    for (const HWND stop : stops) EXPECT_NE(std::find(cycle.begin(), cycle.end(), stop), cycle.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"OK", L"Cancel"}));
}

TEST_F(TimedBoxDialogTest, OnlyTheModeChosenByTheCallerRelabelsButtons) {
    onOpened = [](HWND box) { PressButton(box, IDCANCEL); };

    TimedBoxRequest noMode = TwoButtonRequest(L"no mode", 5, IDOK);
    noMode.twoButton = false;
    noMode.captions = {L"Yes", L"No", L"Maybe"};
    ShowTimedDialog(noMode);
    EXPECT_EQ(buttons, (std::vector<ButtonSeen>{{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}}));

    TimedBoxRequest relabelled = TwoButtonRequest(L"relabelled", 5, IDOK);
    relabelled.captions = {L"Go On", L"Stop", L""};
    ShowTimedDialog(relabelled);
    EXPECT_EQ(buttons, (std::vector<ButtonSeen>{{IDOK, L"Go On"}, {IDCANCEL, L"Stop"}}));

    TimedBoxRequest single = TwoButtonRequest(L"single", 5, IDCANCEL);
    single.style = kTimedBoxOneButtonStyle;
    single.twoButton = false;
    single.singleButton = true;
    single.captions = {L"Close Now", L"", L""};
    EXPECT_EQ(ShowTimedDialog(single), IDOK);
    EXPECT_EQ(buttons, (std::vector<ButtonSeen>{{IDCANCEL, L"Close Now"}}));
}

class OwnerWindow {
public:
    OwnerWindow()
        : window_(::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 700, 500,
                                    nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}
    ~OwnerWindow() { ::DestroyWindow(window_); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

POINT CentreOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST_F(TimedBoxDialogTest, BoxFitsItsTextSitsOverItsOwnerAndBlocksItMeanwhile) {
    const OwnerWindow owner;
    ASSERT_TRUE(owner.get());
    const std::wstring text = L"            The Requested Web Site Was Taking Too Long To Open And Timed Out! "
                              L"The Requested Web Site Was Taking Too Long To Open And Timed Out!\r\n\r\n"
                              L"           Automatic Return Will Happen In %T Seconds. & more";
    RECT textControl{};
    int neededHeight = 0;
    bool ownerBlocked = false;
    bool hasIcon = false;
    POINT boxCentre{};
    RECT boxRect{};
    onOpened = [&](HWND box) {
        boxCentre = CentreOf(box);
        ::GetWindowRect(box, &boxRect);
        const HWND control = ::GetDlgItem(box, kTimedBoxTextId);
        ::GetClientRect(control, &textControl);
        // What the text needs at the control's width, in the control's own font.
        const HDC dc = ::GetDC(control);
        const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
        RECT needed{0, 0, textControl.right, 0};
        const std::wstring shown = TextOf(control);
        ::DrawTextW(dc, shown.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
        ::SelectObject(dc, old);
        ::ReleaseDC(control, dc);
        neededHeight = needed.bottom;
        for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                ::SendMessageW(child, STM_GETICON, 0, 0)) {
                hasIcon = true;
            }
        }
        After(box, 50, [&ownerBlocked, &owner, box] {
            ownerBlocked = !::IsWindowEnabled(owner.get());
            PressButton(box, IDCANCEL);
        });
    };

    EXPECT_EQ(ShowTimedNotice(ctx, text, owner.get(), 4), IDOK);

    EXPECT_GE(textControl.bottom, neededHeight) << "the whole text is visible";
    EXPECT_GT(neededHeight, 0);
    EXPECT_TRUE(hasIcon);
    EXPECT_NE(texts.front().find(L"In 4 Seconds. & more"), std::wstring::npos);
    EXPECT_TRUE(ownerBlocked) << "the box is modal to its owner";
    EXPECT_TRUE(::IsWindowEnabled(owner.get())) << "the owner is given back";
    const POINT ownerCentre = CentreOf(owner.get());
    EXPECT_NEAR(boxCentre.x, ownerCentre.x, 2);
    EXPECT_NEAR(boxCentre.y, ownerCentre.y, 2);
    EXPECT_LE(boxRect.right - boxRect.left, ::GetSystemMetrics(SM_CXSCREEN)) << "long lines wrap";
}

}  // namespace
}  // namespace qm

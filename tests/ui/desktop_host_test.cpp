// The main window's binding to its form model, on real windows under Xvfb.
#include "ui/desktop_host.h"

#include <gtest/gtest.h>

#include "support/doubles.h"

namespace qm {
namespace {

class DesktopHostTest : public ::testing::Test {
protected:
    DesktopHostTest() { host.Attach(ctx); }
    ~DesktopHostTest() override { host.UnloadMainForm(); DrainQuit(); }

    static void DrainQuit() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND Control(int id) { return ::GetDlgItem(host.MainWindow(), id); }

    test::RecordingDialogs dialogs;
    FixedOsVersion os{FixedOsVersion::Windows10()};
    test::RecordingPump pump;
    DesktopHost host;
    AppContext ctx{dialogs, os, pump, host};
};

TEST_F(DesktopHostTest, MainWindowLoadsHiddenAndFollowsTheModel) {
    int shows = 0;
    ctx.frmMain.form.Changed.Connect([&] { shows += ::IsWindowVisible(host.MainWindow()) ? 1 : 0; });
    host.LoadMainForm();
    EXPECT_EQ(shows, 0);  // not even for a moment
    ASSERT_NE(host.MainWindow(), nullptr);
    EXPECT_FALSE(::IsWindowVisible(host.MainWindow()));
    EXPECT_TRUE(ctx.frmMain.form.Loaded());

    ctx.frmMain.form.SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(host.MainWindow()));
    ctx.frmMain.form.SetVisible(false);
    EXPECT_FALSE(::IsWindowVisible(host.MainWindow()));
}

TEST_F(DesktopHostTest, MainWindowStaysOffTheTaskBar) {
    const HWND owner = ::GetWindow(host.MainWindow(), GW_OWNER);
    EXPECT_EQ(owner, host.MaxMinWindow());
    EXPECT_TRUE(::GetWindowLongPtrW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST_F(DesktopHostTest, CloseBoxHidesAndParksTheWindowTopLeft) {
    ctx.frmMain.form.Move(1500, 1500);
    ctx.frmMain.form.SetVisible(true);
    ::SendMessageW(host.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(ctx.frmMain.form.Visible());
    EXPECT_FALSE(::IsWindowVisible(host.MainWindow()));
    RECT frame{};
    ::GetWindowRect(host.MainWindow(), &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_TRUE(::IsWindow(host.MainWindow()));  // hidden, not destroyed
}

TEST_F(DesktopHostTest, CheckBoxesAndButtonsReachTheModel) {
    host.LoadMainForm();
    int checkClicks = 0, commandClicks = 0;
    ctx.frmMain.Check2.Click.Connect([&] { ++checkClicks; });
    ctx.frmMain.Command3.Click.Connect([&] { ++commandClicks; });

    ::SendMessageW(Control(202), BM_CLICK, 0, 0);
    EXPECT_EQ(ctx.frmMain.Check2.Value(), 1);
    EXPECT_EQ(checkClicks, 1);

    ctx.frmMain.Check2.SetValue(0);  // code changes the model: the box follows
    EXPECT_EQ(::IsDlgButtonChecked(host.MainWindow(), 202), static_cast<UINT>(BST_UNCHECKED));

    ::SendMessageW(Control(103), BM_CLICK, 0, 0);
    EXPECT_EQ(commandClicks, 1);
    wchar_t caption[64] = {};
    ::GetWindowTextW(Control(103), caption, 64);
    EXPECT_STREQ(caption, L"Clean Temp");
}

TEST_F(DesktopHostTest, EndOfSessionUnloadsOnceSubclassed) {
    const HWND main = host.MainWindow();
    ::SendMessageW(main, WM_QUERYENDSESSION, 0, 0);
    EXPECT_FALSE(host.Unloaded());  // not yet subclassed: nothing happens
    host.SubClass(main);
    EXPECT_EQ(::SendMessageW(main, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_TRUE(host.Unloaded());
    EXPECT_FALSE(::IsWindow(main));
    EXPECT_FALSE(ctx.frmMain.form.Loaded());
}

TEST_F(DesktopHostTest, ResultViewBringsTheMainWindowBack) {
    host.LoadMainForm();
    ctx.CleanCount = 12;
    host.ShowfrmCount(L"Form3", false);
    EXPECT_EQ(ctx.frmCount.Label1.Caption(), L"Cleaning");
    host.ShowCount(L"frmMain", true);
    EXPECT_EQ(ctx.frmCount.Label1.Caption(), L"12");
    EXPECT_TRUE(ctx.frmCount.Label2.Visible());

    const DWORD until = ::GetTickCount() + 5000;
    MSG message;
    while (!ctx.frmMain.form.Visible() && ::GetTickCount() < until) {
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        else ::Sleep(10);
    }
    EXPECT_TRUE(ctx.frmMain.form.Visible());
    EXPECT_FALSE(ctx.frmCount.form.Visible());
}

}  // namespace
}  // namespace qm

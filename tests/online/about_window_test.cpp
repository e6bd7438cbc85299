// The About window: its link through the probe to the default browser, Cancel, the
// not-on-line notice, and the real window under Xvfb.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "online/about_window.h"
#include "online/web.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "support/desktop_app.h"
#include "support/doubles.h"
#include "support/fake_web.h"
#include "support/fixtures.h"
#include "support/silent_server.h"

namespace qm {
namespace {

// A pump that lets the test act in the middle of a wait, as a click would.
class ActingPump final : public Pump {
public:
    int events = 0;
    std::function<void(int)> onEvents;
    void Sleep(DWORD) override {}
    void DoEvents() override {
        ++events;
        if (onEvents) onEvents(events);
    }
};

class AboutTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::RecordingDialogs dialogs;
    FixedOsVersion os{FixedOsVersion::Windows10()};
    ActingPump pump;
    test::RecordingUiHost ui;
    AppContext ctx{dialogs, os, pump, ui};
    std::shared_ptr<test::FakeWeb> sharedWeb = std::make_shared<test::FakeWeb>();
    test::FakeWeb& web = *sharedWeb;
    AboutFormModel form;

    void SetUp() override {
        ctx.web = sharedWeb;
        web.answering = {ConfiguredWebSite().HomePage()};
    }
    void ExpectNormalState() {
        EXPECT_TRUE(form.Label2.Visible());
        EXPECT_TRUE(form.Label3.Visible());
        EXPECT_TRUE(form.Label3.Enabled());
        EXPECT_FALSE(form.Label5.Visible());
        EXPECT_FALSE(form.Label6.Visible());
        EXPECT_EQ(form.Label4.Caption(), L"Close Form");
        EXPECT_FALSE(ctx.flags.webCancel);
    }
};

TEST_F(AboutTest, OnLineTheHomePageOpensInTheDefaultBrowser) {
    int openingEvents = 0;  // the probe may let a few run before it
    pump.onEvents = [&](int) {
        openingEvents += form.Label5.Visible() && form.Label6.Visible() && !form.Label3.Visible() &&
                         form.Label4.Caption() == L"Cancel";
    };
    AboutWebsiteClick(ctx, form, nullptr);
    EXPECT_EQ(web.opened, std::vector<std::wstring>{ConfiguredWebSite().HomePage()});
    EXPECT_EQ(openingEvents, 75);
    EXPECT_TRUE(dialogs.timed.empty());
    ExpectNormalState();
}

TEST_F(AboutTest, OffLineTheNoticeCountsDownAndNothingOpens) {
    web.answering.clear();
    AboutWebsiteClick(ctx, form, nullptr);
    ASSERT_EQ(dialogs.timed.size(), 1u);
    EXPECT_EQ(dialogs.timed[0].text, kNotOnLineText);
    EXPECT_EQ(dialogs.timed[0].seconds, 3);
    EXPECT_TRUE(dialogs.timed[0].singleButton);
    EXPECT_FALSE(ctx.timedBox.bSingleButton);
    EXPECT_TRUE(web.opened.empty());
    ExpectNormalState();
}

TEST_F(AboutTest, CancelDuringTheOpeningStopsItWithItsNotice) {
    int openingEvents = 0;
    pump.onEvents = [&](int) {
        if (form.Label5.Visible() && ++openingEvents == 5) {
            EXPECT_FALSE(AboutCloseClick(ctx, form, nullptr));  // the user clicks "Cancel"
        }
    };
    AboutWebsiteClick(ctx, form, nullptr);
    EXPECT_TRUE(web.opened.empty());
    ASSERT_EQ(dialogs.timed.size(), 1u);
    EXPECT_EQ(dialogs.timed[0].text, kCancelledText);
    EXPECT_LT(openingEvents, 10);
    ExpectNormalState();
    EXPECT_TRUE(AboutCloseClick(ctx, form, nullptr)) << "Close Form unloads";
}

TEST_F(AboutTest, LinksAreWhiteAndRedUnderTheMouse) {
    EXPECT_EQ(form.LinkColour(form.Label3), RGB(255, 255, 255));
    form.hovered = &form.Label3;
    EXPECT_EQ(form.LinkColour(form.Label3), RGB(255, 0, 0));
    EXPECT_EQ(form.LinkColour(form.Label4), RGB(255, 255, 255));
}

TEST_F(AboutTest, TheWindowOpensOnceAndItsLinksWork) {
    ShowAbout(ctx);
    ShowAbout(ctx);
    const HWND window = ::FindWindowW(kAboutWindowClass, nullptr);
    ASSERT_TRUE(window);
    EXPECT_EQ(::FindWindowExW(nullptr, window, kAboutWindowClass, nullptr), nullptr) << "one at a time";
    wchar_t caption[64] = {};
    ::GetWindowTextW(window, caption, 64);
    EXPECT_EQ(std::wstring(caption), L"Dorvik Quillmere 5.0.0");
    EXPECT_TRUE(dialogs.messages.empty()) << "wininet.dll is there";

    const HWND website = ::FindWindowExW(window, nullptr, L"Button", kWebsiteCaption);
    const HWND close = ::FindWindowExW(window, nullptr, L"Button", kCloseFormCaption);
    ASSERT_TRUE(website && close) << "the links are buttons";
    ::SendMessageW(website, BM_CLICK, 0, 0);
    EXPECT_EQ(web.opened.size(), 1u);
    ::SendMessageW(close, BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(window));
}

// The real window with the real web seam, as the resident program has them: the link by
// mouse and by keyboard, ten times each, when the maker's name does not resolve (off line),
// when its server refuses, and when it takes the connection and never answers. A library
// let go while one of its threads still runs ends the process; a probe on the window thread
// leaves the window unanswering, which a helper thread notices (and then ends the wait).
class AboutOnTheWireTest : public ::testing::Test, protected test::DesktopApp {
protected:
    AboutOnTheWireTest() : DesktopApp(L"qm-about-wire") { ctx.web = std::make_shared<WinHttpWeb>(); }

    template <class Done>
    bool PumpUntil(Done done, DWORD milliseconds = 8000) {
        for (const ULONGLONG end = ::GetTickCount64() + milliseconds; ::GetTickCount64() < end; ::Sleep(5)) {
            pump.DoEvents();
            if (done()) return true;
        }
        return false;
    }

    // Follows the link by mouse or by keyboard, then closes the window the same way.
    void FollowAndClose(bool keyboard, bool silent, const std::string& what) {
        ShowAbout(ctx);
        const HWND about = ::FindWindowW(kAboutWindowClass, nullptr);
        const HWND website = ::FindWindowExW(about, nullptr, L"Button", kWebsiteCaption);
        const HWND close = ::FindWindowExW(about, nullptr, L"Button", kCloseFormCaption);
        ASSERT_TRUE(website && close) << what;
        dialogs.timed.clear();
        const auto click = [](HWND control) {
            ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        };
        const auto press = [](HWND control, WPARAM key) {
            ::PostMessageW(control, WM_KEYDOWN, key, 1);
            ::PostMessageW(control, WM_KEYUP, key, 0xC0000001);
        };
        if (keyboard) {
            ::SetFocus(website);
            press(website, VK_RETURN);
        } else {
            click(website);
        }
        // A silent site is still being asked when the window is closed.
        if (!silent) {
            EXPECT_TRUE(PumpUntil([&] { return !dialogs.timed.empty(); })) << what << ": no notice";
            if (!dialogs.timed.empty()) {
                EXPECT_EQ(dialogs.timed[0].text, kNotOnLineText) << what;
            }
        }
        if (keyboard) {
            press(website, VK_ESCAPE);
        } else {
            click(close);
        }
        // Sooner than the probe gives up.
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(about); }, 3000)) << what << ": the window stays";
    }
};
TEST_F(AboutOnTheWireTest, TheLinkSurvivesEverySiteThatFailsByMouseAndByKeyboardTenTimes) {
    test::SilentServer silent;
    ASSERT_NE(silent.Port(), 0);
    struct Case {
        const char* what;
        const wchar_t* host;
        int port;
        bool silent;
    } cases[] = {{"off line", L"quillmere.invalid", 443, false},
                 {"refused", L"localhost", 1, false},
                 {"never answers", L"localhost", silent.Port(), true}};
    for (const Case& c : cases) {
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebHost", c.host);
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebPort", std::to_wstring(c.port));
        // A window that stops answering fails the test; the silent site is then closed so
        // that the wait inside the library ends and the suite goes on.
        std::atomic<bool> finished{false}, hung{false};
        std::thread watch([&] {
            while (!finished) {
                const HWND about = ::FindWindowW(kAboutWindowClass, nullptr);
                DWORD_PTR ignored = 0;
                if (about && !::SendMessageTimeoutW(about, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &ignored) &&
                    ::IsWindow(about) && !finished) {
                    hung = true;
                    silent.Close();
                }
                ::Sleep(50);
            }
        });
        for (int i = 0; i < 10; ++i)
            for (const bool keyboard : {false, true})
                FollowAndClose(keyboard, c.silent,
                               std::string(c.what) + (keyboard ? ", keyboard " : ", mouse ") + std::to_string(i));
        finished = true;
        watch.join();
        EXPECT_FALSE(hung) << c.what << ": the window stopped answering";
    }
}

}  // namespace
}  // namespace qm

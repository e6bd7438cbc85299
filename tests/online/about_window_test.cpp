// The About window: its link through the probe to the default browser, Cancel, the
// not-on-line notice, and the real window under Xvfb.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "online/about_window.h"
#include "online/web.h"
#include "startup/app_context.h"
#include "support/doubles.h"
#include "support/fake_web.h"
#include "support/fixtures.h"

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
    bool openingShown = false;
    pump.onEvents = [&](int) {
        openingShown = form.Label5.Visible() && form.Label6.Visible() && !form.Label3.Visible() &&
                       form.Label4.Caption() == L"Cancel";
    };
    AboutWebsiteClick(ctx, form, nullptr);
    EXPECT_TRUE(openingShown);
    EXPECT_EQ(web.opened, std::vector<std::wstring>{ConfiguredWebSite().HomePage()});
    EXPECT_EQ(pump.events, 75);
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
    pump.onEvents = [&](int events) {
        if (events == 5) {
            EXPECT_FALSE(AboutCloseClick(ctx, form, nullptr));  // the user clicks "Cancel"
        }
    };
    AboutWebsiteClick(ctx, form, nullptr);
    EXPECT_TRUE(web.opened.empty());
    ASSERT_EQ(dialogs.timed.size(), 1u);
    EXPECT_EQ(dialogs.timed[0].text, kCancelledText);
    EXPECT_LT(pump.events, 10);
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

}  // namespace
}  // namespace qm

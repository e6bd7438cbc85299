// The connection probe and the web site's configuration.
#include <gtest/gtest.h>

#include <stdexcept>

#include "base/app_error.h"
#include "online/net_connect.h"
#include "online/web.h"
#include "startup/reg_op.h"
#include "support/fake_web.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::FakeWeb;
using test::ScratchRegistry;

const std::wstring kSiteA = L"https://a.test/", kSiteB = L"https://b.test/";

TEST(CNetConnect, AsksTheTestSitesOnlyWhenTheConnectionStateCannotBeTakenAtItsWord) {
    struct Case {
        const char* name;
        bool systemSaysConnected;
        DWORD flags;
        std::vector<std::wstring> answering;
        bool expected;
        std::vector<std::wstring> expectedAsked;
    };
    const Case cases[] = {
        {"dial-up up and free", true, kConnectionModem, {}, true, {}},
        {"dial-up busy, no site", true, kConnectionModem | kConnectionModemBusy, {}, false, {kSiteA, kSiteB}},
        {"LAN behind a blocking gateway", true, kConnectionLan, {}, false, {kSiteA, kSiteB}},
        {"LAN, first site answers", true, kConnectionLan, {kSiteA}, true, {kSiteA}},
        {"proxy, second site answers", true, kConnectionProxy, {kSiteB}, true, {kSiteA, kSiteB}},
        {"no flags, system says yes", true, 0, {}, true, {}},
        {"no flags, system says no", false, 0, {kSiteA}, false, {}},
    };
    for (const Case& c : cases) {
        FakeWeb web;
        web.connected = c.systemSaysConnected;
        web.flags = c.flags;
        web.answering = c.answering;
        CNetConnect probe(web, {kSiteA, kSiteB});
        EXPECT_EQ(probe.Connected(), c.expected) << c.name;
        EXPECT_EQ(web.asked, c.expectedAsked) << c.name;
        EXPECT_EQ(probe.Flags(), c.flags) << c.name;
    }
}

class ThrowingWeb final : public Web {
public:
    bool ConnectedState(DWORD& flags) override {
        flags = kConnectionLan;
        return true;
    }
    bool Answers(const std::wstring&, DWORD) override { throw std::runtime_error("broken"); }
    WebReply Get(const std::wstring&, const WebLimits&) override { return {}; }
    WebReply Download(const std::wstring&, const std::wstring&, const WebLimits&,
                      const std::function<bool()>&) override {
        return {};
    }
    bool OpenPage(HWND, const std::wstring&) override { return false; }
};

TEST(CNetConnect, AFaultReachesTheCallerAsTheComponentError) {
    ThrowingWeb web;
    CNetConnect probe(web, {kSiteA});
    try {
        probe.Connected();
        FAIL() << "no error";
    } catch (const ComponentError& error) {
        EXPECT_EQ(error.Number(), kComponentErrorNumber);
        EXPECT_EQ(error.Source(), L"Quillmere.CNetConnect.TryTheWire");
        EXPECT_EQ(error.Description(), L"CNetConnect component failure");
    }
}

TEST(WebSite, ProductionIsHttpsAndSoundSettingsReplaceIt) {
    ScratchRegistry registry;
    const WebSite production = ConfiguredWebSite();
    EXPECT_EQ(production.scheme, L"https");
    EXPECT_EQ(production.port, 443);
    EXPECT_EQ(production.Url(L"/Updates/x"), L"https://" + production.host + L"/Updates/x");

    struct Case {
        const wchar_t* scheme;
        const wchar_t* host;
        const wchar_t* port;
        const wchar_t* homePage;
    };
    for (const Case& c : {Case{L"", L"localhost", L"8443", L"https://localhost:8443/"},
                          Case{L"HTTPS", L"localhost", L"443", L"https://localhost/"},
                          Case{L"http", L"localhost", L"", L"http://localhost/"},
                          Case{L"ftp", L"localhost", L"abc", L"https://localhost/"},        // unknown scheme, bad port
                          Case{L"", L"evil.test/x", L"70000", nullptr}}) {                  // host with a path
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebScheme", c.scheme);
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebHost", c.host);
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebPort", c.port);
        const std::wstring expected = c.homePage ? c.homePage : production.HomePage();
        EXPECT_EQ(ConfiguredWebSite().HomePage(), expected) << c.host;
    }
    test::FakeWeb web;
    EXPECT_EQ(CNetConnect(web).KnownTestSites(), std::vector<std::wstring>{production.HomePage()});
}

}  // namespace
}  // namespace qm

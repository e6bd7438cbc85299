// The real web seam (WinHTTP) against https servers on loopback: trusted and not, answers
// of every kind, limits, redirects and downloads.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>

#include "online/web.h"
#include "support/fixtures.h"
#include "support/https_server.h"

namespace qm {
namespace {

using test::LocalHttpsServer;

class WebTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = &test::SharedTrustedServer();
        untrusted = &test::SharedUntrustedServer();
    }
    void SetUp() override {
        ASSERT_TRUE(server->Running()) << "python3 and openssl start the test server";
        ASSERT_TRUE(untrusted->Running());
    }
    static LocalHttpsServer* server;
    static LocalHttpsServer* untrusted;
    WinHttpWeb web;
    test::TempFolder folder{L"qm-web"};
};
LocalHttpsServer* WebTest::server = nullptr;
LocalHttpsServer* WebTest::untrusted = nullptr;

TEST_F(WebTest, GetAnswersOnlyAWholeSmallEnoughAnswerFromATrustedHttpsServer) {
    server->Put(L"/small.txt", "hello");
    server->Put(L"/big.txt", std::string(5000, 'x'));
    untrusted->Put(L"/small.txt", "hello");
    server->Redirect(L"/to-http.txt", "http://localhost:" + std::to_string(server->Port()) + "/small.txt");
    server->Redirect(L"/to-https.txt", "/small.txt");
    struct Case {
        std::wstring url;
        WebStatus status;
        std::string body;
    };
    const Case cases[] = {
        {server->Url(L"/small.txt"), WebStatus::Ok, "hello"},
        {server->Url(L"/missing.txt"), WebStatus::HttpError, ""},
        {server->Url(L"/big.txt"), WebStatus::TooLarge, ""},
        {server->Url(L"/to-http.txt"), WebStatus::NotSecure, ""},
        {server->Url(L"/to-https.txt"), WebStatus::Ok, "hello"},
        {untrusted->Url(L"/small.txt"), WebStatus::Untrusted, ""},
        {L"https://localhost:1/small.txt", WebStatus::NoConnection, ""},
        {L"http://localhost:" + std::to_wstring(server->Port()) + L"/small.txt", WebStatus::NotSecure, ""},
        {L"not a url", WebStatus::NoConnection, ""},
    };
    for (const Case& c : cases) {
        const WebReply reply = web.Get(c.url, {});
        EXPECT_EQ(reply.status, c.status) << std::string(c.url.begin(), c.url.end());
        EXPECT_EQ(reply.body, c.body);
    }
    EXPECT_EQ(web.Get(server->Url(L"/missing.txt"), {}).httpStatus, 404u);
}

TEST_F(WebTest, DownloadWritesANewFileOrLeavesNone) {
    const std::string content(200000, 'q');
    server->Put(L"/Update.exe", content);
    const std::wstring target = folder / L"Update.exe";

    EXPECT_EQ(web.Download(server->Url(L"/Update.exe"), target, {5000, 100000}, nullptr).status, WebStatus::TooLarge);
    EXPECT_FALSE(test::PathExists(target));
    EXPECT_EQ(web.Download(server->Url(L"/Update.exe"), target, {5000, 1 << 20}, [] { return false; }).status,
              WebStatus::Cancelled);
    EXPECT_FALSE(test::PathExists(target));
    EXPECT_EQ(web.Download(untrusted->Url(L"/Update.exe"), target, {5000, 1 << 20}, nullptr).status,
              WebStatus::Untrusted);
    EXPECT_FALSE(test::PathExists(target));

    int pieces = 0;
    EXPECT_EQ(web.Download(server->Url(L"/Update.exe"), target, {5000, 1 << 20}, [&] { return ++pieces > 0; }).status,
              WebStatus::Ok);
    EXPECT_EQ(test::ReadBytes(target), content);
    EXPECT_GE(pieces, 2);
    // A file already there is never overwritten.
    EXPECT_EQ(web.Download(server->Url(L"/Update.exe"), target, {5000, 1 << 20}, nullptr).status,
              WebStatus::WriteFailed);
}

TEST_F(WebTest, AServerAnswersWhenItIsThere) {
    EXPECT_TRUE(web.Answers(server->Url(L"/"), 5000));
    EXPECT_FALSE(web.Answers(L"https://localhost:1/", 5000));
}

// WinHTTP and WinINet stay once used: their own threads may still run after a request ends,
// and a library let go under them ends the process.
TEST_F(WebTest, EachUseKeepsItsLibraries) {
    server->Put(L"/small.txt", "hello");
    const std::function<void()> uses[] = {
        [&] { EXPECT_TRUE(web.Answers(server->Url(L"/"), 5000)); },
        [&] { EXPECT_EQ(web.Get(server->Url(L"/small.txt"), {}).body, "hello"); },
        [&] { EXPECT_EQ(web.Get(L"https://localhost:1/small.txt", {}).status, WebStatus::NoConnection); },
        [&] { EXPECT_EQ(web.Download(server->Url(L"/small.txt"), folder / L"small.txt", {}, nullptr).status,
                        WebStatus::Ok); },
    };
    for (size_t i = 0; i < std::size(uses); ++i) {
        uses[i]();
        EXPECT_NE(::GetModuleHandleW(L"winhttp.dll"), nullptr) << "use " << i;
    }
    DWORD flags = 0;
    web.ConnectedState(flags);
    EXPECT_NE(::GetModuleHandleW(L"wininet.dll"), nullptr);
}

}  // namespace
}  // namespace qm

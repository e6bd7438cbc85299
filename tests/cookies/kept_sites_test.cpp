// Kept sites: entries as users write them, matched as browsers match cookie domains, against
// the Public Suffix List compiled into the program.
#include "cookies/kept_sites.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace qm {
namespace {

TEST(KeptSitesTest, EntriesAreReadAsHostNamesAndPublicSuffixesAreRefused) {
    const struct {
        const wchar_t* entry;
        SiteRefusal refusal;
        const wchar_t* stored;
    } cases[] = {
        {L"Example.COM", SiteRefusal::None, L"example.com"},
        {L" .example.com. ", SiteRefusal::None, L"example.com"},
        {L"=WWW.example.com", SiteRefusal::None, L"=www.example.com"},
        {L"b\u00fccher.example", SiteRefusal::None, L"xn--bcher-kva.example"},
        {L"[2001:DB8:0:0::1]", SiteRefusal::None, L"2001:db8::1"},
        {L"192.168.0.1", SiteRefusal::None, L"192.168.0.1"},
        {L"localhost", SiteRefusal::None, L"localhost"},
        {L"com", SiteRefusal::PublicSuffix, nullptr},
        {L"co.uk", SiteRefusal::PublicSuffix, nullptr},
        {L"=co.uk", SiteRefusal::PublicSuffix, nullptr},
        {L"github.io", SiteRefusal::PublicSuffix, nullptr},           // the list's private section
        {L"anything.ck", SiteRefusal::PublicSuffix, nullptr},         // "*.ck"
        {L"www.ck", SiteRefusal::None, L"www.ck"},                    // "!www.ck"
        {L"\u0440\u0444", SiteRefusal::PublicSuffix, nullptr},        // "рф", a rule written in Unicode
        {L"", SiteRefusal::Empty, nullptr},
        {L"=", SiteRefusal::Empty, nullptr},
        {L"exa mple.com", SiteRefusal::NotAHostName, nullptr},
        {L"example..com", SiteRefusal::NotAHostName, nullptr},
        {L"-example.com", SiteRefusal::NotAHostName, nullptr},
        {L"example.com/path", SiteRefusal::NotAHostName, nullptr},
    };
    for (const auto& c : cases) {
        const ParsedSite parsed = ParseKeptSite(c.entry);
        EXPECT_EQ(parsed.refusal, c.refusal) << NarrowUtf8(c.entry);
        if (c.stored) {
            ASSERT_TRUE(parsed.site) << NarrowUtf8(c.entry);
            EXPECT_EQ(parsed.site->Text(), c.stored);
        }
    }
    EXPECT_NE(SiteRefusalText(SiteRefusal::PublicSuffix, L"co.uk").find(L"Public Suffix"), std::wstring::npos);
}

TEST(KeptSitesTest, ASiteKeepsItsNamesOnLabelBoundariesAndAHostOnlyItself) {
    KeptSites kept;
    for (const wchar_t* entry : {L"example.com", L"=www.host.org", L"10.0.0.1", L"[::1]", L"b\u00fccher.example"})
        kept.Add(*ParseKeptSite(entry).site);
    const struct {
        const char* domain;
        bool kept;
    } cases[] = {
        {"example.com", true},        {".example.com", true},       {"a.b.example.com", true},
        {"EXAMPLE.com.", true},       {"badexample.com", false},    {"example.com.evil.net", false},
        {"com", false},               {"www.host.org", true},       {".www.host.org", true},
        {"host.org", false},          {"a.www.host.org", false},    {"10.0.0.1", true},
        {"1.10.0.0.1", false},        {"0:0:0:0:0:0:0:1", true},    {"xn--bcher-kva.example", true},
        {"shop.xn--bcher-kva.example", true},
    };
    for (const auto& c : cases) EXPECT_EQ(kept.Keeps(c.domain), c.kept) << c.domain;
}

TEST(KeptSitesTest, TheRegistrableDomainIsOneLabelAboveThePublicSuffix) {
    const struct {
        const char* host;
        const char* registrable;  // nullptr: none (a public suffix)
    } cases[] = {
        {"mail.example.co.uk", "example.co.uk"}, {"example.com", "example.com"}, {"a.b.c.github.io", "c.github.io"},
        {"www.ck", "www.ck"},                    {"co.uk", nullptr},             {"localhost", "localhost"},
        {"10.0.0.1", "10.0.0.1"},
    };
    for (const auto& c : cases) {
        const auto registrable = RegistrableDomain(c.host);
        EXPECT_EQ(registrable.has_value(), c.registrable != nullptr) << c.host;
        if (registrable && c.registrable) EXPECT_EQ(*registrable, c.registrable);
    }
}

}  // namespace
}  // namespace qm

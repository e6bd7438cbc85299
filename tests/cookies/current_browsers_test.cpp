#include "cookies/current_browsers.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/browser_fixtures.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using Location = test::CurrentProfile::Location;

std::vector<Location> AsLocations(const std::vector<BrowserLocation>& found) {
    std::vector<Location> locations;
    for (const auto& entry : found) locations.push_back({entry.path, entry.kind});
    return locations;
}

std::vector<Location> Entries(const ListModel& list) {
    std::vector<Location> entries;
    for (const auto& item : list.Items()) entries.push_back({item.text, item.data});
    return entries;
}

class CurrentBrowsers : public ::testing::Test {
protected:
    test::TempFolder root{L"qmnow"};
    test::CurrentProfile profile{root.Path()};
};

TEST_F(CurrentBrowsers, FindsEveryProfileInAFixedOrderWithItsKind) {
    EXPECT_EQ(AsLocations(CurrentCookieDatabases(profile.Lookup())), profile.CookieDatabases());
    EXPECT_EQ(AsLocations(CurrentCacheFolders(profile.Lookup())), profile.CacheFolders());
}

TEST_F(CurrentBrowsers, DiscoveryAddsThemAfterTheClassicCandidates) {
    test::ScratchRegistry registry;
    test::ScratchMachineRegistry machine;
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER,
                                     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"Cache",
                                     profile.local + L"Microsoft\\Windows\\INetCache");
    test::ScopedEnv systemRoot{L"SystemRoot", root / L"Windows"};
    // A classic Firefox cookies.txt under Roaming comes first.
    test::MakeFolder(profile.roaming + L"Mozilla\\Firefox\\Profiles\\old.default");
    test::WriteBytes(profile.roaming + L"Mozilla\\Firefox\\Profiles\\old.default\\cookies.txt", "");
    test::TestApp app;
    InitLoc(app.ctx, profile.Lookup());
    // The classic walk names the folder in its own spelling.
    std::vector<Location> expected{{profile.roaming + L"Mozilla\\FireFox\\Profiles\\old.default\\cookies.txt",
                                    kKindFireFoxProfiles}};
    for (const auto& database : profile.CookieDatabases()) expected.push_back(database);
    EXPECT_EQ(Entries(app.ctx.frmMain.cboLoc), expected);

    CacheInitLoc(app.ctx, profile.Lookup());
    std::vector<Location> caches{{profile.roaming + L"Mozilla\\FireFox\\Profiles\\old.default\\", kKindFireFoxDefault}};
    for (const auto& cache : profile.CacheFolders()) caches.push_back(cache);
    caches.push_back({profile.local + L"Microsoft\\Windows\\INetCache\\", kKindIeINetCache});
    EXPECT_EQ(Entries(app.ctx.frmMain.cache), caches);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(CurrentBrowsers, NeverGoesThroughALink) {
    // A browser folder, a profile and a cache folder that are links, and a link in place of
    // the cookie database's folder: none of them is listed.
    test::MakeFolder(root / L"Elsewhere\\Default\\Network");
    test::WriteBytes(root / L"Elsewhere\\Default\\Network\\Cookies", "x");
    test::MakeFolder(root / L"Elsewhere\\Default\\GPUCache");
    test::MakeFolder(profile.local + L"Vivaldi");
    test::ScopedDirectoryLink vivaldi(profile.local + L"Vivaldi\\User Data", root / L"Elsewhere");
    test::ScopedDirectoryLink gpu(profile.chromeProfile1 + L"GPUCache", root / L"Elsewhere\\Default\\GPUCache");
    test::RemoveTree(profile.braveProfile3 + L"Network");
    test::ScopedDirectoryLink network(profile.braveProfile3 + L"Network", root / L"Elsewhere\\Default\\Network");

    auto databases = profile.CookieDatabases();
    std::erase(databases, Location{profile.braveProfile3 + L"Network\\Cookies", kKindBrave});
    EXPECT_EQ(AsLocations(CurrentCookieDatabases(profile.Lookup())), databases);
    EXPECT_EQ(AsLocations(CurrentCacheFolders(profile.Lookup())), profile.CacheFolders());
}

TEST_F(CurrentBrowsers, ProfileNamesAreTakenAsWrittenWhateverTheyHold) {
    // Names with non-ASCII letters, "%" and ";" are folder names, never expanded or split.
    const std::wstring userData = profile.local + L"Vivaldi\\User Data\\";
    const std::wstring odd = L"Perfil \u00e9;%TEMP%";
    test::MakeFolder(userData + odd + L"\\Network");
    test::WriteBytes(userData + odd + L"\\Network\\Cookies", "x");
    test::MakeFolder(userData + L"Default\\Network");
    test::WriteBytes(userData + L"Default\\Network\\Cookies", "x");
    test::WriteBytes(userData + L"Local State",
                     R"({"profile":{"info_cache":{"Perfil \u00e9;%TEMP%":{},"..\\..\\Google\\Chrome\\User Data\\Default":{}}}})");
    std::vector<Location> vivaldi;
    for (const auto& found : AsLocations(CurrentCookieDatabases(profile.Lookup())))
        if (found.kind == kKindVivaldi) vivaldi.push_back(found);
    EXPECT_EQ(vivaldi, (std::vector<Location>{{userData + odd + L"\\Network\\Cookies", kKindVivaldi}}));
}

TEST_F(CurrentBrowsers, OlderLayoutsAndMissingPlacesAreHandled) {
    // An older Chromium: the cache data right in "Cache"; a Firefox profile outside the
    // profiles folder named by an absolute path; a relative path that climbs out is ignored.
    test::RemoveTree(profile.edgeDefault + L"Cache\\Cache_Data");
    test::WriteBytes(profile.edgeDefault + L"Cache\\data_0", "old");
    test::MakeFolder(root / L"Fx\\cache2");
    test::WriteBytes(root / L"Fx\\cookies.sqlite", "x");
    test::WriteBytes(profile.roaming + L"Mozilla\\Firefox\\profiles.ini",
                     "[Profile0]\nIsRelative=0\nPath=" + NarrowUtf8(root / L"Fx") +
                         "\n[Profile1]\nIsRelative=1\nPath=../../Fx\n");
    ::DeleteFileW(test::LongPath(profile.roaming + L"Mozilla\\Firefox\\installs.ini").c_str());
    const auto databases = AsLocations(CurrentCookieDatabases(profile.Lookup()));
    EXPECT_EQ(databases.back(), (Location{root / L"Fx\\cookies.sqlite", kKindFireFoxCookieDb}));
    EXPECT_EQ(databases.size(), profile.CookieDatabases().size());
    const auto caches = AsLocations(CurrentCacheFolders(profile.Lookup()));
    EXPECT_EQ(caches[4], (Location{profile.edgeDefault + L"Cache\\", kKindEdge}));
    EXPECT_EQ(caches.back(), (Location{root / L"Fx\\cache2\\", kKindFireFoxCache2}));

    // No shell folders at all: nothing, and no fault.
    EXPECT_TRUE(CurrentCookieDatabases([](int) { return std::wstring(); }).empty());
    EXPECT_TRUE(CurrentCacheFolders([](int) { return std::wstring(); }).empty());
}

}  // namespace
}  // namespace qm

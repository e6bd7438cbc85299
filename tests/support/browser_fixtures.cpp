#include "support/browser_fixtures.h"

#include "base/text.h"
#include "support/fixtures.h"

namespace qm::test {

namespace {

void Write(const std::wstring& path, const std::string& bytes) {
    MakeFolder(path.substr(0, path.find_last_of(L'\\')));
    WriteBytes(path, bytes);
}

// What every profile holds besides caches and cookies.
constexpr const wchar_t* kChromiumOtherFiles[] = {L"Bookmarks", L"History", L"Login Data", L"Preferences",
                                                  L"Network\\Network Persistent State"};
constexpr const wchar_t* kFirefoxOtherFiles[] = {L"places.sqlite", L"logins.json", L"prefs.js", L"key4.db"};

}  // namespace

CurrentProfile::CurrentProfile(const std::wstring& root)
    : local(root + L"\\Local\\"),
      roaming(root + L"\\Roaming\\"),
      chromeDefault(local + L"Google\\Chrome\\User Data\\Default\\"),
      chromeProfile1(local + L"Google\\Chrome\\User Data\\Profile 1\\"),
      edgeDefault(local + L"Microsoft\\Edge\\User Data\\Default\\"),
      braveDefault(local + L"BraveSoftware\\Brave-Browser\\User Data\\Default\\"),
      braveProfile3(local + L"BraveSoftware\\Brave-Browser\\User Data\\Profile 3\\"),
      operaProfile(roaming + L"Opera Software\\Opera Stable\\"),
      firefoxProfile(roaming + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\") {
    Write(local + L"Google\\Chrome\\User Data\\Local State",
          R"({"profile":{"info_cache":{"Default":{"name":"Me"},"Profile 1":{"name":"Work"}},"last_used":"Default"}})");
    // Not named by Local State: not a profile of this browser.
    Write(local + L"Google\\Chrome\\User Data\\Profile 2\\Network\\Cookies", "x");
    Write(local + L"Microsoft\\Edge\\User Data\\Last Version", "120");
    Write(local + L"BraveSoftware\\Brave-Browser\\User Data\\Local State", "{\"profile\":");
    for (const auto* profile : {&chromeDefault, &chromeProfile1, &braveDefault, &braveProfile3, &operaProfile})
        Write(*profile + L"Network\\Cookies", "x");
    Write(edgeDefault + L"Cookies", "x");
    for (const auto* profile : {&chromeDefault, &chromeProfile1, &edgeDefault, &braveDefault, &braveProfile3}) {
        Write(*profile + L"Cache\\Cache_Data\\f_000001", "cached");
        Write(*profile + L"Cache\\Cache_Data\\index", "index");
        for (const auto* file : kChromiumOtherFiles) Write(*profile + file, "kept " + NarrowUtf8(*profile + file));
    }
    Write(chromeDefault + L"Code Cache\\js\\index-dir\\the-real-index", "code");
    Write(chromeDefault + L"GPUCache\\data_0", "gpu");
    for (const auto* file : kChromiumOtherFiles) Write(operaProfile + file, "kept opera");
    Write(operaProfile + L"GPUCache\\data_1", "gpu");
    Write(local + L"Opera Software\\Opera Stable\\Cache\\Cache_Data\\f_00000a", "opera cached");

    Write(roaming + L"Mozilla\\Firefox\\profiles.ini",
          "[Install308046B0AF4A39CB]\r\nDefault=Profiles/ab12cd.default-release\r\nLocked=1\r\n\r\n"
          "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/ab12cd.default-release\r\n\r\n"
          "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n");
    Write(firefoxProfile + L"cookies.sqlite", "x");
    for (const auto* file : kFirefoxOtherFiles) Write(firefoxProfile + file, "kept firefox");
    Write(local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\entries\\0A1B2C", "ff cached");
    Write(local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\doomed\\1", "ff doomed");
    Write(local + L"Microsoft\\Windows\\INetCache\\IE\\AB12CD34\\page[1].htm", "ie cached");
}

void PrintTo(const CurrentProfile::Location& location, std::ostream* out) {
    *out << NarrowUtf8(location.path) << " 0x" << std::hex << location.kind << std::dec;
}

SpecialFolderLookup CurrentProfile::Lookup() const {
    return [local = local, roaming = roaming](int csidl) {
        if (csidl == 26) return roaming;
        if (csidl == 28) return local;
        return std::wstring();
    };
}

std::vector<CurrentProfile::Location> CurrentProfile::CookieDatabases() const {
    return {
        {chromeDefault + L"Network\\Cookies", kKindChrome},  {chromeProfile1 + L"Network\\Cookies", kKindChrome},
        {edgeDefault + L"Cookies", kKindEdge},                {braveDefault + L"Network\\Cookies", kKindBrave},
        {braveProfile3 + L"Network\\Cookies", kKindBrave},    {operaProfile + L"Network\\Cookies", kKindOpera},
        {firefoxProfile + L"cookies.sqlite", kKindFireFoxCookieDb},
    };
}

std::vector<CurrentProfile::Location> CurrentProfile::CacheFolders() const {
    return {
        {chromeDefault + L"Cache\\Cache_Data\\", kKindChrome},
        {chromeDefault + L"Code Cache\\", kKindChrome},
        {chromeDefault + L"GPUCache\\", kKindChrome},
        {chromeProfile1 + L"Cache\\Cache_Data\\", kKindChrome},
        {edgeDefault + L"Cache\\Cache_Data\\", kKindEdge},
        {braveDefault + L"Cache\\Cache_Data\\", kKindBrave},
        {braveProfile3 + L"Cache\\Cache_Data\\", kKindBrave},
        {local + L"Opera Software\\Opera Stable\\Cache\\Cache_Data\\", kKindOpera},
        {operaProfile + L"GPUCache\\", kKindOpera},
        {local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\", kKindFireFoxCache2},
    };
}

std::vector<std::pair<std::wstring, std::string>> CurrentProfile::OtherFiles() const {
    std::vector<std::pair<std::wstring, std::string>> files;
    for (const auto* profile : {&chromeDefault, &chromeProfile1, &edgeDefault, &braveDefault, &braveProfile3,
                                &operaProfile})
        for (const auto* file : kChromiumOtherFiles) files.emplace_back(*profile + file, ReadBytes(*profile + file));
    for (const auto* file : kFirefoxOtherFiles)
        files.emplace_back(firefoxProfile + file, ReadBytes(firefoxProfile + file));
    files.emplace_back(roaming + L"Mozilla\\Firefox\\profiles.ini", ReadBytes(roaming + L"Mozilla\\Firefox\\profiles.ini"));
    files.emplace_back(local + L"Google\\Chrome\\User Data\\Local State",
                       ReadBytes(local + L"Google\\Chrome\\User Data\\Local State"));
    return files;
}

}  // namespace qm::test

#include "cookies/current_browsers.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "base/text.h"
#include "clean/deletion_guard.h"
#include "clean/search_delete.h"
#include "cookies/browser_profiles.h"
#include "startup/file_helpers.h"

namespace qm {

namespace {

constexpr int kCsidlAppData = 26;       // Roaming
constexpr int kCsidlLocalAppData = 28;  // Local

struct ChromiumBrowser {
    std::int32_t kind;
    const wchar_t* name;
    int csidl;               // where its profiles live
    const wchar_t* folder;   // the "User Data" folder, or (Opera) the one profile folder
    bool singleProfile;      // folder is the profile itself
    const wchar_t* cacheHome;  // Local AppData folder that also holds its caches (Opera), or nullptr
};
constexpr ChromiumBrowser kChromiumBrowsers[] = {
    {kKindChrome, L"Google Chrome", kCsidlLocalAppData, L"Google\\Chrome\\User Data", false, nullptr},
    {kKindEdge, L"Microsoft Edge", kCsidlLocalAppData, L"Microsoft\\Edge\\User Data", false, nullptr},
    {kKindBrave, L"Brave", kCsidlLocalAppData, L"BraveSoftware\\Brave-Browser\\User Data", false, nullptr},
    {kKindVivaldi, L"Vivaldi", kCsidlLocalAppData, L"Vivaldi\\User Data", false, nullptr},
    {kKindChromium, L"Chromium", kCsidlLocalAppData, L"Chromium\\User Data", false, nullptr},
    {kKindOpera, L"Opera", kCsidlAppData, L"Opera Software\\Opera Stable", true, L"Opera Software\\Opera Stable"},
};

// A profile's cache folders, each emptied whole, as the browser's own "cached images and
// files" clear does: "Cache" holds "Cache_Data" and the index of the cached addresses.
constexpr const wchar_t* kChromiumCaches[] = {L"Cache", L"Code Cache", L"GPUCache"};
constexpr const wchar_t* kChromiumCookieFiles[] = {L"Network\\Cookies", L"Cookies"};
constexpr size_t kMaxProfiles = 1000;

enum class Want { Folder, File };

// base + relative when every part below base exists, none is a link, the last is what is
// wanted, and the whole passes the gate (so "X." is never read as "X"); nothing otherwise.
// base (a shell folder) is taken as it is.
std::optional<std::wstring> PlainPathBelow(const std::wstring& base, const std::wstring& relative, Want want) {
    if (base.empty() || relative.empty()) return std::nullopt;
    std::wstring path = QualifyPath(base);
    std::wstring::size_type from = 0;
    for (;;) {
        const auto end = relative.find(L'\\', from);
        path += relative.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from);
        const std::optional<GatedPath> gated = GatePath(path);
        if (!gated) return std::nullopt;
        const DWORD attributes = ::GetFileAttributesW(gated->LongPath().c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return std::nullopt;
        const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (end == std::wstring::npos) {
            if (want == Want::Folder && !isFolder) return std::nullopt;
            if (want == Want::File && isFolder) return std::nullopt;
            return want == Want::Folder ? QualifyPath(path) : path;
        }
        if (!isFolder) return std::nullopt;
        path += L'\\';
        from = end + 1;
    }
}

// A profile or user-data folder that is or holds a protected folder of the user's (Documents,
// the profile root) is never a place to look for stores: nothing in it is ever emptied.
bool IsRefusedPlace(const ProtectedFolders& protectedFolders, const std::wstring& folder) {
    const std::optional<GatedPath> gated = GatePath(folder);
    const std::optional<WalkFolder> held = gated ? WalkFolder::OpenTop(*gated) : std::nullopt;
    return !held || IsProtectedRoot(protectedFolders, *held);
}

std::string ReadSmallFile(const std::wstring& path) {
    BoundedRead read = ReadFileBounded(path, kMaxProfileIndexSize);
    return read.opened && read.complete ? std::move(read.bytes) : std::string();
}

// "Profile 1", "Profile 2", ... of a User Data folder, in number order.
std::vector<std::wstring> NumberedProfiles(const std::wstring& userData) {
    std::vector<std::pair<unsigned long, std::wstring>> found;
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileExW(LongPathForm(userData + L"Profile *").c_str(), FindExInfoBasic, &data,
                                           FindExSearchLimitToDirectories, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return {};
    do {
        const std::wstring name = data.cFileName;
        const std::wstring number = name.substr(8);
        if (number.empty() || number.size() > 6 || !std::all_of(number.begin(), number.end(), iswdigit)) continue;
        found.emplace_back(std::stoul(number), name);
    } while (found.size() < kMaxProfiles && ::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(found.begin(), found.end());
    std::vector<std::wstring> names;
    for (auto& entry : found) names.push_back(std::move(entry.second));
    return names;
}

// The profile folders of one browser, each with a trailing "\".
std::vector<std::wstring> ChromiumProfiles(const ChromiumBrowser& browser, const SpecialFolderLookup& specialFolder,
                                           const ProtectedFolders& protectedFolders) {
    const std::wstring base = specialFolder(browser.csidl);
    const auto home = PlainPathBelow(base, browser.folder, Want::Folder);
    if (!home || IsRefusedPlace(protectedFolders, *home)) return {};
    if (browser.singleProfile) return {*home};

    std::vector<std::wstring> names;
    for (const auto& name : ChromiumProfileFolders(ReadSmallFile(*home + L"Local State"))) {
        names.push_back(WidenUtf8(name));
        if (names.size() == kMaxProfiles) break;
    }
    if (names.empty()) {
        names.push_back(L"Default");
        for (auto& numbered : NumberedProfiles(*home)) names.push_back(std::move(numbered));
    }
    std::vector<std::wstring> profiles;
    for (const auto& name : names)
        if (const auto profile = PlainPathBelow(*home, name, Want::Folder))
            if (!IsRefusedPlace(protectedFolders, *profile)) profiles.push_back(*profile);
    return profiles;
}

void AddChromiumCaches(const std::wstring& holder, std::int32_t kind, std::vector<BrowserLocation>& found) {
    for (const wchar_t* cache : kChromiumCaches)
        if (const auto folder = PlainPathBelow(holder, cache, Want::Folder)) found.push_back({*folder, kind});
}

// Firefox profile folders with where their caches live: Local AppData for relative profiles.
struct FirefoxFolders {
    std::wstring profile;
    std::wstring cacheHolder;
};

std::vector<FirefoxFolders> FirefoxProfileFolders(const SpecialFolderLookup& specialFolder,
                                                  const ProtectedFolders& protectedFolders) {
    const std::wstring roaming = specialFolder(kCsidlAppData);
    const auto home = PlainPathBelow(roaming, L"Mozilla\\Firefox", Want::Folder);
    if (!home) return {};
    const std::wstring local = specialFolder(kCsidlLocalAppData);
    std::vector<FirefoxFolders> folders;
    for (const auto& profile :
         FirefoxProfiles(ReadSmallFile(*home + L"profiles.ini"), ReadSmallFile(*home + L"installs.ini"))) {
        std::wstring path = WidenUtf8(profile.path);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        while (!path.empty() && path.back() == L'\\') path.pop_back();
        FirefoxFolders found;
        if (profile.isRelative) {
            const auto localHome = PlainPathBelow(local, L"Mozilla\\Firefox", Want::Folder);
            found = {PlainPathBelow(*home, path, Want::Folder).value_or(L""),
                     localHome ? PlainPathBelow(*localHome, path, Want::Folder).value_or(L"") : L""};
        } else {
            // An absolute profile keeps its cache inside; the folder itself must be plain.
            const std::optional<GatedPath> gated = GatePath(path);
            const DWORD attributes = gated ? ::GetFileAttributesW(gated->LongPath().c_str()) : INVALID_FILE_ATTRIBUTES;
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            found = {QualifyPath(path), QualifyPath(path)};
        }
        // A profile that is or holds a folder of the user's is left out whole, its cache too.
        if (!found.profile.empty() && IsRefusedPlace(protectedFolders, found.profile)) continue;
        if (!found.cacheHolder.empty() && IsRefusedPlace(protectedFolders, found.cacheHolder)) found.cacheHolder.clear();
        folders.push_back(std::move(found));
    }
    return folders;
}

}  // namespace

std::vector<BrowserLocation> CurrentCookieDatabases(const SpecialFolderLookup& specialFolder,
                                                    const ProtectedFolders* protectedFolders) {
    std::optional<ProtectedFolders> loaded;
    const ProtectedFolders& protectedNow = protectedFolders ? *protectedFolders : loaded.emplace(ProtectedFolders::Load());
    std::vector<BrowserLocation> found;
    for (const auto& browser : kChromiumBrowsers)
        for (const auto& profile : ChromiumProfiles(browser, specialFolder, protectedNow))
            for (const wchar_t* name : kChromiumCookieFiles)
                if (const auto file = PlainPathBelow(profile, name, Want::File)) {
                    found.push_back({*file, browser.kind});
                    break;
                }
    for (const auto& profile : FirefoxProfileFolders(specialFolder, protectedNow))
        if (const auto file = PlainPathBelow(profile.profile, L"cookies.sqlite", Want::File))
            found.push_back({*file, kKindFireFoxCookieDb});
    return found;
}

std::vector<BrowserLocation> CurrentCacheFolders(const SpecialFolderLookup& specialFolder,
                                                 const ProtectedFolders* protectedFolders) {
    std::optional<ProtectedFolders> loaded;
    const ProtectedFolders& protectedNow = protectedFolders ? *protectedFolders : loaded.emplace(ProtectedFolders::Load());
    std::vector<BrowserLocation> found;
    for (const auto& browser : kChromiumBrowsers) {
        if (browser.cacheHome)
            if (const auto local = PlainPathBelow(specialFolder(kCsidlLocalAppData), browser.cacheHome, Want::Folder))
                if (!IsRefusedPlace(protectedNow, *local)) AddChromiumCaches(*local, browser.kind, found);
        for (const auto& profile : ChromiumProfiles(browser, specialFolder, protectedNow))
            AddChromiumCaches(profile, browser.kind, found);
    }
    for (const auto& profile : FirefoxProfileFolders(specialFolder, protectedNow)) {
        // The profile itself: a location whose clean takes its session files only.
        if (!profile.profile.empty()) found.push_back({profile.profile, kKindFireFoxDefault});
        if (const auto cache = PlainPathBelow(profile.cacheHolder, L"cache2", Want::Folder))
            found.push_back({*cache, kKindFireFoxCache2});
    }
    return found;
}

std::wstring ChromiumBrowserName(std::int32_t kind) {
    for (const auto& browser : kChromiumBrowsers)
        if (browser.kind == kind) return browser.name;
    return {};
}

}  // namespace qm

#include "cookies/browser_profiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

using Names = std::vector<std::string>;

struct LocalStateCase {
    const char* what;
    std::string json;
    Names expected;
};

TEST(ChromiumProfileFolders, ReadsInfoCacheMemberNamesOrNothing) {
    const std::string deep(kMaxJsonDepth + 1, '[');
    const LocalStateCase cases[] = {
        {"two profiles, other members around them",
         R"({"browser":{"x":[1,2.5e3,-0.1,true,null]},"profile":{"last_used":"Default",)"
         R"("info_cache":{"Default":{"name":"Person 1"},"Profile 1":{"name":"Work"}}},"z":"}"})",
         {"Default", "Profile 1"}},
        {"byte order mark and blanks", "\xEF\xBB\xBF \r\n{ \"profile\" : { \"info_cache\" : { \"Default\" : {} } } }\n",
         {"Default"}},
        {"escapes decoded, a pair included", R"({"profile":{"info_cache":{"Pro\u0066ile 2":{},"\u00e9t\ud83d\ude00":{}}}})",
         {"Profile 2", "\xC3\xA9t\xF0\x9F\x98\x80"}},
        {"each name once", R"({"profile":{"info_cache":{"Default":{},"Default":{}}}})", {"Default"}},
        {"unsafe names left out",
         R"({"profile":{"info_cache":{"..":{},"..\\..\\Windows":{},"a/b":{},"C:x":{},"":{},"X.":{},"X ":{},)"
         R"("tab\there":{},"lone\ud800":{},"ok":{}}}})",
         {"ok"}},
        {"info_cache only below profile", R"({"info_cache":{"A":{}},"x":{"profile":{"info_cache":{"B":{}}}}})", {}},
        {"info_cache not an object", R"({"profile":{"info_cache":["Default"]}})", {}},
        {"not an object at the top", R"(["profile"])", {}},
        {"trailing garbage", R"({"profile":{"info_cache":{"Default":{}}}} x)", {}},
        {"cut short", R"({"profile":{"info_cache":{"Default":{})", {}},
        {"raw control byte in a string", "{\"profile\":{\"info_cache\":{\"De\x01\":{}}}}", {}},
        {"bad escape", R"({"profile":{"info_cache":{"\q":{}}}})", {}},
        {"bad number", R"({"a":01,"profile":{"info_cache":{"Default":{}}}})", {}},
        {"trailing comma", R"({"profile":{"info_cache":{"Default":{},}}})", {}},
        {"too deep", "{\"a\":" + deep + std::string(kMaxJsonDepth + 1, ']') + "}", {}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ChromiumProfileFolders(c.json), c.expected) << c.what;
}

TEST(ChromiumProfileFolders, RefusesOversizedText) {
    std::string json = R"({"profile":{"info_cache":{"Default":{}}},"pad":")";
    json += std::string(kMaxProfileIndexSize, 'x') + "\"}";
    EXPECT_TRUE(ChromiumProfileFolders(json).empty());
}

TEST(ChromiumProfileFolders, ToleratesEveryPrefixOfAValidFile) {
    // Every truncation of a valid file is malformed: none may yield names or fail otherwise.
    const std::string json = R"({"profile":{"info_cache":{"Default":{"n":[1,{"x":"\u00e9"}]}}}})";
    for (size_t length = 0; length < json.size(); ++length)
        EXPECT_TRUE(ChromiumProfileFolders(std::string_view(json).substr(0, length)).empty()) << length;
    EXPECT_EQ(ChromiumProfileFolders(json), Names{"Default"});
}

struct Expected {
    std::string name, path;
    bool isRelative, isDefault;
};

void ExpectProfiles(const std::string& ini, const std::vector<Expected>& expected, const char* what,
                    const std::string& installsIni = {}) {
    const auto profiles = FirefoxProfiles(ini, installsIni);
    ASSERT_EQ(profiles.size(), expected.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(profiles[i].name, expected[i].name) << what;
        EXPECT_EQ(profiles[i].path, expected[i].path) << what;
        EXPECT_EQ(profiles[i].isRelative, expected[i].isRelative) << what;
        EXPECT_EQ(profiles[i].isDefault, expected[i].isDefault) << what;
    }
}

TEST(FirefoxProfiles, ReadsProfileSections) {
    ExpectProfiles("[Install308046B0AF4A39CB]\r\nDefault=Profiles/abcd.default-release\r\nLocked=1\r\n\r\n"
                   "[Profile1]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/efgh.default\r\nDefault=1\r\n\r\n"
                   "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/abcd.default-release\r\n\r\n"
                   "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n",
                   {{"default", "Profiles/efgh.default", true, true},
                    {"default-release", "Profiles/abcd.default-release", true, true}},
                   "current layout, default named by the install section");
    ExpectProfiles("\xEF\xBB\xBF; comment\n# comment\n[Profile0]\n  Name = Work \nIsRelative=0\nPath=D:\\Fx\\work\n",
                   {{"Work", "D:\\Fx\\work", false, false}}, "absolute path, LF, blanks, comments");
    ExpectProfiles("Path=Profiles/x\n[General]\nPath=Profiles/y\n[Profile0]\nName=n\n", {},
                   "paths outside profile sections, a profile without a path");
    ExpectProfiles("[Profile0]\nIsRelative=1\nPath=Profiles/a.default-release\n[InstallAB]\nDefault=Profiles/c.own\n",
                   {{"", "Profiles/a.default-release", true, true},
                    {"", "Profiles/c.own", true, true},
                    {"", "Profiles/b.dev-edition-default", true, true},
                    {"", "D:\\Fx\\other", false, true}},
                   "installs' defaults that no profile section names follow, relative unless absolute",
                   "\xEF\xBB\xBF[308046B0AF4A39CB]\r\nDefault=Profiles\\a.default-release\r\nLocked=1\r\n"
                   "[1F42D0A4C1EBD3B0]\r\nDefault=Profiles/b.dev-edition-default\r\n[X]\nDefault=D:\\Fx\\other\n"
                   "[Y]\nDefault=../Escape\n[Z]\nDefault=C:relative\n[W]\nDefault=Profiles/c.own\n");
}

TEST(FirefoxProfiles, LeavesOutPathsThatLeadElsewhere) {
    const char* const unsafe[] = {
        "IsRelative=1\nPath=../../Windows",  "IsRelative=1\nPath=Profiles/../..", "IsRelative=1\nPath=/Profiles/x",
        "IsRelative=1\nPath=C:\\Windows",     "IsRelative=1\nPath=Profiles//x",   "IsRelative=1\nPath=.",
        "IsRelative=0\nPath=Profiles/x",      "IsRelative=0\nPath=C:Windows",     "IsRelative=0\nPath=C:\\a\\..\\..",
        "IsRelative=1\nPath=Pro\x01" "files",  "IsRelative=1\nPath=\xC0\xAF",      "IsRelative=1\nPath=",
    };
    for (const char* body : unsafe) ExpectProfiles(std::string("[Profile0]\n") + body + "\n", {}, body);
    ExpectProfiles("[Profile0]\nIsRelative=1\nPath=Profiles/x.default-release/\n",
                   {{"", "Profiles/x.default-release/", true, false}}, "trailing separator");
    ExpectProfiles("[Profile0]\nIsRelative=0\nPath=\\\\server\\share\\fx\n", {{"", "\\\\server\\share\\fx", false, false}},
                   "share path");
}

TEST(FirefoxProfiles, SurvivesBrokenText) {
    const char* const broken[] = {"", "[", "[Profile0", "[Profile0]\n=\n", "\r\r\r", "[Profile0]\nPath"};
    for (const char* text : broken) EXPECT_TRUE(FirefoxProfiles(text).empty()) << text;
    EXPECT_TRUE(FirefoxProfiles(std::string(kMaxProfileIndexSize + 1, '\n')).empty());
}

}  // namespace
}  // namespace qm

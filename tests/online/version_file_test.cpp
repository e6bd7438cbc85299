// The version file read strictly, and versions compared as numbers.
#include <gtest/gtest.h>

#include <string>

#include "online/version_file.h"

namespace qm {
namespace {

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

TEST(VersionFile, OnlyAWellFormedFileMakesAnOffer) {
    struct Case {
        const char* name;
        std::string bytes;
        bool accepted;
    };
    const Case cases[] = {
        {"quoted, comma separated", "\"Quillmere\",\"5.1.0\",\"" + kHash + "\"\r\n", true},
        {"byte-order mark, bare fields", "\xEF\xBB\xBFQuillmere, 5.1.0 ," + kHash, true},
        {"one field a line", "\"Quillmere\"\n\"5.1\"\n" + kHash + "\n\n", true},
        {"upper-case hash", "Quillmere,5.1.0.7," + std::string(64, 'A'), true},
        {"64-character name", std::string(64, 'n') + ",5.1.0," + kHash, true},
        {"old two-field file: no hash, no offer", "\"Quillmere\",\"5.1.0\"\r\n", false},
        {"empty", "", false},
        {"captive portal page", "<!DOCTYPE html><html><body>Sign in, please</body></html>", false},
        {"huge", "Quillmere,5.1.0," + kHash + "\r\n" + std::string(5000, ' '), false},
        {"quote left open", "\"Quillmere,5.1.0," + kHash, false},
        {"text after a closing quote", "\"Quillmere\"x,5.1.0," + kHash, false},
        {"65-character name", std::string(65, 'n') + ",5.1.0," + kHash, false},
        {"empty name", "\"\",5.1.0," + kHash, false},
        {"control character in the name", "Quill\x07mere,5.1.0," + kHash, false},
        {"non-ASCII name", "Quillm\xC3\xA9re,5.1.0," + kHash, false},
        {"five version numbers", "Quillmere,5.1.0.0.1," + kHash, false},
        {"letters in the version", "Quillmere,5.x," + kHash, false},
        {"six-digit version number", "Quillmere,123456," + kHash, false},
        {"empty version", "Quillmere,," + kHash, false},
        {"63-digit hash", "Quillmere,5.1.0," + kHash.substr(1), false},
        {"hash that is not hex", "Quillmere,5.1.0," + std::string(63, 'a') + "g", false},
        {"NUL byte", std::string("Quillmere,5.1.0,", 16) + std::string(1, '\0') + kHash, false},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseVersionFile(c.bytes).has_value(), c.accepted) << c.name;

    const auto parsed = ParseVersionFile("\"Quillmere\",\"5.10.2\",\"" + kHash + "\"");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->displayName, L"Quillmere");
    EXPECT_EQ(parsed->versionText, L"5.10.2");
    EXPECT_EQ(parsed->version, (std::vector<unsigned>{5, 10, 2}));
    EXPECT_EQ(parsed->installerHash[0], 0x9f);
    EXPECT_EQ(parsed->installerHash[31], 0x08);
}

TEST(VersionFile, WrittenFileReadsBackAsTheSameRecord) {
    // Names a quoted field cannot hold (a quote) and ones a bare field cannot (a comma,
    // blanks at either end).
    const std::vector<std::string> names = {"Quillmere", "Say \"Hi\"", "One, Two", "  padded  ", "a\"",
                                            std::string(64, 'n')};
    for (const std::string& name : names) {
        const auto published = ParseVersionFile((name.find('"') == std::string::npos ? '"' + name + '"' : name) +
                                                ",5.1.0.7,\"" + kHash + "\"");
        ASSERT_TRUE(published) << name;
        const auto again = ParseVersionFile(VersionFileText(*published));
        ASSERT_TRUE(again) << name;
        EXPECT_EQ(again->displayName, published->displayName);
        EXPECT_EQ(again->versionText, L"5.1.0.7");
        EXPECT_EQ(again->installerHash, published->installerHash);
    }
}

TEST(VersionFile, VersionsCompareAsNumbers) {
    struct Case {
        const char* published;
        int expected;  // against 5.0.0
    };
    for (const Case& c : {Case{"5.0.1", 1}, Case{"10.0.0", 1}, Case{"5.10", 1}, Case{"5.0.0.1", 1}, Case{"5", 0},
                          Case{"5.0.0.0", 0}, Case{"4.99.99", -1}, Case{"0.9", -1}}) {
        const auto version = ParseVersionNumbers(c.published);
        ASSERT_TRUE(version) << c.published;
        EXPECT_EQ(CompareVersions(*version, {5, 0, 0}), c.expected) << c.published;
    }
}

}  // namespace
}  // namespace qm

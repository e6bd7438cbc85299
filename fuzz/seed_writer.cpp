// Writes each fuzz target's seed corpus: valid inputs made by the project's own writers
// and formats. Usage: seed_writer <folder>; it fills <folder>/<target>/.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "clean/pending_list_format.h"
#include "clean/wininit_format.h"
#include "cookies/ns_cookie_format.h"
#include "online/version_file.h"
#include "startup/registry_data.h"
#include "value_list_input.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& folder, const std::string& target, int number, const std::string& bytes) {
    fs::create_directories(folder / target);
    std::ofstream(folder / target / ("seed-" + std::to_string(number)), std::ios::binary) << bytes;
}

std::string FromBytes(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

CookieTxtLine Line(std::string text, std::string ending) { return {std::move(text), std::move(ending)}; }

void CookiesTxt(const fs::path& folder) {
    const std::vector<std::vector<CookieTxtLine>> files = {
        {Line("# Netscape HTTP Cookie File", "\r\n"), Line("# This is a generated file!  Do not edit.", "\r\n\r\n"),
         Line(".example.com\tTRUE\t/\tFALSE\t2145916800\tsession\tabc123", "\r\n"),
         Line("www.example.org\tFALSE\t/path\tTRUE\t4294967295\tkeep\tforever", "\r\n")},
        {Line("# HTTP Cookie File", "\n"), Line(".shop.example\tTRUE\t/\tFALSE\t0\tcart\t3 items", "\n"),
         Line(".shop.example\tTRUE\t/\tFALSE\t-1\told\tvalue", "")},
        {Line("host.example\tFALSE\t/\tFALSE\t589496320\tpacked\tdos date", "\n\n"),
         Line("#HttpOnly_.secure.example\tTRUE\t/\tTRUE\t1893456000\tid\tx", "\r\n"),
         Line("#HttpOnly_ a note, no cookie", "\n"), Line("Flour\t500 g", "\r")},
    };
    int number = 0;
    for (const auto& lines : files) {
        Write(folder, "cookies_txt", ++number, CookieTxtBytes(lines));
        Write(folder, "cookies_txt", ++number, CookieTxtBytes(lines) + '\x05');  // marks some lines
    }
}

std::string MsieRecord(const std::string& name, const std::string& value, const std::string& hostPath,
                       const std::string& flags, std::uint64_t expires, std::uint64_t created) {
    const auto half = [](std::uint64_t time, int shift) { return std::to_string((time >> shift) & 0xFFFFFFFF); };
    return name + '\n' + value + '\n' + hostPath + '\n' + flags + '\n' + half(expires, 0) + '\n' + half(expires, 32) +
           '\n' + half(created, 0) + '\n' + half(created, 32) + "\n*\n";
}

void MsieCookies(const fs::path& folder) {
    const std::uint64_t year2030 = 0x01DB8A5E6D9A8000ull, year2020 = 0x01D5C03669A38000ull;
    Write(folder, "msie_cookie", 1, MsieRecord("id", "a1b2", "example.com/", "0", year2030, year2020));
    Write(folder, "msie_cookie", 2,
          MsieRecord("one", "1", "shop.example/cart/", "1024", year2030, year2020) +
              MsieRecord("two", "caf\xE9", "shop.example/", "9216", year2030 + 1, year2020 + 1));
    Write(folder, "msie_cookie", 3, MsieRecord("", "", "", "0", 0, 0));
}

std::string PendingValue(const std::u16string& characters, std::uint8_t marks) {
    return std::string(1, static_cast<char>(marks)) + FromBytes(BytesFromUtf16(characters));
}

void PendingList(const fs::path& folder) {
    using namespace std::string_literals;
    const std::u16string other = u"\\??\\C:\\Other\\old.dll\0!\\??\\C:\\Other\\new.dll\0"s;
    const std::u16string ours = u"\\??\\C:\\Users\\me\\AppData\\Local\\Temp\\locked.tmp\0\0"s;
    Write(folder, "pending_list", 1, PendingValue(other + ours + u'\0', 0x02));
    Write(folder, "pending_list", 2, PendingValue(ours + other + ours + u'\0', 0x05));
    Write(folder, "pending_list", 3, PendingValue(u"\0"s, 0));
}

void WininitFiles(const fs::path& folder) {
    const SameIniLine exact = [](std::string_view a, std::string_view b) { return a == b; };
    const std::vector<std::string> ours = {"NUL=C:\\WINDOWS\\TEMPOR~1\\CONTENT.IE5\\INDEX.DAT",
                                           "NUL=C:\\WINDOWS\\COOKIES\\INDEX.DAT"};
    const std::string other = "[Settings]\r\nBoot=1\r\n[rename]\r\nC:\\OLD.SYS=C:\\NEW.SYS\r\n\r\n[Later]\r\nx=y";
    std::vector<std::string> added;
    const std::string lines = ours[0] + '\n' + ours[1] + '\n';
    Write(folder, "wininit", 1, '\x02' + lines + other);
    Write(folder, "wininit", 2, '\x02' + lines + WithRenameLines(other, ours, added, exact));
    Write(folder, "wininit", 3, '\x01' + ours[0] + '\n' + WithRenameLines("", ours, added, exact));
}

void RegistryValues(const fs::path& folder) {
    using namespace std::string_literals;
    const auto value = [](std::uint32_t type, std::uint8_t width, const std::string& bytes) {
        return std::string{static_cast<char>(type), static_cast<char>(width)} + bytes;
    };
    Write(folder, "registry_value", 1, value(kRegSz, 4, FromBytes(BytesFromUtf16(u"C:\\Temp\0"s))));
    Write(folder, "registry_value", 2, value(kRegExpandSz, 4, FromBytes(BytesFromUtf16(u"%TEMP%\\x"))));
    Write(folder, "registry_value", 3, value(kRegDword, 4, "\x2A\0\0\0"s));
    Write(folder, "registry_value", 4, value(kRegBinary, 2, "\xFF\xFF"s));
    Write(folder, "registry_value", 5, value(kRegMultiSz, 4, FromBytes(BytesFromUtf16(u"one\0two\0\0"s))));
}

void KeptLists(const fs::path& folder) {
    using namespace std::string_literals;
    const auto text = [](const std::u16string& name, const std::u16string& entry) {
        return StoredValueData{name, kRegSz, BytesFromUtf16(entry + u'\0')};
    };
    std::vector<std::uint8_t> input;
    for (const auto& value : {text(u"0", u".example.com\tid\t2030-01-01"), text(u"10", u"shop.example\tcart\t"),
                              text(u"2", u"0"), text(u"Count", u"3"),
                              StoredValueData{u"3", kRegExpandSz, BytesFromUtf16(u"%x%\tname")}})
        fuzz::AppendValue(input, value);
    Write(folder, "kept_list", 1, FromBytes(input));
    fuzz::AppendValue(input, StoredValueData{u"4", kRegDword, {1, 0, 0, 0}});
    Write(folder, "kept_list", 2, FromBytes(input));
}

void BrowserProfiles(const fs::path& folder) {
    Write(folder, "chromium_local_state", 1,
          R"({"browser":{"last_redirect_origin":""},"profile":{"info_cache":{"Default":{"name":"Person 1",)"
          R"("active_time":1.7e9},"Profile 2":{"name":"Work","avatar_icon":"chrome://theme/IDR_PROFILE_AVATAR_26"}},)"
          R"("last_used":"Default","profiles_order":["Default","Profile 2"]},"was":[true,false,null,-0.5e-3,"\u00e9\n"]})");
    Write(folder, "chromium_local_state", 2, "{\"profile\":{\"info_cache\":{}}}");
    Write(folder, "firefox_profiles_ini", 1,
          "\xEF\xBB\xBF[Install308046B0AF4A39CB]\r\nDefault=Profiles/abc123.default-release\r\nLocked=1\r\n\r\n"
          "[Profile1]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/xyz789.default\r\nDefault=1\r\n\r\n"
          "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/abc123.default-release\r\n\r\n"
          "; a comment\r\n[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n");
    Write(folder, "firefox_profiles_ini", 2,
          "[Profile0]\nName=Elsewhere\nIsRelative=0\nPath=D:\\Mozilla\\Profiles\\other\n"
          "[Profile1]\nName=Share\nIsRelative=0\nPath=\\\\server\\share\\profile\n");
    // Paths that climb out: the property must hold for what is left of them.
    Write(folder, "firefox_profiles_ini", 3,
          "[Profile0]\nIsRelative=1\nPath=Profiles/../../../Windows\n"
          "[Profile1]\nIsRelative=0\nPath=C:\\Mozilla\\..\\Windows\n"
          "[Profile2]\nIsRelative=1\nPath=Profiles/ok.default\n"
          "[Install4F96D1932A9F858E]\nDefault=..\\..\\outside\n");
}

void VersionFiles(const fs::path& folder) {
    PublishedVersion published{L"Quillmere", L"5.1.0", {5, 1, 0}, {}};
    for (size_t i = 0; i < published.installerHash.size(); ++i)
        published.installerHash[i] = static_cast<std::uint8_t>(i * 37);
    Write(folder, "version_file", 1, VersionFileText(published));
    published.displayName = L"Say \"Hi\"";
    published.versionText = L"10.0.0.1";
    published.version = {10, 0, 0, 1};
    Write(folder, "version_file", 2, "\xEF\xBB\xBF" + VersionFileText(published));
}

// A clean log of two records: a whole one and one cut short, and no line break at the end.
void CleanLog(const fs::path& folder) {
    const std::string record =
        R"({"program":"Quillmere","version":"5.0.0","command":"clean","trigger":"tray","time":"2026-12-08T17:05:09Z",)"
        R"("durationMs":12,"computer":"PC","user":"ann","kinds":["temp","cookies"],"removed":[{"kind":"temp",)"
        R"("type":"file","path":"C:\\Temp\\a\ud800.tmp","bytes":5}],"kept":[{"kind":"cookies","type":"cookie",)"
        R"("path":"C:\\c.txt","host":"h\u00e9","name":"n","reason":"kept"}],"refused":[],"failed":[],)"
        R"("scheduled":[{"kind":"restart","type":"file","path":"x","replacement":""}],"itemsLeftOut":2,)"
        R"("totals":{"files":1,"folders":0,"bytes":5,"cookies":0,"kept":1,"refused":0,"failed":0,"scheduled":1},)"
        R"("exitCode":0})";
    Write(folder, "clean_log", 1, record);
    Write(folder, "clean_log", 2, record + "\n" + record.substr(0, 90));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: seed_writer <folder>\n";
        return 2;
    }
    const fs::path folder = argv[1];
    CookiesTxt(folder);
    MsieCookies(folder);
    PendingList(folder);
    WininitFiles(folder);
    RegistryValues(folder);
    KeptLists(folder);
    VersionFiles(folder);
    BrowserProfiles(folder);
    CleanLog(folder);
    return 0;
}

// Drives Quillmere.exe through what the README shows: the five tabs of the main window,
// the tray menu, the result window, the hot-key chooser, help, Last Clean and About; the update notice is
// shown from this process, with an offer of its own. For each picture it prints "SHOT <name>" and
// waits for a line on its input, so that the calling script can photograph the screen; a window
// that does not come is named on a line "MISSING <what>".
//
// It changes the Wine prefix it runs in (settings, a Temp folder with twelve files, browser
// data and a folder of the user's), so scripts/screenshots.sh gives it a prefix of its own.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "base/dialogs.h"
#include "base/handles.h"
#include "base/os_version.h"
#include "base/pump.h"
#include "help/help_window.h"
#include "online/about_window.h"
#include "online/update_notice.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "ui/count_window.h"
#include "ui/desktop_host.h"
#include "ui/hot_key_window.h"
#include "ui/last_clean_window.h"
#include "ui/tray_menu.h"

namespace {

using namespace std::chrono_literals;

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    return Folder(std::wstring(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH)));
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

HWND FindOwnWindow(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
    struct Search {
        DWORD process;
        const wchar_t* className;
        const wchar_t* title;
        HWND found;
    } search{process, className, title, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {}, text[128] = {};
            ::GetClassNameW(window, name, 64);
            ::GetWindowTextW(window, text, 128);
            if (owner != s.process || !::IsWindowVisible(window) || std::wstring(name) != s.className) return TRUE;
            if (s.title && std::wstring(text) != s.title) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindChild(HWND parent, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        parent,
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(parameter);
            if (::GetDlgCtrlID(window) != s.id) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A window a picture needs that did not come: the picture is still taken (the others may be
// fine), and the driver ends with a failure, so a wrong picture is never taken for a good one.
bool missing = false;

void Expect(bool came, const char* what) {
    if (came) return;
    std::printf("MISSING %s\n", what);
    std::fflush(stdout);
    missing = true;
}

// The process's visible window of that class (and title), waited for.
HWND AwaitWindow(DWORD process, const wchar_t* className, const char* what, const wchar_t* title = nullptr) {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindOwnWindow(process, className, title)) != nullptr; });
    Expect(window != nullptr, what);
    return window;
}

void Shot(const char* name) {
    std::this_thread::sleep_for(700ms);  // let the windows paint
    std::printf("SHOT %s\n", name);
    std::fflush(stdout);
    std::string reply;
    std::getline(std::cin, reply);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    qm::RegOp settings;
    settings.SetKey(key);
    settings.SetValue(name, value);
}

// A file in folder holding text, made with the folders above it.
void MakeFile(const std::wstring& folder, const std::wstring& name, const std::string& text = {}) {
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    const qm::UniqueFile file(
        ::CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Files of a few kilobytes each, so a clean of them frees something to show.
void MakeFiles(const std::wstring& folder, const wchar_t* prefix, const wchar_t* extension, int count) {
    for (int i = 1; i <= count; ++i)
        MakeFile(folder, prefix + std::to_wstring(i) + extension, std::string(1024 * (i % 5 + 1) + 37 * i, 'q'));
}

std::wstring MakeTempFolderWithFiles(int count) {
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"qm-screens";
    MakeFiles(folder, L"report-", L".tmp", count);
    return folder;
}

// A few pages in a browser cache, so that the Internet tab has something to preview. The
// cache is the user's Internet cache shell folder, placed where older systems kept it.
void FillInternetCache() {
    wchar_t profile[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH)) return;
    const std::wstring cache = std::wstring(profile) + L"\\Local Settings\\Temporary Internet Files";
    for (const wchar_t* folders : {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"})
        ::RegSetKeyValueW(HKEY_CURRENT_USER, folders, L"Cache", REG_SZ, cache.c_str(),
                          static_cast<DWORD>((cache.size() + 1) * sizeof(wchar_t)));
    MakeFiles(cache + L"\\Content.IE5\\QM7XK2P1", L"page", L"[1].htm", 6);
    MakeFiles(cache + L"\\Content.IE5\\QM7XK2P1", L"logo", L"[1].gif", 3);
}

// A few Internet Explorer cookie files in the user's cookie shell folder, one of them kept,
// so that the Cookies tab shows a store, its cookies' fields and a kept list.
void FillCookieFolder() {
    wchar_t profile[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH)) return;
    const std::wstring cookies = std::wstring(profile) + L"\\Cookies";
    for (const wchar_t* folders : {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"})
        ::RegSetKeyValueW(HKEY_CURRENT_USER, folders, L"Cookies", REG_SZ, cookies.c_str(),
                          static_cast<DWORD>((cookies.size() + 1) * sizeof(wchar_t)));
    // Expiry 2031-01-01, creation 2026-11-02 (the halves of two FILETIMEs).
    const auto record = [](const char* name, const char* value, const char* host) {
        return std::string(name) + "\n" + value + "\n" + host + "\n1536\n416055296\n31593874\n" +
               "444514304\n31287901\n*\n";
    };
    const struct {
        const wchar_t* file;
        std::string text;
    } files[] = {
        {L"user@news.example[1].txt", record("session", "b7f1c0de", "news.example/") + record("theme", "dark", "news.example/")},
        {L"user@shop.example[2].txt", record("cart", "3-items", "shop.example/")},
        {L"user@mail.example[1].txt", record("login", "remembered", "mail.example/")},
    };
    for (const auto& f : files) MakeFile(cookies, f.file, f.text);
    SetString(L"Software\\Dorvik Software\\Quillmere\\MSIESavedCookies", L"0", L"user@mail.example[1].txt\tlogin\t11/2/2026");
}

// A curl-style cookies.txt named by the Netscape setting, found after the cookie folder, so the
// Cookies tab ends on it: its first cookie is an HttpOnly one, which the details say.
void FillCookiesTxt() {
    wchar_t profile[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH)) return;
    const std::wstring folder = std::wstring(profile) + L"\\Netscape";
    const std::string text =
        "# Netscape HTTP Cookie File\n"
        "#HttpOnly_.mail.example\tTRUE\t/\tTRUE\t1924992000\tsession\t5f0c9a\n"
        ".news.example\tTRUE\t/\tFALSE\t1924992000\ttheme\tdark\n"
        "shop.example\tFALSE\t/cart\tFALSE\t1924992000\tcart\t3-items\n";
    MakeFile(folder, L"cookies.txt", text);
    SetString(L"Software\\Netscape\\Netscape Navigator\\Cookies", L"Cookie File", folder + L"\\cookies.txt");
    SetString(L"Software\\Dorvik Software\\Quillmere\\NSSavedCookies", L"0", L"news.example\ttheme\t1/1/2031");
}

// A Firefox profile with a saved session, found through profiles.ini after the Internet
// cache, so the Internet tab ends on it and shows what "Clean Internet" takes from it.
void FillFirefoxProfile() {
    wchar_t roaming[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, roaming))) return;
    const std::wstring home = std::wstring(roaming) + L"\\Mozilla\\Firefox";
    const std::wstring profile = home + L"\\Profiles\\qm7x2k.default-release";
    MakeFile(profile, L"sessionstore.jsonlz4");
    for (const wchar_t* backup : {L"recovery.jsonlz4", L"recovery.baklz4", L"previous.jsonlz4"})
        MakeFile(profile + L"\\sessionstore-backups", backup);
    MakeFile(profile, L"places.sqlite");  // bookmarks and history: never listed, never cleaned
    MakeFile(home, L"profiles.ini",
             "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/qm7x2k.default-release\nDefault=1\n");
}

// The notice of a newer version as the program shows it, made in this process.
void ShootUpdateNotice() {
    qm::SystemDialogs dialogs;
    qm::SystemOsVersion os;
    qm::SystemPump pump;
    qm::DesktopHost host;
    qm::AppContext ctx(dialogs, os, pump, host);
    ctx.update.hasOffer = true;
    ctx.update.offered.displayName = L"Quillmere";
    ctx.update.offered.versionText = L"5.1.0";
    qm::ShowUpdateNotice(ctx);
    for (int i = 0; i < 100; ++i) {  // about a second: it slides up
        pump.DoEvents();
        std::this_thread::sleep_for(10ms);
    }
    Shot("update-notice");
    ctx.frmUpdate.reset();
}

}  // namespace

int wmain() {
    ::SetProcessDPIAware();  // the notice made here follows the screen's scale like the program
    SetString(qm::kProgramKey, L"FirstRun", L"No");
    for (const wchar_t* option : {L"TempFiles", L"AutoFunction", L"InternetFiles"})
        SetString(qm::kCleanPathKey, option, L"Yes");
    const std::wstring temp = MakeTempFolderWithFiles(12);
    ::SetEnvironmentVariableW(L"Temp", temp.c_str());
    FillInternetCache();
    FillCookieFolder();
    FillCookiesTxt();
    FillFirefoxProfile();
    ::CreateDirectoryW(L"C:\\Old Downloads", nullptr);  // one folder of the user's for the "Your Folder" tab
    SetString(qm::kUserFolderKey, L"File0", L"C:\\Old Downloads");

    std::wstring command = L"\"" + OwnFolder() + L"\\Quillmere.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION program{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program)) {
        std::fprintf(stderr, "cannot start Quillmere.exe\n");
        return 1;
    }
    const DWORD id = program.dwProcessId;
    HWND main = nullptr;
    WaitFor([&] {
        main = ::FindWindowW(qm::kMainWindowClass, nullptr);
        return main != nullptr;
    });
    if (!main) return 2;

    // The tray menu, as a right click on the icon opens it.
    ::SetCursorPos(900, 1000);
    ::PostMessageW(main, qm::kTrayCallbackMessage, qm::kTrayIconId, WM_RBUTTONUP);
    AwaitWindow(id, L"#32768", "tray menu");
    Shot("tray-menu");
    ::PostMessageW(main, WM_CANCELMODE, 0, 0);
    ::PostMessageW(FindOwnWindow(id, L"#32768"), WM_KEYDOWN, VK_ESCAPE, 0);
    WaitFor([&] { return FindOwnWindow(id, L"#32768") == nullptr; }, 5s);

    // "Configure Program", then each tab in turn.
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Configure Program"), 0);
    Expect(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }), "options window");
    Shot("tab-options");
    const HWND tabs = FindChild(main, 600);
    // A page is filled while it comes up, letting the window paint between steps: each is shot
    // once what it fills last shows what this prefix holds.
    const auto lineBegins = [&](int id, std::wstring_view start) {
        const std::wstring line = TextOf(FindChild(main, id));
        return line.starts_with(start);
    };
    const struct {
        const char* name;
        std::function<bool()> filled;
    } pages[] = {
        {"tab-internet", [&] { return lineBegins(401, L"FireFox Saved Session"); }},
        {"tab-temp", [&] { return lineBegins(405, L"Temp Folder Contains 12 Files"); }},
        // The cookies.txt, listed last, with its HttpOnly cookie's details.
        {"tab-cookies", [&] { return lineBegins(412, L"Cookie Folder Contains") && ::IsWindowVisible(FindChild(main, 707)); }},
        {"tab-your-folder", [] { return true; }},
    };
    int index = 0;
    for (const auto& page : pages) {
        ::PostMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
        ::PostMessageW(tabs, WM_KEYUP, VK_RIGHT, 0);
        ++index;
        Expect(WaitFor([&] { return ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == index && page.filled(); }),
               (std::string(page.name) + " page, filled").c_str());
        Shot(page.name);
    }

    // "Clean Temp", answered Yes: the result window with the count.
    ::PostMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
    ::PostMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
    std::this_thread::sleep_for(500ms);
    ::PostMessageW(FindChild(main, 103), BM_CLICK, 0, 0);
    if (const HWND question = AwaitWindow(id, L"#32770", "question", L"Dorvik Info....."))
        ::PostMessageW(question, WM_COMMAND, IDYES, 0);
    AwaitWindow(id, qm::kCountWindowClass, "result window");
    WaitFor([&] { return TextOf(FindChild(FindOwnWindow(id, qm::kCountWindowClass), 1)) != L"Cleaning"; });
    Shot("result");

    // "Select HotKey": the chooser, with the main window closed to the tray first. The clean
    // shows the main window again once its result has gone, and takes no other work before.
    Expect(WaitFor([&] { return !FindOwnWindow(id, qm::kCountWindowClass) && ::IsWindowVisible(main); }),
           "options window again after the clean");
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    WaitFor([&] { return ::IsWindowVisible(main) == FALSE; }, 5s);
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Select HotKey"), 0);
    const HWND chooser = AwaitWindow(id, qm::kHotKeyWindowClass, "hot-key chooser");
    Shot("hot-key");
    if (chooser) ::PostMessageW(chooser, WM_CLOSE, 0, 0);

    // "Help" from the tray: the help window alone, at the size it opens with the first time.
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Help"), 0);
    const HWND help = AwaitWindow(id, qm::kHelpWindowClass, "help window");
    Shot("help-window");
    if (help) ::PostMessageW(help, WM_CLOSE, 0, 0);
    WaitFor([&] { return FindOwnWindow(id, qm::kHelpWindowClass) == nullptr; }, 5s);

    // "Last Clean...": the clean just made, as the clean log holds it.
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Last Clean..."), 0);
    const HWND lastClean = AwaitWindow(id, qm::kLastCleanWindowClass, "Last Clean window");
    Shot("last-clean");
    if (lastClean) ::PostMessageW(lastClean, WM_CLOSE, 0, 0);

    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"About"), 0);
    const HWND about = AwaitWindow(id, qm::kAboutWindowClass, "About window");
    Shot("about");
    if (about) ::PostMessageW(about, WM_CLOSE, 0, 0);
    ShootUpdateNotice();

    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Exit Program"), 0);
    const DWORD ended = ::WaitForSingleObject(program.hProcess, 20000);
    ::CloseHandle(program.hThread);
    ::CloseHandle(program.hProcess);
    if (ended != WAIT_OBJECT_0) return 3;
    return missing ? 4 : 0;
}

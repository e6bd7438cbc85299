// Drives Quillmere.exe through what the README shows: the five tabs of the main window,
// the tray menu, the result window, the hot-key chooser, Last Clean and About; the update notice is
// shown from this process, with an offer of its own. For each picture it prints "SHOT <name>" and
// waits for a line on its input, so that the calling script can photograph the screen.
//
// It changes the Wine prefix it runs in (settings, a Temp folder with twelve files), so
// scripts/screenshots.sh gives it a prefix of its own.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <thread>

#include "base/dialogs.h"
#include "base/os_version.h"
#include "base/pump.h"
#include "clean/clean_log_entry.h"
#include "cli/report_format.h"
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

void Shot(const char* name) {
    std::this_thread::sleep_for(700ms);  // let the windows paint
    std::printf("SHOT %s\n", name);
    std::fflush(stdout);
    std::string reply;
    std::getline(std::cin, reply);
}

void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    qm::RegOp settings;
    settings.SetKey(key);
    settings.SetValue(name, value);
}

void MakeFiles(const std::wstring& folder, const wchar_t* prefix, const wchar_t* extension, int count) {
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    for (int i = 1; i <= count; ++i) {
        const std::wstring path = folder + L"\\" + prefix + std::to_wstring(i) + extension;
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    }
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
    ::SHCreateDirectoryExW(nullptr, cookies.c_str(), nullptr);
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
    for (const auto& f : files) {
        HANDLE file = ::CreateFileW((cookies + L"\\" + f.file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        ::WriteFile(file, f.text.data(), static_cast<DWORD>(f.text.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    SetString(L"Software\\Dorvik Software\\Quillmere\\MSIESavedCookies", L"0", L"user@mail.example[1].txt\tlogin\t11/2/2026");
}

// A curl-style cookies.txt named by the Netscape setting, found after the cookie folder, so the
// Cookies tab ends on it: its first cookie is an HttpOnly one, which the details say.
void FillCookiesTxt() {
    wchar_t profile[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH)) return;
    const std::wstring folder = std::wstring(profile) + L"\\Netscape";
    const std::wstring path = folder + L"\\cookies.txt";
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    const std::string text =
        "# Netscape HTTP Cookie File\n"
        "#HttpOnly_.mail.example\tTRUE\t/\tTRUE\t1924992000\tsession\t5f0c9a\n"
        ".news.example\tTRUE\t/\tFALSE\t1924992000\ttheme\tdark\n"
        "shop.example\tFALSE\t/cart\tFALSE\t1924992000\tcart\t3-items\n";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    SetString(L"Software\\Netscape\\Netscape Navigator\\Cookies", L"Cookie File", path);
    SetString(L"Software\\Dorvik Software\\Quillmere\\NSSavedCookies", L"0", L"news.example\ttheme\t1/1/2031");
}

// A clean of the Temp folder's files in the clean log, unless the program has recorded one.
void RecordTempClean(const std::wstring& temp) {
    if (qm::ReadLastLoggedClean()) return;
    const std::wstring log = qm::CleanLogPath();
    ::SHCreateDirectoryExW(nullptr, log.substr(0, log.find_last_of(L'\\')).c_str(), nullptr);
    std::string removed;
    for (int i = 1; i <= 12; ++i)
        removed += std::string(i > 1 ? "," : "") + R"({"kind":"temp","type":"file","path":)" +
                   qm::JsonString(temp + L"\\report-" + std::to_wstring(i) + L".tmp") + R"(,"bytes":)" +
                   std::to_string(i * 3100) + "}";
    const std::string line =
        R"({"program":"Quillmere","version":"5.0.0","command":"clean","trigger":"window","time":"2026-12-08T17:05:09Z",)"
        R"("durationMs":40,"computer":"DESK","user":"ann","kinds":["temp"],"removed":[)" + removed +
        R"(],"kept":[{"kind":"temp","type":"file","path":)" + qm::JsonString(temp + L"\\setup.log") +
        R"(,"reason":"In use by another program"}],"refused":[],"failed":[],"scheduled":[],"totals":{"files":12,)"
        R"("folders":0,"bytes":241800,"cookies":0,"kept":1,"refused":0,"failed":0,"scheduled":0},"exitCode":0})" "\n";
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
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
    WaitFor([&] { return FindOwnWindow(id, L"#32768") != nullptr; }, 10s);
    Shot("tray-menu");
    ::PostMessageW(main, WM_CANCELMODE, 0, 0);
    ::PostMessageW(FindOwnWindow(id, L"#32768"), WM_KEYDOWN, VK_ESCAPE, 0);
    WaitFor([&] { return FindOwnWindow(id, L"#32768") == nullptr; }, 5s);

    // "Configure Program", then each tab in turn.
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Configure Program"), 0);
    WaitFor([&] { return ::IsWindowVisible(main) != FALSE; });
    Shot("tab-options");
    const HWND tabs = FindChild(main, 600);
    for (const char* name : {"tab-internet", "tab-temp", "tab-cookies", "tab-your-folder"}) {
        ::PostMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
        ::PostMessageW(tabs, WM_KEYUP, VK_RIGHT, 0);
        Shot(name);
    }

    // "Clean Temp", answered Yes: the result window with the count.
    ::PostMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
    ::PostMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
    std::this_thread::sleep_for(500ms);
    ::PostMessageW(FindChild(main, 103), BM_CLICK, 0, 0);
    HWND question = nullptr;
    WaitFor([&] { return (question = FindOwnWindow(id, L"#32770", L"Dorvik Info.....")) != nullptr; });
    if (question) ::PostMessageW(question, WM_COMMAND, IDYES, 0);
    WaitFor([&] { return FindOwnWindow(id, qm::kCountWindowClass) != nullptr; });
    WaitFor([&] {
        wchar_t text[32] = {};
        ::GetWindowTextW(FindChild(FindOwnWindow(id, qm::kCountWindowClass), 1), text, 32);
        return std::wstring(text) != L"Cleaning";
    });
    Shot("result");

    // "Select HotKey": the chooser, with the main window closed to the tray first.
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    WaitFor([&] { return ::IsWindowVisible(main) == FALSE; }, 5s);
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Select HotKey"), 0);
    HWND chooser = nullptr;
    WaitFor([&] { return (chooser = FindOwnWindow(id, qm::kHotKeyWindowClass)) != nullptr; });
    Shot("hot-key");
    if (chooser) ::PostMessageW(chooser, WM_CLOSE, 0, 0);

    // "Last Clean...": the clean just made, as the log holds it.
    RecordTempClean(temp);
    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Last Clean..."), 0);
    HWND lastClean = nullptr;
    WaitFor([&] { return (lastClean = FindOwnWindow(id, qm::kLastCleanWindowClass)) != nullptr; });
    Shot("last-clean");
    if (lastClean) ::PostMessageW(lastClean, WM_CLOSE, 0, 0);

    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"About"), 0);
    HWND about = nullptr;
    WaitFor([&] { return (about = FindOwnWindow(id, qm::kAboutWindowClass)) != nullptr; });
    Shot("about");
    if (about) ::PostMessageW(about, WM_CLOSE, 0, 0);
    ShootUpdateNotice();

    ::PostMessageW(main, WM_COMMAND, qm::TrayMenuCommandId(L"Exit Program"), 0);
    const DWORD ended = ::WaitForSingleObject(program.hProcess, 20000);
    ::CloseHandle(program.hThread);
    ::CloseHandle(program.hProcess);
    return ended == WAIT_OBJECT_0 ? 0 : 3;
}

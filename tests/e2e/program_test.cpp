// End-to-end: Quillmere.exe itself, started as a user would, checked on disk and in the
// registry. Runs in the test run's private Wine prefix, whose own profile it changes.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "clean/next_start_deletes.h"
#include "clean/restart_operations.h"
#include "help/help_window.h"
#include "startup/reg_op.h"
#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "support/browser_fixtures.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"
#include "support/pending_fixtures.h"
#include "support/real_keys.h"
#include "support/silent_server.h"
#include "ui/count_window.h"
#include "shutdown/shutdown_window.h"
#include "ui/desktop_host.h"
#include "ui/tray_menu.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::ScratchRegistry;

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\')) + L"\\Quillmere.exe";
}

std::wstring ProgramFolder() {
    const std::wstring path = ProgramPath();
    return path.substr(0, path.find_last_of(L'\\'));
}

class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& arguments) {
        std::wstring command = L"\"" + ProgramPath() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        started_ = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                    &info) != FALSE;
        process_.reset(info.hProcess);
        thread_.reset(info.hThread);
        id_ = info.dwProcessId;
    }
    ~RunningProgram() {
        if (Running()) ::TerminateProcess(process_.get(), 99);
    }

    bool Started() const { return started_; }
    bool Running() const { return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // Exit code, or -1 when the process did not end in time.
    long WaitForExit(std::chrono::milliseconds limit) const {
        if (::WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }

    // Top-level windows of the program, optionally of one class.
    std::vector<HWND> Windows(const wchar_t* className = nullptr, bool visibleOnly = false) const {
        struct Search {
            DWORD id;
            const wchar_t* className;
            bool visibleOnly;
            std::vector<HWND> found;
        } search{id_, className, visibleOnly, {}};
        ::EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(parameter);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                wchar_t name[64] = {};
                ::GetClassNameW(window, name, 64);
                if (owner == s.id && (!s.className || std::wstring(name) == s.className) &&
                    (!s.visibleOnly || ::IsWindowVisible(window)))
                    s.found.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    bool started_ = false;
    UniqueKernelObject process_;
    UniqueKernelObject thread_;
    DWORD id_ = 0;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

std::wstring Text(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// A control of a window by its id, at any depth (the main window's controls sit on pages).
HWND FindControl(HWND parent, int id) {
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

// The program's visible window of a class (and title), or nullptr.
HWND Visible(const RunningProgram& program, const wchar_t* className, const std::wstring& title = {}) {
    for (HWND window : program.Windows(className, true))
        if (title.empty() || Text(window) == title) return window;
    return nullptr;
}

void ChooseTrayItem(HWND main, const std::wstring& caption) {
    ::PostMessageW(main, WM_COMMAND, TrayMenuCommandId(caption), 0);
}

std::wstring Setting(const std::wstring& key, const std::wstring& name) {
    std::wstring value;
    return ScratchRegistry::GetString(HKEY_CURRENT_USER, key, name, value) ? value : L"<missing>";
}

// Each scenario starts from a profile without the program's settings.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetSettings(); }
    void TearDown() override { ForgetSettings(); }
    static void ForgetSettings() {
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, L"Software\\Dorvik Software");
        UniqueRegKey run;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, run.put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(run.get(), L"Quillmere");
    }
    // Ends a resident program the way Windows does when the logon ends.
    // Starts the program resident without the first-run help; returns its main window.
    HWND StartResident(RunningProgram& program) {
        EXPECT_TRUE(program.Started());
        HWND main = nullptr;
        WaitUntil([&] {
            const auto windows = program.Windows(kMainWindowClass);
            main = windows.empty() ? nullptr : windows[0];
            return main != nullptr && !program.Windows(kMaxMinWindowClass).empty();
        });
        std::this_thread::sleep_for(300ms);  // start-up ends with the tray icon and the hot key
        return main;
    }
    // Opens the options window from the tray; false when it does not show.
    bool OpenOptionsWindow(HWND main) {
        ChooseTrayItem(main, L"Configure Program");
        return WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; });
    }
    static void EndSession(RunningProgram& program) {
        const auto windows = program.Windows(kMainWindowClass);
        ASSERT_EQ(windows.size(), 1u);
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(windows[0], WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    }
};

TEST_F(ProgramTest, AutoCleansWithoutAWindowAndEndsByItself) {
    test::TempFolder temp(L"qm-e2e-temp");
    test::WriteBytes(temp / L"junk.tmp", "junk");
    test::WriteBytes(temp / L"hidden.tmp", "hidden");
    ::SetFileAttributesW((temp / L"hidden.tmp").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    test::MakeFolder(temp / L"sub\\deeper");
    test::WriteBytes(temp / L"sub\\deeper\\x.dat", "x");
    test::WriteBytes(temp / L"in-use.log", "held");
    test::LockedFile inUse(temp / L"in-use.log");
    ASSERT_TRUE(inUse.Held());
    // A link inside Temp to the user's documents: the documents must all stay.
    test::TempFolder documents(L"qm-e2e-documents");
    test::WriteBytes(documents / L"thesis.doc", "years of work");
    test::MakeFolder(documents / L"photos");
    test::WriteBytes(documents / L"photos\\summer.jpg", "jpeg");
    ASSERT_TRUE(test::MakeDirectoryLink(temp / L"docs-link", documents.Path()));
    // Two user folders: kept when stored without a trailing backslash, removed with one.
    test::TempFolder kept(L"qm-e2e-kept"), removed(L"qm-e2e-removed");
    test::WriteBytes(kept / L"a.txt", "a");
    test::MakeFolder(kept / L"inner");
    test::WriteBytes(kept / L"inner\\b.txt", "b");
    test::WriteBytes(removed / L"c.txt", "c");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", kept.Path());
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File1", removed.Path() + L"\\");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"UserFolder", L"Yes");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());  // inherited by the program

    const auto started = std::chrono::steady_clock::now();
    RunningProgram program(L"auto");
    ASSERT_TRUE(program.Started());
    bool anyWindowShown = false;
    while (program.Running() && std::chrono::steady_clock::now() - started < 30s) {
        for (HWND window : program.Windows(nullptr, true)) {
            wchar_t title[256] = {}, name[64] = {};
            ::GetWindowTextW(window, title, 256);
            ::GetClassNameW(window, name, 64);
            ADD_FAILURE() << "window shown: " << NarrowUtf8(name) << " \"" << NarrowUtf8(title) << "\"";
            anyWindowShown = true;
        }
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(program.WaitForExit(1s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_FALSE(anyWindowShown);

    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), L"<missing>");
    EXPECT_FALSE(test::PathExists(temp / L"junk.tmp"));
    EXPECT_FALSE(test::PathExists(temp / L"hidden.tmp"));
    EXPECT_FALSE(test::PathExists(temp / L"sub"));
    EXPECT_TRUE(test::PathExists(temp / L"in-use.log"));
    EXPECT_TRUE(test::PathExists(temp.Path()));
    EXPECT_EQ(test::ReadBytes(documents / L"thesis.doc"), "years of work");
    EXPECT_EQ(test::ReadBytes(documents / L"photos\\summer.jpg"), "jpeg");

    EXPECT_TRUE(test::PathExists(kept.Path()));
    EXPECT_FALSE(test::PathExists(kept / L"a.txt"));
    EXPECT_FALSE(test::PathExists(kept / L"inner"));
    EXPECT_FALSE(test::PathExists(removed.Path()));
}

// Every clean selected, a Temp folder laid as a trap (a link "X" beside folders "X." and "X "),
// user folders that must be refused (relative, the profile, the folder of the profiles, a
// drive letter mapped onto a folder) and one last folder that must still be cleaned.
TEST_F(ProgramTest, AutoWithEveryCleanAndHostileSettingsShowsNothingAndTouchesNothingOutside) {
    test::TempFolder temp(L"qm-e2e-trap"), documents(L"qm-e2e-mine"), last(L"qm-e2e-last");
    test::WriteBytes(documents / L"thesis.doc", "years of work");
    test::MakeFolder(temp / L"X.");
    test::WriteBytes(temp / L"X.\\a.tmp", "a");
    test::MakeFolder(temp / L"X ");
    test::WriteBytes(temp / L"X \\b.tmp", "b");
    ASSERT_TRUE(test::MakeDirectoryLink(temp / L"X", documents.Path()));
    test::WriteBytes(last / L"junk.tmp", "junk");
    wchar_t profile[MAX_PATH] = {};
    ASSERT_TRUE(::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH));
    const std::wstring profiles = std::wstring(profile).substr(0, std::wstring(profile).find_last_of(L'\\'));
    test::TempFolder mapped(L"qm-e2e-drive");
    test::ScratchDrive drive(mapped.Path());
    ASSERT_TRUE(drive.Made());
    const std::vector<std::wstring> folders{L"relative\\folder", profile, profiles, drive.Root(), last.Path()};
    for (size_t i = 0; i < folders.size(); ++i)
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File" + std::to_wstring(i), folders[i]);
    for (const wchar_t* clean : {L"InternetFiles", L"CookieFiles", L"TempFiles", L"UserFolder"})
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, clean, L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", L"Yes");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());

    RunningProgram program(L"auto");
    ASSERT_TRUE(program.Started());
    const auto started = std::chrono::steady_clock::now();
    while (program.Running() && std::chrono::steady_clock::now() - started < 30s) {
        EXPECT_TRUE(program.Windows(nullptr, true).empty()) << "a window was shown";
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(program.WaitForExit(1s), 0) << "the run ends by itself";

    EXPECT_EQ(test::ReadBytes(documents / L"thesis.doc"), "years of work");
    EXPECT_FALSE(test::PathExists(temp / L"X.\\a.tmp"));
    EXPECT_FALSE(test::PathExists(temp / L"X \\b.tmp"));
    EXPECT_FALSE(test::PathExists(last / L"junk.tmp"));
    EXPECT_TRUE(test::PathExists(std::wstring(profile) + L"\\AppData"));
}

std::vector<std::wstring> FolderListing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return names;
    do names.push_back(found.cFileName);
    while (::FindNextFileW(search.get(), &found));
    return names;
}

TEST_F(ProgramTest, FirstResidentStartShowsHelpThenTheMainWindow) {
    // Stored sizes that are no sizes still open a sensible window.
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, kHelpWidthValue, L"abc");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, kHelpHeightValue, L"9999999");
    const auto programFolderBefore = FolderListing(ProgramFolder());
    RunningProgram program(L"");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitUntil([&] { return !program.Windows(kHelpWindowClass, true).empty(); }));
    const HWND help = program.Windows(kHelpWindowClass)[0];
    const HWND text = ::FindWindowExW(help, nullptr, L"RICHEDIT50W", nullptr);
    ASSERT_TRUE(text);
    DWORD_PTR length = 0;  // asked directly: Wine answers GetWindowTextLength of another process with 0
    ::SendMessageTimeoutW(text, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    EXPECT_GT(length, 3000u) << "the help text from the resource";
    RECT frame{}, work{};
    ::GetWindowRect(help, &frame);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(frame.right - frame.left, 8250 / 15 - 1);
    EXPECT_LE(frame.bottom - frame.top, work.bottom - work.top);
    EXPECT_EQ(FolderListing(ProgramFolder()), programFolderBefore) << "nothing is written next to the program";

    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), ProgramFolder() + L"\\Quillmere.exe");
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinAlt"), L"262144");
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinKey"), L"67");
    EXPECT_EQ(Setting(kProgramKey, L"FirstRun"), L"<missing>");  // not before the help closes

    ::PostMessageW(program.Windows(kHelpWindowClass)[0], WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !program.Windows(kMainWindowClass, true).empty(); }));
    EXPECT_EQ(Setting(kProgramKey, L"FirstRun"), L"No");
    EXPECT_TRUE(program.Windows(kHelpWindowClass).empty());
    EXPECT_EQ(Setting(kProgramKey, kHelpWidthValue), std::to_wstring((frame.right - frame.left) * 15));
    EXPECT_EQ(Setting(kProgramKey, kHelpHeightValue), std::to_wstring((frame.bottom - frame.top) * 15));
    EXPECT_EQ(FolderListing(ProgramFolder()), programFolderBefore);

    EndSession(program);
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

TEST_F(ProgramTest, LaterStartShowsNoWindowStaysUntilToldAndASecondStartShowsTheFirst) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    RunningProgram program(L"");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(WaitUntil([&] { return !program.Windows(kMainWindowClass).empty(); }));
    std::this_thread::sleep_for(1500ms);

    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(program.Windows(nullptr, true).empty());
    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), ProgramFolder() + L"\\Quillmere.exe");

    // A second start shows the first copy's options window and ends: one copy, one tray icon.
    RunningProgram second(L"");
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(10s), 0);
    const HWND main = program.Windows(kMainWindowClass)[0];
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; })) << "the first copy shows its options";
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(program.Windows(kMaxMinWindowClass).size(), 1u);

    EndSession(program);
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

TEST_F(ProgramTest, TrayClickOpensTheMenuAndADoubleClickShowsTheOptionsTabTopLeft) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);

    ::PostMessageW(main, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") != nullptr; }, 10s));
    ::PostMessageW(Visible(program, L"#32768"), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") == nullptr; }, 10s));

    // A double click runs the default item, and leaves no menu open behind the window.
    for (const UINT event : {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        ::PostMessageW(main, kTrayCallbackMessage, kTrayIconId, event);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(::GetDoubleClickTime() + 300));
    EXPECT_EQ(Visible(program, L"#32768"), nullptr);
    EXPECT_EQ(Text(main), L"Dorvik Quillmere Program");
    RECT frame{};
    ::GetWindowRect(main, &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(::SendMessageW(FindControl(main, 600), TCM_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(::IsWindowVisible(FindControl(main, 201)));
    EXPECT_EQ(Text(FindControl(main, 201)), L"Clean Internet Files");
    EXPECT_EQ(Text(FindControl(main, 404)), L"Select An Option Below For AutoClean Function");

    ChooseTrayItem(main, L"Exit Program");
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

TEST_F(ProgramTest, CleanTempFromItsTabShowsTheTrueCountThenTheMainWindowAgain) {
    test::TempFolder temp(L"qm-e2e-tab");
    for (int i = 0; i < 12; ++i) test::WriteBytes(temp / (L"f" + std::to_wstring(i) + L".tmp"), "x");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(OpenOptionsWindow(main));

    const HWND tabs = FindControl(main, 600);
    ::PostMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
    ::PostMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
    ASSERT_TRUE(WaitUntil([&] { return Text(FindControl(main, 405)) == L"Temp Folder Contains 12 Files"; }));
    EXPECT_TRUE(WaitUntil([&] { return ::SendMessageW(FindControl(main, 305), LB_GETCOUNT, 0, 0) == 12; }));

    ::PostMessageW(FindControl(main, 103), BM_CLICK, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (question = Visible(program, L"#32770", L"Dorvik Info.....")) != nullptr; }));
    ::PostMessageW(question, WM_COMMAND, IDYES, 0);
    HWND count = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        count = Visible(program, kCountWindowClass);
        return count && Text(::GetDlgItem(count, 2)) == L"Files Cleaned" && ::IsWindowVisible(::GetDlgItem(count, 2));
    }));
    EXPECT_EQ(Text(::GetDlgItem(count, 1)), L"12");
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(count) && ::IsWindowVisible(main); }, 5s));
    EXPECT_FALSE(test::PathExists(temp / L"f0.tmp"));

    ChooseTrayItem(main, L"Exit Program");
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

// The maker's site takes the update check's connection and never answers: the icon, the
// hot key and the menu work at once, and Exit ends the program at once.
TEST_F(ProgramTest, AHangingUpdateSiteHoldsUpNothing) {
    test::SilentServer site;
    ASSERT_NE(site.Port(), 0);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebHost", L"localhost");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebPort", std::to_wstring(site.Port()));
    test::TempFolder temp(L"qm-e2e-hang");
    for (int i = 0; i < 3; ++i) test::WriteBytes(temp / (L"f" + std::to_wstring(i) + L".tmp"), "x");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"AutoFunction", L"Yes");
    const test::KeyTarget keys;
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return site.Connected(); }, 5s)) << "the check is waiting on the site";

    ASSERT_TRUE(keys.Press(L"alt+c"));
    // The key events reach the system through the target's messages.
    test::PumpMessages(3000, [&] { return !test::PathExists(temp / L"f0.tmp"); });
    EXPECT_FALSE(test::PathExists(temp / L"f0.tmp")) << "the hot key cleaned";
    ::PostMessageW(main, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
    EXPECT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") != nullptr; }, 3s)) << "the menu opened";
    if (const HWND menu = Visible(program, L"#32768")) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") == nullptr; }, 3s));

    ChooseTrayItem(main, L"Exit Program");
    EXPECT_EQ(program.WaitForExit(3s), 0) << "Exit does not wait for the check";
}

// The names of the libraries of an import directory of a mapped image, in lower case.
template <class Descriptor>
std::vector<std::wstring> ImportedNames(const BYTE* base, const IMAGE_NT_HEADERS* nt, int directory,
                                        DWORD Descriptor::*name) {
    std::vector<std::wstring> found;
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[directory];
    for (auto* d = reinterpret_cast<const Descriptor*>(base + entry.VirtualAddress); entry.VirtualAddress && d->*name;
         ++d)
        found.push_back(ToLower(WidenUtf8(reinterpret_cast<const char*>(base + d->*name))));
    return found;
}

// The libraries only some windows need load on first use: the program does not import them
// for loading at start, so neither the resident program nor "auto" has them before use.
TEST(ProgramImports, OnDemandLibrariesAreDelayLoaded) {
    const UniqueModule image(::LoadLibraryExW(ProgramPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(image);
    const auto base = reinterpret_cast<const BYTE*>(image.get());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto imported = ImportedNames(base, nt, IMAGE_DIRECTORY_ENTRY_IMPORT, &IMAGE_IMPORT_DESCRIPTOR::Name);
    EXPECT_NE(std::count(imported.begin(), imported.end(), L"user32.dll"), 0) << "the directory was read";
    for (const wchar_t* dll : {L"winhttp.dll", L"wininet.dll", L"winspool.drv", L"ole32.dll", L"crypt32.dll",
                               L"wintrust.dll", L"bcrypt.dll", L"winmm.dll"})
        EXPECT_EQ(std::count(imported.begin(), imported.end(), dll), 0) << NarrowUtf8(dll);
}

TEST_F(ProgramTest, AutoCleanFilesCleansInTheTrayPlaceOrSaysWhyNot) {
    test::TempFolder temp(L"qm-e2e-auto");
    for (int i = 0; i < 5; ++i) test::WriteBytes(temp / (L"f" + std::to_wstring(i) + L".tmp"), "x");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);

    ChooseTrayItem(main, L"AutoClean Files");  // without "AutoFunction"
    HWND notice = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (notice = Visible(program, L"#32770", L"Dorvik Info.....")) != nullptr; }));
    EXPECT_EQ(Text(FindControl(notice, 0xFFFF)), L"The AutoClean Box Must Be Checked For This Function To Work!");
    ::PostMessageW(notice, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32770") == nullptr; }));
    EXPECT_TRUE(test::PathExists(temp / L"f0.tmp"));

    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"AutoFunction", L"Yes");
    ::SetCursorPos(700, 1000);
    ::PostMessageW(main, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONUP);  // where the user clicked
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") != nullptr; }, 10s));
    ::PostMessageW(Visible(program, L"#32768"), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") == nullptr; }, 10s));
    ChooseTrayItem(main, L"AutoClean Files");
    HWND count = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        count = Visible(program, kCountWindowClass);
        return count && ::IsWindowVisible(::GetDlgItem(count, 2));
    }));
    EXPECT_EQ(Text(::GetDlgItem(count, 1)), L"5");
    RECT frame{};
    ::GetWindowRect(count, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromPoint({700, 1000}, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_EQ(frame.bottom, monitor.rcWork.bottom);
    EXPECT_EQ((frame.left + frame.right) / 2, 700);
    const HDC dc = ::GetDC(count);
    EXPECT_EQ(::GetPixel(dc, 2, 2), static_cast<COLORREF>(12640511));
    ::ReleaseDC(count, dc);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(count); }, 5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_FALSE(test::PathExists(temp / L"f0.tmp"));

    ChooseTrayItem(main, L"Exit Program");
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

TEST_F(ProgramTest, RemoveAllPathsLeftAloneKeepsEverythingAndAnsweredOkEnds) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);

    ChooseTrayItem(main, L"Remove All Paths");
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32770", L"Dorvik Quillmere Program") != nullptr; }));
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32770") == nullptr; }, 10s));  // the 4 seconds pass
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(Setting(kCleanPathKey, L"TempFiles"), L"Yes");
    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), ProgramFolder() + L"\\Quillmere.exe");

    ChooseTrayItem(main, L"Remove All Paths");
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (question = Visible(program, L"#32770", L"Dorvik Quillmere Program")) != nullptr; }));
    ::PostMessageW(question, WM_COMMAND, IDOK, 0);
    HWND done = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (done = Visible(program, L"#32770", L"Dorvik Quillmere Information")) != nullptr; }));
    EXPECT_EQ(Text(FindControl(done, 0xFFFF)), L"All Program Paths Have Been Deleted From Registry");
    ::PostMessageW(done, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program.WaitForExit(10s), 0);
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), L"<missing>");
}

// During a long clean, a tray click, a clean button and "Exit Program" arrive: no second
// clean starts, and the program ends only once the clean is done.
TEST_F(ProgramTest, RequestsDuringALongCleanWaitForItAndExitComesAfter) {
    test::TempFolder temp(L"qm-e2e-long");
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) test::WriteBytes(temp / (L"f" + std::to_wstring(i) + L".tmp"), "x");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"AutoFunction", L"Yes");
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);

    ChooseTrayItem(main, L"AutoClean Files");
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, kCountWindowClass) != nullptr; }));
    ASSERT_TRUE(test::PathExists(temp / L"f2999.tmp"));  // the clean is under way, not done
    ChooseTrayItem(main, L"AutoClean Files");
    ::PostMessageW(FindControl(main, 103), BM_CLICK, 0, 0);
    ::PostMessageW(main, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32768") != nullptr; }, 20s));
    ::PostMessageW(Visible(program, L"#32768"), WM_KEYDOWN, VK_ESCAPE, 0);
    ChooseTrayItem(main, L"Exit Program");

    // Had the button's clean started after the first, its question would hold the program open.
    EXPECT_EQ(program.WaitForExit(60s), 0);
    int left = 0;
    for (int i = 0; i < kFiles; ++i) left += test::PathExists(temp / (L"f" + std::to_wstring(i) + L".tmp")) ? 1 : 0;
    EXPECT_EQ(left, 0);
}

// Puts a value of the user's registry back as it was when the scenario ends.
class SavedUserValue {
public:
    SavedUserValue(std::wstring key, std::wstring name) : key_(std::move(key)), name_(std::move(name)) {
        had_ = ScratchRegistry::GetString(HKEY_CURRENT_USER, key_, name_, value_, &type_);
    }
    ~SavedUserValue() {
        if (had_) ScratchRegistry::SetString(HKEY_CURRENT_USER, key_, name_, value_, type_);
        else ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str());
    }
    SavedUserValue(const SavedUserValue&) = delete;
    SavedUserValue& operator=(const SavedUserValue&) = delete;

private:
    std::wstring key_, name_, value_;
    DWORD type_ = REG_SZ;
    bool had_ = false;
};

// Shell folders pointed at the scenario's folders, and put back when it ends. Lookups read
// "User Shell Folders" and rewrite "Shell Folders", so both are saved and written.
class ScenarioShellFolders {
public:
    ScenarioShellFolders(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) {
            saved_.emplace_back(kUserShellFolders, name);
            saved_.emplace_back(kShellFolders, name);
        }
    }
    void Point(const wchar_t* name, const std::wstring& folder) {
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserShellFolders, name, folder, REG_EXPAND_SZ);
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kShellFolders, name, folder);
    }

private:
    static constexpr wchar_t kUserShellFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    static constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::deque<SavedUserValue> saved_;
};

long RunAuto() {
    RunningProgram program(L"auto");
    return program.Started() ? program.WaitForExit(30s) : -2;
}

// An Internet Explorer cache registered as the user's cache shell folder, with an index
// file held open by another process at its top and in "Content.IE5"; and a Firefox profile
// in the user's application data, which keeps everything but its session files. Only the
// listed store's own index goes to the restart; the other file in use waits for the next start.
TEST_F(ProgramTest, AutoCleansTheInternetCacheAndSchedulesTheStoresIndexFileOnce) {
    ScenarioShellFolders shells{L"Cache", L"AppData"};
    test::ScopedPendingOperations pending;
    test::TempFolder profile(L"qm-e2e-profile");
    const std::wstring tif = profile / L"Temporary Internet Files";
    for (const wchar_t* file : {L"index.dat", L"a.gif", L"sub\\b.htm", L"Content.IE5\\index.dat",
                                L"Content.IE5\\ABCD1234\\c.htm", L"Content.IE5\\EFGH5678\\d.js"})
        test::PutFile(tif + L"\\" + file);
    const std::wstring firefox = profile / L"AppData\\Mozilla\\Firefox\\Profiles\\abc.default";
    for (const wchar_t* file : {L"prefs.js", L"places.sqlite", L"sessionstore.js", L"sessionstore-backups\\recovery.jsonlz4"})
        test::PutFile(firefox + L"\\" + file);
    test::LockedFile topIndex(tif + L"\\index.dat"), innerIndex(tif + L"\\Content.IE5\\index.dat");
    ASSERT_TRUE(topIndex.Held() && innerIndex.Held());
    shells.Point(L"Cache", tif);
    shells.Point(L"AppData", profile / L"AppData");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"InternetFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", L"Yes");
    const std::wstring others = test::OtherProgramsPending();
    test::ScopedPendingOperations::Write(others);

    ASSERT_EQ(RunAuto(), 0);
    EXPECT_EQ(test::ListTree(tif), L"Content.IE5\\index.dat\nindex.dat\n");
    EXPECT_EQ(Setting(kProgramKey, L"MSTIF"), tif + L"\\");
    EXPECT_EQ(test::ListTree(firefox), L"places.sqlite\nprefs.js\n");
    const auto stored = test::ScopedPendingOperations::Read();
    ASSERT_TRUE(stored.has_value());
    const auto list = ParsePendingList(stored->type, stored->bytes);
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->entries.size(), 4u);
    EXPECT_EQ(list->raw.substr(0, others.size() - 1), others.substr(0, others.size() - 1)) << "others' pairs, byte for byte";
    EXPECT_TRUE(SamePair(list->entries[3].pair, {SystemPathForm(tif + L"\\index.dat"), L""}));
    std::vector<std::wstring> noted = ReadOwnList(kNextStartValue);
    std::sort(noted.begin(), noted.end());
    EXPECT_EQ(noted, (std::vector<std::wstring>{tif + L"\\Content.IE5\\index.dat", tif + L"\\index.dat"}));

    ASSERT_EQ(RunAuto(), 0);
    EXPECT_EQ(test::ScopedPendingOperations::Read()->bytes, stored->bytes) << "a second run adds nothing";
}

// Runs "auto" and fails for every window it shows; the exit code.
long RunAutoWithoutWindows() {
    RunningProgram program(L"auto");
    if (!program.Started()) return -2;
    const auto started = std::chrono::steady_clock::now();
    while (program.Running() && std::chrono::steady_clock::now() - started < 30s) {
        for (HWND window : program.Windows(nullptr, true)) {
            wchar_t title[256] = {};
            ::GetWindowTextW(window, title, 256);
            ADD_FAILURE() << "window shown: \"" << NarrowUtf8(title) << "\"";
        }
        std::this_thread::sleep_for(20ms);
    }
    return program.WaitForExit(1s);
}

std::string MsieCookieFile(const char* name) {
    // One record: name, value, host, flags, expiry and creation halves (2030 and 2020).
    return std::string(name) + "\nv\nexample.com/\n0\n2916217856\n31094476\n2916217856\n30806476\n*\n";
}

// The cookies that were kept survive "auto" and nothing else does; a kept list that cannot be
// read spares its whole family.
TEST_F(ProgramTest, AutoCleansCookiesButTheKeptOnes) {
    const wchar_t kNetscapeCookies[] = L"Software\\Netscape\\Netscape Navigator\\Cookies";
    const wchar_t kMsieKept[] = L"Software\\Dorvik Software\\Quillmere\\MSIESavedCookies";
    const wchar_t kNsKept[] = L"Software\\Dorvik Software\\Quillmere\\NSSavedCookies";
    const wchar_t kFireFoxKept[] = L"Software\\Dorvik Software\\Quillmere\\FireFoxSavedCookies";
    ScenarioShellFolders shells{L"Cookies", L"AppData"};
    SavedUserValue netscapeFile(kNetscapeCookies, L"Cookie File");
    test::TempFolder profile(L"qm-e2e-cookies");
    const std::wstring cookies = profile / L"Cookies";
    test::MakeFolder(cookies);
    const struct {
        const wchar_t* file;
        const char* cookie;
    } ieFiles[] = {{L"me@kept[1].txt", "id"}, {L"me@kept[2].txt", "id"}, {L"me@kept[3].txt", "other"},
                   {L"me@gone[1].txt", "id"}};
    for (const auto& f : ieFiles) test::WriteBytes(cookies + L"\\" + f.file, MsieCookieFile(f.cookie));
    test::WriteBytes(cookies + L"\\index.dat", "index");
    const std::wstring netscape = profile / L"ns\\cookies.txt";
    const std::wstring fireFox = profile / L"AppData\\Mozilla\\Firefox\\Profiles\\x.default\\cookies.txt";
    // A curl cookie jar: HttpOnly cookies behind "#HttpOnly_".
    const std::string nsBefore =
        "# Netscape HTTP Cookie File\r\n\r\n"
        ".a.com\tTRUE\t/\tFALSE\t4294967295\tA\t1\r\n"
        "#HttpOnly_.a.com\tTRUE\t/login\tTRUE\t4294967295\tA\tsecret\r\n"
        "#HttpOnly_.h.com\tTRUE\t/\tTRUE\t0\tsession\tsecret\r\n"
        "b.com\tFALSE\t/\tFALSE\t4294967295\tB\t2\r\n"
        "c.com\tFALSE\t/\tTRUE\t4294967295\tC\t3\r\n";
    // Where a setting of an old browser points at a user's own file of that name.
    const std::wstring recipe = profile / L"AppData\\Mozilla\\Firefox\\Profiles\\y.default\\cookies.txt";
    const std::string recipeText = "Bread\r\nFlour\t500 g\r\nWater\t300 ml\r\n";
    test::PutFile(recipe, recipeText);
    const std::string ffBefore =
        "# HTTP Cookie File\n"
        "a.com\tFALSE\t/\tFALSE\t2000000000\tA\t1\n"
        "b.com\tFALSE\t/\tFALSE\t2000000000\tB\t2\n";
    test::PutFile(netscape, nsBefore);
    test::PutFile(fireFox, ffBefore);
    shells.Point(L"Cookies", cookies);
    shells.Point(L"AppData", profile / L"AppData");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kNetscapeCookies, L"Cookie File", netscape);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"CookieFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kMsieKept, L"0", L"me@kept[1].txt\tid\t1/1/2020");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kNsKept, L"0", L"a.com\tA\tNever");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kNsKept, L"1", L"me@gone[1].txt\tid\tx");  // wrong family
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kFireFoxKept, L"0", L"b.com\tB\tx");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kFireFoxKept, L"3", L"c.com\tC\tx");  // Netscape's C still goes

    ASSERT_EQ(RunAutoWithoutWindows(), 0);
    EXPECT_EQ(test::ListTree(cookies), L"index.dat\nme@kept[1].txt\nme@kept[2].txt\nold.txt\n");
    EXPECT_EQ(test::ReadBytes(cookies + L"\\old.txt"), "index");
    EXPECT_EQ(test::ReadBytes(netscape),
              "# Netscape HTTP Cookie File\r\n\r\n"
              ".a.com\tTRUE\t/\tFALSE\t4294967295\tA\t1\r\n"
              "#HttpOnly_.a.com\tTRUE\t/login\tTRUE\t4294967295\tA\tsecret\r\n");
    EXPECT_EQ(test::ReadBytes(recipe), recipeText);
    EXPECT_EQ(test::ReadBytes(fireFox),
              "# HTTP Cookie File\n"
              "b.com\tFALSE\t/\tFALSE\t2000000000\tB\t2\n");
    EXPECT_EQ(Setting(kProgramKey, L"MSCookie"), cookies + L"\\");

    // The Netscape list made unreadable: every Netscape cookie stays, the others are cleaned.
    test::WriteBytes(netscape, nsBefore);
    test::WriteBytes(fireFox, ffBefore);
    test::WriteBytes(cookies + L"\\me@gone[1].txt", MsieCookieFile("id"));
    ScratchRegistry::SetDword(HKEY_CURRENT_USER, kNsKept, L"2", 1);
    ASSERT_EQ(RunAutoWithoutWindows(), 0);
    EXPECT_EQ(test::ReadBytes(netscape), nsBefore);
    EXPECT_EQ(test::ReadBytes(fireFox), "# HTTP Cookie File\nb.com\tFALSE\t/\tFALSE\t2000000000\tB\t2\n");
    EXPECT_FALSE(test::PathExists(cookies + L"\\me@gone[1].txt"));
}

// Today's browsers in the user's application data folders: "auto" empties their caches and
// removes exactly the unkept cookies of each database, but leaves alone the database another
// process holds, a "Cookies" file that is no database, one of another schema, and every
// other file of each profile.
TEST_F(ProgramTest, AutoCleansTodaysBrowsersButWhatItMustNotTouch) {
    ScenarioShellFolders shells{L"Local AppData", L"AppData", L"Cache"};
    test::TempFolder root(L"qm-e2e-today");
    test::CurrentProfile profile(root.Path());
    const std::vector<test::CookieRow> rows{{".example.com", "SID", "", "\x01v10s", 13400000000000000},
                                            {"shop.example.com", "cart", "plain", "", 0},
                                            {".tracker.net", "id", "", "\x01v10x", 13400000000000000}};
    for (const auto& database : profile.CookieDatabases()) {
        if (database.kind == kKindFireFoxCookieDb) test::WriteFirefoxCookies(database.path, rows);
        else test::WriteChromiumCookies(database.path, rows);
    }
    const std::wstring held = profile.chromeDefault + L"Network\\Cookies";
    const std::wstring notADatabase = profile.edgeDefault + L"Cookies";
    const std::wstring otherSchema = profile.braveProfile3 + L"Network\\Cookies";
    test::WriteBytes(notADatabase, "host\tname\tvalue\n");
    ::DeleteFileW(test::LongPath(otherSchema).c_str());
    ASSERT_TRUE(test::ExecuteSql(otherSchema, "CREATE TABLE cookies(host TEXT, name TEXT); INSERT INTO cookies VALUES('a','b')"));
    const std::wstring inetCache = profile.local + L"Microsoft\\Windows\\INetCache";
    const auto others = profile.OtherFiles();
    // Side files that are hard links to the user's documents: a database behind a "-journal"
    // or "-wal" link is left alone like a held one; "-shm" is never opened, so its database is
    // cleaned. The documents stay byte for byte.
    struct SideLink {
        std::wstring database, side, document;
        bool cleaned;
    };
    std::vector<SideLink> sideLinks;
    test::MakeFolder(root / L"Documents");
    for (const auto& database : profile.CookieDatabases()) {
        if (database.path == held || database.path == notADatabase || database.path == otherSchema) continue;
        const bool firefox = database.kind == kKindFireFoxCookieDb;
        const auto linked = [&](const wchar_t* suffix) {
            return std::any_of(sideLinks.begin(), sideLinks.end(),
                               [&](const SideLink& link) { return link.side.ends_with(suffix); });
        };
        const wchar_t* suffix = firefox ? L"-wal" : !linked(L"-journal") ? L"-journal" : L"-shm";
        if (linked(suffix)) continue;
        const std::wstring document = root / (L"Documents\\letter" + std::to_wstring(sideLinks.size()) + L".txt");
        test::WriteBytes(document, "my only copy");
        sideLinks.push_back({database.path, database.path + suffix, document, std::wstring(suffix) == L"-shm"});
        ASSERT_TRUE(::CreateHardLinkW(test::LongPath(sideLinks.back().side).c_str(), test::LongPath(document).c_str(),
                                      nullptr));
    }
    ASSERT_EQ(sideLinks.size(), 3u);
    const auto leftAlone = [&](const std::wstring& path) {
        return std::any_of(sideLinks.begin(), sideLinks.end(),
                           [&](const SideLink& link) { return link.database == path && !link.cleaned; });
    };

    shells.Point(L"Local AppData", profile.local);
    shells.Point(L"AppData", profile.roaming);
    shells.Point(L"Cache", inetCache);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"InternetFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"CookieFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kChromiumSavedKey, L"0", L"example.com\tSID\tx");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kFireFoxSavedKey, L"0", L"shop.example.com\tcart\tx");
    std::vector<std::pair<std::wstring, std::string>> untouched;
    {
        test::DatabaseHolder browser(held);
        ASSERT_TRUE(browser.Holding());
        for (const auto& path : {held, notADatabase, otherSchema}) untouched.emplace_back(path, test::ReadBytes(path));
        ASSERT_EQ(RunAutoWithoutWindows(), 0);
        for (const auto& [path, bytes] : untouched) EXPECT_EQ(test::ReadBytes(path), bytes) << NarrowUtf8(path);
    }

    for (const auto& link : sideLinks) {
        EXPECT_EQ(test::ReadBytes(link.document), "my only copy") << NarrowUtf8(link.side);
        ::DeleteFileW(test::LongPath(link.side).c_str());  // before SQLite opens the database to count
        const bool firefox = link.side.ends_with(L"-wal");
        if (!link.cleaned) {
            EXPECT_EQ(test::CookiesLeft(link.database, firefox ? "moz_cookies" : "cookies", firefox ? "host" : "host_key")
                          .size(),
                      3u);
        }
    }
    for (const auto& database : profile.CookieDatabases()) {
        if (database.path == held || database.path == notADatabase || database.path == otherSchema) continue;
        if (leftAlone(database.path)) continue;
        if (database.kind == kKindFireFoxCookieDb)
            EXPECT_EQ(test::CookiesLeft(database.path, "moz_cookies", "host"),
                      std::vector<std::string>{"shop.example.com\tcart"});
        else
            EXPECT_EQ(test::CookiesLeft(database.path, "cookies", "host_key"),
                      std::vector<std::string>{".example.com\tSID"}) << NarrowUtf8(database.path);
    }
    EXPECT_EQ(test::CookiesLeft(held, "cookies", "host_key").size(), 3u);
    for (const auto& folder : profile.CacheFolders())
        if (folder.kind != kKindFireFoxDefault) {
            EXPECT_EQ(test::ListTree(folder.path), L"") << NarrowUtf8(folder.path);
        }
    for (const auto& file : profile.SessionFiles()) EXPECT_FALSE(test::PathExists(file)) << NarrowUtf8(file);
    EXPECT_EQ(test::ListTree(inetCache), L"");
    for (const auto& [path, bytes] : others) EXPECT_EQ(test::ReadBytes(path), bytes) << NarrowUtf8(path);
}

// Run only inside a Wine prefix of its own by tests/e2e/shutdown_prefix_test.sh: the request
// ends the prefix's session, so the script checks the outcome from outside (the system call it
// led to, the Temp folder). The marker file tells it what was seen here.
TEST(ShutdownPrefix, DISABLED_CleanAndShutdownCleansSaysFarewellAndEndsTheSession) {
    const std::wstring temp = L"C:\\qm-shutdown-temp";
    const std::wstring marker = L"C:\\qm-shutdown-marker.txt";
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    for (const wchar_t* name : {L"Shutdown", L"TempFiles"})
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, name, L"Yes");
    const test::ScopedEnv tempVariable(L"Temp", temp);
    RunningProgram program(L"");
    ASSERT_TRUE(program.Started());
    HWND main = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        const auto windows = program.Windows(kMainWindowClass);
        main = windows.empty() ? nullptr : windows.front();
        return main != nullptr;
    }));
    ChooseTrayItem(main, L"Clean And Shutdown");  // the question starts it by itself after 4 seconds
    const bool farewell = WaitUntil([&] { return Visible(program, kShutdownWindowClass) != nullptr; }, 60s);
    const bool ended = program.WaitForExit(60s) != -1;
    test::WriteBytes(marker, std::string(farewell ? "farewell seen\n" : "no farewell\n") +
                                 (ended ? "program ended\n" : "program still running\n"));
}

// Run only by tests/cli/cli_test.py: the resident program's "Clean Temp" question stays open
// (a clean of the resident program has begun and holds the clean lock) until the script has
// run its console cleans against it and asks for the release.
TEST_F(ProgramTest, DISABLED_ResidentCleanHoldsTheLockUntilReleased) {
    const std::wstring marker = L"C:\\qm-cli\\resident.txt";
    const std::wstring release = L"C:\\qm-cli\\release.txt";
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    RunningProgram program(L"");
    const HWND main = StartResident(program);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(OpenOptionsWindow(main));
    ::PostMessageW(FindControl(main, 103), BM_CLICK, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (question = Visible(program, L"#32770", L"Dorvik Info.....")) != nullptr; }));
    test::WriteBytes(marker, "question open\n");
    EXPECT_TRUE(WaitUntil([&] { return test::PathExists(release); }, 120s));
    ::PostMessageW(question, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitUntil([&] { return Visible(program, L"#32770") == nullptr; }));
    ChooseTrayItem(main, L"Exit Program");
    EXPECT_EQ(program.WaitForExit(10s), 0);
}

// Every file below folder with its bytes, one line each: what "byte-identical" compares.
std::string Snapshot(const std::wstring& folder) {
    std::string lines;
    std::wstring names = test::ListTree(folder);
    for (size_t start = 0, end; (end = names.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring name = names.substr(start, end - start);
        lines += NarrowUtf8(name) + "=" + test::ReadBytes(folder + L"\\" + name) + "\n";
    }
    return lines;
}

// The traps of the held-deletes work, one row each, all laid in one profile and cleaned by
// "auto", by the tray menu's "AutoClean Files" and by the options window's clean: names the system would shorten beside
// links, a user folder stored with a trailing blank, a user folder reaching the Desktop
// through a link, Outlook's attachments in a cache. The outside stays byte for byte; the
// legitimate files go.
TEST_F(ProgramTest, HeldDeleteTrapsLeaveTheOutsideByteForByteUnderAutoTheTrayAndTheOptionsWindow) {
    ScenarioShellFolders shells{L"Cache", L"Cookies", L"AppData", L"Desktop"};
    const struct {
        const char* trap;
        std::vector<std::wstring> inside;   // below the scenario root: must be gone
        std::vector<std::wstring> outside;  // below the outside folder: must stay byte for byte
        std::vector<std::wstring> kept;     // below the scenario root: must stay too
        std::vector<std::pair<std::wstring, std::wstring>> links;  // link below the root -> folder outside
    } rows[] = {
        {"Temp: X. and X  beside a link X", {L"Temp\\X.\\a.tmp", L"Temp\\X \\b.tmp"}, {L"t\\a.tmp", L"t\\b.tmp"}, {},
         {{L"Temp\\X", L"t"}}},
        {"user folder: X. and X  beside a link X", {L"User\\X.\\a.tmp", L"User\\X \\b.tmp"}, {L"u\\a.tmp"}, {},
         {{L"User\\X", L"u"}}},
        // A location whose path holds "X." does not pass the gate: neither followed nor emptied.
        {"cookie store below X. beside a link X", {}, {L"c\\Cookies\\me@site[1].txt"},
         {L"CookieRoot\\X.\\Cookies\\me@site[1].txt"}, {{L"CookieRoot\\X", L"c"}}},
        {"cache below X. beside a link X", {}, {L"f\\Cache\\page.htm"},
         {L"AppData\\Mozilla\\Firefox\\Profiles\\X.\\Cache\\page.htm"},
         {{L"AppData\\Mozilla\\Firefox\\Profiles\\X", L"f"}}},
        {"user folder stored with a trailing blank", {}, {}, {L"yt\\Y\\keep.txt", L"yt\\Y \\also.txt"}, {}},
        {"user folder reaching the Desktop through a link", {}, {L"profile\\Desktop\\letter.txt"}, {},
         {}},
        {"Outlook's attachment in the cache", {L"INetCache\\Content.IE5\\BUCKET\\page.htm"}, {},
         {L"INetCache\\Content.Outlook\\ABC\\reply.doc", L"INetCache\\OLK3F\\draft.doc"}, {}},
    };
    for (const char* mode : {"auto", "tray", "options window"}) {
        const bool automatic = mode == std::string_view("auto");
        ForgetSettings();
        test::TempFolder root(L"qm-e2e-held"), outside(L"qm-e2e-outside");
        std::vector<std::unique_ptr<test::ScopedDirectoryLink>> links;
        for (const auto& row : rows) {
            for (const auto& file : row.inside) test::PutFile(root / file);
            for (const auto& file : row.kept) test::PutFile(root / file, "kept");
            for (const auto& file : row.outside) test::PutFile(outside / file, "precious");
            for (const auto& [link, target] : row.links) {
                links.push_back(std::make_unique<test::ScopedDirectoryLink>(root / link, outside / target));
                ASSERT_TRUE(links.back()->Made()) << row.trap;
            }
        }
        test::MakeFolder(root / L"Shortcut\\Temp");
        links.push_back(std::make_unique<test::ScopedDirectoryLink>(root / L"Shortcut\\Temp\\home", outside / L"profile"));
        const std::string outsideBefore = Snapshot(outside.Path());
        shells.Point(L"Cache", root / L"INetCache");
        shells.Point(L"Cookies", root / L"CookieRoot");
        shells.Point(L"AppData", root / L"AppData");
        shells.Point(L"Desktop", outside / L"profile\\Desktop");
        const std::wstring userFolders[] = {root / L"User", root / L"yt\\Y ", root / L"Shortcut\\Temp\\home\\Desktop"};
        for (size_t i = 0; i < std::size(userFolders); ++i)
            ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File" + std::to_wstring(i), userFolders[i]);
        for (const wchar_t* clean : {L"InternetFiles", L"CookieFiles", L"TempFiles", L"UserFolder", L"AutoFunction"})
            ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, clean, L"Yes");
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
        test::ScopedEnv tempVariable(L"Temp", root / L"Temp");

        if (automatic) {
            ASSERT_EQ(RunAutoWithoutWindows(), 0);
        } else {
            RunningProgram program(L"");
            const HWND main = StartResident(program);
            ASSERT_NE(main, nullptr);
            if (mode == std::string_view("tray")) {
                ChooseTrayItem(main, L"AutoClean Files");
            } else {
                ASSERT_TRUE(OpenOptionsWindow(main));
                ::PostMessageW(FindControl(main, 105), BM_CLICK, 0, 0);  // the Options tab's clean
                HWND question = nullptr;
                ASSERT_TRUE(WaitUntil([&] { return (question = Visible(program, L"#32770", L"Dorvik Info.....")) != nullptr; }));
                ::PostMessageW(question, WM_COMMAND, IDYES, 0);
                ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(question); }, 5s));
            }
            // The user is told of each refused folder; each box is answered as it comes.
            std::vector<std::wstring> told;
            HWND count = nullptr;
            ASSERT_TRUE(WaitUntil([&] {
                if (const HWND box = Visible(program, L"#32770", L"Dorvik Info.....")) {
                    told.push_back(Text(FindControl(box, 0xFFFF)));
                    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                    WaitUntil([&] { return !::IsWindowVisible(box); }, 5s);
                }
                count = Visible(program, kCountWindowClass);
                return count && ::IsWindowVisible(::GetDlgItem(count, 2));
            }));
            // The options window's combined clean runs its steps without their boxes.
            if (mode == std::string_view("tray")) {
                ASSERT_EQ(told.size(), 2u);
                EXPECT_TRUE(EndsWith(told[0], userFolders[1])) << NarrowUtf8(told[0]);
                EXPECT_TRUE(Contains(told[1], L"Names A System Folder")) << NarrowUtf8(told[1]);
            } else {
                EXPECT_TRUE(told.empty()) << NarrowUtf8(told.front());
            }
            EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(count); }, 10s));
            ChooseTrayItem(main, L"Exit Program");
            EXPECT_EQ(program.WaitForExit(10s), 0);
        }

        EXPECT_EQ(Snapshot(outside.Path()), outsideBefore) << mode;
        for (const auto& row : rows) {
            for (const auto& file : row.inside) EXPECT_FALSE(test::PathExists(root / file)) << row.trap << " " << mode;
            for (const auto& file : row.kept) EXPECT_EQ(test::ReadBytes(root / file), "kept") << row.trap << " " << mode;
        }
        links.clear();
    }
}

}  // namespace
}  // namespace qm

// End-to-end: the installer and the portable zip that the build makes, run under Wine.
// Install per user (silently), run the installed program, update it in place, uninstall.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "base/handles.h"
#include "base/program_version.h"
#include "base/text.h"
#include "startup/reg_op.h"
#include "support/fixtures.h"
#include "ui/desktop_host.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::ScratchRegistry;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmere";

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH];
    std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    self.resize(self.find_last_of(L'\\'));   // bin
    return self.substr(0, self.find_last_of(L'\\'));
}

std::wstring DistFile(const std::wstring& name) { return BuildFolder() + L"\\dist\\" + name; }
std::wstring InstallerPath() { return DistFile(L"Quillmere-" + ProgramVersionText() + L"-setup.exe"); }

std::wstring StartMenuEntry() {
    wchar_t programs[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs);
    return std::wstring(programs) + L"\\Quillmere.lnk";
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

// Runs a program and waits for it; its exit code, or -1 when it did not start or end in time.
long RunAndWait(const std::wstring& program, const std::wstring& arguments, std::chrono::seconds limit = 60s) {
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    UniqueKernelObject process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.get(), static_cast<DWORD>(limit.count() * 1000)) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 99);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}

// The process of the resident program's hidden window, to wait on; none when it is not there.
UniqueKernelObject ResidentProcess(DWORD notThisOne = 0) {
    DWORD id = 0;
    if (const HWND window = ::FindWindowW(kMaxMinWindowClass, nullptr)) ::GetWindowThreadProcessId(window, &id);
    if (id == 0 || id == notThisOne) return {};
    return UniqueKernelObject(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
}

// Starts the installed program as the resident program and waits for its hidden window.
UniqueKernelObject StartResident(const std::wstring& program) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + program + L"\"";
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return {};
    UniqueKernelObject process(info.hProcess), thread(info.hThread);
    return WaitUntil([] { return ::FindWindowW(kMaxMinWindowClass, nullptr) != nullptr; }) ? std::move(process)
                                                                                          : UniqueKernelObject();
}

bool Ended(const UniqueKernelObject& process) { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }

std::wstring Value(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring value;
    return ScratchRegistry::GetString(root, key, name, value) ? value : L"<missing>";
}

// The installed program's automatic clean empties the Temp folder it is given.
void ExpectAutoCleanRuns(const std::wstring& program) {
    test::TempFolder temp(L"qm-installed-temp");
    test::WriteBytes(temp / L"junk.tmp", "junk");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    EXPECT_EQ(RunAndWait(program, L"auto"), 0);
    EXPECT_FALSE(test::PathExists(temp / L"junk.tmp")) << NarrowUtf8(program) << " cleaned nothing";
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::PathExists(InstallerPath())) << "the build makes the installer (NSIS)";
        Forget();
    }
    void TearDown() override { Forget(); }
    static void Forget() {
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, kUninstallKey);
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, L"Software\\Dorvik Software");
        UniqueRegKey run;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, run.put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(run.get(), L"Quillmere");
        ::DeleteFileW(StartMenuEntry().c_str());
        // A program a failed test left running would hold the next test's files (and the output).
        if (const UniqueKernelObject left = ResidentProcess()) ::TerminateProcess(left.get(), 9);
    }
};

TEST_F(InstallerTest, InstallsPerUserSilentlyUpdatesInPlaceAndUninstallsCleanly) {
    test::TempFolder parent(L"qm-install");
    const std::wstring folder = parent / L"Quillmere Programs";
    const std::wstring program = folder + L"\\Quillmere.exe";

    ASSERT_EQ(RunAndWait(InstallerPath(), L"/S /CurrentUser /D=" + folder), 0);
    ASSERT_TRUE(test::PathExists(program));
    EXPECT_EQ(RunAndWait(folder + L"\\quillmere-cli.exe", L"--version"), 0) << "the console program is installed";
    EXPECT_TRUE(test::PathExists(folder + L"\\Uninstall.exe"));
    EXPECT_TRUE(test::PathExists(StartMenuEntry()));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation"), folder);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kUninstallKey, L"InstallMode"), L"CurrentUser");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion"), ProgramVersionText());
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "nothing per machine";

    ExpectAutoCleanRuns(program);

    // A resident start registers the installed program to start with Windows.
    const UniqueKernelObject old = StartResident(program);
    ASSERT_TRUE(old);
    EXPECT_TRUE(WaitUntil([&] { return Value(HKEY_CURRENT_USER, kRunKey, L"Quillmere") == program; }));
    {
        // The update as the program starts it, from its download folder under Temp: the running
        // program exits, the updated one starts in the tray and removes the download.
        test::TempFolder temp(L"qm-update-temp");
        test::ScopedEnv tmp(L"TMP", temp.Path()), tempVariable(L"TEMP", temp.Path());
        const std::wstring download = temp / L"Quillmere-Update-1-2";
        ASSERT_TRUE(::CreateDirectoryW(download.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(InstallerPath().c_str(), (download + L"\\Update.exe").c_str(), TRUE));
        const DWORD oldId = ::GetProcessId(old.get());
        EXPECT_EQ(RunAndWait(download + L"\\Update.exe", L"/S /Update /WaitPid=" + std::to_wstring(oldId)), 0);
        EXPECT_TRUE(Ended(old)) << "the old program still runs";
        EXPECT_TRUE(WaitUntil([&] { return bool(ResidentProcess(oldId)); })) << "the updated program is not running";
        EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(download); })) << "the download folder stays";
    }
    // The update went where the first installation is, without a /D.
    EXPECT_TRUE(test::PathExists(program));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation"), folder);
    ExpectAutoCleanRuns(program);
    {
        // Uninstalling while the program runs and a file of it is held: the program exits, the
        // uninstall fails (never "Completed") and stays registered, to be run again.
        const UniqueKernelObject running = ResidentProcess();
        const UniqueFile held(::CreateFileW((folder + L"\\quillmere-cli.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(running && held);
        EXPECT_EQ(RunAndWait(folder + L"\\Uninstall.exe", L"/S _?=" + folder), 2);  // in place, to get its result
        EXPECT_TRUE(Ended(running)) << "the program still runs";
        EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    }
    // The uninstaller restarts itself from Temp and returns at once: wait for its work.
    ASSERT_EQ(RunAndWait(folder + L"\\Uninstall.exe", L"/S"), 0);
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(folder); })) << "program folder left behind";
    EXPECT_TRUE(WaitUntil([&] { return !ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kUninstallKey); }));
    EXPECT_FALSE(test::PathExists(StartMenuEntry()));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kRunKey, L"Quillmere"), L"<missing>");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kProgramKey, L"FirstRun"), L"No") << "settings stay unless asked";
}

TEST_F(InstallerTest, UninstallEndsTheRunningProgramAndRemovesTheSettingsWhenAskedTo) {
    test::TempFolder parent(L"qm-install");
    const std::wstring folder = parent / L"Quillmere";
    ASSERT_EQ(RunAndWait(InstallerPath(), L"/S /D=" + folder), 0);
    const UniqueKernelObject running = StartResident(folder + L"\\Quillmere.exe");
    ASSERT_TRUE(running);
    ASSERT_EQ(RunAndWait(folder + L"\\Uninstall.exe", L"/S /RemoveSettings"), 0);
    EXPECT_TRUE(WaitUntil([&] { return !test::PathExists(folder); })) << "a file of the running program stays";
    EXPECT_TRUE(Ended(running));
    EXPECT_TRUE(WaitUntil([&] { return !ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey); }));
}

TEST_F(InstallerTest, PortableZipRunsAsIs) {
    test::TempFolder unpacked(L"qm-portable");
    const std::string zip = test::WineUnixPath(DistFile(L"Quillmere-" + ProgramVersionText() + L"-portable.zip"));
    ASSERT_FALSE(zip.empty());
    ASSERT_TRUE(test::RunUnixCommand(L"/usr/bin/unzip -q -o \"" + WidenUtf8(zip) + L"\" -d \"" +
                                     WidenUtf8(test::WineUnixPath(unpacked.Path())) + L"\""));
    ASSERT_TRUE(WaitUntil([&] { return test::PathExists(unpacked / L"Quillmere.exe"); }, 10s));
    std::this_thread::sleep_for(500ms);  // the Unix child may still be writing
    ExpectAutoCleanRuns(unpacked / L"Quillmere.exe");
    EXPECT_EQ(RunAndWait(unpacked / L"quillmere-cli.exe", L"--version"), 0) << "the console program is in the zip";
}

TEST(VersionFile, NamesTheInstallerAndItsHash) {
    const std::string text = test::ReadBytes(DistFile(L"ver.txt"));
    const std::string head = "\"Quillmere\",\"" + NarrowUtf8(ProgramVersionText()) + "\",\"";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.size(), head.size() + 64 + 3);  // the hash, closing quote, CR LF
}

}  // namespace
}  // namespace qm

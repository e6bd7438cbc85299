#pragma once
// Real registry and file system for tests, kept apart from the developer's own:
// HKEY_CURRENT_USER redirected to a scratch key, temporary folders, process variables.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qm::test {

// Redirects HKEY_CURRENT_USER of this process to a fresh scratch key for the
// fixture's lifetime, then deletes the scratch key.
class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // Raw access for arranging and checking, independent of the code under test.
    static void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                          const std::wstring& value, DWORD type = REG_SZ);
    static void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
    static void SetBinary(HKEY root, const std::wstring& key, const std::wstring& name, const std::string& bytes);
    // Nothing (false) when the value is missing.
    static bool GetString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& value,
                          DWORD* type = nullptr);
    static bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name);
    static bool KeyExists(HKEY root, const std::wstring& key);
    static void DeleteTree(HKEY root, const std::wstring& key);

    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    HKEY scratch_ = nullptr;
};

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(std::wstring_view hint = L"qm");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }           // without trailing "\"
    std::wstring operator/(std::wstring_view relative) const { return path_ + L"\\" + std::wstring(relative); }

private:
    std::wstring path_;
};

// Sets a process environment variable for the fixture's lifetime.
class ScopedEnv {
public:
    ScopedEnv(std::wstring name, const std::wstring* value);
    ScopedEnv(std::wstring name, const std::wstring& value) : ScopedEnv(std::move(name), &value) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring name_;
    std::wstring old_;
    bool hadOld_ = false;
};

// File helpers that take long paths (they add the "\\?\" prefix themselves).
std::wstring LongPath(const std::wstring& path);
void WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);
void MakeFolder(const std::wstring& path);   // with missing parents
// A file with its missing folders made; returns its path.
std::wstring PutFile(const std::wstring& path, std::string_view bytes = "x");
bool PathExists(const std::wstring& path);
DWORD Attributes(const std::wstring& path);
void RemoveTree(const std::wstring& path);   // never follows links
// Under Wine: the Unix path of a Windows path ("" elsewhere).
std::string WineUnixPath(const std::wstring& path);
// Starts a Unix program from inside Wine (a command line with its full path) and waits for
// it as far as Wine lets us tell; false when it could not be started.
bool RunUnixCommand(std::wstring commandLine);
// Runs a shell script (no double quotes in it) and waits until it has ended, up to 10 s:
// Wine gives no handle to wait on for a Unix child, so the script leaves a mark when done.
bool RunUnixScriptToEnd(const std::wstring& script);

// Runs the message loop for up to milliseconds, or until done answers true. With a dialog
// window, its keys (Tab, Enter, Esc) are handled as the program's own loop handles them.
void PumpMessages(DWORD milliseconds, const std::function<bool()>& done = {}, HWND dialog = nullptr);
// A directory link (Wine: a Unix symbolic link, seen as a reparse point).
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target);
// Under Wine, a Unix link at link to the file target, which Wine shows as a plain file with
// one link (deleting it through Windows would delete the target: RemoveFileLink removes it).
bool MakeFileLink(const std::wstring& link, const std::wstring& target);
void RemoveFileLink(const std::wstring& link);
// Holds a file open without sharing delete, so it cannot be removed meanwhile.
class LockedFile {
public:
    explicit LockedFile(const std::wstring& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace qm::test

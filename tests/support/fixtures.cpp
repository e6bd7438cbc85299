#include "support/fixtures.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "base/handles.h"
#include "base/text.h"

namespace qm::test {

namespace {

std::wstring UniqueSuffix() {
    static std::atomic<int> counter{0};
    return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64()) + L"-" +
           std::to_wstring(counter++);
}

HKEY OpenRaw(HKEY root, const std::wstring& key, REGSAM access, bool create) {
    HKEY handle = nullptr;
    const LONG status =
        create ? ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, access, nullptr, &handle, nullptr)
               : ::RegOpenKeyExW(root, key.c_str(), 0, access, &handle);
    return status == ERROR_SUCCESS ? handle : nullptr;
}

}  // namespace

ScratchRegistry::ScratchRegistry() : path_(L"Software\\QuillmereTests\\" + UniqueSuffix()) {
    // Start from the real key: under Wine an earlier redirection can leave the root mapped to
    // a handle that is gone (seen after tests that start Unix programs).
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    HKEY created = nullptr;
    const LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          &created, nullptr);
    scratch_ = status == ERROR_SUCCESS ? created : nullptr;
    if (!scratch_ || ::RegOverridePredefKey(HKEY_CURRENT_USER, scratch_) != ERROR_SUCCESS)
        throw std::runtime_error("cannot redirect HKEY_CURRENT_USER to a scratch key (" + std::to_string(status) + ")");
}

ScratchRegistry::~ScratchRegistry() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegCloseKey(scratch_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QuillmereTests");  // only when empty
}

void ScratchRegistry::SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                                const std::wstring& value, DWORD type) {
    UniqueRegKey handle(OpenRaw(root, key, KEY_SET_VALUE, true));
    ASSERT_TRUE(handle.valid());
    ::RegSetValueExW(handle.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ScratchRegistry::SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    UniqueRegKey handle(OpenRaw(root, key, KEY_SET_VALUE, true));
    ASSERT_TRUE(handle.valid());
    ::RegSetValueExW(handle.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void ScratchRegistry::SetBinary(HKEY root, const std::wstring& key, const std::wstring& name, const std::string& bytes) {
    UniqueRegKey handle(OpenRaw(root, key, KEY_SET_VALUE, true));
    ASSERT_TRUE(handle.valid());
    ::RegSetValueExW(handle.get(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()));
}

bool ScratchRegistry::GetString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& value,
                                DWORD* type) {
    UniqueRegKey handle(OpenRaw(root, key, KEY_QUERY_VALUE, false));
    if (!handle) return false;
    DWORD size = 0, kind = 0;
    if (::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &kind, nullptr, &size) != ERROR_SUCCESS) return false;
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    ::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &kind, data.data(), &size);
    if (type) *type = kind;
    if (kind == REG_DWORD) {
        value = std::to_wstring(*reinterpret_cast<DWORD*>(data.data()));
    } else {
        value.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();
    }
    return true;
}

bool ScratchRegistry::ValueExists(HKEY root, const std::wstring& key, const std::wstring& name) {
    std::wstring ignored;
    return GetString(root, key, name, ignored);
}

bool ScratchRegistry::KeyExists(HKEY root, const std::wstring& key) {
    UniqueRegKey handle(OpenRaw(root, key, KEY_READ, false));
    return handle.valid();
}

void ScratchRegistry::DeleteTree(HKEY root, const std::wstring& key) { ::RegDeleteTreeW(root, key.c_str()); ::RegDeleteKeyW(root, key.c_str()); }

std::wstring LongPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// The system's temporary folder as it was when the first test folder was made: tests
// redirect "Temp" into their own folders, and later test folders must not land there.
static const std::wstring& TestFolderBase() {
    static const std::wstring base = [] {
        wchar_t buffer[MAX_PATH + 1];
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
        return std::wstring(buffer, length);
    }();
    return base;
}

TempFolder::TempFolder(std::wstring_view hint) : path_(TestFolderBase() + std::wstring(hint) + L"-" + UniqueSuffix()) {
    MakeFolder(path_);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

ScopedEnv::ScopedEnv(std::wstring name, const std::wstring* value) : name_(std::move(name)) {
    wchar_t buffer[32768];
    const DWORD length = ::GetEnvironmentVariableW(name_.c_str(), buffer, 32768);
    hadOld_ = length > 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    if (hadOld_) old_.assign(buffer, length);
    ::SetEnvironmentVariableW(name_.c_str(), value ? value->c_str() : nullptr);
}

ScopedEnv::~ScopedEnv() { ::SetEnvironmentVariableW(name_.c_str(), hadOld_ ? old_.c_str() : nullptr); }

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create test file " + NarrowUtf8(path));
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring PutFile(const std::wstring& path, std::string_view bytes) {
    MakeFolder(path.substr(0, path.find_last_of(L'\\')));
    WriteBytes(path, bytes);
    return path;
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file.get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

void MakeFolder(const std::wstring& path) {
    const std::wstring full = LongPath(path);
    if (::CreateDirectoryW(full.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) return;
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 3) throw std::runtime_error("cannot create test folder");
    MakeFolder(path.substr(0, slash));
    if (!::CreateDirectoryW(full.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        throw std::runtime_error("cannot create test folder " + NarrowUtf8(path));
}

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(LongPath(path).c_str()); }
bool PathExists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    const std::wstring full = LongPath(path);
    ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(full.c_str());
        return;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return;  // never enter a link's target
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((full + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryW(full.c_str());
}

std::string WineUnixPath(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!name) return {};
    std::string result(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

bool RunUnixCommand(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    // For a Unix child Wine may leave stale values in the answer: a handle is closed only when
    // it is the child's own, since closing a stray value can close another handle of this
    // process (such as the one behind every named object).
    const bool ownProcess = process.dwProcessId != 0 && ::GetProcessId(process.hProcess) == process.dwProcessId;
    const bool ownThread = process.dwThreadId != 0 && ::GetThreadId(process.hThread) == process.dwThreadId;
    UniqueKernelObject processHandle(ownProcess ? process.hProcess : nullptr);
    UniqueKernelObject threadHandle(ownThread ? process.hThread : nullptr);
    if (ownProcess) ::WaitForSingleObject(process.hProcess, 10000);
    return true;
}

bool RunUnixScriptToEnd(const std::wstring& script) {
    const TempFolder scratch(L"qm-unix");
    const std::wstring mark = scratch / L"done";
    const std::string markUnix = WineUnixPath(mark);
    if (markUnix.empty() ||
        !RunUnixCommand(L"/bin/sh -c \"" + script + L"; : > '" + WidenUtf8(markUnix) + L"'\""))
        return false;
    for (int waited = 0; waited < 10000 && !PathExists(mark); waited += 20) ::Sleep(20);
    return PathExists(mark);
}

bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
    const auto isLink = [&] {
        const DWORD attributes = Attributes(link);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) && isLink()) return true;
    // Wine: make a Unix symbolic link, which it shows as a directory reparse point.
    const size_t slash = link.find_last_of(L'\\');
    const std::string linkUnix = WineUnixPath(link.substr(0, slash)) + "/" + NarrowUtf8(link.substr(slash + 1));
    const std::string targetUnix = WineUnixPath(target);
    if (targetUnix.empty() || linkUnix.front() != '/') return false;
    if (!RunUnixCommand(L"/bin/ln -s \"" + WidenUtf8(targetUnix) + L"\" \"" + WidenUtf8(linkUnix) + L"\"")) return false;
    // Wine may report a Unix child as ended before it has run, so give the link time to appear.
    for (int attempt = 0; attempt < 200 && !isLink(); ++attempt) ::Sleep(25);
    return isLink();
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
    const std::string linkUnix = WineUnixPath(link), targetUnix = WineUnixPath(target);
    if (linkUnix.empty() || targetUnix.empty()) return false;
    return RunUnixScriptToEnd(L"ln -s '" + WidenUtf8(targetUnix) + L"' '" + WidenUtf8(linkUnix) + L"'") &&
           PathExists(link);
}

void RemoveFileLink(const std::wstring& link) {
    const std::string linkUnix = WineUnixPath(link);
    if (!linkUnix.empty()) RunUnixScriptToEnd(L"rm -f '" + WidenUtf8(linkUnix) + L"'");
}

LockedFile::LockedFile(const std::wstring& path)
    : handle_(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}

LockedFile::~LockedFile() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
}

void PumpMessages(DWORD milliseconds, const std::function<bool()>& done, HWND dialog) {
    const ULONGLONG until = ::GetTickCount64() + milliseconds;
    MSG message;
    while (!(done && done()) && ::GetTickCount64() < until) {
        if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::Sleep(5);
            continue;
        }
        if (message.message == WM_QUIT) continue;
        if (dialog && ::IsDialogMessageW(dialog, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace qm::test

#include "startup/file_helpers.h"

#include <windows.h>
#include <shlwapi.h>

#include <sstream>

#include "base/app_error.h"
#include "base/handles.h"
#include "base/relative_files.h"
#include "base/text.h"
#include "startup/api.h"

namespace qm {

namespace {

constexpr TrapSite kFileCopySite{L"basMain", L"FileCopyAPI"};

// A listing with default attributes leaves out hidden and system files and folders.
constexpr DWORD kNotInDefaultListing = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

std::wstring UpperHex(DWORD value) {
    std::wostringstream text;
    text << std::hex << std::uppercase << value;
    return text.str();
}

std::wstring CopyFailedDescription(const std::wstring& source, const std::wstring& destination, DWORD error) {
    return L"Failed to copy \"" + source + L"\" to \"" + destination +
           L"\". The return value was 0 and the error number was &h" + UpperHex(error) + L".";
}

// Attributes that a replacement file takes over from the file it replaces.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kReadChunk = 1u << 20;

FileStamp StampFrom(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    return {(static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow, written};
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(bytes.size() < kReadChunk ? bytes.size() : kReadChunk);
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A new, empty file beside name in the held folder (so the final rename stays in the folder).
UniqueFile CreateSibling(HANDLE folder, std::wstring_view name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring sibling = std::wstring(name) + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                     std::to_wstring(attempt) + L".new";
        UniqueFile file = OpenRelative(folder, sibling, GENERIC_WRITE | DELETE,
                                       FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, FILE_CREATE, 0);
        if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return UniqueFile();
}

// The attributes of a file of the held folder; INVALID_FILE_ATTRIBUTES when there is none
// (a folder of that name counts as a directory).
DWORD AttributesIn(HANDLE folder, std::wstring_view name) {
    UniqueFile file = OpenRelative(folder, name, FILE_READ_ATTRIBUTES, FILE_OPEN_REPARSE_POINT);
    FILE_BASIC_INFO basic{};
    if (!file || !::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof(basic)))
        return INVALID_FILE_ATTRIBUTES;
    return basic.FileAttributes;
}

}  // namespace

BoundedRead ReadFileBounded(const std::wstring& path, std::uint64_t maxBytes) {
    const UniqueFile file(::CreateFileW(UnicodeFid(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        BoundedRead read;
        read.error = ::GetLastError();
        return read;
    }
    return ReadOpenFile(file.get(), maxBytes);
}

BoundedRead ReadOpenFile(HANDLE file, std::uint64_t maxBytes) {
    BoundedRead read;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        read.error = ::GetLastError();
        return read;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        read.error = ERROR_DIRECTORY;
        return read;
    }
    read.opened = true;
    read.attributes = info.dwFileAttributes;
    read.links = info.nNumberOfLinks;
    read.stamp = StampFrom(info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime);
    const std::uint64_t wanted = read.stamp.size < maxBytes ? read.stamp.size : maxBytes;
    read.bytes.resize(static_cast<size_t>(wanted));
    size_t total = 0;
    while (total < read.bytes.size()) {
        const size_t left = read.bytes.size() - total;
        DWORD got = 0;
        if (!::ReadFile(file, read.bytes.data() + total, static_cast<DWORD>(left < kReadChunk ? left : kReadChunk),
                        &got, nullptr)) {
            read.error = ::GetLastError();
            break;
        }
        if (got == 0) break;  // the file shrank meanwhile
        total += got;
    }
    read.bytes.resize(total);
    read.complete = read.error == 0 && total == read.stamp.size;
    return read;
}

bool CurrentStamp(const std::wstring& path, FileStamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(UnicodeFid(path).c_str(), GetFileExInfoStandard, &data)) return false;
    stamp = StampFrom(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
    return true;
}

DWORD ReplaceWholeFile(HANDLE folder, std::wstring_view name, std::string_view bytes) {
    const DWORD attributes = AttributesIn(folder, name);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return ERROR_ACCESS_DENIED;

    UniqueFile file = CreateSibling(folder, name);
    if (!file) return ::GetLastError();
    const bool written = WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    DWORD error = written ? 0 : ::GetLastError();
    const DWORD carried = attributes & kCarriedAttributes;
    if (!error && exists && carried) SetAttributesThroughHandle(file.get(), carried);
    // One rename: readers see the old file or the new one, never a part. (ReplaceFileW
    // would keep more of the old file's identity, but leaves a backup file behind when it
    // fails on some systems.)
    if (!error && !RenameRelative(file.get(), folder, name, exists)) error = ::GetLastError();
    if (error) DeleteThroughHandle(file.get());
    return error;
}

DWORD ReplaceWholeFile(const std::wstring& path, std::string_view bytes) {
    const std::wstring target = UnicodeFid(path);
    const size_t slash = target.find_last_of(L'\\');
    if (slash == std::wstring::npos) return ERROR_INVALID_NAME;
    const UniqueFile folder(::CreateFileW(target.substr(0, slash).c_str(),
                                          FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return ::GetLastError();
    return ReplaceWholeFile(folder.get(), std::wstring_view(target).substr(slash + 1), bytes);
}

std::wstring QualifyPath(const std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') return path;
    return path + L'\\';
}

std::wstring TrimNull(const std::wstring& text) { return CutAtNul(text); }

bool MatchSpec(const std::wstring& fileName, const std::wstring& pattern) {
    return ::PathMatchSpecW(fileName.c_str(), pattern.c_str()) != FALSE;
}

bool FileExists(const std::wstring& path) {
    if (path.empty()) return false;
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(::FindFirstFileW(UnicodeFid(path).c_str(), &data));
    if (!find) return false;
    do {
        if ((data.dwFileAttributes & kNotInDefaultListing) == 0) return true;
    } while (::FindNextFileW(find.get(), &data));
    return false;
}

bool FileCopyAPI(Dialogs& dialogs, const std::wstring& source, const std::wstring& destination,
                 bool failIfExists) {
    const bool copied =
        ::CopyFileW(UnicodeFid(source).c_str(), UnicodeFid(destination).c_str(), failIfExists ? TRUE : FALSE) != FALSE;
    if (copied || failIfExists) return copied;
    const DWORD error = ::GetLastError();
    ReportAppError(dialogs, CopyFailedDescription(source, destination, error), kFileCopySite, __LINE__);
    return false;
}

std::wstring RunningProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

}  // namespace qm

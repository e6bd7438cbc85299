#include "startup/file_helpers.h"

#include <windows.h>
#include <shlwapi.h>

#include <sstream>

#include "base/app_error.h"
#include "base/handles.h"
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

// A new, empty file next to target (same folder, so the final move stays on one volume).
UniqueFile CreateSibling(const std::wstring& target, std::wstring& sibling) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        sibling = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".new";
        UniqueFile file(::CreateFileW(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return UniqueFile();
}

}  // namespace

BoundedRead ReadFileBounded(const std::wstring& path, std::uint64_t maxBytes) {
    BoundedRead read;
    UniqueFile file(::CreateFileW(UnicodeFid(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) {
        read.error = ::GetLastError();
        return read;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        read.error = ERROR_DIRECTORY;
        return read;
    }
    read.opened = true;
    read.attributes = info.dwFileAttributes;
    read.stamp = StampFrom(info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime);
    const std::uint64_t wanted = read.stamp.size < maxBytes ? read.stamp.size : maxBytes;
    read.bytes.resize(static_cast<size_t>(wanted));
    size_t total = 0;
    while (total < read.bytes.size()) {
        const size_t left = read.bytes.size() - total;
        DWORD got = 0;
        if (!::ReadFile(file.get(), read.bytes.data() + total, static_cast<DWORD>(left < kReadChunk ? left : kReadChunk),
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

DWORD ReplaceWholeFile(const std::wstring& path, std::string_view bytes) {
    const std::wstring target = UnicodeFid(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return ERROR_ACCESS_DENIED;

    std::wstring sibling;
    UniqueFile file = CreateSibling(target, sibling);
    if (!file) return ::GetLastError();
    const bool written = WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    DWORD error = written ? 0 : ::GetLastError();
    file.reset();
    const DWORD carried = attributes & kCarriedAttributes;
    if (!error && exists && carried) ::SetFileAttributesW(sibling.c_str(), carried);
    if (!error) {
        // One rename: readers see the old file or the new one, never a part. (ReplaceFileW
        // would keep more of the old file's identity, but leaves a backup file behind when
        // it fails on some systems.)
        const DWORD replace = exists ? MOVEFILE_REPLACE_EXISTING : 0;
        if (!::MoveFileExW(sibling.c_str(), target.c_str(), replace | MOVEFILE_WRITE_THROUGH)) error = ::GetLastError();
    }
    if (error) ::DeleteFileW(sibling.c_str());
    return error;
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

}  // namespace qm

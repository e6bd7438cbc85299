// Where the clean log lies, and the reading of its end.
#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "base/text.h"
#include "clean/clean_log_entry.h"

namespace qm {

namespace {

// A line holds at most 256 KB, so the first read nearly always holds the whole last line;
// the log keeps 1 MB, a little more while a line is added.
constexpr DWORD kFirstTail = 320 * 1024;
constexpr DWORD kMostTail = 1100 * 1024;

struct CoTaskMemFreer {
    void operator()(wchar_t* text) const { ::CoTaskMemFree(text); }
};

// The last count bytes of file (all of it when shorter); false when it cannot be read.
bool ReadTail(HANDLE file, LONGLONG size, DWORD count, std::string& bytes) {
    const LONGLONG start = size > count ? size - count : 0;
    LARGE_INTEGER offset{};
    offset.QuadPart = start;
    if (!::SetFilePointerEx(file, offset, nullptr, FILE_BEGIN)) return false;
    bytes.assign(static_cast<size_t>(size - start), '\0');
    DWORD read = 0;
    if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return false;
    bytes.resize(read);  // the log may have been cut meanwhile
    return true;
}

}  // namespace

std::wstring CleanLogPath() {
    wchar_t* folder = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &folder);
    const std::unique_ptr<wchar_t, CoTaskMemFreer> owned(folder);
    if (FAILED(result) || !folder || !*folder) return {};
    return WithoutTrailingSeparators(folder) + L"\\Quillmere\\CleanLog.jsonl";
}

std::optional<LoggedClean> ReadLastLoggedClean(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    // Shared every way, so a clean that adds its line meanwhile is never held up.
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Only a file on a disk: a pipe or a device put in the log's place could hold the read.
    LARGE_INTEGER size{};
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size)) return std::nullopt;
    std::string tail;
    for (const DWORD count : {kFirstTail, kMostTail}) {
        if (!ReadTail(file.get(), size.QuadPart, count, tail)) return std::nullopt;
        bool cut = false;
        auto clean = LastLoggedClean(tail, size.QuadPart <= count, cut);
        if (!cut) return clean;
    }
    return std::nullopt;  // a last line longer than the log may hold
}

}  // namespace qm

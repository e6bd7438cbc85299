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

}  // namespace

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

#include "startup/api.h"

#include <algorithm>
#include <iterator>

#include "base/text.h"
#include "startup/file_helpers.h"
#include "startup/system_info.h"

namespace qm {

namespace {

// The error of the last failing call of this layer, per thread like GetLastError itself.
thread_local DWORD lastApiError = 0;

void RecordError(DWORD error) { lastApiError = error; }

bool IsPrefixed(std::wstring_view path) { return StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\"); }
bool IsNetworkPath(std::wstring_view path) { return StartsWith(path, L"\\\\"); }

bool IsDriveAbsolute(std::wstring_view path) {
    return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

bool HasDotSegment(std::wstring_view path) {
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring_view segment = path.substr(start, end - start);
        if (segment == L"." || segment == L"..") return true;
        start = end + 1;
    }
    return false;
}

// The prefixed form is taken literally, so whatever the Win32 layer would have resolved
// (relative parts, "..", forward slashes) has to be resolved before prefixing.
bool NeedsFullPath(std::wstring_view path) {
    return !(IsDriveAbsolute(path) || IsNetworkPath(path)) || path.find(L'/') != std::wstring_view::npos ||
           HasDotSegment(path);
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full = FullPathName(path);
    return full.empty() ? path : full;
}

// FTP locations look like paths to the caller but cannot be listed by the find calls.
bool CanSearch(std::wstring_view fullSpec) { return !StartsWithNoCase(fullSpec, L"ftp://"); }

std::vector<std::wstring> SplitPatterns(std::wstring_view text) {
    std::vector<std::wstring> patterns;
    size_t start = 0;
    for (size_t semicolon = text.find(L';'); semicolon != std::wstring_view::npos;
         semicolon = text.find(L';', start)) {
        patterns.emplace_back(text.substr(start, semicolon - start));
        start = semicolon + 1;
    }
    patterns.emplace_back(text.substr(start));
    return patterns;
}

std::uint64_t ApiConvLargeIntDec(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

void ParseFileNames(FID& fid, const WIN32_FIND_DATAW& data) {
    fid.name = CutAtNul(std::wstring_view(data.cFileName, std::size(data.cFileName)));
    fid.shortName = CutAtNul(std::wstring_view(data.cAlternateFileName, std::size(data.cAlternateFileName)));
    const size_t dot = fid.name.rfind(L'.');
    fid.baseName = dot == std::wstring::npos ? fid.name : fid.name.substr(0, dot);
    fid.extension = dot == std::wstring::npos ? std::wstring() : fid.name.substr(dot + 1);
}

void TakeMatch(FID& fid, const WIN32_FIND_DATAW& data) {
    ParseFileNames(fid, data);
    fid.attributes = data.dwFileAttributes;
    fid.created = data.ftCreationTime;
    fid.accessed = data.ftLastAccessTime;
    fid.written = data.ftLastWriteTime;
    fid.size = ApiConvLargeIntDec(data.nFileSizeHigh, data.nFileSizeLow);
    fid.found = true;
    RecordError(0);
}

// Opens the search for the current pattern; false when the pattern has no match.
bool SearchCurrentPattern(FID& fid) {
    fid.handle.reset();
    fid.found = false;
    fid.fullSpec = fid.folder + fid.patterns[static_cast<size_t>(fid.patternIndex)];
    if (!CanSearch(fid.fullSpec)) {
        RecordError(ERROR_BAD_PATHNAME);
        return false;
    }
    WIN32_FIND_DATAW data;
    const HANDLE handle = ::FindFirstFileExW(UnicodeFid(fid.fullSpec).c_str(), FindExInfoStandard, &data,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE) {
        RecordError(::GetLastError());
        return false;
    }
    fid.handle.reset(handle);
    TakeMatch(fid, data);
    return true;
}

// Searches from the current pattern on until one has a match, so a pattern without
// matches does not end the walk early.
void SearchOnFromCurrentPattern(FID& fid) {
    while (!SearchCurrentPattern(fid) && fid.patternIndex < fid.lastPatternIndex) ++fid.patternIndex;
}

void StartPatternList(FID& fid, const std::wstring& folder, const std::wstring& patterns) {
    if (patterns.empty()) {
        // The folder text is a full path looked up as it is. Kept as folder part + name,
        // the searched path is the same and the match's Path() is that path.
        const size_t slash = folder.find_last_of(L"\\/");
        const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
        fid.folder = folder.substr(0, nameStart);
        fid.patterns = {folder.substr(nameStart)};
    } else {
        fid.folder = ApiFolderFix(folder);
        fid.patterns = SplitPatterns(patterns);
    }
    fid.patternIndex = 0;
    fid.lastPatternIndex = static_cast<int>(fid.patterns.size()) - 1;
}

bool ExportsFunction(HMODULE library, const char* function) {
    return library != nullptr && ::GetProcAddress(library, function) != nullptr;
}

ApiCapabilities ProbeCapabilities() {
    ApiCapabilities capabilities;
    const UniqueModule kernel(::LoadLibraryW(L"kernel32.dll"));
    for (size_t i = 0; i < ApiCapabilities::kProbed.size(); ++i)
        capabilities.exported[i] = ExportsFunction(kernel.get(), ApiCapabilities::kProbed[i]);
    capabilities.wideCalls = WinVersion(SystemOsVersion()).isNt;
    return capabilities;
}

std::wstring SystemMessageText(DWORD code) {
    wchar_t buffer[1024];
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          code, 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::wstring text(buffer, length);
    text = ReplaceAll(text, L"\r\n", L" ");
    text = ReplaceAll(text, L"\r", L"");
    text = ReplaceAll(text, L"\n", L" ");
    return TrimSpaces(text);
}

}  // namespace

// The layer calls the wide functions only: a 64-bit process runs on the NT family alone,
// where they always exist. The probe reports what the system offers to those who ask.
const ApiCapabilities& ApiInit() {
    static const ApiCapabilities capabilities = ProbeCapabilities();
    return capabilities;
}

bool ApiCapabilities::Has(std::string_view function) const {
    for (size_t i = 0; i < kProbed.size(); ++i)
        if (function == kProbed[i]) return exported[i];
    return false;
}

bool APIExists(const wchar_t* library, const char* function) {
    const UniqueModule module(::LoadLibraryW(library));
    return ExportsFunction(module.get(), function);
}

std::wstring FullPathName(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    return full;
}

std::wstring UnicodeFid(const std::wstring& path) {
    if (path.empty() || IsPrefixed(path)) return path;
    const std::wstring full = NeedsFullPath(path) ? FullPath(path) : path;
    if (IsPrefixed(full)) return full;
    if (IsNetworkPath(full)) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring ApiFolderFix(const std::wstring& folder) { return QualifyPath(folder); }

HANDLE ApiFindFirstFile(FID& fid, const std::wstring& folder, const std::wstring& patterns) {
    ApiFindClose(fid);
    if (folder.empty()) {
        fid.patterns.clear();
        fid.patternIndex = 0;
        fid.lastPatternIndex = -1;
        return INVALID_HANDLE_VALUE;
    }
    StartPatternList(fid, folder, patterns);
    SearchOnFromCurrentPattern(fid);
    return fid.found ? fid.handle.get() : INVALID_HANDLE_VALUE;
}

void ApiFindNextFile(FID& fid) {
    if (!fid.handle) {
        fid.found = false;
        return;
    }
    WIN32_FIND_DATAW data;
    if (::FindNextFileW(fid.handle.get(), &data)) {
        TakeMatch(fid, data);
        return;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) RecordError(error);
    ApiFindClose(fid);
    if (fid.patternIndex < fid.lastPatternIndex) {
        ++fid.patternIndex;
        SearchOnFromCurrentPattern(fid);
    }
}

void ApiFindClose(FID& fid) {
    fid.handle.reset();
    fid.found = false;
}

std::uint64_t ApiFileSpace(const FID& fid) {
    DWORD high = 0;
    const DWORD low = ::GetCompressedFileSizeW(UnicodeFid(fid.Path()).c_str(), &high);
    if (low == INVALID_FILE_SIZE) {
        const DWORD error = ::GetLastError();
        if (error != NO_ERROR) {
            RecordError(error);
            return 0;
        }
    }
    return ApiConvLargeIntDec(high, low);
}

DWORD ApiAttrsGet(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(UnicodeFid(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) RecordError(::GetLastError());
    return attributes;
}

bool ApiFileExists(const std::wstring& path) {
    const std::wstring trimmed = TrimSpaces(path);
    if (trimmed.empty()) return false;
    const DWORD attributes = ApiAttrsGet(trimmed);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    FID fid;
    ApiFindFirstFile(fid, trimmed, L"");
    return fid.found && !fid.IsDirectory();
}

bool ApiFolderExists(const std::wstring& path) {
    RecordError(0);
    if (path.empty()) return false;
    const std::wstring folder = ApiFolderFix(path);
    const DWORD attributes = ApiAttrsGet(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // The attributes can be refused where a listing is not; older systems also answer
    // for the device "nul" inside any existing folder.
    FID fid;
    if (ApiFindFirstFile(fid, folder, L"*.*") != INVALID_HANDLE_VALUE) return true;
    return ApiFileExists(folder + L"nul");
}

std::wstring ApiTextStrip(const std::wstring& text) { return CutAtNul(text); }

bool ApiKeyDown(int virtualKey) { return ::GetKeyState(virtualKey) < 0; }

std::wstring ApiError(DWORD code) {
    const DWORD threadError = ::GetLastError();
    if (code == 0) code = lastApiError;
    if (code == 0) code = threadError;
    if (code == 0) return L"Error - File Possibly In Use/Locked";
    std::wstring text = SystemMessageText(code);
    if (text.empty()) text = L"unknown error.";
    // Shown as a signed number, so "no error code" reads -1 and not 4294967295.
    return L"Error " + std::to_wstring(static_cast<std::int32_t>(code)) + L" - " + text;
}

std::wstring SetApiError(const std::wstring& place, const std::wstring& item) {
    const DWORD threadError = ::GetLastError();
    RecordError(threadError != 0 ? threadError : static_cast<DWORD>(-1));
    return ApiError(lastApiError) + L" (" + place + L"): " + item;
}

DWORD ApiLastError() { return lastApiError; }

}  // namespace qm

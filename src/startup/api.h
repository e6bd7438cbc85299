#pragma once
// The find-file and attributes layer: wide-character calls on long-path forms, pattern
// lists walked one after another, and the error texts of the last failing call.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/handles.h"

namespace qm {

// One running search. The caller owns it and passes it to every find call.
struct FID {
    std::wstring folder;                // searched folder, with a trailing backslash
    std::vector<std::wstring> patterns; // split from one text at ";"
    int patternIndex = 0;
    int lastPatternIndex = -1;
    std::wstring fullSpec;              // folder + current pattern
    UniqueFindHandle handle;
    bool found = false;

    // The current match.
    std::wstring name;       // long name
    std::wstring shortName;  // 8.3 alternate name
    std::wstring baseName;   // name before the last "."
    std::wstring extension;  // after the last "."
    DWORD attributes = 0;
    FILETIME created{}, accessed{}, written{};
    std::uint64_t size = 0;

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    bool IsDotEntry() const { return name == L"." || name == L".."; }
    std::wstring Path() const { return folder + name; }
};

// Starts a new search of folder for the ";"-separated patterns, walked one after another;
// a pattern without matches is passed over. An empty pattern text looks up folder itself
// (a full file path). Returns the find handle, or INVALID_HANDLE_VALUE when nothing matched.
HANDLE ApiFindFirstFile(FID& fid, const std::wstring& folder, const std::wstring& patterns);
// The next match, moving on to the next pattern when one is exhausted; clears found at the end.
void ApiFindNextFile(FID& fid);
void ApiFindClose(FID& fid);

bool ApiFileExists(const std::wstring& path);
bool ApiFolderExists(const std::wstring& path);
std::wstring ApiTextStrip(const std::wstring& text);
bool ApiKeyDown(int virtualKey);
// Size on disk of the current match (asked on demand: it costs a call per file);
// 0 when the system cannot tell, with the error recorded.
std::uint64_t ApiFileSpace(const FID& fid);

// Attributes of a path, or INVALID_FILE_ATTRIBUTES (recording the error).
DWORD ApiAttrsGet(const std::wstring& path);
// "\\?\" form of a path for the wide calls ("\\?\UNC\" for network paths), so that paths
// longer than MAX_PATH work. Relative or unnormalised paths ("a\..\b", "C:/x") are made
// full first, since the prefixed form is taken literally. Prefixed paths stay as they are.
std::wstring UnicodeFid(const std::wstring& path);
// The system's full form of a path (relative parts, "/", "." and ".." resolved); "" on failure.
std::wstring FullPathName(const std::wstring& path);
// The folder with a trailing backslash; an empty text becomes "\".
std::wstring ApiFolderFix(const std::wstring& folder);

// What the capability probe found: which optional kernel32 functions exist, and whether
// the wide-character functions are in use.
struct ApiCapabilities {
    static constexpr std::array<const char*, 10> kProbed = {
        "GetVersionExA",          "GetVersionExW",        "GetFileSizeEx",    "GetDiskFreeSpaceExA",
        "GetDiskFreeSpaceW",      "GetCompressedFileSizeA", "GetFileAttributesExA", "CopyFileExA",
        "GetLongPathNameA",       "GetShortPathNameA"};
    std::array<bool, kProbed.size()> exported{};
    bool wideCalls = false;

    bool Has(std::string_view function) const;
};
// Runs the probe on first use; later calls return the same answer.
const ApiCapabilities& ApiInit();
// Whether library exports function.
bool APIExists(const wchar_t* library, const char* function);

// "Error <code> - <system text>" on one line; code 0 means the last recorded error
// (else the thread's last error). A code of 0 then gives "Error - File Possibly In Use/Locked".
std::wstring ApiError(DWORD code = 0);
// Records the thread's last error (-1 when there is none) and returns its ApiError text
// + " (" + place + "): " + item.
std::wstring SetApiError(const std::wstring& place, const std::wstring& item);
// The error recorded by the last failing call of this layer (0 after a success).
DWORD ApiLastError();

}  // namespace qm

#pragma once
// The find-file and attributes layer: wide-character calls on long-path forms, pattern
// lists walked one after another, and the error texts of the last failing call.
#include <windows.h>

#include <cstdint>
#include <string>
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

// Starts a search of folder for the ";"-separated patterns. An empty pattern text looks
// up folder itself (a full file path). Returns the find handle, or INVALID_HANDLE_VALUE.
HANDLE ApiFindFirstFile(FID& fid, const std::wstring& folder, const std::wstring& patterns);
void ApiFindNextFile(FID& fid);
void ApiFindClose(FID& fid);

bool ApiFileExists(const std::wstring& path);
bool ApiFolderExists(const std::wstring& path);
std::wstring ApiTextStrip(const std::wstring& text);
bool ApiKeyDown(int virtualKey);
// Size on disk of the current match (asked on demand: it costs a call per file).
std::uint64_t ApiFileSpace(const FID& fid);

// Attributes of a path, or INVALID_FILE_ATTRIBUTES (recording the error).
DWORD ApiAttrsGet(const std::wstring& path);
// "\\?\" form of a path for the wide calls ("\\?\UNC\" for network paths).
std::wstring UnicodeFid(const std::wstring& path);
std::wstring ApiFolderFix(const std::wstring& folder);

// "Error <code> - <system text>"; code 0 means the last error.
std::wstring ApiError(DWORD code = 0);
// Stores the last error and returns its ApiError text + " (" + place + "): " + item.
std::wstring SetApiError(const std::wstring& place, const std::wstring& item);
DWORD ApiLastError();

}  // namespace qm

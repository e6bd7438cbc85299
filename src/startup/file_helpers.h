#pragma once
// Path and copy routines shared by every subsystem.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

class Dialogs;

std::wstring QualifyPath(const std::wstring& path);  // adds "\" unless the path ends in one
std::wstring TrimNull(const std::wstring& text);      // up to the first NUL
bool MatchSpec(const std::wstring& fileName, const std::wstring& pattern);
// True when a listing of path (wildcards allowed) with default attributes names a file.
bool FileExists(const std::wstring& path);
// The full path of this process's program file.
std::wstring RunningProgramPath();
// Copies one file. When failIfExists is false a failure is reported (error 32766) in the
// "Application Error" box; either way the result tells whether the copy succeeded.
bool FileCopyAPI(Dialogs& dialogs, const std::wstring& source, const std::wstring& destination,
                 bool failIfExists);


// What tells whether a file changed since it was read, without reading it again.
struct FileStamp {
    std::uint64_t size = 0;
    FILETIME written{};
    bool operator==(const FileStamp& other) const {
        return size == other.size && written.dwLowDateTime == other.written.dwLowDateTime &&
               written.dwHighDateTime == other.written.dwHighDateTime;
    }
};

// A file read into memory, at most a given number of bytes.
struct BoundedRead {
    bool opened = false;    // false: error says why
    bool complete = false;  // every byte was read (not larger than the bound, no read error)
    DWORD error = 0;
    FileStamp stamp;        // of the open file, as it was read
    DWORD attributes = 0;
    DWORD links = 0;        // the file's names (hard links)
    std::string bytes;
};
BoundedRead ReadFileBounded(const std::wstring& path, std::uint64_t maxBytes);
// The same for a file already opened for reading.
BoundedRead ReadOpenFile(HANDLE file, std::uint64_t maxBytes);
// The stamp of the file as it is now; false when it cannot be asked.
bool CurrentStamp(const std::wstring& path, FileStamp& stamp);

// Writes bytes to a new file beside path and puts that file in path's place in one step,
// with path's attributes; a new path is created the same way. On failure path is left as it
// was and the new file is removed. Returns 0 or the system's error number.
DWORD ReplaceWholeFile(const std::wstring& path, std::string_view bytes);
// The same for the file name of a folder the caller holds open (see relative_files.h): the
// new file is written beside it and renamed over it relative to that folder.
DWORD ReplaceWholeFile(HANDLE folder, std::wstring_view name, std::string_view bytes);

}  // namespace qm

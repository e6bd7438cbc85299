#pragma once
// Path and copy routines shared by every subsystem.
#include <string>

namespace qm {

class Dialogs;

std::wstring QualifyPath(const std::wstring& path);  // adds "\" unless the path ends in one
std::wstring TrimNull(const std::wstring& text);      // up to the first NUL
bool MatchSpec(const std::wstring& fileName, const std::wstring& pattern);
// True when a listing of path (wildcards allowed) with default attributes names a file.
bool FileExists(const std::wstring& path);
// Copies one file. When failIfExists is false a failure is reported (error 32766) in the
// "Application Error" box; either way the result tells whether the copy succeeded.
bool FileCopyAPI(Dialogs& dialogs, const std::wstring& source, const std::wstring& destination,
                 bool failIfExists);

}  // namespace qm

#pragma once
// Three stateless accessors addressed by a root name ("HKCU", ...) or by an INI file.
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

// The root handle for a root name; (HKEY)1 when the name is an existing file (INI mode);
// nullptr otherwise.
HKEY fTopKey(std::wstring_view name);

// Status 0 on success, 99 for an unknown root, else the failing call's code (or, in INI
// mode, the character count / number read). value starts as defaultValue.
long fReadValue(std::wstring_view root, std::wstring_view keyOrSection, std::wstring_view name,
                std::wstring_view typeLetter, std::wstring_view defaultValue, std::wstring& value);
long fWriteValue(std::wstring_view root, std::wstring_view keyOrSection, std::wstring_view name,
                 std::wstring_view typeLetter, std::wstring_view value);

}  // namespace qm

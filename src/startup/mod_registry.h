#pragma once
// Three stateless accessors addressed by a root name ("HKCU", ...) or by an INI file.
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

// What fTopKey answers for a name that is an existing file: the INI-file mode.
inline HKEY IniFileRoot() { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(1)); }

// Status of fReadValue/fWriteValue when the root name is neither a root nor a file.
inline constexpr long kUnknownRootStatus = 99;

// The root handle for a root name ("HKCU", "HKLM", "HKU", "HKDD", "HKCC", "HKCR", any letter
// case); IniFileRoot() when the name is an existing file (INI mode); nullptr otherwise.
HKEY fTopKey(std::wstring_view name);

// Type letters (any case): "S" text (REG_SZ), "B" Boolean as 2-byte REG_BINARY read as
// "True"/"False", "D" 32-bit number (REG_DWORD) as decimal text.
//
// Status 0 on success, 99 for an unknown root, else the failing call's code (or, in INI
// mode, the character count / number read). value starts as defaultValue and keeps it
// when the read fails.
long fReadValue(std::wstring_view root, std::wstring_view keyOrSection, std::wstring_view name,
                std::wstring_view typeLetter, std::wstring_view defaultValue, std::wstring& value);
// Status 0 on success, 99 for an unknown root, else the failing call's code;
// ERROR_INVALID_DATA when the text does not fit the type letter (nothing is written).
long fWriteValue(std::wstring_view root, std::wstring_view keyOrSection, std::wstring_view name,
                 std::wstring_view typeLetter, std::wstring_view value);

}  // namespace qm

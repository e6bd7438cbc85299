#pragma once
// Text helpers shared by every subsystem. Paths and window texts are UTF-16
// (std::wstring); cookie files stay byte strings (std::string).
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

inline constexpr wchar_t kCrLf[] = L"\r\n";

// The same UTF-16 units as the system's wide text (wchar_t is 16 bits on Windows) and as
// the portable parsers take it (char16_t).
inline std::u16string ToU16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
inline std::wstring FromU16(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// Conversions between the active code page (cookie files, INI files) and UTF-16.
std::wstring WidenAnsi(std::string_view text);
std::string NarrowAnsi(std::wstring_view text);
std::wstring WidenUtf8(std::string_view text);
std::string NarrowUtf8(std::wstring_view text);

// Letter case by the system's rules (not the C locale), so "ä" maps to "Ä".
std::wstring ToUpper(std::wstring_view text);
std::wstring ToLower(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool ContainsNoCase(std::wstring_view text, std::wstring_view part);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view head);

bool Contains(std::wstring_view text, std::wstring_view part);
bool StartsWith(std::wstring_view text, std::wstring_view head);
bool EndsWith(std::wstring_view text, std::wstring_view tail);

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to);
std::wstring TrimSpaces(std::wstring_view text);  // leading and trailing blanks only
std::wstring TrimWhite(std::wstring_view text);   // blanks, tabs, CR and LF
std::wstring CutAtNul(std::wstring_view text);    // up to the first NUL character
// A path without its trailing "\" or "/" ("C:\" keeps its own: it names the drive's root).
std::wstring WithoutTrailingSeparators(std::wstring path);

// A whole number with the user's thousands separator and no decimals ("12,345").
std::wstring FormatThousands(std::int64_t value);

// Reads a whole number the way the settings are read: leading blanks, an optional
// sign and digits; anything else (empty or non-numeric text) yields nothing.
bool TryParseInt(std::wstring_view text, std::int64_t& value);

// Case-insensitive ordering for maps keyed by registry value names.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const;
};

}  // namespace qm

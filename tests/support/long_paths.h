#pragma once
// Deep folder trees for paths beyond MAX_PATH, and names outside the ANSI code page.
#include <string>

namespace qm::test {

// Non-ASCII names: Latin with accents and a symbol, Cyrillic, CJK.
inline constexpr wchar_t kLatinName[] = L"\u00DCn\u00EFc\u00F8d\u00E9 \u2603";
inline constexpr wchar_t kCyrillicName[] = L"\u041F\u0440\u0438\u0432\u0435\u0442";
inline constexpr wchar_t kCjkName[] = L"\u6F22\u5B57";

// Creates nested folders below base until the path is at least minLength characters
// long, and returns that path (without a trailing backslash).
std::wstring MakeLongFolder(const std::wstring& base, size_t minLength = 300);

}  // namespace qm::test

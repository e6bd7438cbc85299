#include "base/text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace qm {

namespace {

std::wstring Widen(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, result.data(), needed);
    return result;
}

std::string Narrow(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}

std::wstring MapCase(std::wstring_view text, DWORD flag) {
    if (text.empty()) return {};
    std::wstring result(text);
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, flag, text.data(), static_cast<int>(text.size()),
                    result.data(), static_cast<int>(result.size()), nullptr, nullptr, 0);
    return result;
}

}  // namespace

std::wstring WidenAnsi(std::string_view text) { return Widen(CP_ACP, text); }
std::string NarrowAnsi(std::wstring_view text) { return Narrow(CP_ACP, text); }
std::wstring WidenUtf8(std::string_view text) { return Widen(CP_UTF8, text); }
std::string NarrowUtf8(std::wstring_view text) { return Narrow(CP_UTF8, text); }

std::wstring ToUpper(std::wstring_view text) { return MapCase(text, LCMAP_UPPERCASE); }
std::wstring ToLower(std::wstring_view text) { return MapCase(text, LCMAP_LOWERCASE); }

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part) {
    return ToUpper(text).find(ToUpper(part)) != std::wstring::npos;
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail) {
    return text.size() >= tail.size() && EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view head) {
    return text.size() >= head.size() && EqualsNoCase(text.substr(0, head.size()), head);
}

bool Contains(std::wstring_view text, std::wstring_view part) {
    return text.find(part) != std::wstring_view::npos;
}
bool StartsWith(std::wstring_view text, std::wstring_view head) {
    return text.substr(0, head.size()) == head;
}
bool EndsWith(std::wstring_view text, std::wstring_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
    std::wstring result;
    if (from.empty()) return std::wstring(text);
    size_t start = 0;
    for (size_t at = text.find(from); at != std::wstring_view::npos; at = text.find(from, start)) {
        result.append(text.substr(start, at - start)).append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

namespace {
std::wstring TrimOf(std::wstring_view text, std::wstring_view chars) {
    const size_t first = text.find_first_not_of(chars);
    if (first == std::wstring_view::npos) return {};
    const size_t last = text.find_last_not_of(chars);
    return std::wstring(text.substr(first, last - first + 1));
}
}  // namespace

std::wstring TrimSpaces(std::wstring_view text) { return TrimOf(text, L" "); }
std::wstring TrimWhite(std::wstring_view text) { return TrimOf(text, L" \t\r\n"); }

std::wstring CutAtNul(std::wstring_view text) {
    return std::wstring(text.substr(0, std::min(text.size(), text.find(L'\0'))));
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

std::wstring FormatThousands(std::int64_t value) {
    const std::wstring digits = std::to_wstring(value);
    NUMBERFMTW format{};
    wchar_t decimal[8] = L".", thousand[8] = L",";
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousand, 8);
    format.NumDigits = 0;
    format.LeadingZero = 1;  // "0" stays "0"
    format.Grouping = 3;
    format.lpDecimalSep = decimal;
    format.lpThousandSep = thousand;
    DWORD negative = 1;
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_INEGNUMBER | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<LPWSTR>(&negative), sizeof(negative) / sizeof(wchar_t));
    format.NegativeOrder = negative;
    wchar_t buffer[64];
    const int written = ::GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, buffer, 64);
    return written > 0 ? std::wstring(buffer, static_cast<size_t>(written - 1)) : digits;
}

bool TryParseInt(std::wstring_view text, std::int64_t& value) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    if (i >= text.size()) return false;
    std::int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == L' ' || text[i] == L'\t') break;
        if (text[i] < L'0' || text[i] > L'9') return false;
        if (result > (INT64_MAX - 9) / 10) return false;
        result = result * 10 + (text[i] - L'0');
    }
    for (; i < text.size(); ++i)
        if (text[i] != L' ' && text[i] != L'\t') return false;
    value = negative ? -result : result;
    return true;
}

bool NoCaseLess::operator()(std::wstring_view a, std::wstring_view b) const {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
}

}  // namespace qm

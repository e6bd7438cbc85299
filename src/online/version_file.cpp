#include "online/version_file.h"

#include <algorithm>

namespace qm {

namespace {

constexpr size_t kMostBytes = 4096;
constexpr size_t kLongestName = 64;
constexpr size_t kMostVersionParts = 4;
constexpr size_t kLongestVersionPart = 5;

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsPrintable(char c) { return c >= 0x20 && c <= 0x7E; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Splits the text into its fields; nothing when a quote is left open or text follows one.
std::optional<std::vector<std::string>> SplitFields(std::string_view text) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        std::string field;
        if (i < text.size() && text[i] == '"') {
            const size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            field.assign(text.substr(i + 1, close - i - 1));
            i = close + 1;
            while (i < text.size() && IsBlank(text[i])) ++i;
            if (i < text.size() && text[i] != ',' && !IsLineBreak(text[i])) return std::nullopt;
        } else {
            const size_t start = i;
            while (i < text.size() && text[i] != ',' && !IsLineBreak(text[i])) ++i;
            field.assign(TrimBlanks(text.substr(start, i - start)));
        }
        const bool lineEnd = i < text.size() && IsLineBreak(text[i]);
        if (i < text.size()) ++i;
        while (lineEnd && i < text.size() && IsLineBreak(text[i])) ++i;  // CR LF and blank lines
        fields.push_back(std::move(field));
    }
    return fields;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Sha256> ParseHash(std::string_view text) {
    if (text.size() != 64) return std::nullopt;
    Sha256 hash{};
    for (size_t i = 0; i < hash.size(); ++i) {
        const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        hash[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return hash;
}

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Only ever given the ASCII texts that ParseVersionFile accepted.
std::string Narrow(std::wstring_view ascii) {
    std::string text;
    for (const wchar_t c : ascii) text += static_cast<char>(c);
    return text;
}

std::string Quoted(std::string_view text) { return '"' + std::string(text) + '"'; }

}  // namespace

std::optional<std::vector<unsigned>> ParseVersionNumbers(std::string_view text) {
    std::vector<unsigned> numbers;
    size_t start = 0;
    for (;;) {
        const size_t dot = std::min(text.find('.', start), text.size());
        const std::string_view part = text.substr(start, dot - start);
        if (part.empty() || part.size() > kLongestVersionPart ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        unsigned value = 0;
        for (char c : part) value = value * 10 + static_cast<unsigned>(c - '0');
        numbers.push_back(value);
        if (numbers.size() > kMostVersionParts) return std::nullopt;
        if (dot == text.size()) return numbers;
        start = dot + 1;
    }
}

int CompareVersions(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const unsigned left = i < a.size() ? a[i] : 0, right = i < b.size() ? b[i] : 0;
        if (left != right) return left < right ? -1 : 1;
    }
    return 0;
}

std::optional<PublishedVersion> ParseVersionFile(std::string_view bytes) {
    if (bytes.size() > kMostBytes) return std::nullopt;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (!std::all_of(bytes.begin(), bytes.end(), [](char c) { return IsPrintable(c) || IsLineBreak(c) || IsBlank(c); }))
        return std::nullopt;
    const auto fields = SplitFields(bytes);
    if (!fields || fields->size() < 3) return std::nullopt;
    const std::string& name = (*fields)[0];
    if (name.empty() || name.size() > kLongestName ||
        !std::all_of(name.begin(), name.end(), [](char c) { return IsPrintable(c); }))
        return std::nullopt;
    const auto version = ParseVersionNumbers((*fields)[1]);
    const auto hash = ParseHash((*fields)[2]);
    if (!version || !hash) return std::nullopt;
    return PublishedVersion{Widen(name), Widen((*fields)[1]), *version, *hash};
}

std::string VersionFileText(const PublishedVersion& published) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::string name = Narrow(published.displayName);
    std::string hash;
    for (const std::uint8_t byte : published.installerHash) {
        hash += kHex[byte >> 4];
        hash += kHex[byte & 0x0F];
    }
    return (name.find('"') == std::string::npos ? Quoted(name) : name) + ',' + Quoted(Narrow(published.versionText)) +
           ',' + Quoted(hash) + "\r\n";
}

}  // namespace qm

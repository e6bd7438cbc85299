#include "cookies/ns_cookie_format.h"

namespace qm {

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool EndsField(char c) { return static_cast<unsigned char>(c) < 32; }

size_t FieldEnd(std::string_view text) {
    size_t end = 0;
    while (end < text.size() && !EndsField(text[end])) ++end;
    return end;
}

}  // namespace

bool EqualsAsciiNoCase(std::string_view text, std::string_view upperWord) {
    if (text.size() != upperWord.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upperWord[i]) return false;
    }
    return true;
}

std::vector<CookieTxtLine> SplitCookieTxtLines(std::string_view bytes) {
    std::vector<CookieTxtLine> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t textEnd = at;
        while (textEnd < bytes.size() && !IsLineBreak(bytes[textEnd])) ++textEnd;
        size_t endingEnd = textEnd;
        while (endingEnd < bytes.size() && IsLineBreak(bytes[endingEnd])) ++endingEnd;
        CookieTxtLine line;
        line.text.assign(bytes.substr(at, textEnd - at));
        line.ending.assign(bytes.substr(textEnd, endingEnd - textEnd));
        line.number = static_cast<std::int32_t>(lines.size()) + 1;
        lines.push_back(std::move(line));
        at = endingEnd;
    }
    return lines;
}

std::string CookieTxtBytes(const std::vector<CookieTxtLine>& lines) {
    std::string bytes;
    size_t size = 0;
    for (const auto& line : lines) size += line.text.size() + line.ending.size();
    bytes.reserve(size);
    for (const auto& line : lines) {
        if (!line.deleted) {
            bytes += line.text;
            bytes += line.ending;
            continue;
        }
        const size_t ownBreak = line.ending.compare(0, 2, "\r\n") == 0 ? 2 : (line.ending.empty() ? 0 : 1);
        bytes.append(line.ending, ownBreak);
    }
    return bytes;
}

bool IsCookieLine(std::string_view text) {
    if (text.starts_with(kHttpOnlyPrefix)) return ParseCookieLine(text).has_value();
    return text > std::string_view(" ") && text.front() != '#';
}

std::optional<CookieLineFields> ParseCookieLine(std::string_view text) {
    CookieLineFields line;
    if (text.starts_with(kHttpOnlyPrefix)) {
        line.httpOnly = true;
        text.remove_prefix(kHttpOnlyPrefix.size());
    }
    // A comment stays one, also behind the prefix ("#HttpOnly_#HttpOnly_..." is no cookie).
    if (text.starts_with('#')) return std::nullopt;
    std::string_view* const parts[] = {&line.fields.domain, &line.fields.domainFlag, &line.fields.path,
                                       &line.fields.secure, &line.fields.expiry,     &line.fields.name};
    for (std::string_view* part : parts) {
        const size_t tab = text.find('\t');
        // Only the expiry may be empty (a session cookie).
        if (tab == std::string_view::npos || (tab == 0 && part != &line.fields.expiry)) return std::nullopt;
        *part = text.substr(0, tab);
        for (const char c : *part)
            if (EndsField(c)) return std::nullopt;
        text.remove_prefix(tab + 1);
    }
    if (text.find('\t') != std::string_view::npos) return std::nullopt;
    if (!ParseExpiry(line.fields.expiry) && !IsSessionExpiry(line.fields.expiry)) return std::nullopt;
    line.fields.value = text.substr(0, FieldEnd(text));
    return line;
}

Ns2Fields SplitNs2Fields(std::string_view line) {
    Ns2Fields fields;
    std::string_view* const parts[] = {&fields.domain, &fields.domainFlag, &fields.path, &fields.secure,
                                       &fields.expiry, &fields.name,       &fields.value};
    size_t at = 0;
    for (std::string_view* part : parts) {
        if (at > line.size()) break;
        *part = line.substr(at, FieldEnd(line.substr(at)));
        at += part->size() + 1;
    }
    return fields;
}

std::optional<std::int64_t> ParseExpiry(std::string_view field) {
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    bool negative = false;
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    if (field.empty() || field.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

bool IsSessionExpiry(std::string_view field) {
    const auto value = ParseExpiry(field);
    return value ? *value == 0 : field.find_first_not_of(' ') == std::string_view::npos;
}

std::optional<CivilTime> ExpiryTime(std::int64_t value) {
    if (value == 0) return std::nullopt;
    return CivilFromUnixSeconds(value);
}

}  // namespace qm

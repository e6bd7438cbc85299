#include "clean/clean_log_entry.h"

#include <cstddef>
#include <initializer_list>
#include <span>

namespace qm {

namespace {

// The record nests three deep (line, list, item); unknown values may nest a little more.
constexpr int kMostDepth = 8;

constexpr Outcome kListOutcomes[] = {Outcome::Removed, Outcome::Kept, Outcome::Refused, Outcome::Failed,
                                     Outcome::Scheduled};
constexpr ItemType kItemTypes[] = {ItemType::File, ItemType::Folder, ItemType::Link, ItemType::Cookie,
                                   ItemType::Store};

// Reads JSON text front to back; every step answers false on anything out of place, and
// the reading stops there.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool AtEnd() {
        SkipSpace();
        return at_ == text_.size();
    }
    bool Take(char c) {
        SkipSpace();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool Peek(char c) {
        SkipSpace();
        return at_ < text_.size() && text_[at_] == c;
    }

    // A string as UTF-16 units: a pair escaped as two \u escapes, or a lone half of a pair,
    // comes back unit for unit.
    bool String(std::wstring& out) {
        out.clear();
        if (!Take('"')) return false;
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\' ? !Escape(out) : !Utf8(out)) return false;
        }
        return false;
    }

    // A whole number from 0 to 2^64 - 1, written as JSON writes it (no sign, no leading zero).
    bool Unsigned(std::uint64_t& value) {
        SkipSpace();
        const size_t start = at_;
        value = 0;
        while (at_ < text_.size() && IsDigit(text_[at_])) {
            const unsigned digit = static_cast<unsigned>(text_[at_] - '0');
            if (value > (UINT64_MAX - digit) / 10) return false;
            value = value * 10 + digit;
            ++at_;
        }
        const size_t digits = at_ - start;
        if (digits == 0 || (digits > 1 && text_[start] == '0')) return false;
        return at_ == text_.size() || (text_[at_] != '.' && text_[at_] != 'e' && text_[at_] != 'E');
    }

    // Any JSON value, read and dropped.
    bool SkipValue(int depth) {
        if (depth > kMostDepth) return false;
        SkipSpace();
        if (at_ >= text_.size()) return false;
        std::wstring ignored;
        switch (text_[at_]) {
            case '"': return String(ignored);
            case '{': return Members(depth + 1, [&](const std::wstring&) { return SkipValue(depth + 1); });
            case '[': return Elements(depth + 1, [&] { return SkipValue(depth + 1); });
            case 't': return Word("true");
            case 'f': return Word("false");
            case 'n': return Word("null");
            default: return Number();
        }
    }

    // An object: member(key) reads each member's value.
    template <class Member>
    bool Members(int depth, Member&& member) {
        if (depth > kMostDepth || !Take('{')) return false;
        if (Take('}')) return true;
        std::wstring key;
        do {
            if (!String(key) || !Take(':') || !member(key)) return false;
        } while (Take(','));
        return Take('}');
    }
    // An array: element() reads each element.
    template <class Element>
    bool Elements(int depth, Element&& element) {
        if (depth > kMostDepth || !Take('[')) return false;
        if (Take(']')) return true;
        do {
            if (!element()) return false;
        } while (Take(','));
        return Take(']');
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexValue(char c) {
        if (IsDigit(c)) return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    void SkipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number() {
        const auto digits = [&] {
            const size_t start = at_;
            while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
            return at_ - start;
        };
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        const size_t start = at_;
        const size_t whole = digits();
        if (whole == 0 || (whole > 1 && text_[start] == '0')) return false;
        if (at_ < text_.size() && text_[at_] == '.' && (++at_, digits() == 0)) return false;
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (digits() == 0) return false;
        }
        return true;
    }

    bool Escape(std::wstring& out) {
        if (at_ + 1 >= text_.size()) return false;
        const char c = text_[at_ + 1];
        at_ += 2;
        switch (c) {
            case '"': out += L'"'; return true;
            case '\\': out += L'\\'; return true;
            case '/': out += L'/'; return true;
            case 'b': out += L'\b'; return true;
            case 'f': out += L'\f'; return true;
            case 'n': out += L'\n'; return true;
            case 'r': out += L'\r'; return true;
            case 't': out += L'\t'; return true;
            case 'u': break;
            default: return false;
        }
        if (at_ + 4 > text_.size()) return false;
        unsigned unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexValue(text_[at_ + i]);
            if (digit < 0) return false;
            unit = unit * 16 + static_cast<unsigned>(digit);
        }
        at_ += 4;
        out += static_cast<wchar_t>(unit);
        return true;
    }

    // One character in well-formed UTF-8 (no overlong forms, no encoded surrogates), as one
    // or two UTF-16 units.
    bool Utf8(std::wstring& out) {
        const auto lead = static_cast<unsigned char>(text_[at_]);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++at_;
            return true;
        }
        int length = 0;
        char32_t point = 0, least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) length = 2, point = lead & 0x1F, least = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3, point = lead & 0x0F, least = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4) length = 4, point = lead & 0x07, least = 0x10000;
        else return false;
        if (at_ + static_cast<size_t>(length) > text_.size()) return false;
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text_[at_ + static_cast<size_t>(i)]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
        at_ += static_cast<size_t>(length);
        if (point < 0x10000) {
            out += static_cast<wchar_t>(point);
        } else {
            out += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
        return true;
    }

    std::string_view text_;
    size_t at_ = 0;
};

bool TwoDigits(std::string_view text, size_t at, int& value) {
    if (text[at] < '0' || text[at] > '9' || text[at + 1] < '0' || text[at + 1] > '9') return false;
    value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return true;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// "2026-12-08T17:05:09Z", a moment the system's calendar can hold (1601 to 30827).
bool ParseTime(std::wstring_view wide, LoggedTime& time) {
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (wide.size() != kShape.size()) return false;
    std::string text(wide.size(), ' ');
    for (size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] > 0x7F) return false;
        text[i] = static_cast<char>(wide[i]);
        if (kShape[i] != 'd' && text[i] != kShape[i]) return false;
    }
    int century = 0, year = 0;
    if (!TwoDigits(text, 0, century) || !TwoDigits(text, 2, year) || !TwoDigits(text, 5, time.month) ||
        !TwoDigits(text, 8, time.day) || !TwoDigits(text, 11, time.hour) || !TwoDigits(text, 14, time.minute) ||
        !TwoDigits(text, 17, time.second))
        return false;
    time.year = century * 100 + year;
    return time.year >= 1601 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
           time.day <= DaysInMonth(time.year, time.month) && time.hour < 24 && time.minute < 60 && time.second < 60;
}

template <class Enum, size_t N>
bool FromName(const std::wstring& name, const Enum (&values)[N], std::wstring_view (*nameOf)(Enum), Enum& value) {
    for (Enum candidate : values)
        if (name == nameOf(candidate)) {
            value = candidate;
            return true;
        }
    return false;
}

// Which of an object's keys it has had; a key given twice makes the line no record.
class SeenKeys {
public:
    explicit SeenKeys(std::span<const std::wstring_view> keys) : keys_(keys) {}
    // The key's place in the set, or -1 for a key it does not hold; -2 when seen before.
    int Mark(const std::wstring& key) {
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (key != keys_[i]) continue;
            if (seen_ & (1u << i)) return -2;
            seen_ |= 1u << i;
            return static_cast<int>(i);
        }
        return -1;
    }
    bool HasAll(std::initializer_list<int> places) const {
        for (int place : places)
            if (!(seen_ & (1u << place))) return false;
        return true;
    }

private:
    std::span<const std::wstring_view> keys_;
    unsigned seen_ = 0;
};

bool ReadItem(JsonReader& json, Outcome outcome, std::vector<ReportItem>& items) {
    ReportItem item;
    item.outcome = outcome;
    static constexpr std::wstring_view kKeys[] = {L"kind", L"type",   L"path",   L"bytes",
                                                  L"host", L"name",   L"reason", L"replacement"};
    SeenKeys keys(kKeys);
    std::wstring text;
    const bool read = json.Members(3, [&](const std::wstring& key) {
        switch (keys.Mark(key)) {
            case 0: return json.String(text) && FromName(text, kAllCleanKinds, &CleanKindName, item.kind);
            case 1: return json.String(text) && FromName(text, kItemTypes, &ItemTypeName, item.type);
            case 2: return json.String(item.path);
            case 3: return json.Unsigned(item.bytes);
            case 4: return json.String(item.host);
            case 5: return json.String(item.name);
            case 6: return json.String(item.reason);
            case 7: return json.String(item.replacement);
            case -1: return json.SkipValue(3);
            default: return false;
        }
    });
    if (!read || !keys.HasAll({0, 1, 2})) return false;
    items.push_back(std::move(item));
    return true;
}

bool ReadTotals(JsonReader& json, ReportTotals& totals) {
    static constexpr std::wstring_view kKeys[] = {L"files", L"folders", L"bytes",  L"cookies",
                                                  L"kept",  L"refused", L"failed", L"scheduled"};
    SeenKeys keys(kKeys);
    std::uint64_t* const fields[] = {&totals.files, &totals.folders, &totals.bytes,  &totals.cookies,
                                     &totals.kept,  &totals.refused, &totals.failed, &totals.scheduled};
    return json.Members(2, [&](const std::wstring& key) {
        const int place = keys.Mark(key);
        if (place == -1) return json.SkipValue(2);
        return place >= 0 && json.Unsigned(*fields[place]);
    }) && keys.HasAll({0, 1, 2, 3, 4, 5, 6, 7});
}

bool ReadKinds(JsonReader& json, std::vector<CleanKind>& kinds) {
    std::wstring name;
    return json.Elements(2, [&] {
        CleanKind kind{};
        if (!json.String(name) || !FromName(name, kAllCleanKinds, &CleanKindName, kind)) return false;
        kinds.push_back(kind);
        return true;
    });
}

}  // namespace

std::optional<LoggedClean> ParseLoggedClean(std::string_view line) {
    LoggedClean clean;
    JsonReader json(line);
    // The five lists come first, in the order of kListOutcomes.
    static constexpr std::wstring_view kKeys[] = {
        L"removed", L"kept",       L"refused",  L"failed", L"scheduled", L"program",      L"version",  L"command",
        L"trigger", L"time",       L"durationMs", L"computer", L"user",  L"kinds",        L"totals",   L"itemsLeftOut",
        L"exitCode"};
    SeenKeys keys(kKeys);
    std::wstring text;
    const bool read = json.Members(1, [&](const std::wstring& key) {
        const int place = keys.Mark(key);
        if (place >= 0 && place < 5)
            return json.Elements(2, [&] { return ReadItem(json, kListOutcomes[place], clean.items); });
        switch (place) {
            case 5: return json.String(text) && text == L"Quillmere";
            case 6: return json.String(clean.version);
            case 7: return json.String(clean.command);
            case 8: return json.String(clean.trigger);
            case 9: return json.String(text) && ParseTime(text, clean.time);
            case 10: return json.Unsigned(clean.durationMs);
            case 11: return json.String(clean.computer);
            case 12: return json.String(clean.user);
            case 13: return ReadKinds(json, clean.kinds);
            case 14: return ReadTotals(json, clean.totals);
            case 15: return json.Unsigned(clean.itemsLeftOut);
            case 16: return json.Unsigned(clean.exitCode);
            case -1: return json.SkipValue(1);
            default: return false;
        }
    });
    if (!read || !json.AtEnd() || !keys.HasAll({0, 1, 2, 3, 4, 5, 8, 9, 14})) return std::nullopt;
    return clean;
}

std::optional<LoggedClean> LastLoggedClean(std::string_view tail, bool fromStart, bool& cut) {
    cut = false;
    const auto isSpace = [](char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; };
    size_t end = tail.size();
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool ended = false;  // whether the line read now has its line break
        while (end > 0 && isSpace(tail[end - 1])) {
            if (tail[end - 1] == '\n') ended = true;
            --end;
        }
        if (end == 0) return std::nullopt;
        const size_t lineBreak = tail.rfind('\n', end - 1);
        if (lineBreak == std::string_view::npos && !fromStart) {
            cut = true;
            return std::nullopt;
        }
        const size_t start = lineBreak == std::string_view::npos ? 0 : lineBreak + 1;
        if (auto clean = ParseLoggedClean(tail.substr(start, end - start))) return clean;
        if (ended) return std::nullopt;
        end = start;
    }
    return std::nullopt;
}

}  // namespace qm

#include "cli/report_format.h"

#include <cstdio>

#include "base/text.h"

namespace qm {

namespace {

void AppendEscape(std::string& out, unsigned unit) {
    char escape[8];
    std::snprintf(escape, sizeof(escape), "\\u%04x", unit);
    out += escape;
}

// JSON's two-character escapes; nullptr for any other character.
const char* ShortEscape(wchar_t c) {
    switch (c) {
        case L'"': return "\\\"";
        case L'\\': return "\\\\";
        case L'\n': return "\\n";
        case L'\r': return "\\r";
        case L'\t': return "\\t";
        default: return nullptr;
    }
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The JSON key of an outcome's list, and the table's word for what happens to an item.
std::string_view OutcomeKey(Outcome outcome) {
    static constexpr std::string_view kKeys[] = {"removed", "kept", "refused", "failed", "scheduled"};
    return kKeys[static_cast<size_t>(outcome)];
}
std::wstring_view ActionWord(Outcome outcome) {
    static constexpr std::wstring_view kWords[] = {L"remove", L"keep", L"refuse", L"fail", L"schedule"};
    return kWords[static_cast<size_t>(outcome)];
}

constexpr Outcome kOutcomes[] = {Outcome::Removed, Outcome::Kept, Outcome::Refused, Outcome::Failed,
                                 Outcome::Scheduled};

class JsonWriter {
public:
    explicit JsonWriter(JsonLayout layout) : oneLine_(layout == JsonLayout::OneLine) {}
    std::string out;

    void Key(std::string_view key, int depth) {
        Separate(depth);
        out += '"';
        out += key;
        out += oneLine_ ? "\":" : "\": ";
    }
    void Field(std::string_view key, std::wstring_view text, int depth) {
        Key(key, depth);
        out += JsonString(text);
    }
    void Field(std::string_view key, std::uint64_t number, int depth) {
        Key(key, depth);
        out += std::to_string(number);
    }
    void Open(char bracket) {
        out += bracket;
        first_ = true;
    }
    void Close(char bracket, int depth) {
        if (!first_) Indent(depth);
        out += bracket;
        first_ = false;
    }
    // Before an element of an array.
    void Element(int depth) { Separate(depth); }

private:
    void Separate(int depth) {
        if (!first_) out += ',';
        first_ = false;
        Indent(depth);
    }
    void Indent(int depth) {
        if (oneLine_) return;
        out += '\n';
        out.append(static_cast<size_t>(depth) * 2, ' ');
    }
    bool oneLine_;
    bool first_ = true;
};

void WriteItem(JsonWriter& json, const ReportItem& item, int depth) {
    json.Element(depth - 1);
    json.Open('{');
    json.Field("kind", CleanKindName(item.kind), depth);
    json.Field("type", ItemTypeName(item.type), depth);
    json.Field("path", item.path, depth);
    if (item.outcome == Outcome::Removed && item.type == ItemType::File) json.Field("bytes", item.bytes, depth);
    if (item.type == ItemType::Cookie) {
        json.Field("host", item.host, depth);
        json.Field("name", item.name, depth);
    }
    if (!item.reason.empty()) json.Field("reason", item.reason, depth);
    if (item.outcome == Outcome::Scheduled) json.Field("replacement", item.replacement, depth);
    json.Close('}', depth - 1);
}

std::wstring Pad(std::wstring text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), L' ');
    return text;
}

std::wstring PadLeft(const std::wstring& text, size_t width) {
    return text.size() < width ? std::wstring(width - text.size(), L' ') + text : text;
}

// The item column: the path, a cookie's host and name, and why, on one line.
std::wstring ItemText(const ReportItem& item) {
    std::wstring text = item.path;
    if (item.type == ItemType::Cookie) text += L"  " + item.host + L"  " + item.name;
    if (item.outcome == Outcome::Scheduled)
        text += item.replacement.empty() ? L"  (deleted at restart)" : L"  (replaced by " + item.replacement + L")";
    if (!item.reason.empty()) text += L"  (" + item.reason + L")";
    return text;
}

std::wstring KindList(const std::vector<CleanKind>& kinds) {
    std::wstring list;
    for (CleanKind kind : kinds) list += (list.empty() ? L"" : L", ") + std::wstring(CleanKindName(kind));
    return list.empty() ? L"nothing selected" : list;
}

}  // namespace

std::string JsonString(std::wstring_view text) {
    std::string out = "\"";
    size_t plain = 0;  // start of the run of text that goes out as it is
    const auto flush = [&](size_t end) {
        out += NarrowUtf8(text.substr(plain, end - plain));
        plain = end + 1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;  // a whole pair: plain text
            continue;
        }
        const char* escape = ShortEscape(c);
        const bool odd = c < 0x20 || c == 0x7F || IsHighSurrogate(c) || IsLowSurrogate(c);
        if (!escape && !odd) continue;
        flush(i);
        if (escape) out += escape;
        else AppendEscape(out, c);  // a control character, or a lone half of a pair kept exactly
    }
    flush(text.size());
    return out + "\"";
}

std::string FormatReportJson(const CleanReport& report, const ReportHeading& heading, int exitCode,
                             JsonLayout layout, size_t itemBudget) {
    JsonWriter json(layout);
    json.Open('{');
    json.Field("program", L"Quillmere", 1);
    json.Field("version", heading.version, 1);
    json.Field("command", report.Preview() ? L"preview" : L"clean", 1);
    if (!heading.trigger.empty()) json.Field("trigger", heading.trigger, 1);
    if (!heading.time.empty()) {
        json.Field("time", heading.time, 1);
        json.Field("durationMs", heading.durationMs, 1);
    }
    if (!heading.computer.empty()) json.Field("computer", heading.computer, 1);
    if (!heading.user.empty()) json.Field("user", heading.user, 1);
    json.Key("kinds", 1);
    json.Open('[');
    for (CleanKind kind : heading.kinds) {
        json.Element(2);
        json.out += JsonString(CleanKindName(kind));
    }
    json.Close(']', 1);
    std::uint64_t leftOut = 0;
    for (Outcome outcome : kOutcomes) {
        json.Key(OutcomeKey(outcome), 1);
        json.Open('[');
        for (const auto& item : report.Items()) {
            if (item.outcome != outcome) continue;
            if (json.out.size() < itemBudget) WriteItem(json, item, 3);
            else ++leftOut;
        }
        json.Close(']', 1);
    }
    if (leftOut > 0) json.Field("itemsLeftOut", leftOut, 1);
    const ReportTotals& totals = report.Totals();
    json.Key("totals", 1);
    json.Open('{');
    json.Field("files", totals.files, 2);
    json.Field("folders", totals.folders, 2);
    json.Field("bytes", totals.bytes, 2);
    json.Field("cookies", totals.cookies, 2);
    json.Field("kept", totals.kept, 2);
    json.Field("refused", totals.refused, 2);
    json.Field("failed", totals.failed, 2);
    json.Field("scheduled", totals.scheduled, 2);
    json.Close('}', 1);
    json.Field("exitCode", static_cast<std::uint64_t>(exitCode), 1);
    json.Close('}', 0);
    return json.out + "\n";
}

std::wstring FormatSize(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_wstring(bytes) + L" B";
    const wchar_t* units[] = {L"KB", L"MB", L"GB", L"TB"};
    std::uint64_t scale = 1024;
    size_t unit = 0;
    while (unit + 1 < std::size(units) && bytes >= scale * 1024) {
        scale *= 1024;
        ++unit;
    }
    const std::uint64_t tenths = (bytes * 10 + scale / 2) / scale;  // rounded to one decimal
    return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" " + units[unit];
}

std::wstring FormatReportTable(const CleanReport& report, const ReportHeading& heading) {
    const bool preview = report.Preview();
    std::wstring text = L"Quillmere " + heading.version + (preview ? L" preview: " : L" clean: ") +
                        KindList(heading.kinds) + L"\n\n";
    if (report.Items().empty()) {
        text += preview ? L"Nothing to clean.\n" : L"Nothing was cleaned.\n";
    } else {
        text += L"Action    Kind      Size       Item\n";
        for (const auto& item : report.Items()) {
            const bool sized = item.outcome == Outcome::Removed && item.type == ItemType::File;
            text += Pad(std::wstring(ActionWord(item.outcome)), 10) + Pad(std::wstring(CleanKindName(item.kind)), 10) +
                    PadLeft(sized ? FormatSize(item.bytes) : L"", 9) + L"  " + ItemText(item) + L"\n";
        }
    }
    const ReportTotals& totals = report.Totals();
    text += L"\n" + std::wstring(preview ? L"Would remove: " : L"Removed: ") + std::to_wstring(totals.files) +
            L" files (" + FormatSize(totals.bytes) + L"), " + std::to_wstring(totals.folders) + L" folders, " +
            std::to_wstring(totals.cookies) + L" cookies. Kept: " + std::to_wstring(totals.kept) +
            L". Refused: " + std::to_wstring(totals.refused) + L". Failed: " + std::to_wstring(totals.failed) +
            L". Scheduled for restart: " + std::to_wstring(totals.scheduled) + L".\n";
    return text;
}

}  // namespace qm

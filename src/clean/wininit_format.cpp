#include "clean/wininit_format.h"

namespace qm {

namespace {

constexpr char kIniLineBreak[] = "\r\n";

struct IniLine {
    std::string_view text, ending;
};

std::vector<IniLine> SplitIniLines(std::string_view text) {
    std::vector<IniLine> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        size_t next = end;
        if (next < text.size() && text[next] == '\r') ++next;
        if (next < text.size() && text[next] == '\n') ++next;
        lines.push_back({text.substr(at, end - at), text.substr(end, next - end)});
        at = next;
    }
    return lines;
}

std::string_view TrimIni(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// "[" is a single byte in every code page, so a header is told by its first byte.
bool IsSectionHeader(std::string_view text) { return TrimIni(text).substr(0, 1) == "["; }

class RenameSection {
public:
    RenameSection(std::string_view text, const SameIniLine& same) : lines_(SplitIniLines(text)), same_(same) {
        for (header_ = 0; header_ < lines_.size(); ++header_)
            if (Same(lines_[header_].text, "[rename]")) break;
        found_ = header_ < lines_.size();
        for (end_ = header_ + 1; found_ && end_ < lines_.size(); ++end_)
            if (IsSectionHeader(lines_[end_].text)) break;
    }

    bool Same(std::string_view a, std::string_view b) const { return same_(TrimIni(a), TrimIni(b)); }
    bool Found() const { return found_; }
    const std::vector<IniLine>& Lines() const { return lines_; }
    size_t Header() const { return header_; }  // the "[rename]" line
    size_t End() const { return end_; }        // the line after the section's last

    bool Holds(std::string_view line) const {
        for (size_t i = header_ + 1; found_ && i < end_; ++i)
            if (Same(lines_[i].text, line)) return true;
        return false;
    }

    std::string Joined(size_t from, size_t to) const {
        std::string text;
        for (size_t i = from; i < to; ++i) {
            text += lines_[i].text;
            text += lines_[i].ending;
        }
        return text;
    }

private:
    std::vector<IniLine> lines_;
    const SameIniLine& same_;
    size_t header_ = 0, end_ = 0;
    bool found_ = false;
};

void EndWithLineBreak(std::string& text) {
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += kIniLineBreak;
}

}  // namespace

std::string WithRenameLines(std::string_view text, const std::vector<std::string>& lines,
                            std::vector<std::string>& added, const SameIniLine& same) {
    added.clear();
    const RenameSection section(text, same);
    for (const auto& line : lines) {
        if (TrimIni(line).empty()) continue;
        bool present = section.Holds(line);
        for (const auto& other : added) present = present || section.Same(other, line);
        if (!present) added.push_back(line);
    }
    if (added.empty()) return std::string(text);

    std::string newLines;
    for (const auto& line : added) newLines += line + kIniLineBreak;
    if (!section.Found()) {
        std::string result(text);
        EndWithLineBreak(result);
        return result + "[rename]" + kIniLineBreak + newLines;
    }
    // After the section's last line that is not blank, so the new lines stay in it.
    size_t insertAt = section.End();
    while (insertAt > section.Header() + 1 && TrimIni(section.Lines()[insertAt - 1].text).empty()) --insertAt;
    std::string result = section.Joined(0, insertAt);
    EndWithLineBreak(result);
    return result + newLines + section.Joined(insertAt, section.Lines().size());
}

std::string WithoutRenameLines(std::string_view text, const std::vector<std::string>& lines, const SameIniLine& same) {
    const RenameSection section(text, same);
    if (!section.Found()) return std::string(text);
    std::vector<bool> used(lines.size(), false);
    std::string result = section.Joined(0, section.Header() + 1);
    for (size_t i = section.Header() + 1; i < section.End(); ++i) {
        const IniLine& existing = section.Lines()[i];
        size_t match = 0;
        while (match < lines.size() && (used[match] || !section.Same(existing.text, lines[match]))) ++match;
        if (match < lines.size()) {
            used[match] = true;
            continue;
        }
        result += existing.text;
        result += existing.ending;
    }
    return result + section.Joined(section.End(), section.Lines().size());
}

}  // namespace qm

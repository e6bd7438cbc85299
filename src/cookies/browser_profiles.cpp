#include "cookies/browser_profiles.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace qm {

namespace {

// ---- Text checks shared by both readers -------------------------------------------------

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) length = 1, code = lead;
        else if ((lead & 0xE0) == 0xC0) length = 2, code = lead & 0x1F;
        else if ((lead & 0xF0) == 0xE0) length = 3, code = lead & 0x0F;
        else if ((lead & 0xF8) == 0xF0) length = 4, code = lead & 0x07;
        else return false;
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

bool HasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// One folder name that stays where it is joined: no separator, drive, wildcard or "..", and
// no trailing dot or blank (which the system would drop, turning "X." into "X").
bool IsPlainFolderName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    if (name.find_first_of("\\/:*?\"<>|") != std::string_view::npos) return false;
    return !HasControlByte(name) && IsValidUtf8(name);
}

// ---- A bounded JSON reader that keeps one object's member names ---------------------------

// Reads one JSON value in full (so a damaged file yields nothing) and collects the member
// names of "profile" -> "info_cache" of the top-level object.
class LocalStateReader {
public:
    explicit LocalStateReader(std::string_view text) : text_(text) {}

    bool ReadDocument() {
        SkipBlanks();
        if (!Peek('{') || !Value(Where::Top, 0)) return false;
        SkipBlanks();
        return pos_ == text_.size();
    }
    std::vector<std::string>& Names() { return names_; }

private:
    // Where in the document an object lies: only these three matter.
    enum class Where { Elsewhere, Top, Profile, InfoCache };

    bool Peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    bool Take(char c) {
        if (!Peek(c)) return false;
        ++pos_;
        return true;
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r'))
            ++pos_;
    }
    bool TakeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    bool Value(Where where, int depth) {
        if (depth >= kMaxJsonDepth) return false;
        SkipBlanks();
        if (pos_ >= text_.size()) return false;
        switch (text_[pos_]) {
            case '{': return Object(where, depth + 1);
            case '[': return Array(depth + 1);
            case '"': return String(nullptr);
            case 't': return TakeWord("true");
            case 'f': return TakeWord("false");
            case 'n': return TakeWord("null");
            default: return Number();
        }
    }

    bool Object(Where where, int depth) {
        ++pos_;  // '{'
        SkipBlanks();
        if (Take('}')) return true;
        for (;;) {
            SkipBlanks();
            std::string name;
            bool plain = true;
            if (!Peek('"') || !String(&name, &plain)) return false;
            SkipBlanks();
            if (!Take(':')) return false;
            if (where == Where::InfoCache && plain && IsPlainFolderName(name) &&
                std::find(names_.begin(), names_.end(), name) == names_.end())
                names_.push_back(name);
            Where inner = Where::Elsewhere;
            if (where == Where::Top && name == "profile") inner = Where::Profile;
            if (where == Where::Profile && name == "info_cache") inner = Where::InfoCache;
            if (!Value(inner, depth)) return false;
            SkipBlanks();
            if (Take('}')) return true;
            if (!Take(',')) return false;
        }
    }

    bool Array(int depth) {
        ++pos_;  // '['
        SkipBlanks();
        if (Take(']')) return true;
        for (;;) {
            if (!Value(Where::Elsewhere, depth)) return false;
            SkipBlanks();
            if (Take(']')) return true;
            if (!Take(',')) return false;
        }
    }

    bool Digits() {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        return pos_ > start;
    }
    bool Number() {
        Take('-');
        if (Take('0')) {
            if (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') return false;
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }

    std::optional<std::uint32_t> Hex4() {
        if (pos_ + 4 > text_.size()) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<std::uint32_t>(c - 'A' + 10);
            else return std::nullopt;
        }
        return value;
    }

    static void AppendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    // A string; its decoded text goes to out when asked. plain turns false when an escape
    // stands for a lone surrogate, which no file name can hold.
    bool String(std::string* out, bool* plain = nullptr) {
        ++pos_;  // '"'
        for (;;) {
            if (pos_ >= text_.size()) return false;
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                if (out) *out += c;
                continue;
            }
            if (pos_ >= text_.size()) return false;
            const char escape = text_[pos_++];
            char simple = 0;
            switch (escape) {
                case '"': simple = '"'; break;
                case '\\': simple = '\\'; break;
                case '/': simple = '/'; break;
                case 'b': simple = '\b'; break;
                case 'f': simple = '\f'; break;
                case 'n': simple = '\n'; break;
                case 'r': simple = '\r'; break;
                case 't': simple = '\t'; break;
                case 'u': break;
                default: return false;
            }
            if (simple) {
                if (out) *out += simple;
                continue;
            }
            const auto unit = Hex4();
            if (!unit) return false;
            std::uint32_t code = *unit;
            if (code >= 0xD800 && code <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
                const size_t back = pos_;
                pos_ += 2;
                const auto low = Hex4();
                if (!low) return false;
                if (*low >= 0xDC00 && *low <= 0xDFFF) code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                else pos_ = back;  // not a pair: the second escape is read on its own
            }
            if (code >= 0xD800 && code <= 0xDFFF) {
                if (plain) *plain = false;
                continue;
            }
            if (out) AppendUtf8(*out, code);
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::vector<std::string> names_;
};

// ---- profiles.ini -------------------------------------------------------------------------

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Calls onSection(name) for each "[name]" line and onValue(key, value) for each "key=value"
// line, both trimmed; a UTF-8 byte order mark, CR LF or LF, blank lines and ";" or "#"
// comment lines are allowed.
template <class OnSection, class OnValue>
void ForEachIniLine(std::string_view text, OnSection&& onSection, OnValue&& onValue) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            onSection(close == std::string_view::npos ? std::string_view() : line.substr(1, close - 1));
            continue;
        }
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            onValue(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
    }
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

bool StartsWithAsciiNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

// A path part that keeps the path where it is: not empty, ".", ".." or a drive.
bool IsSafePathPart(std::string_view part) {
    return !part.empty() && part != "." && part != ".." && part.find(':') == std::string_view::npos;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool HasDrive(std::string_view path) { return path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]); }
bool IsSharePath(std::string_view path) { return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]); }
// "X:\..." or a share "\\server\share\...".
bool IsAbsoluteProfilePath(std::string_view path) { return HasDrive(path) || IsSharePath(path); }

bool IsSafeProfilePath(std::string_view path, bool isRelative) {
    if (path.empty() || path.size() > 32767 || HasControlByte(path) || !IsValidUtf8(path)) return false;
    size_t start = 0;
    if (!isRelative) {
        // The drive or share is the first part.
        if (!IsAbsoluteProfilePath(path)) return false;
        start = HasDrive(path) ? 3 : 2;
    }
    const std::string_view rest = path.substr(start);
    for (size_t from = 0;;) {
        const size_t end = rest.find_first_of("\\/", from);
        const std::string_view part = rest.substr(from, end == std::string_view::npos ? rest.npos : end - from);
        // A trailing separator leaves one empty last part, which is harmless.
        const bool last = end == std::string_view::npos || end + 1 == rest.size();
        if (!IsSafePathPart(part) && !(last && part.empty() && from > 0)) return false;
        if (last) break;
        from = end + 1;
    }
    return true;
}

bool SamePath(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto norm = [](char c) {
            if (c == '/') return '\\';
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        if (norm(a[i]) != norm(b[i])) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> ChromiumProfileFolders(std::string_view localStateJson) {
    if (localStateJson.size() > kMaxProfileIndexSize) return {};
    if (localStateJson.substr(0, 3) == "\xEF\xBB\xBF") localStateJson.remove_prefix(3);
    LocalStateReader reader(localStateJson);
    if (!reader.ReadDocument()) return {};
    return std::move(reader.Names());
}

std::vector<FirefoxProfile> FirefoxProfiles(std::string_view profilesIni, std::string_view installsIni) {
    if (profilesIni.size() > kMaxProfileIndexSize) return {};
    if (installsIni.size() > kMaxProfileIndexSize) installsIni = {};

    struct Section {
        bool isProfile = false;
        FirefoxProfile profile;
        bool hasPath = false;
    };
    std::vector<Section> sections;
    std::vector<std::string> installDefaults;
    const auto noteInstallDefault = [&](std::string_view key, std::string_view value) {
        if (EqualsAsciiNoCase(key, "Default") && !value.empty()) installDefaults.emplace_back(value);
    };
    bool inInstall = false;
    ForEachIniLine(
        profilesIni,
        [&](std::string_view name) {
            sections.push_back({StartsWithAsciiNoCase(name, "Profile"), {}, false});
            inInstall = StartsWithAsciiNoCase(name, "Install");
        },
        [&](std::string_view key, std::string_view value) {
            if (inInstall) return noteInstallDefault(key, value);
            if (sections.empty() || !sections.back().isProfile) return;
            Section& section = sections.back();
            if (EqualsAsciiNoCase(key, "Name")) section.profile.name = value;
            else if (EqualsAsciiNoCase(key, "Path")) section.profile.path = value, section.hasPath = true;
            else if (EqualsAsciiNoCase(key, "IsRelative")) section.profile.isRelative = value == "1";
            else if (EqualsAsciiNoCase(key, "Default")) section.profile.isDefault = value == "1";
        });
    // installs.ini holds install sections only.
    ForEachIniLine(installsIni, [](std::string_view) {}, noteInstallDefault);

    std::vector<FirefoxProfile> profiles;
    const auto named = [&](std::string_view path) {
        return std::any_of(profiles.begin(), profiles.end(),
                           [&](const FirefoxProfile& profile) { return SamePath(profile.path, path); });
    };
    for (auto& section : sections) {
        if (!section.isProfile || !section.hasPath) continue;
        FirefoxProfile& profile = section.profile;
        if (!IsSafeProfilePath(profile.path, profile.isRelative)) continue;
        for (const auto& path : installDefaults)
            if (SamePath(path, profile.path)) profile.isDefault = true;
        profiles.push_back(std::move(profile));
    }
    // An install's default that no profile section names is a profile too: Firefox writes
    // it relative to its own folder unless the profile lives elsewhere.
    for (const auto& path : installDefaults) {
        const bool isRelative = !IsAbsoluteProfilePath(path);
        if (!named(path) && IsSafeProfilePath(path, isRelative)) profiles.push_back({"", path, isRelative, true});
    }
    return profiles;
}

}  // namespace qm

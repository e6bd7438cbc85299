#include "cookies/msie_cookie_format.h"

#include <array>

namespace qm {

namespace {

constexpr std::string_view kRecordSeparator = "\n*\n";
constexpr std::uint64_t kMaxTimeHalf = 4294967295ULL;

}  // namespace

bool CompleteCookieFileText(std::string& text) {
    if (text.empty() || text.back() != '\n') text += '\n';
    return text.size() >= kRecordSeparator.size() &&
           text.compare(text.size() - kRecordSeparator.size(), kRecordSeparator.size(), kRecordSeparator) == 0;
}

std::vector<int> RecordStarts(std::string_view text) {
    std::vector<size_t> separators;
    for (size_t at = text.find(kRecordSeparator); at != std::string_view::npos;
         at = text.find(kRecordSeparator, at + kRecordSeparator.size()))
        separators.push_back(at);
    // One record per separator: the first at 1, each later one just after the separator
    // before it.
    std::vector<int> starts;
    for (size_t record = 0; record < separators.size(); ++record)
        starts.push_back(record == 0 ? 1 : static_cast<int>(separators[record - 1] + kRecordSeparator.size()) + 1);
    return starts;
}

int ParseField(std::string_view text, std::string& field) {
    size_t end = 0;
    while (end < text.size() && static_cast<unsigned char>(text[end]) >= 32) ++end;
    field.assign(text.substr(0, end));
    const size_t position = end + 1;  // 1-based position of the ending character
    return position < text.size() ? static_cast<int>(position) : 0;
}

std::optional<std::int32_t> UnsignedToLong(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const std::string_view digits = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (digits.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > kMaxTimeHalf) return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<CivilTime> MsieTime(std::string_view high, std::string_view low) {
    const std::optional<std::int32_t> highHalf = UnsignedToLong(high);
    const std::optional<std::int32_t> lowHalf = UnsignedToLong(low);
    if (!highHalf || !lowHalf) return std::nullopt;
    const std::uint64_t units =
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(*highHalf)) << 32 | static_cast<std::uint32_t>(*lowHalf);
    return CivilFromFileTime(units);
}

std::optional<MsieFields> ParseMsieFields(std::string_view recordText) {
    enum Field { kName, kValue, kHostPath, kFlags, kExpiresLow, kExpiresHigh, kCreatedLow, kCreatedHigh, kFieldCount };
    std::array<std::string, kFieldCount> fields;
    size_t at = 0;
    for (std::string& field : fields) {
        // A field without its ending leaves the position where it was.
        const int ending = ParseField(recordText.substr(at), field);
        if (ending > 0) at += static_cast<size_t>(ending);
    }

    const std::optional<CivilTime> expires = MsieTime(fields[kExpiresHigh], fields[kExpiresLow]);
    const std::optional<CivilTime> created = MsieTime(fields[kCreatedHigh], fields[kCreatedLow]);
    if (!expires || !created) return std::nullopt;
    MsieFields decoded;
    decoded.name = std::move(fields[kName]);
    decoded.value = std::move(fields[kValue]);
    decoded.hostPath = std::move(fields[kHostPath]);
    decoded.secure = fields[kFlags] != "0";
    decoded.expires = *expires;
    decoded.created = *created;
    return decoded;
}

}  // namespace qm

// cookies.txt: split into lines, read every cookie line as the viewer does, and write back.
// Properties: with nothing marked the write gives back the very bytes read; with some lines
// marked, the written file holds exactly the other cookie lines, in order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/ns_cookie_format.h"
#include "fuzz_check.h"

using namespace qm;

namespace {

bool Within(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void ReadCookieLine(std::int32_t headerKind, std::string_view text) {
    const Ns2Fields fields = SplitNs2Fields(text);
    for (const std::string_view field : {fields.domain, fields.domainFlag, fields.path, fields.secure, fields.expiry,
                                         fields.name, fields.value}) {
        QM_FUZZ_CHECK(Within(field, text));
        for (const char c : field) QM_FUZZ_CHECK(static_cast<unsigned char>(c) >= 32);
    }
    if (const auto expiry = ParseExpiry(fields.expiry)) {
        if (const auto time = ExpiryTime(headerKind, *expiry)) {
            QM_FUZZ_CHECK(time->year >= 1601 && time->year <= 30827);
            QM_FUZZ_CHECK(time->month >= 1 && time->month <= 12 && time->day >= 1 && time->day <= 31);
            QM_FUZZ_CHECK(time->hour < 24 && time->minute < 60 && time->second < 60);
        }
    }
}

std::vector<std::string> CookieLines(const std::vector<CookieTxtLine>& lines, bool keptOnly) {
    std::vector<std::string> cookies;
    for (const auto& line : lines)
        if (IsCookieLine(line.text) && !(keptOnly && line.deleted)) cookies.push_back(line.text);
    return cookies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<CookieTxtLine> lines = SplitCookieTxtLines(bytes);
    QM_FUZZ_CHECK(CookieTxtBytes(lines) == bytes);

    std::int32_t headerKind = 0;
    if (!lines.empty()) headerKind = HeaderKindAfter(headerKind, lines.front().text);
    for (size_t i = 0; i < lines.size(); ++i) {
        QM_FUZZ_CHECK(lines[i].number == static_cast<std::int32_t>(i) + 1);
        QM_FUZZ_CHECK(lines[i].text.find_first_of("\r\n") == std::string::npos);
        QM_FUZZ_CHECK(i + 1 == lines.size() || !lines[i].ending.empty());
        if (IsCookieLine(lines[i].text)) {
            ReadCookieLine(headerKind, lines[i].text);
            ReadCookieLine(kHeaderHttp, lines[i].text);
        }
    }

    // Mark lines as the clean would, by a rule the input chooses: its last byte.
    const std::uint8_t rule = size > 0 ? data[size - 1] : 0;
    for (size_t i = 0; i < lines.size(); ++i) lines[i].deleted = ((rule >> (i % 8)) & 1) != 0;
    const std::string written = CookieTxtBytes(lines);
    QM_FUZZ_CHECK(written.size() <= size);
    QM_FUZZ_CHECK(CookieLines(SplitCookieTxtLines(written), false) == CookieLines(lines, true));
    return 0;
}

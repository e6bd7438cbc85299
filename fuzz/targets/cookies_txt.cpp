// cookies.txt: split into lines, read every cookie line as the viewer does, and write back.
// Properties: with nothing marked the write gives back the very bytes read; with some cookie
// lines marked (as the clean marks them: only lines that parse, "#HttpOnly_" ones included),
// the written file holds exactly the other cookie lines and every other line, in order, byte
// for byte; an HttpOnly line is the cookie line behind its prefix.
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

void ReadCookieLine(std::string_view text) {
    const Ns2Fields fields = SplitNs2Fields(text);
    for (const std::string_view field : {fields.domain, fields.domainFlag, fields.path, fields.secure, fields.expiry,
                                         fields.name, fields.value}) {
        QM_FUZZ_CHECK(Within(field, text));
        for (const char c : field) QM_FUZZ_CHECK(static_cast<unsigned char>(c) >= 32);
    }
    if (const auto expiry = ParseExpiry(fields.expiry)) {
        if (const auto time = ExpiryTime(*expiry)) {
            QM_FUZZ_CHECK(time->year >= 1601 && time->year <= 30827);
            QM_FUZZ_CHECK(time->month >= 1 && time->month <= 12 && time->day >= 1 && time->day <= 31);
            QM_FUZZ_CHECK(time->hour < 24 && time->minute < 60 && time->second < 60);
        }
    }
}

// The texts of the lines that parse as cookies (or of the others), left out the deleted ones.
std::vector<std::string> Texts(const std::vector<CookieTxtLine>& lines, bool cookies, bool keptOnly) {
    std::vector<std::string> texts;
    for (const auto& line : lines)
        if (ParseCookieLine(line.text).has_value() == cookies && !(keptOnly && line.deleted) && !line.text.empty())
            texts.push_back(line.text);
    return texts;
}

void CheckParsed(std::string_view text) {
    const auto parsed = ParseCookieLine(text);
    if (!parsed) return;
    QM_FUZZ_CHECK(parsed->httpOnly == text.starts_with(kHttpOnlyPrefix));
    QM_FUZZ_CHECK(IsCookieLine(text));
    const std::string_view body = parsed->httpOnly ? text.substr(kHttpOnlyPrefix.size()) : text;
    const auto plain = ParseCookieLine(body);
    QM_FUZZ_CHECK(plain && !plain->httpOnly && plain->fields.domain == parsed->fields.domain &&
                  plain->fields.name == parsed->fields.name);
    const Ns2Fields shown = SplitNs2Fields(body);  // the viewer's fields are the same
    QM_FUZZ_CHECK(shown.domain == parsed->fields.domain && shown.name == parsed->fields.name &&
                  shown.expiry == parsed->fields.expiry && shown.value == parsed->fields.value);
    QM_FUZZ_CHECK(!parsed->fields.domain.empty() && !parsed->fields.name.empty() &&
                  (ParseExpiry(parsed->fields.expiry) || IsSessionExpiry(parsed->fields.expiry)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<CookieTxtLine> lines = SplitCookieTxtLines(bytes);
    QM_FUZZ_CHECK(CookieTxtBytes(lines) == bytes);

    for (size_t i = 0; i < lines.size(); ++i) {
        QM_FUZZ_CHECK(lines[i].number == static_cast<std::int32_t>(i) + 1);
        QM_FUZZ_CHECK(lines[i].text.find_first_of("\r\n") == std::string::npos);
        QM_FUZZ_CHECK(i + 1 == lines.size() || !lines[i].ending.empty());
        CheckParsed(lines[i].text);
        if (IsCookieLine(lines[i].text)) {
            ReadCookieLine(lines[i].text);
        }
    }

    // Mark cookie lines as the clean would, by a rule the input chooses: its last byte.
    const std::uint8_t rule = size > 0 ? data[size - 1] : 0;
    for (size_t i = 0; i < lines.size(); ++i)
        lines[i].deleted = ParseCookieLine(lines[i].text) && ((rule >> (i % 8)) & 1) != 0;
    const std::string written = CookieTxtBytes(lines);
    QM_FUZZ_CHECK(written.size() <= size);
    const std::vector<CookieTxtLine> after = SplitCookieTxtLines(written);
    QM_FUZZ_CHECK(Texts(after, true, false) == Texts(lines, true, true));
    QM_FUZZ_CHECK(Texts(after, false, false) == Texts(lines, false, false));
    return 0;
}

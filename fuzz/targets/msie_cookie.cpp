// Internet Explorer cookie files: accepted or refused as the loader does, split into records,
// each record decoded. Properties: records start right after a terminator, decoded fields
// hold no line breaks, decoded times are real dates.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cookies/msie_cookie_format.h"
#include "fuzz_check.h"

using namespace qm;

namespace {

void CheckTime(const CivilTime& time) {
    QM_FUZZ_CHECK(time.year >= 1601 && time.year <= 30828);
    QM_FUZZ_CHECK(time.month >= 1 && time.month <= 12 && time.day >= 1 && time.day <= 31);
    QM_FUZZ_CHECK(time.hour < 24 && time.minute < 60 && time.second < 60 && time.dayOfWeek < 7);
}

void Decode(std::string_view recordText) {
    const auto fields = ParseMsieFields(recordText);
    if (!fields) return;
    for (const std::string* field : {&fields->name, &fields->value, &fields->hostPath})
        for (const char c : *field) QM_FUZZ_CHECK(static_cast<unsigned char>(c) >= 32);
    CheckTime(fields->expires);
    CheckTime(fields->created);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Decode(bytes);  // the cookie clean decodes a file's first record without the loader's checks
    if (size > kMaxCookieFileSize) return 0;

    std::string text(bytes);
    if (!CompleteCookieFileText(text)) return 0;
    QM_FUZZ_CHECK(text.size() >= 3 && text.compare(text.size() - 3, 3, "\n*\n") == 0);
    const auto starts = RecordStarts(text);
    QM_FUZZ_CHECK(!starts.empty() && starts.front() == 1);
    for (size_t i = 0; i < starts.size(); ++i) {
        const auto at = static_cast<size_t>(starts[i] - 1);
        QM_FUZZ_CHECK(at < text.size());
        QM_FUZZ_CHECK(i == 0 || (starts[i] > starts[i - 1] && text.compare(at - 3, 3, "\n*\n") == 0));
        Decode(std::string_view(text).substr(at));
    }
    return 0;
}

// Wininit.ini's "[rename]" section. Input: a count byte, that many of our lines (each ended by
// a line feed), then the file. Properties: taking nothing out keeps every byte; adding is
// idempotent; taking out what was added leaves the file's own lines, in order, with at most
// a "[rename]" header more.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clean/wininit_format.h"
#include "fuzz_check.h"

using namespace qm;

namespace {

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::vector<std::string> NonBlankLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string_view line = Trimmed(text.substr(at, end - at));
        if (!line.empty()) lines.emplace_back(line);
        at = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> ours;
    for (int count = data[0] % 4; count > 0; --count) {
        const size_t end = input.find('\n');
        if (end == std::string_view::npos) break;
        const std::string_view line = input.substr(0, end);
        input.remove_prefix(end + 1);
        // The program's lines are "NUL=path" or "target=source": one line, never a header.
        if (line.find('\r') == std::string_view::npos && Trimmed(line).substr(0, 1) != "[") ours.emplace_back(line);
    }
    const std::string_view text = input;
    const SameIniLine same = SameAscii;

    QM_FUZZ_CHECK(WithoutRenameLines(text, {}, same) == text);

    std::vector<std::string> added;
    const std::string with = WithRenameLines(text, ours, added, same);
    QM_FUZZ_CHECK(added.size() <= ours.size());
    QM_FUZZ_CHECK(added.empty() == (with == text));
    std::vector<std::string> again;
    QM_FUZZ_CHECK(WithRenameLines(with, ours, again, same) == with && again.empty());

    const std::vector<std::string> before = NonBlankLines(text);
    std::vector<std::string> after = NonBlankLines(WithoutRenameLines(with, added, same));
    if (after.size() == before.size() + 1 && SameAscii(after.back(), "[rename]")) after.pop_back();
    QM_FUZZ_CHECK(after == before);
    return 0;
}

// The clean log's lines. Properties: reading never fails on any input; a record's texts are
// UTF-16 units; a line that reads as a record is the record of a log that ends with it,
// with or without its line break; a whole log never asks for a longer tail.
#include <cstddef>
#include <cstdint>
#include <string>

#include "clean/clean_log_entry.h"
#include "fuzz_check.h"

using namespace qm;

namespace {

bool Utf16(const std::wstring& text) {
    for (wchar_t unit : text)
        if (static_cast<std::uint32_t>(unit) > 0xFFFF) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    bool cut = false;
    const auto last = LastLoggedClean(bytes, true, cut);
    QM_FUZZ_CHECK(!cut);
    const auto clean = ParseLoggedClean(bytes);
    if (!clean) return 0;
    QM_FUZZ_CHECK(clean->items.size() <= size / 20);
    for (const auto& item : clean->items)
        QM_FUZZ_CHECK(Utf16(item.path) && Utf16(item.host) && Utf16(item.name) && Utf16(item.reason) &&
                      Utf16(item.replacement));
    if (bytes.find('\n') != std::string::npos) return 0;
    for (const std::string& log : {"{}\n" + bytes, "{}\n" + bytes + "\r\n"}) {
        const auto read = LastLoggedClean(log, false, cut);
        QM_FUZZ_CHECK(!cut && read && read->items.size() == clean->items.size() && read->totals.files == clean->totals.files);
    }
    return 0;
}

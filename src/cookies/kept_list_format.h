#pragma once
// A kept-cookie list as stored: the values of its key whose names are decimal numbers, each
// one kept entry, in numeric order. No system calls: kept_cookies.h reads and writes the key.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct StoredValueData {
    std::u16string name;
    std::uint32_t type = 0;  // REG_SZ, ...
    std::vector<std::uint8_t> bytes;
};

bool IsDecimalName(std::u16string_view name);
// Numeric order of decimal names of any length ("9" before "10"); equal numbers ("1",
// "01") in a fixed order.
bool NumericLess(std::u16string_view a, std::u16string_view b);

// The entries of a list's values: those named by a number, in numeric order, as text up to
// the first NUL, leaving out empty ones and "0". Other values are ignored. Nothing (the list
// is damaged) when a numbered value is not text.
std::optional<std::vector<std::u16string>> KeptEntriesOf(const std::vector<StoredValueData>& values);

}  // namespace qm

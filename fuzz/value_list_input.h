#pragma once
// The kept-list target's input: a run of registry values, each as
// [type byte][name length byte][name, UTF-16][data length, 2 bytes][data]. A short tail
// ends the run. The seed writer encodes with the same layout.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "cookies/kept_list_format.h"
#include "startup/registry_data.h"

namespace qm::fuzz {

inline std::vector<StoredValueData> DecodeValueList(std::span<const std::uint8_t> input) {
    std::vector<StoredValueData> values;
    size_t at = 0;
    const auto take = [&](size_t count) {
        const auto part = input.subspan(at, count);
        at += count;
        return part;
    };
    while (input.size() - at >= 2) {
        StoredValueData value;
        value.type = input[at] % 12;
        const size_t nameBytes = input[at + 1] * size_t{2};
        at += 2;
        if (input.size() - at < nameBytes + 2) break;
        value.name = Utf16FromBytes(take(nameBytes));
        const size_t dataBytes = input[at] | input[at + 1] << 8;
        at += 2;
        if (input.size() - at < dataBytes) break;
        const auto bytes = take(dataBytes);
        value.bytes.assign(bytes.begin(), bytes.end());
        values.push_back(std::move(value));
    }
    return values;
}

inline void AppendValue(std::vector<std::uint8_t>& input, const StoredValueData& value) {
    input.push_back(static_cast<std::uint8_t>(value.type));
    input.push_back(static_cast<std::uint8_t>(value.name.size()));
    const auto name = BytesFromUtf16(value.name);
    input.insert(input.end(), name.begin(), name.end());
    input.push_back(static_cast<std::uint8_t>(value.bytes.size() & 0xFF));
    input.push_back(static_cast<std::uint8_t>(value.bytes.size() >> 8));
    input.insert(input.end(), value.bytes.begin(), value.bytes.end());
}

}  // namespace qm::fuzz

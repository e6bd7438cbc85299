#pragma once
// Registry value data as raw bytes of any type and size, turned into texts and numbers
// without system calls, so that every reader of values treats odd data the same way:
// texts without their terminator or of odd length, lists without their closing NULs,
// numbers stored in fewer or more bytes than expected.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

using ByteSpan = std::span<const std::uint8_t>;

// The value types, numbered as the system numbers them (REG_SZ, ...).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// The UTF-16 units of the bytes (little-endian); an odd last byte is dropped.
std::u16string Utf16FromBytes(ByteSpan bytes);
std::vector<std::uint8_t> BytesFromUtf16(std::u16string_view text);
std::u16string_view BeforeNul(std::u16string_view text);

bool IsTextType(std::uint32_t type);  // REG_SZ or REG_EXPAND_SZ
// A text value up to its first NUL; nothing for any other type.
std::optional<std::u16string> RegistryText(std::uint32_t type, ByteSpan bytes);
// A list value's characters without the closing NULs (inner NULs kept).
std::u16string MultiStringText(ByteSpan bytes);
// The parts between NULs, empty parts included; nothing for empty text.
std::vector<std::u16string> SplitAtNul(std::u16string_view text);
// The non-empty strings of a list value.
std::vector<std::u16string> MultiStringItems(ByteSpan bytes);

// A little-endian number from the first four bytes; missing bytes count as 0.
std::uint32_t NumberFromBytes(ByteSpan bytes);
// The same for a number read into width bytes (1 to 8): nothing when the value holds more
// bytes than that, as the system answers "more data".
std::optional<std::uint64_t> NumberOfWidth(ByteSpan bytes, size_t width);

}  // namespace qm

#pragma once
// The version file published next to the installer: display name, version and the
// installer's SHA-256, read strictly, since whatever answers the request wrote it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

using Sha256 = std::array<std::uint8_t, 32>;

struct PublishedVersion {
    std::wstring displayName;             // 1 to 64 printable characters
    std::wstring versionText;             // as published, "5.1.0"
    std::vector<unsigned> version;        // its numbers, one to four
    Sha256 installerHash{};
};

// Up to 4096 bytes: fields separated by commas or line breaks, each in double quotes or bare
// (a UTF-8 byte-order mark is skipped). Nothing (no offer) for anything else: an unclosed
// quote, a control or non-ASCII character, a name that is empty or longer than 64, a version
// that is not one to four numbers, a hash that is not 64 hex digits, fewer than three fields.
std::optional<PublishedVersion> ParseVersionFile(std::string_view bytes);

// The file's text for a record that ParseVersionFile accepts: "name","version","hash" (the
// hash in lower-case hex; a name that holds a double quote, which a quoted field cannot, bare).
std::string VersionFileText(const PublishedVersion& published);

// "5", "5.1", "10.0.0.1": one to four numbers of at most five digits, separated by dots.
std::optional<std::vector<unsigned>> ParseVersionNumbers(std::string_view text);

// Compares as numbers, a missing part counting as 0: negative, 0 or positive.
int CompareVersions(const std::vector<unsigned>& a, const std::vector<unsigned>& b);

}  // namespace qm

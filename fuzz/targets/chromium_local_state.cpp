// Chromium's "Local State": the profile folder names. Properties: a name is one plain folder
// name (no separator, drive, wildcard, "." or "..", no trailing dot or blank, no control
// byte), each name once; an oversized file gives none.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "cookies/browser_profiles.h"
#include "fuzz_check.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    const auto folders = ChromiumProfileFolders(json);
    if (size > kMaxProfileIndexSize) QM_FUZZ_CHECK(folders.empty());
    std::set<std::string> seen;
    for (const std::string& name : folders) {
        QM_FUZZ_CHECK(!name.empty() && name.size() <= 255 && name != "." && name != "..");
        QM_FUZZ_CHECK(name.back() != '.' && name.back() != ' ');
        QM_FUZZ_CHECK(name.find_first_of("\\/:*?\"<>|") == std::string::npos);
        QM_FUZZ_CHECK(std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
        QM_FUZZ_CHECK(seen.insert(name).second);
    }
    return 0;
}

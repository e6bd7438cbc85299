// Firefox's "profiles.ini" and "installs.ini": the profiles and their paths. Properties: every
// profile has a path without "." or ".." parts; a relative one stays below the folder it is
// joined to (no drive, no leading separator).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/browser_profiles.h"
#include "fuzz_check.h"

using namespace qm;

namespace {

// No part of the path climbs out or stays put ("." or ".."), whatever the separators.
bool NoDotParts(std::string_view path) {
    size_t at = 0;
    while (at <= path.size()) {
        const size_t end = std::min(path.find_first_of("/\\", at), path.size());
        const std::string_view part = path.substr(at, end - at);
        if (part == "." || part == "..") return false;
        at = end + 1;
    }
    return true;
}

// A relative path stays below the folder it is joined to: no drive, no leading separator.
bool StaysBelow(std::string_view path) {
    return !path.empty() && path.front() != '/' && path.front() != '\\' &&
           path.find(':') == std::string_view::npos && NoDotParts(path);
}

void CheckProfiles(const std::vector<FirefoxProfile>& profiles) {
    for (const FirefoxProfile& profile : profiles) {
        QM_FUZZ_CHECK(!profile.path.empty());
        QM_FUZZ_CHECK(NoDotParts(profile.path));
        if (profile.isRelative) QM_FUZZ_CHECK(StaysBelow(profile.path));
    }
}

}  // namespace

// The input as profiles.ini, and as installs.ini beside it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view ini(reinterpret_cast<const char*>(data), size);
    CheckProfiles(FirefoxProfiles(ini));
    CheckProfiles(FirefoxProfiles({}, ini));
    return 0;
}

#pragma once
// Where today's browsers keep their profiles, read from the browsers' own index files. Pure
// functions over UTF-8 bytes: no file or registry access, nothing platform-specific, and
// never an exception, whatever the bytes. A name or path that could lead out of the folder it
// is joined to ("..", a drive, a separator in a folder name) is left out.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Larger index files are taken as damaged: real ones are a few kilobytes to a megabyte.
inline constexpr std::size_t kMaxProfileIndexSize = 16u << 20;
// Deeper JSON nesting is taken as damaged (Chromium's "Local State" nests about six levels).
inline constexpr int kMaxJsonDepth = 64;

// The profile folder names of a Chromium-family browser: the member names of
// "profile" -> "info_cache" in its "Local State" file, in file order, each once. Empty
// when the text is not one well-formed JSON object, is too large or too deep, or holds no
// such member. Names that are not one plain folder name are left out.
std::vector<std::string> ChromiumProfileFolders(std::string_view localStateJson);

struct FirefoxProfile {
    std::string name;         // "Name="
    std::string path;         // "Path=", separators as written ("Profiles/x.default-release")
    bool isRelative = false;  // "IsRelative=1": path is below the folder that holds profiles.ini
    bool isDefault = false;   // "Default=1", or named by an [Install...] section's "Default="
};

// The profiles of a Firefox "profiles.ini", in file order: every [Profile...] section with a
// Path. A relative path with an empty, "." or ".." part, a drive or a leading separator is
// left out. Lines may end in CR LF or LF; a UTF-8 byte order mark, blanks around names and
// values and ";" or "#" comment lines are allowed. An install's default (an [Install...]
// section's "Default=", or any section's of "installs.ini") that no profile section names is
// a profile too, after them: relative unless it begins with a drive or share.
std::vector<FirefoxProfile> FirefoxProfiles(std::string_view profilesIni, std::string_view installsIni = {});

}  // namespace qm

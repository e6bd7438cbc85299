#pragma once
// Where today's browsers keep their caches and cookie databases: the Chromium family (each
// profile named in the browser's "Local State"), Firefox (each profile of "profiles.ini")
// and (in discovery.cpp) Internet Explorer's "INetCache". Discovery adds these after the
// classic candidates.
#include <cstdint>
#include <string>
#include <vector>

#include "cookies/discovery.h"

namespace qm {

class ProtectedFolders;

struct BrowserLocation {
    std::wstring path;  // a folder (with a trailing "\") or a cookie database file
    std::int32_t kind;
};

// The cookie databases, in a fixed order: the Chromium family browser by browser, then
// Firefox. Only existing files reached without passing through a link.
// Every path passes the gate; a user-data folder or profile that is or holds a protected
// folder is left out whole (protectedFolders: as they are now when not given).
std::vector<BrowserLocation> CurrentCookieDatabases(const SpecialFolderLookup& specialFolder,
                                                    const ProtectedFolders* protectedFolders = nullptr);
// The cache folders, in the same order, with each Firefox profile folder (kind 0x4000, whose
// clean takes only its session files) before its cache. Only existing folders reached
// without passing through a link.
std::vector<BrowserLocation> CurrentCacheFolders(const SpecialFolderLookup& specialFolder,
                                                 const ProtectedFolders* protectedFolders = nullptr);

// A Chromium-family browser's name for the user ("Google Chrome"); "" for another kind.
std::wstring ChromiumBrowserName(std::int32_t kind);

}  // namespace qm

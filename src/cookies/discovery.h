#pragma once
// Finding every browser's cookie stores and cache folders: the cookie location list
// cboLoc (mirrored into Combo3, with the browser folders in Combo1 and the Temp folder
// in Combo2) and the browser cache list cache. Each entry's item data is a kind code:
// the family in bits 8-15, the source that found it in the low byte.
#include <cstdint>
#include <functional>
#include <string>

namespace qm {

class AppContext;

inline constexpr std::int32_t kFamilyMask = 0xFF00;
inline constexpr std::int32_t kFamilyMsie = 0x1000;
inline constexpr std::int32_t kFamilyNetscape = 0x2000;
inline constexpr std::int32_t kFamilyFireFox = 0x4000;
inline constexpr std::int32_t kFamilyChromium = 0x8000;

inline constexpr std::int32_t kKindIeTemporaryFiles = 0x1000;  // "%SystemRoot%\Temporary Internet Files"
inline constexpr std::int32_t kKindIeCookiePath = 0x1003;      // Special Paths "Directory", "%SystemRoot%\Cookies"
inline constexpr std::int32_t kKindIeShellCookies = 0x1004;    // Shell Folders "Cookies"
inline constexpr std::int32_t kKindIeShellCache = 0x1005;      // Shell Folders "Cache"
inline constexpr std::int32_t kKindIeINetCache = 0x1006;       // Local AppData "Microsoft\Windows\INetCache"
inline constexpr std::int32_t kKindNetscapeUsers = 0x2000;     // "Netscape\Users" under Program/Common Files
inline constexpr std::int32_t kKindNetscapeDirRoot = 0x2004;   // a Netscape user's "DirRoot"
inline constexpr std::int32_t kKindNetscapeCookieFile = 0x2005;  // Netscape "Cookie File"
inline constexpr std::int32_t kKindRealNetworks = 0x200A;      // RealNetworks cookie paths
inline constexpr std::int32_t kKindFireFoxDefault = 0x4000;    // a "*.default" profile (cache list only)
inline constexpr std::int32_t kKindFireFoxProfiles = 0x4001;   // "Mozilla\FireFox\Profiles"
inline constexpr std::int32_t kKindFireFoxCookieDb = 0x4002;   // a profile's "cookies.sqlite" (cookie list only)
inline constexpr std::int32_t kKindFireFoxCache2 = 0x4003;     // a profile's "cache2" folder (cache list only)
// The Chromium family: one low byte per browser, for its cache folders and cookie databases.
inline constexpr std::int32_t kKindChrome = 0x8001;
inline constexpr std::int32_t kKindEdge = 0x8002;
inline constexpr std::int32_t kKindBrave = 0x8003;
inline constexpr std::int32_t kKindVivaldi = 0x8004;
inline constexpr std::int32_t kKindChromium = 0x8005;
inline constexpr std::int32_t kKindOpera = 0x8006;

// The shell folders discovery looks in, by CSIDL, with a trailing "\" (empty when unknown).
using SpecialFolderLookup = std::function<std::wstring(int csidl)>;
// The running system's shell folders.
std::wstring SystemSpecialFolder(int csidl);

// Rebuilds the cookie location list cboLoc (with Combo1..Combo3).
void InitLoc(AppContext& ctx);
void InitLoc(AppContext& ctx, const SpecialFolderLookup& specialFolder);
// Rebuilds the browser cache list cache.
void CacheInitLoc(AppContext& ctx);
void CacheInitLoc(AppContext& ctx, const SpecialFolderLookup& specialFolder);

// Cookie locations. path is normalised in place: folded, cut at its first NUL, environment
// references expanded, and (AddNS2) a trailing "cookies.txt" cut; folders end in "\".
// Every folder at or below path is searched, depth first, never through a link.
void AddMSIE(AppContext& ctx, std::wstring& path, std::int32_t kind);
void AddNS2(AppContext& ctx, std::wstring& path, std::int32_t kind);
// Adds an existing folder (with "\") or file to cboLoc and Combo3 unless cboLoc already
// holds it in any letter case.
void AddOneLoc(AppContext& ctx, std::wstring path, std::int32_t kind);

// The same three for the browser cache list.
void frmMainAddMSIE(AppContext& ctx, std::wstring& path, std::int32_t kind);
void frmMainAddNS2(AppContext& ctx, std::wstring& path, std::int32_t kind);
void frmMainAddOneLoc(AppContext& ctx, std::wstring path, std::int32_t kind);

// A registry text that arrived as UTF-16 bytes read one byte per character (even length,
// every second character NUL) folded back to its first, third, ... characters; any other
// text unchanged.
std::wstring Unicode2ASCII(const std::wstring& text);

}  // namespace qm

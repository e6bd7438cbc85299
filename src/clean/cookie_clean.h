#pragma once
// The cookie clean's decisions, apart from the run that makes them (MainCleanCookies is
// declared with the other kinds of clean).
#include <string>

#include "cookies/kept_cookies.h"

namespace qm {

class AppContext;

// Cleans every store of cboLoc as it stands (MainCleanCookies finds the stores first):
// CleanCount counts the cookie files deleted and the cookies.txt lines and database rows
// removed. An interactive clean names in a box a browser that holds its cookie database and
// a cookies.txt it had to leave unchanged.
void CleanCookieStores(AppContext& ctx, bool interactive = false);

// Deletes the cookies checked in lstCookie from the store the viewer shows, by the clean's
// own routines: Internet Explorer files by their listed names, cookies.txt lines by one
// replace of the file, database rows in one transaction. Kept cookies are never among them.
// Refusals (guard, running browser, unreadable kept list) are told in a box. How many went.
int DeleteCheckedCookies(AppContext& ctx);

// Whether an Internet Explorer cookie file is spared: a line of it (its first record, or the
// bare name) is kept, or it does not decode now and a kept entry names the same file stem.
bool IsKeptCookieFile(const std::wstring& path, const std::wstring& name, const KeptIdentities& kept);

// What an interactive clean says about a cookies.txt with cookies to remove that it leaves
// unchanged because it has other names (otherNames: hard links), holds NUL bytes (holdsNul)
// or is too large to be read whole.
std::wstring CookieTxtUnchangedText(const std::wstring& path, bool holdsNul, bool otherNames = false);

// What an interactive clean says about a kept list it could not read (key: the list's key).
std::wstring KeptListDamagedText(const std::wstring& key);

}  // namespace qm

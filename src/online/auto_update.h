#pragma once
// The update check and download (module AutoUpdate): the version file from the maker's
// site, the notice window when a newer version is published, and the verified installer.
#include <string>

namespace qm {

class AppContext;

// Paths on the maker's web site; the host, scheme and port are configuration.
inline constexpr wchar_t kVersionFilePath[] = L"/Updates/QuillmerePaid/ver.txt";
inline constexpr wchar_t kInstallerPath[] = L"/Updates/QuillmerePaid/Update.exe";

inline constexpr wchar_t kNotConnectedText[] = L"You must be connected to the internet to update program!";
inline constexpr wchar_t kNotConnectedTitle[] = L"Dorvik AutoUpdate Program";
inline constexpr wchar_t kVersionFileFailedText[] =
    L"Error occurred downloading version text file, make sure you have an internet connection";
inline constexpr wchar_t kInstallerFailedText[] =
    L"There was a problem downloading the update executable, please try again later!";

// "Dorvik <name> AutoUpdate Program".
std::wstring UpdateTitle(const std::wstring& displayName);

// The check the user asked for: its progress shows until the outcome, which is told
// whatever it is, unless the user cancels or Exit is asked for meanwhile. The windows stay
// alive while it waits. True when a newer version is offered (in the notice).
bool CheckForUpdate(AppContext& ctx);

// The check at start, in the background: returns at once; only a newer version shows, in
// the notice, when the outcome comes. Nothing in an unattended run.
void CheckForUpdateInBackground(AppContext& ctx);
// Whether the check at start is still waiting for its outcome.
bool UpdateCheckInBackground(const AppContext& ctx);

// After a click on the notice: asks, downloads the installer into a new folder of its own
// under Temp, checks it, starts it and ends the program. Any failure removes the folder and
// tells the user.
void GetUpdate(AppContext& ctx);

// How the program starts the downloaded installer, followed by its own process id: silently,
// as an update that waits for this program to end and starts the updated one.
inline constexpr wchar_t kInstallerArguments[] = L"/S /Update /WaitPid=";

// Removes the download folders that earlier updates left under Temp (the installer cannot
// delete itself): only folders named like the download's, directly under Temp, holding
// nothing but the installer; the installer that started this program is waited for briefly.
void RemoveUpdateLeftovers(AppContext& ctx);

// GetTempFile: the user's Temp folder with a trailing backslash.
std::wstring GetTempFile();

}  // namespace qm

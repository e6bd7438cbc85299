#pragma once
// The console program's preview and clean: the same cleans as "auto", unattended, each kind
// recording into one report, which is printed as a table or as JSON.
#include "cli/cli_options.h"

namespace qm {

class AppContext;
class ConsoleOutput;

// Exit codes of the console program.
inline constexpr int kExitDone = 0;            // did what it could (in use, kept, spared are normal)
inline constexpr int kExitRefusedOrFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAnotherClean = 3;

inline constexpr wchar_t kAnotherCleanText[] =
    L"Another clean is running (Quillmere, \"Quillmere.exe auto\" or quillmere-cli). Nothing was done; try again "
    L"when it has finished.";
inline constexpr wchar_t kLockNotOursText[] =
    L"The lock that keeps cleans apart is held by a program that is not Quillmere. Nothing was done; find and end "
    L"that program, then try again.";

// What the settings select, as "auto" runs it: "\CleanPath" InternetFiles, CookieFiles,
// TempFiles, UserFolder and the program key's CleanDat, each when exactly "Yes".
std::vector<CleanKind> SelectedCleanKinds();

// Runs a preview or a clean (options.command) in ctx and prints its report. Returns the exit code.
int RunConsoleClean(AppContext& ctx, const CliOptions& options, ConsoleOutput& console);

}  // namespace qm

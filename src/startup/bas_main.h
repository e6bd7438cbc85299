#pragma once
// Process start: the command word decides between the automatic clean and the resident
// mode in the notification area.
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

class AppContext;

// Written to the debugger output when "auto" finds another clean under way.
inline constexpr wchar_t kAutoSkippedText[] = L"Quillmere: another clean is under way; this automatic clean was skipped.";
// ... and when the lock is held by a program that is not Quillmere.
inline constexpr wchar_t kAutoLockNotOursText[] =
    L"Quillmere: the clean lock is held by a program that is not Quillmere; this automatic clean was skipped.";

inline constexpr wchar_t kHotKeyTakenMessage[] =
    L"Unable to register HotKey, Please try another key as the one selected is already in use!";

// The last word of a command line (without the program name). Words are separated by
// runs of blank, "/", tab and double quote; scanning stops once maxWords words are
// collected and a further word would begin.
std::wstring GetCommandLine(std::wstring_view arguments, int maxWords = 10);
// True when the command line asks for the automatic clean ("auto", any letter case).
bool IsAutomaticCommandLine(std::wstring_view arguments);

struct StartupArguments {
    std::wstring commandLine;    // the arguments, without the program name
    std::wstring programFolder;  // folder of the running executable, without a trailing "\"
};

enum class RunMode { Automatic, Resident };

// Runs start-up. Automatic mode returns when the clean is done; resident mode returns
// with the windows, tray icon and hot key in place, for the caller's message loop.
RunMode Main(AppContext& ctx, const StartupArguments& arguments);

// Modifier word for RegisterHotKey from the stored numbers (a number above 0 = used).
UINT HotKeyModifiers(long long alt, long long shift, long long ctrl);

}  // namespace qm

#pragma once
// The system's folder picker.
#include <windows.h>

#include <optional>
#include <string>

namespace qm {

// The folder the user picked, starting at start when it exists; nothing when cancelled.
std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& start);

}  // namespace qm

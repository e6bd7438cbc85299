#pragma once
// What the update check keeps between the check, the notice and the download.
#include <functional>
#include <memory>
#include <string>

#include "online/update_check.h"
#include "online/version_file.h"

namespace qm {

struct UpdateState {
    // The newer version offered by the last check.
    PublishedVersion offered;
    bool hasOffer = false;
    // A download in progress (part of the one active run: Exit stops it).
    bool downloading = false;
    // Starts the verified installer with its arguments; the program ends afterwards.
    // Empty: the system's way (ShellExecuteEx). Tests put their own.
    std::function<bool(const std::wstring& installer, const std::wstring& arguments)> startInstaller;
    // The check at start, running in the background (Exit cancels it).
    std::unique_ptr<BackgroundCheck> startCheck;
    // The program that makes the check at start in a process of its own; empty: this process.
    std::wstring startCheckHelper;
};

}  // namespace qm

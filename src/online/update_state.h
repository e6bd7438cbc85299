#pragma once
// What the update check keeps between the check, the notice and the download.
#include <functional>
#include <string>

#include "online/version_file.h"

namespace qm {

struct UpdateState {
    // The newer version offered by the last check.
    PublishedVersion offered;
    bool hasOffer = false;
    // A download in progress, and the request to stop it (from Exit).
    bool downloading = false;
    bool cancelDownload = false;
    // Starts the verified installer with its arguments; the program ends afterwards.
    // Empty: the system's way (ShellExecuteEx). Tests put their own.
    std::function<bool(const std::wstring& installer, const std::wstring& arguments)> startInstaller;
};

}  // namespace qm

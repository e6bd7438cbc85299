#pragma once
// The network part of the update check on a thread of its own, so that a slow or silent
// web site never holds up the windows, the hot key or Exit. Its outcome comes back to the
// window thread that started it, as a message.
#include <functional>
#include <memory>

#include "online/version_file.h"
#include "online/web.h"

namespace qm {

// What the network part of one check found.
struct CheckOutcome {
    enum class Kind {
        NotConnected,
        VersionFileFailed,  // not downloaded, or not a version file
        Published,
        Fault,  // anything else: the check ends without a word
    };
    Kind kind = Kind::NotConnected;
    PublishedVersion published;  // Published only
};

// The connection probe, then the version file. Uses nothing but web and site, so it may run
// on any thread.
CheckOutcome FetchPublishedVersion(Web& web, const WebSite& site);

// The same fetch made by another process: program run with kFetchVersionArgument, its
// outcome read from its output. The web libraries then never stay in this process, which
// lives in the tray all day. A helper that gives no answer within kFetchHelperTimeoutMs is
// ended (WinHTTP waits for ever on a server that accepts and stays silent).
inline constexpr wchar_t kFetchVersionArgument[] = L"--fetch-published-version";
inline constexpr DWORD kFetchHelperTimeoutMs = 60000;
CheckOutcome FetchInHelperProcess(const std::wstring& program);
// The helper's side: fetches from the configured site over web and writes the outcome to
// standard output. Returns the process's exit code.
int WriteFetchedVersion(Web& web);

class BackgroundCheck {
public:
    using Done = std::function<void(const CheckOutcome&)>;
    using Fetch = std::function<CheckOutcome()>;

    // Starts the check; done runs on this thread, from its message loop, unless the check
    // is cancelled first. done must not destroy this object.
    BackgroundCheck(std::shared_ptr<Web> web, const WebSite& site, Done done);
    // The same with a fetch of its own (one in a helper process).
    BackgroundCheck(Fetch fetch, Done done);
    ~BackgroundCheck();  // cancels
    BackgroundCheck(const BackgroundCheck&) = delete;
    BackgroundCheck& operator=(const BackgroundCheck&) = delete;

    // The outcome is dropped. A request still waiting on the network is abandoned, not
    // waited for: WinHTTP under Wine never times out while a server that took the connection
    // stays silent. The thread owns what it uses and ends with the process at the latest.
    void Cancel();
    // Started, and neither told nor cancelled yet.
    bool Running() const;

    struct Shared;
    class ReplyWindow;

private:
    void Deliver();

    Done done_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<ReplyWindow> window_;
};

}  // namespace qm

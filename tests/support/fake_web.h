#pragma once
// A web seam whose answers the test sets, recording what the program asked of it.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "online/web.h"

namespace qm {
class AppContext;
}

namespace qm::test {

class FakeWeb final : public Web {
public:
    bool connected = true;
    DWORD flags = 2;                       // LAN
    std::vector<std::wstring> answering;   // urls whose servers answer
    std::map<std::wstring, WebReply> replies;  // Get and Download; missing: no connection
    int stateAsked = 0;                    // how often the connection state was asked
    std::vector<std::wstring> asked;       // every url asked, in order
    std::vector<std::wstring> opened;      // pages shown in the browser
    std::vector<std::wstring> downloadedTo;
    std::function<void()> beforeKeepGoing;  // runs as a download asks whether to go on
    std::function<void()> beforeAnswer;     // runs first in Answers and Get (a server's delay)

    bool ConnectedState(DWORD& stateFlags) override;
    bool Answers(const std::wstring& url, DWORD timeoutMs) override;
    WebReply Get(const std::wstring& url, const WebLimits& limits) override;
    WebReply Download(const std::wstring& url, const std::wstring& file, const WebLimits& limits,
                      const std::function<bool()>& keepGoing) override;
    bool OpenPage(HWND owner, const std::wstring& url) override;
};

// Runs the update check at start and lets messages run until its outcome has been told; true
// when it offers a newer version (an offer of an earlier check does not count).
bool CheckAtStart(AppContext& ctx);

}  // namespace qm::test

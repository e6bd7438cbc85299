#pragma once
// CNetConnect: whether the computer can reach the web. Asked before every update check
// and before the About window opens the maker's page; lives for one question.
#include <windows.h>

#include <string>
#include <vector>

namespace qm {

class Web;

// The connection flags of InternetGetConnectedState.
inline constexpr DWORD kConnectionModem = 1, kConnectionLan = 2, kConnectionProxy = 4, kConnectionModemBusy = 8;
// The probe's time-out for each test site, so that a start with a dead network never hangs.
inline constexpr DWORD kProbeTimeoutMs = 5000;

class CNetConnect {
public:
    // The test sites default to the maker's home page (https).
    explicit CNetConnect(Web& web);
    CNetConnect(Web& web, std::vector<std::wstring> knownTestSites);

    // Refresh, then the answer.
    bool Connected();
    // Asks the system; a dial-up line that is up and free is taken at its word, a LAN, a
    // proxy or a busy line is tried with TryTheWire.
    void Refresh();
    // True when one of the known test sites answers (tried in order).
    bool TryTheWire();

    std::vector<std::wstring>& KnownTestSites() { return sites_; }
    DWORD Flags() const { return flags_; }

private:
    template <class Member>
    auto Guard(const wchar_t* member, Member&& body);

    Web& web_;
    std::vector<std::wstring> sites_;
    bool connected_ = false;
    DWORD flags_ = 0;
};

}  // namespace qm

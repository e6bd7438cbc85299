#include "online/net_connect.h"

#include "base/app_error.h"
#include "online/web.h"

namespace qm {

// A fault inside a member reaches the caller as the class's component error.
template <class Member>
auto CNetConnect::Guard(const wchar_t* member, Member&& body) {
    try {
        return body();
    } catch (const ComponentError&) {
        throw;
    } catch (...) {
        throw ComponentError(kComponentErrorNumber, std::wstring(L"Quillmere.CNetConnect.") + member,
                             L"CNetConnect component failure");
    }
}

CNetConnect::CNetConnect(Web& web) : CNetConnect(web, {ConfiguredWebSite().HomePage()}) {}

CNetConnect::CNetConnect(Web& web, std::vector<std::wstring> knownTestSites)
    : web_(web), sites_(std::move(knownTestSites)) {}

bool CNetConnect::Connected() {
    return Guard(L"Connected", [&] {
        Refresh();
        return connected_;
    });
}

void CNetConnect::Refresh() {
    Guard(L"Refresh", [&] {
        connected_ = web_.ConnectedState(flags_);
        const bool modem = flags_ & kConnectionModem, busy = flags_ & kConnectionModemBusy;
        if (modem && !busy) return;
        if ((modem && busy) || (flags_ & kConnectionLan) || (flags_ & kConnectionProxy)) connected_ = TryTheWire();
    });
}

bool CNetConnect::TryTheWire() {
    return Guard(L"TryTheWire", [&] {
        for (const std::wstring& site : sites_)
            if (web_.Answers(site, kProbeTimeoutMs)) return true;
        return false;
    });
}

}  // namespace qm

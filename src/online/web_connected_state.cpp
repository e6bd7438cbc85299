// Apart from web.cpp: the WinINet and WinHTTP headers cannot share a translation unit.
#include <windows.h>
#include <wininet.h>

#include "base/system_library.h"
#include "online/web.h"

namespace qm {

// WinINet is loaded at the first question and kept, as WinHTTP is: it too may leave threads
// of its own running after a call returns.
bool WinHttpWeb::ConnectedState(DWORD& flags) {
    flags = 0;
    static const HMODULE wininet = KeptSystemLibrary(L"wininet.dll");
    decltype(&::InternetGetConnectedState) getConnectedState = nullptr;
    FindExport(wininet, "InternetGetConnectedState", getConnectedState);
    return getConnectedState && getConnectedState(&flags, 0) != FALSE;
}

}  // namespace qm

// Apart from web.cpp: the WinINet and WinHTTP headers cannot share a translation unit.
#include <windows.h>
#include <wininet.h>

#include "base/system_library.h"
#include "online/web.h"

namespace qm {

// WinINet is loaded for the question alone, as WinHTTP is for each request.
bool WinHttpWeb::ConnectedState(DWORD& flags) {
    flags = 0;
    const UniqueModule wininet = LoadSystemLibrary(L"wininet.dll");
    decltype(&::InternetGetConnectedState) getConnectedState = nullptr;
    FindExport(wininet.get(), "InternetGetConnectedState", getConnectedState);
    return getConnectedState && getConnectedState(&flags, 0) != FALSE;
}

}  // namespace qm

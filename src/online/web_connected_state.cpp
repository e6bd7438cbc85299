// Apart from web.cpp: the WinINet and WinHTTP headers cannot share a translation unit.
#include <windows.h>
#include <wininet.h>

#include "online/web.h"

namespace qm {

bool WinHttpWeb::ConnectedState(DWORD& flags) {
    flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

}  // namespace qm

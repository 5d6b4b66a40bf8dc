#include "transfer/NetworkState.h"

#include <wininet.h>

BOOL IsNetworkConnected() {
    DWORD flags = 0;
    if (!::InternetGetConnectedState(&flags, 0)) return FALSE;
    if (flags & INTERNET_CONNECTION_OFFLINE) return FALSE;
    const DWORD connected =
        INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_PROXY;
    return (flags & connected) != 0;
}

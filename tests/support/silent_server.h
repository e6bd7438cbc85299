#pragma once
// Takes connections on loopback and never answers them: a web site that hangs.
#include <winsock2.h>
#include <windows.h>

#include <utility>

namespace qm::test {

class SilentServer {
public:
    SilentServer() {
        WSADATA data{};
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::listen(listener_, 16) == 0 && ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentServer() {
        Close();
        if (started_) ::WSACleanup();
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int Port() const { return port_; }
    // Whether a connection is waiting (taken by the system, never answered).
    bool Connected() const {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval none{};
        return ::select(0, &readable, nullptr, nullptr, &none) == 1;
    }

    // Stops taking connections; those waiting are reset, which ends every wait on them.
    void Close() {
        if (listener_ != INVALID_SOCKET) ::closesocket(std::exchange(listener_, INVALID_SOCKET));
    }

private:
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
};

}  // namespace qm::test

// TClientSocket over Winsock (the Windows builds).
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/net/ClientSocket.h"

namespace platform {
namespace {

constexpr std::uintptr_t kNoSocket = static_cast<std::uintptr_t>(INVALID_SOCKET);

SOCKET Sock(std::uintptr_t h) { return static_cast<SOCKET>(h); }

// Winsock is started once, on first use, and left running until the process ends.
void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

[[noreturn]] void Fail(int code, const char* api) { throw ESocketError(SocketErrorText(code, api)); }

// select() on one socket for at most timeoutMs (0 = no limit): >0 ready,
// 0 timed out, <0 error.
int WaitFor(SOCKET s, bool forWrite, unsigned timeoutMs) {
    fd_set main, except;
    FD_ZERO(&main);
    FD_ZERO(&except);
    FD_SET(s, &main);
    FD_SET(s, &except);
    timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
    return select(0, forWrite ? nullptr : &main, forWrite ? &main : nullptr, forWrite ? &except : nullptr,
                  timeoutMs != 0 ? &tv : nullptr);
}

}  // namespace

std::string SocketErrorMessage(int code) {
    char buf[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, buf, sizeof buf, nullptr);
    std::string s(buf, n);
    while (!s.empty() && (static_cast<unsigned char>(s.back()) <= ' ' || s.back() == '.')) s.pop_back();
    if (s.empty()) s = "Error " + std::to_string(code);
    return s;
}

TClientSocket::TClientSocket() : Handle(kNoSocket) {}

TClientSocket::~TClientSocket() {
    if (Handle != kNoSocket) closesocket(Sock(Handle));
}

bool TClientSocket::Active() const { return Handle != kNoSocket; }

void TClientSocket::Open() {
    if (Active()) return;
    StartWinsock();
    if (Port <= 0 || Port > 65535) Fail(wsaAddrNotAvail, "connect");

    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(Port));
    if (!Address.empty()) {
        sa.sin_addr.s_addr = inet_addr(Address.c_str());
        if (sa.sin_addr.s_addr == INADDR_NONE) Fail(wsaInvalidArgument, "inet_addr");
    } else {
        if (OnLookup) OnLookup();
        hostent* he = Host.empty() ? nullptr : gethostbyname(Host.c_str());
        if (!he || he->h_addrtype != AF_INET || !he->h_addr_list[0]) {
            int code = Host.empty() ? 0 : WSAGetLastError();
            Fail(code == WSATRY_AGAIN ? wsaTryAgain : wsaHostNotFound, "gethostbyname");
        }
        memcpy(&sa.sin_addr, he->h_addr_list[0], sizeof sa.sin_addr);
    }

    if (OnConnecting) OnConnecting();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) Fail(WSAGetLastError(), "socket");
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    int code = 0;
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
        code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK) {
            code = 0;
            int r = WaitFor(s, true, ConnectTimeoutMs);
            if (r == 0) {
                closesocket(s);
                throw ESocketTimeout(SocketErrorText(wsaTimedOut, "connect"));
            }
            int err = 0;
            int len = sizeof err;
            if (r < 0) err = WSAGetLastError();
            else if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0)
                err = WSAGetLastError();
            code = err;
        }
    }
    if (code != 0) {
        closesocket(s);
        Fail(code, "connect");
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    Handle = static_cast<std::uintptr_t>(s);
    if (OnConnect) OnConnect();
}

void TClientSocket::Close() {
    if (!Active()) return;
    closesocket(Sock(Handle));
    Handle = kNoSocket;
    if (OnDisconnect) OnDisconnect();
}

int TClientSocket::SendText(std::string_view text) {
    if (!Active()) return 0;
    size_t done = 0;
    while (done < text.size()) {
        int n = send(Sock(Handle), text.data() + done, static_cast<int>(text.size() - done), 0);
        if (n == SOCKET_ERROR) {
            int code = WSAGetLastError();
            if (OnError) OnError(code);
            Fail(code, "send");
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(done);
}

int TClientSocket::ReceiveBuf(void* buf, int count) {
    if (!Active() || count <= 0) return 0;
    int r = WaitFor(Sock(Handle), false, ReceiveTimeoutMs);
    if (r == 0) throw ESocketTimeout(SocketErrorText(wsaTimedOut, "recv"));
    int n = r < 0 ? SOCKET_ERROR : recv(Sock(Handle), static_cast<char*>(buf), count, 0);
    if (n == SOCKET_ERROR) {
        int code = WSAGetLastError();
        if (OnError) OnError(code);
        Fail(code, "recv");
    }
    return n;
}

}  // namespace platform

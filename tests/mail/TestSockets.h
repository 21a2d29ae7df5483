#pragma once
// The few raw socket calls the mail tests make themselves, for BSD sockets
// and Winsock alike.
#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <string>

namespace testnet {

#ifdef _WIN32
using TSock = SOCKET;
constexpr TSock kNoSock = INVALID_SOCKET;
inline void Start() {
    static const bool started = [] {
        WSADATA d;
        return WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }();
    (void)started;
}
inline void CloseSock(TSock s) { closesocket(s); }
#else
using TSock = int;
constexpr TSock kNoSock = -1;
inline void Start() {}
inline void CloseSock(TSock s) { ::close(s); }
#endif

inline sockaddr_in Loopback(int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<uint16_t>(port));
    return sa;
}

// A socket bound to a free loopback port; listening with the given backlog
// when backlog >= 0. Returns kNoSock on failure.
inline TSock BindLoopback(int backlog, int& port) {
    Start();
    TSock s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Loopback(0);
#ifdef _WIN32
    int len = sizeof sa;
#else
    socklen_t len = sizeof sa;
#endif
    if (s == kNoSock || ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        (backlog >= 0 && ::listen(s, backlog) != 0) || ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        if (s != kNoSock) CloseSock(s);
        return kNoSock;
    }
    port = ntohs(sa.sin_port);
    return s;
}

inline TSock ConnectLoopback(int port) {
    TSock s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Loopback(port);
    if (s != kNoSock && ::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        CloseSock(s);
        return kNoSock;
    }
    return s;
}

// Waits up to ms for s to become readable: >0 readable, 0 not yet, <0 error.
inline int WaitReadable(TSock s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return ::select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv);
}

inline bool SendAll(TSock s, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
#ifdef _WIN32
        int n = ::send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
#else
        ssize_t n = ::send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
#endif
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

inline int Recv(TSock s, char* buf, int size) { return static_cast<int>(::recv(s, buf, size, 0)); }

// The process's temporary folder (TMPDIR natively, TMP on Windows).
inline void SetTempFolder(const std::string& dir) {
#ifdef _WIN32
    SetEnvironmentVariableA("TMP", dir.empty() ? nullptr : dir.c_str());
#else
    if (dir.empty()) ::unsetenv("TMPDIR");
    else ::setenv("TMPDIR", dir.c_str(), 1);
#endif
}
inline std::string TempFolder() {
#ifdef _WIN32
    char buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("TMP", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
#else
    const char* d = ::getenv("TMPDIR");
    return d ? d : "";
#endif
}

}  // namespace testnet

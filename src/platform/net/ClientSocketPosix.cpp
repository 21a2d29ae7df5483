// TClientSocket over BSD sockets (the native build).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/net/ClientSocket.h"

namespace platform {
namespace {

constexpr std::uintptr_t kNoSocket = ~std::uintptr_t(0);

int Fd(std::uintptr_t h) { return static_cast<int>(h); }

int CodeFromErrno(int e) {
    switch (e) {
    case EINVAL: return wsaInvalidArgument;
    case EADDRNOTAVAIL: return wsaAddrNotAvail;
    case ENETUNREACH: return wsaNetUnreachable;
    case ECONNABORTED: return wsaConnAborted;
    case ECONNRESET: return wsaConnReset;
    case ENOTCONN: return wsaNotConnected;
    case EPIPE: return wsaShutdown;
    case ETIMEDOUT: return wsaTimedOut;
    case ECONNREFUSED: return wsaConnRefused;
    case EHOSTUNREACH: return wsaHostUnreachable;
    default: return e;
    }
}

// Waits for the events on fd for at most timeoutMs (0 = no limit), resuming
// after signals. Returns the poll result: >0 ready, 0 timed out, <0 error.
int WaitFor(int fd, short events, unsigned timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs != 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, wait);
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

[[noreturn]] void Fail(int code, const char* api) { throw ESocketError(SocketErrorText(code, api)); }

}  // namespace

std::string SocketErrorMessage(int code) {
    switch (code) {
    case wsaInvalidArgument: return "Invalid argument";
    case wsaAddrNotAvail: return "Cannot assign requested address";
    case wsaNetUnreachable: return "Network is unreachable";
    case wsaConnAborted: return "Software caused connection abort";
    case wsaConnReset: return "Connection reset by peer";
    case wsaNotConnected: return "Socket is not connected";
    case wsaShutdown: return "Cannot send after socket shutdown";
    case wsaTimedOut: return "Connection timed out";
    case wsaConnRefused: return "Connection refused";
    case wsaHostUnreachable: return "No route to host";
    case wsaDisconnected: return "Connection closed by the peer";
    case wsaHostNotFound: return "Host not found";
    case wsaTryAgain: return "Host not found, try again";
    default: return std::strerror(code);
    }
}

TClientSocket::TClientSocket() : Handle(kNoSocket) {}

TClientSocket::~TClientSocket() {
    if (Handle != kNoSocket) ::close(Fd(Handle));
}

bool TClientSocket::Active() const { return Handle != kNoSocket; }

void TClientSocket::Open() {
    if (Active()) return;
    if (Port <= 0 || Port > 65535) Fail(wsaAddrNotAvail, "connect");

    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(Port));
    if (!Address.empty()) {
        // The same reading of the text as inet_addr on Windows.
        if (::inet_aton(Address.c_str(), &sa.sin_addr) == 0) Fail(wsaInvalidArgument, "inet_addr");
    } else {
        if (OnLookup) OnLookup();
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* res = nullptr;
        int r = Host.empty() ? EAI_NONAME : ::getaddrinfo(Host.c_str(), nullptr, &hints, &res);
        if (r != 0 || !res) Fail(r == EAI_AGAIN ? wsaTryAgain : wsaHostNotFound, "gethostbyname");
        sa.sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
        ::freeaddrinfo(res);
    }

    if (OnConnecting) OnConnecting();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) Fail(CodeFromErrno(errno), "socket");
    int code = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS) {
            code = CodeFromErrno(errno);
        } else {
            int r = WaitFor(fd, POLLOUT, ConnectTimeoutMs);
            if (r == 0) {
                ::close(fd);
                throw ESocketTimeout(SocketErrorText(wsaTimedOut, "connect"));
            }
            int err = 0;
            socklen_t len = sizeof err;
            if (r < 0) err = errno;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            if (err != 0) code = CodeFromErrno(err);
        }
    }
    if (code != 0) {
        ::close(fd);
        Fail(code, "connect");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    Handle = static_cast<std::uintptr_t>(fd);
    AppliedReceiveTimeoutMs = 0;
    if (OnConnect) OnConnect();
}

void TClientSocket::Close() {
    if (!Active()) return;
    ::close(Fd(Handle));
    Handle = kNoSocket;
    if (OnDisconnect) OnDisconnect();
}

int TClientSocket::SendText(std::string_view text) {
    if (!Active()) return 0;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(Fd(Handle), text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            int code = CodeFromErrno(errno);
            if (OnError) OnError(code);
            Fail(code, "send");
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(done);
}

int TClientSocket::ReceiveBuf(void* buf, int count) {
    if (!Active() || count <= 0) return 0;
    // The limit is the socket's receive time-out: no extra call per receive.
    if (ReceiveTimeoutMs != AppliedReceiveTimeoutMs) {
        timeval tv{static_cast<time_t>(ReceiveTimeoutMs / 1000), static_cast<suseconds_t>(ReceiveTimeoutMs % 1000 * 1000)};
        if (::setsockopt(Fd(Handle), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0)
            AppliedReceiveTimeoutMs = ReceiveTimeoutMs;
    }
    for (;;) {
        ssize_t n = ::recv(Fd(Handle), buf, static_cast<size_t>(count), 0);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) throw ESocketTimeout(SocketErrorText(wsaTimedOut, "recv"));
        int code = CodeFromErrno(errno);
        if (OnError) OnError(code);
        Fail(code, "recv");
    }
}

}  // namespace platform

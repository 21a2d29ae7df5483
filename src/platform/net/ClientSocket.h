#pragma once
// A blocking TCP client socket for IPv4, as the POP3 component and the on-line
// probe use it. Winsock on Windows, BSD sockets elsewhere; error codes are in
// the Windows Sockets numbering on every platform.
//
// Every wait is bounded: Open gives up after ConnectTimeoutMs and ReceiveBuf
// after ReceiveTimeoutMs (0 = wait without limit), both by raising
// ESocketTimeout. The name lookup itself is bounded only by the resolver.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Exceptions.h"

namespace platform {

// The Windows Sockets codes this code base names (the system headers define
// macros of the WSAE... names, hence the prefix).
enum : int {
    wsaInvalidArgument = 10022,
    wsaAddrNotAvail = 10049,
    wsaNetUnreachable = 10051,
    wsaConnAborted = 10053,
    wsaConnReset = 10054,
    wsaNotConnected = 10057,
    wsaShutdown = 10058,
    wsaTimedOut = 10060,
    wsaConnRefused = 10061,
    wsaHostUnreachable = 10065,
    wsaDisconnected = 10101,
    wsaHostNotFound = 11001,
    wsaTryAgain = 11002,
};

// A connect or receive that ran out of time. Carries the socket error text
// of WSAETIMEDOUT.
MB_EXCEPTION(ESocketTimeout, ESocketError);

// The system's text for a socket error code (no trailing period).
std::string SocketErrorMessage(int code);
// "Windows socket error: <text> (<code>), on API '<api>'"
std::string SocketErrorText(int code, const char* api);

class TClientSocket {
public:
    TClientSocket();
    ~TClientSocket();  // closes an open connection without notifications
    TClientSocket(const TClientSocket&) = delete;
    TClientSocket& operator=(const TClientSocket&) = delete;

    std::string Host;     // a name to look up, used when Address is empty
    std::string Address;  // a dotted IPv4 address
    int Port = 0;
    unsigned ConnectTimeoutMs = 30000;
    unsigned ReceiveTimeoutMs = 60000;

    // Notifications, in the order Open raises them: OnLookup (only when a
    // name is resolved), OnConnecting, OnConnect. OnDisconnect when Close
    // ends an open connection. OnError with the code of a failed send or
    // receive, just before that call raises ESocketError.
    std::function<void()> OnLookup;
    std::function<void()> OnConnecting;
    std::function<void()> OnConnect;
    std::function<void()> OnDisconnect;
    std::function<void(int code)> OnError;

    // Resolves, connects and returns when connected; raises ESocketError (or
    // ESocketTimeout) on any failure, without OnError. Does nothing when the
    // socket is already open.
    void Open();
    void Close();
    bool Active() const;

    // Sends the whole text; returns the number of bytes sent, 0 when the
    // socket is not open.
    int SendText(std::string_view text);
    // Waits until at least one byte arrives and returns up to count bytes;
    // 0 when the socket is not open or the peer has closed.
    int ReceiveBuf(void* buf, int count);

private:
    std::uintptr_t Handle;
    unsigned AppliedReceiveTimeoutMs = 0;  // the limit the open socket has
};

}  // namespace platform

#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {
constexpr int kStepTimeoutMs = 10000;
}

TScriptedServer::TScriptedServer(std::vector<std::vector<TStep>> scripts, int backlog)
    : Scripts(std::move(scripts)) {
    Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (Listener < 0 || ::bind(Listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(Listener, backlog) != 0 || ::getsockname(Listener, reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
        ::pipe(WakePipe) != 0)
        throw std::runtime_error("scripted server: cannot listen");
    PortNumber = ntohs(sa.sin_port);
    Thread = std::thread([this] { Run(); });
}

TScriptedServer::~TScriptedServer() {
    {
        std::lock_guard<std::mutex> g(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    (void)!::write(WakePipe[1], "x", 1);
    Thread.join();
    ::close(Listener);
    ::close(WakePipe[0]);
    ::close(WakePipe[1]);
}

std::string TScriptedServer::Received() {
    std::lock_guard<std::mutex> g(Lock);
    return ReceivedBytes;
}

std::string TScriptedServer::Failure() {
    std::lock_guard<std::mutex> g(Lock);
    return FailureText;
}

int TScriptedServer::Connections() {
    std::lock_guard<std::mutex> g(Lock);
    return Accepted;
}

void TScriptedServer::ClientReceived() {
    {
        std::lock_guard<std::mutex> g(Lock);
        ++ClientReceives;
    }
    Changed.notify_all();
}

void TScriptedServer::Fail(const std::string& what) {
    std::lock_guard<std::mutex> g(Lock);
    if (FailureText.empty()) FailureText = what;
}

void TScriptedServer::Run() {
    for (const auto& script : Scripts) {
        pollfd fds[2] = {{Listener, POLLIN, 0}, {WakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) return;
        int conn = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0) return;
        {
            std::lock_guard<std::mutex> g(Lock);
            ++Accepted;
        }
        Play(conn, script);
        ::close(conn);
    }
}

bool TScriptedServer::Play(int conn, const std::vector<TStep>& script) {
    int base;
    {
        std::lock_guard<std::mutex> g(Lock);
        base = ClientReceives;
    }
    int sent = 0;
    for (const auto& step : script) {
        switch (step.Kind) {
        case TStep::Expect: {
            std::string line;
            if (!ReadLine(conn, line)) {
                Fail("client closed or went silent before sending \"" + step.Text + "\"");
                return false;
            }
            if (line != step.Text + "\r\n") {
                Fail("expected \"" + step.Text + "\", got \"" + line + "\"");
                return false;
            }
            break;
        }
        case TStep::Send:
            if (::send(conn, step.Text.data(), step.Text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(step.Text.size()))
                return false;
            if (!WaitForClient(conn, base + ++sent)) {
                Fail("client did not receive \"" + step.Text + "\"");
                return false;
            }
            break;
        case TStep::Close:
            return true;
        case TStep::Hold:
            // Silent until the client closes or the server is destroyed.
            for (;;) {
                pollfd fds[2] = {{conn, POLLIN, 0}, {WakePipe[0], POLLIN, 0}};
                if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN)) return true;
                char buf[256];
                ssize_t n = ::recv(conn, buf, sizeof buf, 0);
                if (n <= 0) return true;
                std::lock_guard<std::mutex> g(Lock);
                ReceivedBytes.append(buf, static_cast<size_t>(n));
            }
        }
    }
    return true;
}

bool TScriptedServer::ReadLine(int conn, std::string& line) {
    line.clear();
    while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
        pollfd fds[2] = {{conn, POLLIN, 0}, {WakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, kStepTimeoutMs) <= 0 || (fds[1].revents & POLLIN)) return false;
        char c;
        if (::recv(conn, &c, 1, 0) != 1) return false;
        line += c;
        std::lock_guard<std::mutex> g(Lock);
        ReceivedBytes += c;
    }
    return true;
}

bool TScriptedServer::WaitForClient(int, int target) {
    std::unique_lock<std::mutex> g(Lock);
    return Changed.wait_for(g, std::chrono::milliseconds(kStepTimeoutMs),
                            [&] { return Stopping || ClientReceives >= target; }) &&
           !Stopping;
}

#include "ScriptedServer.h"

#include <chrono>
#include <stdexcept>

namespace {
constexpr int kStepTimeoutMs = 10000;
constexpr int kSliceMs = 20;
}  // namespace

TScriptedServer::TScriptedServer(std::vector<std::vector<TStep>> scripts, int backlog) : Scripts(std::move(scripts)) {
    Listener = testnet::BindLoopback(backlog, PortNumber);
    if (Listener == testnet::kNoSock) throw std::runtime_error("scripted server: cannot listen");
    Thread = std::thread([this] { Run(); });
}

TScriptedServer::~TScriptedServer() {
    {
        std::lock_guard<std::mutex> g(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    Thread.join();
    testnet::CloseSock(Listener);
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

bool TScriptedServer::IsStopping() {
    std::lock_guard<std::mutex> g(Lock);
    return Stopping;
}

void TScriptedServer::Fail(const std::string& what) {
    std::lock_guard<std::mutex> g(Lock);
    if (FailureText.empty()) FailureText = what;
}

bool TScriptedServer::Readable(testnet::TSock conn, int limitMs) {
    for (int waited = 0; limitMs == 0 || waited < limitMs; waited += kSliceMs) {
        if (IsStopping()) return false;
        int r = testnet::WaitReadable(conn, kSliceMs);
        if (r > 0) return true;
        if (r < 0) return false;
    }
    return false;
}

void TScriptedServer::Run() {
    for (const auto& script : Scripts) {
        if (!Readable(Listener, 0)) return;
        testnet::TSock conn = ::accept(Listener, nullptr, nullptr);
        if (conn == testnet::kNoSock) return;
        {
            std::lock_guard<std::mutex> g(Lock);
            ++Accepted;
        }
        Play(conn, script);
        testnet::CloseSock(conn);
    }
}

bool TScriptedServer::Play(testnet::TSock conn, const std::vector<TStep>& script) {
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
            if (!testnet::SendAll(conn, step.Text)) return false;
            if (!WaitForClient(base + ++sent)) {
                Fail("client did not receive \"" + step.Text + "\"");
                return false;
            }
            break;
        case TStep::Close:
            return true;
        case TStep::Reset: {
            // Closing with the client's next command unread (and no linger
            // time) makes the system reset the connection.
            Readable(conn, kStepTimeoutMs);
            linger l{1, 0};
            ::setsockopt(conn, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
            return true;
        }
        case TStep::Hold:
            // Silent until the client closes or the server is destroyed.
            while (Readable(conn, 0)) {
                char buf[256];
                int n = testnet::Recv(conn, buf, sizeof buf);
                if (n <= 0) return true;
                std::lock_guard<std::mutex> g(Lock);
                ReceivedBytes.append(buf, static_cast<size_t>(n));
            }
            return true;
        }
    }
    return true;
}

bool TScriptedServer::ReadLine(testnet::TSock conn, std::string& line) {
    line.clear();
    while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
        char c;
        if (!Readable(conn, kStepTimeoutMs) || testnet::Recv(conn, &c, 1) != 1) return false;
        line += c;
        std::lock_guard<std::mutex> g(Lock);
        ReceivedBytes += c;
    }
    return true;
}

bool TScriptedServer::WaitForClient(int target) {
    std::unique_lock<std::mutex> g(Lock);
    return Changed.wait_for(g, std::chrono::milliseconds(kStepTimeoutMs),
                            [&] { return Stopping || ClientReceives >= target; }) &&
           !Stopping;
}

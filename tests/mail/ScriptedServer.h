#pragma once
// A POP3 server double on a loopback port, run by a thread of the test: it
// plays a script of steps against one client connection at a time and
// records what the client sent.
//
// Send waits until the client has received that piece (the test forwards the
// component's OnReceiveTextFromSocket to ClientReceived), so every piece
// arrives in a receive of its own and split replies are exactly reproducible.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestSockets.h"

struct TStep {
    enum TKind { Expect, Send, Close, Reset, Hold } Kind;
    std::string Text;
};

inline TStep Expect(std::string line) { return {TStep::Expect, std::move(line)}; }
inline TStep Send(std::string bytes) { return {TStep::Send, std::move(bytes)}; }
inline TStep CloseConnection() { return {TStep::Close, {}}; }
// Waits for the client's next command and aborts the connection without
// reading it: the client's receive fails.
inline TStep ResetConnection() { return {TStep::Reset, {}}; }
// Keeps the connection open and silent until the client closes it or the
// server is destroyed.
inline TStep Hold() { return {TStep::Hold, {}}; }

class TScriptedServer {
public:
    // One script per connection, in the order the connections arrive.
    explicit TScriptedServer(std::vector<std::vector<TStep>> scripts, int backlog = 4);
    explicit TScriptedServer(std::vector<TStep> script) : TScriptedServer(std::vector<std::vector<TStep>>{std::move(script)}) {}
    ~TScriptedServer();

    int Port() const { return PortNumber; }
    // Everything the clients sent, in order.
    std::string Received();
    // The first step that went differently, empty when all went to plan.
    std::string Failure();
    // Count one receive of the client.
    void ClientReceived();
    // The number of connections accepted so far.
    int Connections();

private:
    void Run();
    bool Play(testnet::TSock conn, const std::vector<TStep>& script);
    bool ReadLine(testnet::TSock conn, std::string& line);
    // Waits until conn is readable, giving up when the server stops or
    // after limitMs (0 = no limit).
    bool Readable(testnet::TSock conn, int limitMs);
    bool WaitForClient(int target);
    bool IsStopping();
    void Fail(const std::string& what);

    std::vector<std::vector<TStep>> Scripts;
    testnet::TSock Listener = testnet::kNoSock;
    int PortNumber = 0;
    std::thread Thread;
    std::mutex Lock;
    std::condition_variable Changed;
    std::string ReceivedBytes;
    std::string FailureText;
    int ClientReceives = 0;
    int Accepted = 0;
    bool Stopping = false;
};

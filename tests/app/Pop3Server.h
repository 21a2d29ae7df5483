#pragma once
// A real POP3 server (dovecot) on loopback for one test, run by the shared
// test kit in a folder of its own. Stopped when the object goes.
#include <string>
#include <vector>

class TPop3Server {
public:
    // users: "name:password" lines.
    explicit TPop3Server(const std::vector<std::string>& users);
    ~TPop3Server();
    TPop3Server(const TPop3Server&) = delete;
    TPop3Server& operator=(const TPop3Server&) = delete;

    int Port() const { return port_; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }  // host:port form
    // Adds one message with the given From header value to the mailbox.
    void Deliver(const std::string& user, const std::string& from, const std::string& subject = "Hello");
    void Clear(const std::string& user);
    void Deny(const std::string& user);
    void Stop();

private:
    void Kit(const std::string& args);
    std::string dir_;
    int port_ = 0;
    int delivered_ = 0;
    bool running_ = false;
};

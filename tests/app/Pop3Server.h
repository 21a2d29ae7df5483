#pragma once
// A real POP3 server (dovecot) on loopback for one check test, with the few
// mailbox operations the tests need. Stopped when the object goes.
#include <string>
#include <vector>

#include "Dovecot.h"

class TPop3Server {
public:
    // users: "name:password" lines.
    explicit TPop3Server(const std::vector<std::string>& users);

    std::string Server() const { return "127.0.0.1:" + std::to_string(server_.Port()); }  // host:port form
    // Adds one message with the given From header value to the mailbox.
    void Deliver(const std::string& user, const std::string& from, const std::string& subject = "Hello");
    void Clear(const std::string& user) { server_.Command("clear", {user}); }
    void Deny(const std::string& user) { server_.Command("deny", {user}); }

private:
    static std::vector<std::string> Options(const std::vector<std::string>& users);
    TDovecot server_;
    int delivered_ = 0;
};

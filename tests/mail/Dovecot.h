#pragma once
// The real POP3 server of the test kit (dovecot), run by the test program
// itself in a folder of its own. The server is a child of the test process
// that the kernel stops when the test process ends, however it ends.
#include <map>
#include <string>
#include <vector>

class TDovecot {
public:
    // Options as pop3-server takes them after "run DIR" (users, mailboxes).
    explicit TDovecot(const std::vector<std::string>& options);
    ~TDovecot();
    TDovecot(const TDovecot&) = delete;
    TDovecot& operator=(const TDovecot&) = delete;

    int Port() const { return PortNumber; }
    const std::string& Dir() const { return Folder; }
    // Runs another pop3-server command on this server ("deliver", "deny", ...).
    void Command(const std::string& command, const std::vector<std::string>& args);

    // The manifest of a user's mailbox: one map of fields per message.
    std::vector<std::map<std::string, std::string>> Manifest(const std::string& user) const;

private:
    std::string Folder;
    int PortNumber = 0;
    int Pid = -1;
};

// The kit's pop3-server script and its sample messages.
std::string Pop3Kit();

#include "Pop3Server.h"

#include <fstream>

TPop3Server::TPop3Server(const std::vector<std::string>& users) : server_(Options(users)) {}

std::vector<std::string> TPop3Server::Options(const std::vector<std::string>& users) {
    std::vector<std::string> options;
    for (const auto& u : users) {
        options.push_back("-u");
        options.push_back(u);
    }
    return options;
}

void TPop3Server::Deliver(const std::string& user, const std::string& from, const std::string& subject) {
    std::string file = server_.Dir() + "/msg" + std::to_string(++delivered_) + ".eml";
    std::ofstream(file, std::ios::binary) << "From: " << from << "\r\nTo: " << user
                                          << "@example.org\r\nSubject: " << subject
                                          << "\r\nDate: Fri, 11 Dec 2026 10:00:00 +0000\r\nMessage-ID: <m"
                                          << delivered_ << "@example.org>\r\n\r\nBody " << delivered_ << "\r\n";
    server_.Command("deliver", {user, file});
}

#include "Pop3Server.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {
std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}
}  // namespace

TPop3Server::TPop3Server(const std::vector<std::string>& users) {
    char tmpl[] = "/tmp/mbpop3-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("no temporary folder");
    dir_ = tmpl;
    std::filesystem::permissions(dir_, std::filesystem::perms::all);  // the server's own user reads it
    std::string args = "start " + Quote(dir_) + " -p auto --fast-auth";
    for (const auto& u : users) args += " -u " + Quote(u);
    Kit(args + " >/dev/null");
    running_ = true;
    std::ifstream env(dir_ + "/env");
    std::string line;
    while (std::getline(env, line)) {
        auto p = line.find("POP3_PORT=");
        if (p != std::string::npos) port_ = std::atoi(line.c_str() + p + 10 + (line[p + 10] == '\'' ? 1 : 0));
    }
    if (port_ <= 0) throw std::runtime_error("the POP3 server did not say its port");
}

TPop3Server::~TPop3Server() {
    try {
        Stop();
    } catch (...) {
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void TPop3Server::Kit(const std::string& args) {
    std::string cmd = std::string(MB_POP3_KIT) + "/pop3-server " + args;
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("failed: " + cmd);
}

void TPop3Server::Deliver(const std::string& user, const std::string& from, const std::string& subject) {
    std::string file = dir_ + "/msg" + std::to_string(++delivered_) + ".eml";
    std::ofstream(file, std::ios::binary) << "From: " << from << "\r\nTo: " << user
                                          << "@example.org\r\nSubject: " << subject
                                          << "\r\nDate: Fri, 11 Dec 2026 10:00:00 +0000\r\nMessage-ID: <m"
                                          << delivered_ << "@example.org>\r\n\r\nBody " << delivered_ << "\r\n";
    Kit("deliver " + Quote(dir_) + " " + Quote(user) + " " + Quote(file) + " >/dev/null");
}

void TPop3Server::Clear(const std::string& user) { Kit("clear " + Quote(dir_) + " " + Quote(user) + " >/dev/null"); }
void TPop3Server::Deny(const std::string& user) { Kit("deny " + Quote(dir_) + " " + Quote(user) + " >/dev/null"); }

void TPop3Server::Stop() {
    if (!running_) return;
    running_ = false;
    Kit("stop " + Quote(dir_) + " >/dev/null");
}

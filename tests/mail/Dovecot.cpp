#include "Dovecot.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

void RunKit(const std::string& command, const std::string& dir, const std::vector<std::string>& args) {
    std::string cmd = Quote(Pop3Kit() + "/pop3-server") + " " + command + " " + Quote(dir);
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " >>" + Quote(dir + ".log") + " 2>&1";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("failed: " + cmd);
}

// One JSON string starting at s[i] == '"'; \uXXXX becomes UTF-8.
std::string JsonString(const std::string& s, size_t& i) {
    std::string out;
    for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        char e = s[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'u': {
            unsigned cp = static_cast<unsigned>(std::stoul(s.substr(i + 1, 4), nullptr, 16));
            i += 4;
            if (cp < 0x80) {
                out += static_cast<char>(cp);
            } else if (cp < 0x800) {
                out += static_cast<char>(0xC0 | (cp >> 6));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out += static_cast<char>(0xE0 | (cp >> 12));
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            break;
        }
        default: out += e;
        }
    }
    ++i;
    return out;
}

}  // namespace

std::string Pop3Kit() { return std::string(MB_POP3_KIT); }

TDovecot::TDovecot(const std::vector<std::string>& options) {
    char tmpl[] = "/tmp/mail-dovecot-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("no temporary folder");
    Folder = tmpl;
    ::chmod(Folder.c_str(), 0755);  // the server's unprivileged processes read it

    std::vector<std::string> argv = {"bash", Pop3Kit() + "/pop3-server", "run", Folder, "-p", "auto", "--fast-auth"};
    argv.insert(argv.end(), options.begin(), options.end());
    const pid_t parent = ::getpid();
    Pid = ::fork();
    if (Pid < 0) throw std::runtime_error("fork failed");
    if (Pid == 0) {
        // dovecot's master replaces this process: it ends with the test.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);
        int log = ::open((Folder + ".log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(log, 1);
        ::dup2(log, 2);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        ::execv("/bin/bash", args.data());
        ::_exit(127);
    }
    RunKit("wait", Folder, {"--timeout", "30"});
    std::ifstream env(Folder + "/env");
    for (std::string line; std::getline(env, line);)
        if (line.rfind("POP3_PORT=", 0) == 0) PortNumber = std::atoi(line.c_str() + 10);
    if (PortNumber <= 0) throw std::runtime_error("the POP3 server did not tell its port");
}

TDovecot::~TDovecot() {
    if (Pid > 0) {
        ::kill(Pid, SIGTERM);
        int status;
        for (int i = 0; i < 300 && ::waitpid(Pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (::waitpid(Pid, &status, WNOHANG) == 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, &status, 0);
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
    std::filesystem::remove(Folder + ".log", ec);
}

void TDovecot::Command(const std::string& command, const std::vector<std::string>& args) {
    RunKit(command, Folder, args);
}

std::vector<std::map<std::string, std::string>> TDovecot::Manifest(const std::string& user) const {
    std::vector<std::map<std::string, std::string>> result;
    std::ifstream in(Folder + "/home/" + user + "/manifest.jsonl");
    for (std::string line; std::getline(in, line);) {
        std::map<std::string, std::string> fields;
        size_t i = line.find('"');
        while (i != std::string::npos && i < line.size()) {
            std::string key = JsonString(line, i);
            i = line.find_first_not_of(" :", i);
            std::string value;
            if (i < line.size() && line[i] == '"') {
                value = JsonString(line, i);
            } else {
                size_t end = line.find_first_of(",}", i);
                value = line.substr(i, end - i);
                i = end;
            }
            fields[key] = value;
            i = line.find('"', i);
        }
        result.push_back(fields);
    }
    return result;
}

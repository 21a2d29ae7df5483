// mbcheck [--port N] HOST USER PASSWORD
//   Runs the session the mail check runs for one account and prints its log
//   lines, then one JSON line per message. Exit status 0 when the session
//   completed, 2 when the connection failed, 3 when the login was refused,
//   1 on a usage error or an error that ended the session.
// mbcheck --parse FILE...
//   Parses each file as a retrieved message and prints its JSON line.
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "base/Exceptions.h"
#include "mail/AccountSession.h"
#include "mail/VekMsg.h"
#include "mail/VekPOP3.h"

namespace {

// The bytes read as ISO-8859-1, written as a JSON string in UTF-8.
std::string Json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out + "\"";
}

void PrintMessage(int n, const TVekMsg& m) {
    std::printf("{\"n\":%d,\"From\":%s,\"FromEmailAddress\":%s,\"Subject\":%s,\"Date\":%s,\"MessageId\":%s}\n", n,
                Json(m.From).c_str(), Json(m.FromEmailAddress).c_str(), Json(m.Subject).c_str(), Json(m.Date).c_str(),
                Json(m.MessageId).c_str());
}

std::string TimeText() {
    std::time_t now = std::time(nullptr);
    char buf[16] = "";
    if (const std::tm* t = std::localtime(&now)) std::strftime(buf, sizeof buf, "%H:%M:%S", t);
    return buf;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: mbcheck [--port N] HOST USER PASSWORD\n"
                 "       mbcheck --parse FILE...\n");
    return 1;
}

int Parse(int argc, char** argv) {
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "mbcheck: cannot read %s\n", argv[i]);
            status = 1;
            continue;
        }
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            TVekMsg msg;
            msg.SetRawMail(TextToLines(text));
            PrintMessage(i - 1, msg);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "mbcheck: %s: %s\n", argv[i], e.what());
            status = 1;
        }
    }
    return status;
}

int Check(const std::string& port, const char* host, const char* user, const char* password) {
    TVekPOP pop;
    pop.Host = host;
    pop.Port = port;
    pop.UserId = user;
    pop.UserPasswd = password;
    auto log = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    AttachSessionLog(pop, log, TimeText);
    TVekMsgList list;
    TSessionEnd end;
    try {
        end = CheckAccount(pop, list, log);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mbcheck: %s\n", e.what());
        return 1;
    }
    for (int i = 0; i < list.Count(); ++i) PrintMessage(i + 1, list.Items(i));
    switch (end) {
    case TSessionEnd::Completed: return 0;
    case TSessionEnd::ConnectFailed: return 2;
    case TSessionEnd::LoginRefused: return 3;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--parse") return argc > 2 ? Parse(argc, argv) : Usage();
    std::string port = "110";
    int first = 1;
    if (argc >= 3 && std::string(argv[1]) == "--port") {
        port = argv[2];
        first = 3;
    }
    if (argc - first != 3) return Usage();
    return Check(port, argv[first], argv[first + 1], argv[first + 2]);
}

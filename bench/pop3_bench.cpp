// pop3_bench component|plain HOST PORT USER PASSWORD
// pop3_bench tempfile COUNT
//
// One POP3 session over a whole mailbox, timed from connect to quit:
//   component  TVekPOP: Connect, Login, GetStatus, RetrieveAllHeaders, Quit
//              (the session of the mail check), messages kept in a list;
//   plain      a bare socket client sending the same two commands per
//              message one at a time (LIST n, TOP n 0), reading each reply
//              to its end and keeping nothing.
//   tempfile   only the file work the component does per retrieval (create
//              a new temporary file, write a header block, read it back,
//              delete it), COUNT times.
// Prints one line of key=value figures: messages, seconds, rate, and the
// memory of the process (resident set before, peak after, heap in use
// before and after) in KiB.
#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "mail/VekPOP3.h"

namespace {

long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

long HeapKiB() { return static_cast<long>(mallinfo2().uordblks / 1024); }

[[noreturn]] void Die(const char* what) {
    std::fprintf(stderr, "pop3_bench: %s\n", what);
    std::exit(1);
}

class TPlainClient {
public:
    TPlainClient(const char* host, int port) {
        Fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        if (Fd < 0 || ::inet_pton(AF_INET, host, &sa.sin_addr) != 1 ||
            ::connect(Fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            Die("cannot connect");
    }
    ~TPlainClient() { ::close(Fd); }
    void Send(const std::string& s) {
        if (::send(Fd, s.data(), s.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(s.size())) Die("send failed");
    }
    // Reads until the buffer ends with the given end (a line end or the
    // multi-line terminator); returns what was read.
    const std::string& Read(const char* end) {
        Buffer.clear();
        const size_t n = std::strlen(end);
        char buf[16384];
        while (Buffer.size() < n || Buffer.compare(Buffer.size() - n, n, end) != 0) {
            ssize_t got = ::recv(Fd, buf, sizeof buf, 0);
            if (got <= 0) Die("connection closed");
            Buffer.append(buf, static_cast<size_t>(got));
        }
        return Buffer;
    }

private:
    int Fd;
    std::string Buffer;
};

int RunPlain(const char* host, int port, const char* user, const char* pass) {
    TPlainClient c(host, port);
    c.Read("\r\n");
    c.Send(std::string("USER ") + user + "\r\n");
    c.Read("\r\n");
    c.Send(std::string("PASS ") + pass + "\r\n");
    if (c.Read("\r\n").rfind("+OK", 0) != 0) Die("login refused");
    c.Send("STAT\r\n");
    int count = std::atoi(c.Read("\r\n").c_str() + 4);
    for (int n = 1; n <= count; ++n) {
        c.Send("LIST " + std::to_string(n) + "\r\n");
        c.Read("\r\n");
        c.Send("TOP " + std::to_string(n) + " 0\r\n");
        c.Read("\r\n.\r\n");
    }
    c.Send("QUIT\r\n");
    c.Read("\r\n");
    return count;
}

int RunComponent(const char* host, int port, const char* user, const char* pass, TVekMsgList& list) {
    TVekPOP pop;
    pop.Host = host;
    pop.Port = std::to_string(port);
    pop.UserId = user;
    pop.UserPasswd = pass;
    pop.Connect();
    if (pop.HasError) Die("cannot connect");
    if (!pop.Login()) Die("login refused");
    pop.GetStatus();
    int n = pop.RetrieveAllHeaders(list);
    pop.Quit();
    if (n != pop.MessageCount) Die("not every message was retrieved");
    return n;
}

int RunTempFiles(int count) {
    const std::string block(700, 'x');
    std::string back(block.size(), '\0');
    for (int i = 0; i < count; ++i) {
        std::string name;
        std::FILE* f = CreateTempFile(name);
        std::fwrite(block.data(), 1, block.size(), f);
        std::fflush(f);
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(back.data(), 1, back.size(), f) != back.size()) Die("cannot read back");
        std::fclose(f);
        std::remove(name.c_str());
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "tempfile") {
        const int count = std::atoi(argv[2]);
        const auto start = std::chrono::steady_clock::now();
        RunTempFiles(count);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("mode=tempfile messages=%d seconds=%.3f rate=%.1f us_each=%.1f\n", count, seconds, count / seconds,
                    seconds * 1e6 / count);
        return 0;
    }
    if (argc != 6) {
        std::fprintf(stderr, "usage: pop3_bench component|plain HOST PORT USER PASSWORD | tempfile COUNT\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int port = std::atoi(argv[3]);
    TVekMsgList list;  // outlives the timing, so the memory of the messages counts
    const long rssBefore = StatusKiB("VmRSS:"), heapBefore = HeapKiB();
    const auto start = std::chrono::steady_clock::now();
    int messages;
    if (mode == "plain") messages = RunPlain(argv[2], port, argv[4], argv[5]);
    else if (mode == "component") messages = RunComponent(argv[2], port, argv[4], argv[5], list);
    else Die("mode is component or plain");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("mode=%s messages=%d seconds=%.3f rate=%.1f rss_before_kib=%ld rss_peak_kib=%ld heap_before_kib=%ld "
                "heap_after_kib=%ld listed=%d\n",
                mode.c_str(), messages, seconds, messages / seconds, rssBefore, StatusKiB("VmHWM:"), heapBefore,
                HeapKiB(), list.Count());
    return 0;
}

#include "mail/VekPOP3.h"

#include <cstdio>

#include "base/Exceptions.h"
#include "base/Strings.h"
#include "platform/MessagePump.h"

namespace {

constexpr int kErrLogin = 2001;
constexpr int kErrQuit = 2002;
constexpr int kErrRetrieve = 2004;
constexpr int kErrStatus = 2006;
constexpr int kReceiveSize = 1024;

uint16_t Clamp16(long long v) { return static_cast<uint16_t>(v < 0 ? 0 : v > 0xFFFF ? 0xFFFF : v); }

// size * 100 / expected, rounded to the nearest integer, a half to the even one.
long long PercentOf(long long size, long long expected) {
    long long num = size * 100, q = num / expected, r = num % expected;
    if (2 * r > expected || (2 * r == expected && (q & 1))) ++q;
    return q;
}

// The file a retrieval collects its chunks in; closed and deleted on every way out.
class TRetrieveFile {
public:
    TRetrieveFile() : File(CreateTempFile(Name)) {}
    ~TRetrieveFile() {
        std::fclose(File);
        std::remove(Name.c_str());
    }
    void Append(const std::string& s) {
        if (std::fwrite(s.data(), 1, s.size(), File) != s.size()) throw EWriteError("Stream write error");
        Size += static_cast<long long>(s.size());
    }
    std::string ReadAll() {
        std::string s(static_cast<size_t>(Size), '\0');
        if (std::fflush(File) != 0 || std::fseek(File, 0, SEEK_SET) != 0 ||
            std::fread(s.data(), 1, s.size(), File) != s.size())
            throw EReadError("Stream read error");
        return s;
    }
    long long Size = 0;

private:
    std::string Name;
    std::FILE* File;
};

}  // namespace

TVekPOP::TVekPOP() : Socket(std::make_unique<platform::TClientSocket>()) {
    platform::TClientSocket* s = Socket.get();
    s->OnLookup = [this, s] {
        if (OnLookup) OnLookup(s, s);
    };
    s->OnConnecting = [this, s] {
        if (OnConnecting) OnConnecting(s, s);
    };
    s->OnConnect = [this, s] {
        Connected = true;
        if (OnConnect) OnConnect(s);
    };
    s->OnDisconnect = [this, s] {
        Connected = false;
        if (OnQuit) OnQuit(s);
    };
    s->OnError = [this, s](int code) { RaiseServerError(code, s); };
}

TVekPOP::~TVekPOP() = default;

void TVekPOP::SendText(const std::string& Text) {
    platform::ProcessMessages();
    Socket->SendText(Text);
    if (OnSendTextToSocket) OnSendTextToSocket(this, Text);
}

bool TVekPOP::ReadReply(std::string& Chunk) {
    platform::ProcessMessages();
    char buf[kReceiveSize];
    int n = 0;
    bool timedOut = false;
    Socket->ReceiveTimeoutMs = ReceiveTimeoutMs;
    try {
        n = Socket->ReceiveBuf(buf, kReceiveSize);
    } catch (const platform::ESocketTimeout&) {
        timedOut = true;
    }
    Chunk.assign(buf, static_cast<size_t>(n));
    ReplyStatus = Trim(Copy(Chunk, 1, 4));
    long crlf = Pos("\r\n", Chunk);
    ReplyText = crlf > 0 ? Trim(Copy(Chunk, 5, crlf - 5)) : std::string();
    HasError = ReplyStatus == "-ERR";
    if (timedOut) {
        LoseConnection(platform::wsaTimedOut);
        return false;
    }
    if (OnReceiveTextFromSocket) OnReceiveTextFromSocket(this, Chunk);
    // No bytes from an open socket: the server has closed the connection.
    if (n == 0 && Socket->Active()) {
        LoseConnection(platform::wsaDisconnected);
        return false;
    }
    return true;
}

void TVekPOP::RaiseServerError(int Code, void* Sender) {
    HasError = true;
    Socket->Close();
    Connected = false;
    if (OnError) OnError(Sender, Code, ReplyText);
}

void TVekPOP::LoseConnection(int Code) {
    ConnectionLost = true;
    RaiseServerError(Code, Socket.get());
}

void TVekPOP::Connect() {
    MessageCount = 0;
    ConnectionLost = false;
    // A connection still open from an earlier session is not reused.
    Socket->Close();
    Socket->Port = StrToIntDef(Port, 110);
    if (IsIPAddress(Host)) {
        Socket->Address = Host;
        Socket->Host.clear();
    } else {
        Socket->Host = Host;
        Socket->Address.clear();
    }
    Socket->ConnectTimeoutMs = ConnectTimeoutMs;
    HasError = false;
    try {
        Socket->Open();
    } catch (const std::exception&) {
        HasError = true;
    }
    if (HasError) {
        Socket->Close();
        return;
    }
    if (!Connected) return;
    std::string greeting;
    if (!ReadReply(greeting)) return;
    AbortRequested = false;
    // A refusing greeting ends the connection here, so that nothing reads
    // from it later.
    if (HasError) Socket->Close();
}

bool TVekPOP::Login() {
    if (!Connected) throw Exception("Invalid Op. Not connected.");
    std::string chunk;
    SendText("USER " + UserId + "\r\n");
    if (!ReadReply(chunk)) return false;
    if (HasError) {
        RaiseServerError(kErrLogin, this);
        return false;
    }
    SendText("PASS " + UserPasswd + "\r\n");
    if (!ReadReply(chunk)) return false;
    if (HasError) {
        RaiseServerError(kErrLogin, this);
        return false;
    }
    return true;
}

void TVekPOP::GetStatus() {
    std::string chunk;
    SendText("STAT\r\n");
    if (!ReadReply(chunk)) return;
    if (HasError) {
        RaiseServerError(kErrStatus, this);
        return;
    }
    MessageCount = Clamp16(GetNumber(ReplyText, 1, 0));
    NewMessageCount = 0;
    LastSupported = true;
    SendText("LAST\r\n");
    if (!ReadReply(chunk)) return;
    if (HasError) {
        LastSupported = false;
        return;
    }
    NewMessageCount = static_cast<uint16_t>(MessageCount - GetNumber(ReplyText, 1, 0));
}

bool TVekPOP::Retrieve(uint16_t MsgIndex, bool HeadersOnly, TVekMsg& Msg) {
    if (!Connected) throw Exception("Not connected.");
    if (OnBeforeRetrieve) OnBeforeRetrieve(this, MsgIndex);
    TRetrieveFile file;
    ProgressPercent = 0;
    const std::string n = IntToStr(MsgIndex);

    std::string data;
    SendText("LIST " + n + "\r\n");
    if (!ReadReply(data)) return false;
    const int32_t expectedSize = GetNumber(ReplyText, 2, 100);

    SendText(HeadersOnly ? "TOP " + n + " 0\r\n" : "RETR " + n + "\r\n");
    if (!ReadReply(data)) return false;
    if (HasError) {
        RaiseServerError(kErrRetrieve, this);
        return false;
    }
    NextProgressAt = RetrieveProgressStep;
    file.Append(data);
    // Only the last 4 characters are kept between receives: enough to find
    // a terminator that a receive boundary split.
    std::string piece;
    while (data.find("\r\n.\r\n") == std::string::npos) {
        platform::ProcessMessages();
        if (AbortRequested) return false;
        std::string tail = data.size() > 4 ? data.substr(data.size() - 4) : data;
        if (!ReadReply(piece)) return false;
        data = tail + piece;
        file.Append(piece);
        ProgressPercent = Clamp16(PercentOf(file.Size, expectedSize > 0 ? expectedSize : 100));
        if (ProgressPercent >= NextProgressAt) {
            if (OnRetrieveProgress) OnRetrieveProgress(this, ProgressPercent);
            NextProgressAt = Clamp16(NextProgressAt + RetrieveProgressStep);
        }
    }
    if (ProgressPercent < 100 && OnRetrieveProgress) OnRetrieveProgress(this, 100);

    TMailLines lines = TextToLines(file.ReadAll());
    // The status line and the terminating "."; then the byte-stuffing.
    if (!lines.empty()) lines.erase(lines.begin());
    if (!lines.empty()) lines.pop_back();
    for (auto& line : lines)
        if (line.size() > 1 && line[0] == '.') line.erase(0, 1);

    Msg.SetRawMail(std::move(lines));
    Msg.Size = expectedSize;
    if (GetUIDLsOnRetrieve) Msg.UniqueId = GetUIDL(MsgIndex);
    if (OnAfterRetrieve) OnAfterRetrieve(this);
    return true;
}

int TVekPOP::RetrieveAll(TVekMsgList& List, bool HeadersOnly) {
    List.Clear();
    int count = 0;
    for (uint32_t n = 1; n <= MessageCount; ++n) {
        auto msg = std::make_unique<TVekMsg>();
        bool ok = Retrieve(static_cast<uint16_t>(n), HeadersOnly, *msg);
        if (AbortRequested) break;
        if (ConnectionLost && !ok) break;
        List.Add(std::move(msg));
        ++count;
        if (ConnectionLost) break;
    }
    return count;
}

std::string TVekPOP::GetUIDL(uint16_t MsgIndex) {
    std::string chunk;
    SendText("UIDL " + IntToStr(MsgIndex) + "\r\n");
    if (!ReadReply(chunk)) return {};
    if (HasError) {
        RaiseServerError(kErrStatus, this);
        return {};
    }
    long blank = Pos(" ", ReplyText);
    return CopyFrom(ReplyText, blank + 1);
}

void TVekPOP::Quit() {
    if (!Connected) return;
    std::string chunk;
    SendText("QUIT\r\n");
    if (!ReadReply(chunk)) return;
    if (HasError) {
        RaiseServerError(kErrQuit, this);
        return;
    }
    Socket->Close();
    Connected = false;
    platform::ProcessMessages();
    platform::SleepMs(10);
}

// TVekPOP and the account session against a scripted loopback server: the
// exchanges a real server cannot be made to produce.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "ScriptedServer.h"
#include "TestSockets.h"
#include "base/Exceptions.h"
#include "mail/AccountSession.h"
#include "mail/VekPOP3.h"

namespace fs = std::filesystem;
using Steps = std::vector<TStep>;

namespace {

Steps Join(std::initializer_list<Steps> parts) {
    Steps all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Steps kGreeting = {Send("+OK ready\r\n")};
const Steps kLogin = {Expect("USER u"), Send("+OK\r\n"), Expect("PASS p w"), Send("+OK Logged in.\r\n")};
Steps Status(int count) {
    return {Expect("STAT"), Send("+OK " + std::to_string(count) + " 999\r\n"), Expect("LAST"),
            Send("-ERR Unknown command: LAST\r\n")};
}
std::string HeaderReply(const std::string& from) {
    return "+OK\r\nFrom: " + from + "\r\nSubject: s\r\n\r\n.\r\n";
}
Steps Header(int n, const std::string& reply, const std::string& size = "100") {
    std::string num = std::to_string(n);
    return {Expect("LIST " + num), Send("+OK " + num + " " + size + "\r\n"), Expect("TOP " + num + " 0"), Send(reply)};
}
const Steps kQuit = {Expect("QUIT"), Send("+OK Logging out.\r\n")};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A temporary folder of the test's own, to see that no file is left.
        std::random_device random;
        do TempDir = (fs::temp_directory_path() / ("mail-session-" + std::to_string(random()))).string();
        while (!fs::create_directory(TempDir));
        OldTmp = testnet::TempFolder();
        testnet::SetTempFolder(TempDir);

        Pop.Host = "127.0.0.1";
        Pop.UserId = "u";
        Pop.UserPasswd = "p w";
        Pop.ReceiveTimeoutMs = 10000;
        Pop.OnConnect = [this](void*) { Events.push_back("connect"); };
        Pop.OnQuit = [this](void*) { Events.push_back("quit"); };
        Pop.OnError = [this](void*, int code, const std::string& msg) {
            Events.push_back("error " + std::to_string(code) + " " + msg);
        };
        Pop.OnRetrieveProgress = [this](void*, uint16_t p) { Progress.push_back(p); };
        Pop.OnReceiveTextFromSocket = [this](void*, const std::string&) {
            if (Server) Server->ClientReceived();
        };
    }
    void TearDown() override {
        Server.reset();
        EXPECT_TRUE(fs::is_empty(TempDir)) << "a temporary file was left behind";
        fs::remove_all(TempDir);
        testnet::SetTempFolder(OldTmp);
    }
    void Serve(std::vector<Steps> scripts) {
        Server = std::make_unique<TScriptedServer>(std::move(scripts));
        Pop.Port = std::to_string(Server->Port());
    }
    void Serve(Steps script) { Serve(std::vector<Steps>{std::move(script)}); }
    void ExpectScriptPlayed() { EXPECT_EQ(Server->Failure(), ""); }

    TVekPOP Pop;
    std::unique_ptr<TScriptedServer> Server;
    std::vector<std::string> Events;
    std::vector<int> Progress;
    std::string TempDir, OldTmp;
};

TEST_F(SessionTest, CheckAccountSendsTheCommandsAndListsEveryMessageInOrder) {
    Serve(Join({kGreeting, kLogin, Status(2), Header(1, HeaderReply("Ann <ann@x.org>")),
                Header(2, HeaderReply("bob@y.org")), kQuit}));
    std::vector<std::string> log;
    AttachSessionLog(Pop, [&](const std::string& l) { log.push_back(l); }, [] { return std::string("12:34:56"); });
    TVekMsgList list;

    EXPECT_EQ(CheckAccount(Pop, list, [&](const std::string& l) { log.push_back(l); }), TSessionEnd::Completed);

    ExpectScriptPlayed();
    EXPECT_EQ(Server->Received(),
              "USER u\r\nPASS p w\r\nSTAT\r\nLAST\r\nLIST 1\r\nTOP 1 0\r\nLIST 2\r\nTOP 2 0\r\nQUIT\r\n");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0).FromEmailAddress, "ann@x.org");
    EXPECT_EQ(list.Items(1).FromEmailAddress, "bob@y.org");
    EXPECT_EQ(log, (std::vector<std::string>{"Connect to Server 127.0.0.1 at 12:34:56", "You have 2 mail(s).",
                                             "Quit from to Server 127.0.0.1 at 12:34:56", "EMAIL PROCESS OK."}));
    EXPECT_FALSE(Pop.Connected);
    EXPECT_FALSE(Pop.HasError);
    EXPECT_FALSE(Pop.LastSupported);
}

TEST_F(SessionTest, RefusedPasswordLogsTheServerErrorAfterTheQuitLine) {
    Serve(Join({kGreeting,
                {Expect("USER u"), Send("+OK\r\n"), Expect("PASS p w"), Send("-ERR [AUTH] Authentication failed.\r\n")}}));
    std::vector<std::string> log;
    auto logLine = [&](const std::string& l) { log.push_back(l); };
    AttachSessionLog(Pop, logLine, [] { return std::string("T"); });
    TVekMsgList list;

    EXPECT_EQ(CheckAccount(Pop, list, logLine), TSessionEnd::LoginRefused);

    EXPECT_EQ(log, (std::vector<std::string>{"Connect to Server 127.0.0.1 at T", "Quit from to Server 127.0.0.1 at T",
                                             "!! Server Error", " ErrorCode : 2001",
                                             " ErrorMsg  : [AUTH] Authentication failed.", "Unauthorized access..."}));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(SessionTest, StatAndLastRepliesGiveTheCounts) {
    struct Case {
        std::string Stat, Last;
        int Count, New;
        bool LastSupported;
    } cases[] = {
        {"+OK 3 1200\r\n", "+OK 1\r\n", 3, 2, true},
        {"+OK\r\n", "+OK 0\r\n", 0, 0, true},
        {"+OK 3 1200\r\n", "-ERR Unknown command: LAST\r\n", 3, 0, false},
        {"+OK 1 10\r\n", "+OK 2\r\n", 1, 65535, true},  // 16-bit difference
        {"+OK 70000 10\r\n", "+OK 0\r\n", 65535, 65535, true},  // more than fits: as many as fit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stat + c.Last);
        Pop.Socket->Close();
        Events.clear();
        Serve(Join({kGreeting, {Expect("STAT"), Send(c.Stat), Expect("LAST"), Send(c.Last)}, {Hold()}}));
        Pop.Connect();
        Pop.GetStatus();
        EXPECT_EQ(Pop.MessageCount, c.Count);
        EXPECT_EQ(Pop.NewMessageCount, c.New);
        EXPECT_EQ(Pop.LastSupported, c.LastSupported);
        EXPECT_EQ(Pop.HasError, !c.LastSupported);
        EXPECT_TRUE(Pop.Connected) << "a refused LAST keeps the session";
        EXPECT_EQ(Events, std::vector<std::string>{"connect"});
        ExpectScriptPlayed();
    }
}

TEST_F(SessionTest, TerminatorIsFoundWhereverAReceiveSplitsIt) {
    const std::string reply = "+OK\r\nFrom: a@b.c\r\nSubject: split\r\n\r\n.\r\n";
    for (size_t cut = reply.size() - 8; cut < reply.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Serve(Join({kGreeting,
                    {Expect("LIST 1"), Send("+OK 1 40\r\n"), Expect("TOP 1 0"), Send(reply.substr(0, cut)),
                     Send(reply.substr(cut)), Hold()}}));
        Pop.Connect();
        TVekMsg msg;
        EXPECT_TRUE(Pop.RetrieveHeaders(1, msg));
        EXPECT_EQ(msg.FromEmailAddress, "a@b.c");
        EXPECT_EQ(msg.Subject, "split");
        ExpectScriptPlayed();
    }
    // Every byte of the end in a receive of its own.
    Steps bytes = Join({kGreeting, {Expect("LIST 1"), Send("+OK 1 40\r\n"), Expect("TOP 1 0")}});
    const size_t head = reply.size() - 7;
    bytes.push_back(Send(reply.substr(0, head)));
    for (size_t i = head; i < reply.size(); ++i) bytes.push_back(Send(reply.substr(i, 1)));
    bytes.push_back(Hold());
    Serve(bytes);
    Pop.Connect();
    TVekMsg msg;
    EXPECT_TRUE(Pop.RetrieveHeaders(1, msg));
    EXPECT_EQ(msg.Subject, "split");
    ExpectScriptPlayed();
}

TEST_F(SessionTest, StuffedDotsArriveSingleAndListRefusalKeepsTheDefaultSize) {
    Serve(Join({kGreeting,
                {Expect("LIST 1"), Send("-ERR No such message\r\n"), Expect("RETR 1"),
                 Send("+OK\r\nSubject: dots\r\n\r\n..hidden\r\n..\r\n.a\r\nplain\r\n.\r\n"), Hold()}}));
    Pop.Connect();
    TVekMsg msg;
    EXPECT_TRUE(Pop.RetrieveMessage(1, msg));
    EXPECT_EQ(msg.Text, (TMailLines{".hidden", ".", "a", "plain"}));
    EXPECT_EQ(msg.Size, 100);
    EXPECT_TRUE(Pop.Connected);
    ExpectScriptPlayed();
}

TEST_F(SessionTest, ListedSizeOfZeroIsMeasuredAgainstTheDefault) {
    Serve(Join({kGreeting,
                {Expect("LIST 1"), Send("+OK 1 0\r\n"), Expect("TOP 1 0"), Send("+OK\r\n"), Send("From: a@b.c\r\n"),
                 Send("\r\n.\r\n"), Hold()}}));
    Pop.Connect();
    TVekMsg msg;
    EXPECT_TRUE(Pop.RetrieveHeaders(1, msg));
    EXPECT_EQ(Progress, (std::vector<int>{18, 23, 100}));
    EXPECT_EQ(msg.Size, 0);
    EXPECT_EQ(msg.FromEmailAddress, "a@b.c");
    ExpectScriptPlayed();
}

// A reply whose pieces bring the received total to the given sizes (the
// first piece, the status line, is not measured).
Steps PiecesReaching(int n, std::vector<int> totals) {
    std::string num = std::to_string(n);
    Steps s = {Expect("LIST " + num), Send("+OK " + num + " 1000\r\n"), Expect("TOP " + num + " 0"), Send("+OK\r\n")};
    int have = 5;
    for (size_t i = 0; i < totals.size(); ++i) {
        int size = totals[i] - have;
        bool last = i + 1 == totals.size();
        std::string piece = i == 0 ? "From: p@q.r\r\nX: " : "";
        piece += std::string(static_cast<size_t>(size) - piece.size() - (last ? 7 : 0), 'x');
        if (last) piece += "\r\n\r\n.\r\n";
        s.push_back(Send(piece));
        have = totals[i];
    }
    return s;
}

TEST_F(SessionTest, ProgressEventsFollowTheListedSize) {
    Serve(Join({kGreeting, PiecesReaching(1, {350, 800, 1200}), PiecesReaching(2, {300, 600}),
                Header(3, HeaderReply("x@y.z")), {Hold()}}));
    Pop.Connect();
    TVekMsg m1, m2, m3;
    EXPECT_TRUE(Pop.RetrieveHeaders(1, m1));
    EXPECT_EQ(Progress, (std::vector<int>{35, 80, 120}));
    Progress.clear();
    EXPECT_TRUE(Pop.RetrieveHeaders(2, m2));
    EXPECT_EQ(Progress, (std::vector<int>{30, 60, 100}));
    Progress.clear();
    // Complete in its first receive: nothing measured, so the closing event
    // comes whatever the previous retrieval reached.
    EXPECT_TRUE(Pop.RetrieveHeaders(3, m3));
    EXPECT_EQ(Progress, (std::vector<int>{100}));
    EXPECT_EQ(m1.FromEmailAddress, "p@q.r");
    ExpectScriptPlayed();
}

TEST_F(SessionTest, RefusalsCloseTheSessionWithTheirCode) {
    struct Case {
        const char* Name;
        Steps Script;
        std::function<void(TVekPOP&)> Run;
        int Code;
    } cases[] = {
        {"USER", {Expect("USER u"), Send("-ERR no\r\n")}, [](TVekPOP& p) { EXPECT_FALSE(p.Login()); }, 2001},
        {"STAT", {Expect("STAT"), Send("-ERR no\r\n")}, [](TVekPOP& p) { p.GetStatus(); }, 2006},
        {"TOP",
         {Expect("LIST 1"), Send("+OK 1 10\r\n"), Expect("TOP 1 0"), Send("-ERR no\r\n")},
         [](TVekPOP& p) {
             TVekMsg m;
             EXPECT_FALSE(p.RetrieveHeaders(1, m));
         },
         2004},
        {"UIDL", {Expect("UIDL 4"), Send("-ERR no\r\n")}, [](TVekPOP& p) { EXPECT_EQ(p.GetUIDL(4), ""); }, 2006},
        {"QUIT", {Expect("QUIT"), Send("-ERR no\r\n")}, [](TVekPOP& p) { p.Quit(); }, 2002},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Events.clear();
        Serve(Join({kGreeting, c.Script, {Hold()}}));
        Pop.Connect();
        c.Run(Pop);
        EXPECT_TRUE(Pop.HasError);
        EXPECT_FALSE(Pop.Connected);
        EXPECT_EQ(Events, (std::vector<std::string>{"connect", "quit", "error " + std::to_string(c.Code) + " no"}));
        ExpectScriptPlayed();
    }
}

TEST_F(SessionTest, RetrieveAllAfterARefusedHeaderBlockRaisesNotConnected) {
    Serve(Join({kGreeting, Status(2), {Expect("LIST 1"), Send("+OK 1 10\r\n"), Expect("TOP 1 0"), Send("-ERR gone\r\n")},
                {Hold()}}));
    Pop.Connect();
    Pop.GetStatus();
    TVekMsgList list;
    try {
        Pop.RetrieveAllHeaders(list);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Not connected.");
    }
    ExpectScriptPlayed();
}

TEST_F(SessionTest, CallsOnAClosedSessionRaise) {
    TVekMsg msg;
    try {
        Pop.Login();
        ADD_FAILURE() << "Login raised nothing";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Invalid Op. Not connected.");
    }
    try {
        Pop.RetrieveHeaders(1, msg);
        ADD_FAILURE() << "Retrieve raised nothing";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Not connected.");
    }
    Pop.Quit();
    EXPECT_TRUE(Events.empty());
}

TEST_F(SessionTest, RefusingGreetingClosesAndALaterConnectStartsAfresh) {
    Serve(std::vector<Steps>{{Send("-ERR busy\r\n"), Hold()},
                             {Send("+OK first\r\n"), Hold()},
                             {Send("+OK second\r\n"), Hold()}});
    Pop.Connect();
    EXPECT_TRUE(Pop.HasError);
    EXPECT_FALSE(Pop.Connected);
    EXPECT_EQ(Events, (std::vector<std::string>{"connect", "quit"})) << "no error event for a refused greeting";

    Pop.Connect();
    EXPECT_FALSE(Pop.HasError);
    EXPECT_EQ(Pop.ReplyText, "first");
    // A session that was never quit is closed before the next one starts.
    Pop.Connect();
    EXPECT_EQ(Pop.ReplyText, "second");
    EXPECT_EQ(Events, (std::vector<std::string>{"connect", "quit", "connect", "quit", "connect"}));
    EXPECT_EQ(Server->Connections(), 3);
}

TEST_F(SessionTest, SilentServerEndsTheSessionAsALostConnection) {
    Pop.ReceiveTimeoutMs = 1000;
    struct Case {
        const char* Name;
        Steps Script;
        int Listed;
        std::vector<std::string> Log;
    } cases[] = {
        {"no greeting", {Hold()}, 0, {"connect", "quit", "error 10060 ", "Connect failed. Maybe the server is down or not responding."}},
        {"no reply to USER",
         Join({kGreeting, {Expect("USER u"), Hold()}}),
         0,
         {"connect", "quit", "error 10060 ", "Connect failed. Maybe the server is down or not responding."}},
        {"header block cut short",
         Join({kGreeting, kLogin, Status(3), Header(1, HeaderReply("one@x.y")), Header(2, "+OK\r\nFrom: two@x.y\r\n"),
               {Hold()}}),
         1,
         {"connect", "You have 3 mail(s).", "quit", "error 10060 ",
          "Connect failed. Maybe the server is down or not responding."}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> log;
        auto logLine = [&](const std::string& l) { log.push_back(l); };
        Pop.OnConnect = [&](void*) { log.push_back("connect"); };
        Pop.OnQuit = [&](void*) { log.push_back("quit"); };
        Pop.OnError = [&](void*, int code, const std::string& msg) {
            log.push_back("error " + std::to_string(code) + " " + msg);
        };
        Serve(c.Script);
        TVekMsgList list;
        EXPECT_EQ(CheckAccount(Pop, list, logLine), TSessionEnd::ConnectFailed);
        EXPECT_EQ(log, c.Log);
        EXPECT_EQ(list.Count(), c.Listed);
        EXPECT_TRUE(Pop.ConnectionLost);
        EXPECT_FALSE(Pop.Connected);
        ExpectScriptPlayed();
    }
}

TEST_F(SessionTest, ServerClosingInsideAReplyEndsTheSessionAsALostConnection) {
    struct Case {
        const char* Name;
        Steps Script;
        int Listed;
    } cases[] = {
        {"before the USER reply", Join({kGreeting, {Expect("USER u"), CloseConnection()}}), 0},
        {"inside the second header block",
         Join({kGreeting, kLogin, Status(3), Header(1, HeaderReply("one@x.y")),
               Header(2, "+OK\r\nFrom: two@x.y\r\nSubject: cut"), {CloseConnection()}}),
         1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Events.clear();
        Serve(c.Script);
        std::vector<std::string> log;
        TVekMsgList list;
        EXPECT_EQ(CheckAccount(Pop, list, [&](const std::string& l) { log.push_back(l); }), TSessionEnd::ConnectFailed);
        EXPECT_EQ(list.Count(), c.Listed);
        EXPECT_EQ(Events, (std::vector<std::string>{"connect", "quit", "error 10101 "}));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "Connect failed. Maybe the server is down or not responding.");
        ExpectScriptPlayed();
    }
}

TEST_F(SessionTest, SocketErrorReportsItsCodeAndRaises) {
#ifdef _WIN32
    GTEST_SKIP() << "under Wine the test's own server cannot reset a connection: its close arrives as a normal one";
#endif
    Serve(Join({kGreeting, kLogin, Status(2), {ResetConnection()}}));
    std::vector<std::string> log;
    TVekMsgList list;
    try {
        CheckAccount(Pop, list, [&](const std::string& l) { log.push_back(l); });
        FAIL() << "no exception; " << ::testing::PrintToString(Events);
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message, platform::SocketErrorText(platform::wsaConnReset, "recv"));
    }
    // The message is the text of the last reply read, here the one to LAST.
    EXPECT_EQ(Events, (std::vector<std::string>{"connect", "quit", "error 10054 Unknown command: LAST"}));
    EXPECT_FALSE(Pop.Connected);
    EXPECT_FALSE(Pop.ConnectionLost);
    ExpectScriptPlayed();
}

TEST_F(SessionTest, ConnectGivesUpWhenTheServerDoesNotAccept) {
    // A listener whose backlog is full leaves further connects pending.
    int port = 0;
    testnet::TSock listener = testnet::BindLoopback(0, port);
    ASSERT_NE(listener, testnet::kNoSock);
    testnet::TSock filler = testnet::ConnectLoopback(port);
    ASSERT_NE(filler, testnet::kNoSock);

    Pop.Port = std::to_string(port);
    Pop.ConnectTimeoutMs = 200;
    Pop.Connect();
    EXPECT_TRUE(Pop.HasError);
    EXPECT_FALSE(Pop.Connected);
    EXPECT_TRUE(Events.empty());
    testnet::CloseSock(filler);
    testnet::CloseSock(listener);
}

TEST_F(SessionTest, RefusedConnectionIsAConnectFailure) {
    int port = 0;
    testnet::TSock bound = testnet::BindLoopback(-1, port);  // bound, not listening
    ASSERT_NE(bound, testnet::kNoSock);
    Pop.Port = std::to_string(port);
    std::vector<std::string> log;
    TVekMsgList list;
    EXPECT_EQ(CheckAccount(Pop, list, [&](const std::string& l) { log.push_back(l); }), TSessionEnd::ConnectFailed);
    EXPECT_EQ(log, std::vector<std::string>{"Connect failed. Maybe the server is down or not responding."});
    EXPECT_TRUE(Events.empty());
    testnet::CloseSock(bound);
}

TEST_F(SessionTest, GarbageFromTheServerDoesNoHarm) {
    std::string binary(1024, '\0');
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 37 + 11);
    Serve(Join({{Send(binary)},
                {Expect("STAT"), Send("+OK lots of mail\r\n"), Expect("LAST"), Send("\r\n")},
                {Expect("LIST 1"), Send("+OK 1 many\r\n"), Expect("TOP 1 0"),
                 Send(std::string("+OK\r\nFrom: a@b.c\r\nSubject: x") + '\0' + "y\r\nTo: z\r\n\r\n.\r\n")},
                {Hold()}}));
    Pop.Connect();
    EXPECT_TRUE(Pop.Connected);
    Pop.GetStatus();
    EXPECT_EQ(Pop.MessageCount, 0);
    TVekMsg msg;
    EXPECT_TRUE(Pop.RetrieveHeaders(1, msg));
    // The text ends at the NUL byte; what came before it is parsed.
    EXPECT_EQ(msg.FromEmailAddress, "a@b.c");
    EXPECT_EQ(msg.Size, 100);
    ExpectScriptPlayed();
}

TEST_F(SessionTest, AbortStopsTheRetrievalAndKeepsWhatCameBefore) {
    Serve(Join({kGreeting, Status(3), Header(1, HeaderReply("one@x.y")), Header(2, "+OK\r\nFrom: two@x.y\r\n"),
                {Hold()}}));
    Pop.Connect();
    Pop.GetStatus();
    int receives = 0;
    Pop.OnReceiveTextFromSocket = [&](void*, const std::string&) {
        Server->ClientReceived();
        // LIST 1, TOP 1, LIST 2, then the first piece of TOP 2
        if (++receives == 4) Pop.AbortRequested = true;
    };
    TVekMsgList list;
    EXPECT_EQ(Pop.RetrieveAllHeaders(list), 1);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).FromEmailAddress, "one@x.y");
    EXPECT_TRUE(Pop.AbortRequested);
    EXPECT_TRUE(Pop.Connected);
    ExpectScriptPlayed();
}

TEST_F(SessionTest, UniqueIdsAreFetchedOnRequest) {
    Serve(Join({kGreeting, Header(1, HeaderReply("a@b.c")), {Expect("UIDL 1"), Send("+OK 1 id-17\r\n"), Hold()}}));
    Pop.GetUIDLsOnRetrieve = true;
    Pop.Connect();
    TVekMsg msg;
    EXPECT_TRUE(Pop.RetrieveHeaders(1, msg));
    EXPECT_EQ(msg.UniqueId, "id-17");
    ExpectScriptPlayed();
}

TEST_F(SessionTest, HostAndPortTexts) {
    int lookups = 0;
    Pop.OnLookup = [&](void*, platform::TClientSocket*) { ++lookups; };
    struct Case {
        const char* Host;
        bool LookedUp;
    } cases[] = {{"127.0.0.1", false}, {"localhost", true}, {"127.0.0.256", true}, {"127.0.1", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Host);
        lookups = 0;
        Serve(Steps{Send("+OK\r\n"), Hold()});
        Pop.Host = c.Host;
        Pop.Connect();
        EXPECT_EQ(lookups, c.LookedUp ? 1 : 0);
        Pop.Socket->Close();
    }
    Pop.Host = "127.0.0.1";
    Pop.Port = "pop3";
    Pop.ConnectTimeoutMs = 200;
    Pop.Connect();
    EXPECT_EQ(Pop.Socket->Port, 110);
}

}  // namespace

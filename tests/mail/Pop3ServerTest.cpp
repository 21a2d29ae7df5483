// The account session against the real POP3 server of the test kit, with
// generated and hand-made mailboxes.
#include <gtest/gtest.h>

#include <memory>

#include "Dovecot.h"
#include "mail/AccountSession.h"
#include "mail/VekPOP3.h"

namespace {

const int kGenerated = 14;

// One server for the test program: started before the first test, stopped
// after the last.
TDovecot* Server = nullptr;

class DovecotEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Server = new TDovecot({"-u", "alice:secret", "-u", "bob:correct horse", "-u", "carol:p:w d!", "-u", "dave:pw",
                               "-u", "erin:pw", "-g", "alice=" + std::to_string(kGenerated), "-m",
                               "bob=" MB_MAIL_FIXTURES "/handmade", "-m", "carol=" + Pop3Kit() + "/sample-messages",
                               "-g", "erin=2"});
    }
    void TearDown() override {
        delete Server;
        Server = nullptr;
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DovecotEnvironment);

struct TSession {
    TVekPOP Pop;
    TVekMsgList List;
    std::vector<std::string> Log;
    std::vector<std::pair<int, std::string>> Errors;

    TSession(const std::string& user, const std::string& password) {
        Pop.Host = "127.0.0.1";
        Pop.Port = std::to_string(Server->Port());
        Pop.UserId = user;
        Pop.UserPasswd = password;
        AttachSessionLog(Pop, [this](const std::string& l) { Log.push_back(l); }, [] { return std::string("T"); });
        auto logError = Pop.OnError;
        Pop.OnError = [this, logError](void* s, int code, const std::string& msg) {
            Errors.emplace_back(code, msg);
            logError(s, code, msg);
        };
    }
    TSessionEnd Run() { return CheckAccount(Pop, List, [this](const std::string& l) { Log.push_back(l); }); }
    std::vector<std::string> Addresses() {
        std::vector<std::string> a;
        for (int i = 0; i < List.Count(); ++i) a.push_back(List.Items(i).FromEmailAddress);
        return a;
    }
};

// What the sender address must be for a generated From value: the bracketed
// address when the (unfolded) value ends with ">", else the whole value.
std::string ExpectedAddress(const std::map<std::string, std::string>& m) {
    std::string raw;
    const std::string& folded = m.at("from_raw");
    for (size_t i = 0; i < folded.size(); ++i) {
        if (folded[i] == '\n') {
            while (i + 1 < folded.size() && (folded[i + 1] == ' ' || folded[i + 1] == '\t')) ++i;
            continue;
        }
        raw += folded[i];
    }
    return !raw.empty() && raw.back() == '>' ? m.at("from_addr") : raw;
}

TEST(Dovecot, GeneratedMailboxGivesOneMessagePerMailInOrder) {
    TSession s("alice", "secret");
    ASSERT_EQ(s.Run(), TSessionEnd::Completed);
    auto manifest = Server->Manifest("alice");
    ASSERT_EQ(manifest.size(), static_cast<size_t>(kGenerated));
    ASSERT_EQ(s.List.Count(), kGenerated);
    for (int i = 0; i < kGenerated; ++i) {
        SCOPED_TRACE("message " + std::to_string(i + 1) + ": " + manifest[i].at("from_raw"));
        const TVekMsg& m = s.List.Items(i);
        EXPECT_EQ(m.MessageId, manifest[i].at("message_id"));
        EXPECT_EQ(m.FromEmailAddress, ExpectedAddress(manifest[i]));
        EXPECT_EQ(m.Size, std::stoi(manifest[i].at("size")));
    }
    EXPECT_EQ(s.Log, (std::vector<std::string>{"Connect to Server 127.0.0.1 at T",
                                               "You have " + std::to_string(kGenerated) + " mail(s).",
                                               "Quit from to Server 127.0.0.1 at T", "EMAIL PROCESS OK."}));
    EXPECT_FALSE(s.Pop.LastSupported) << "dovecot refuses LAST";
    EXPECT_TRUE(s.Errors.empty());
}

TEST(Dovecot, HandMadeMailboxGivesTheSenderAddresses) {
    TSession s("bob", "correct horse");
    ASSERT_EQ(s.Run(), TSessionEnd::Completed);
    EXPECT_EQ(s.Addresses(),
              (std::vector<std::string>{"john.doe@example.com", "ved: from mx.example.org by pop.example.org", "Smith",
                                        "joerg@example.de", "erin@example.com (Erin Comment)",
                                        "folded.sender@example.net"}));
    ASSERT_EQ(s.List.Count(), 6);
    EXPECT_EQ(s.List.Items(0).From, "\"Doe, John\" <john.doe@example.com>");
    EXPECT_EQ(s.List.Items(2).Subject, "Semicolon");
    EXPECT_EQ(s.List.Items(3).From, "J\xF6rg M\xFCller <joerg@example.de>");
    EXPECT_EQ(s.List.Items(3).Subject, "Gr\xFC\xDF" "e");
    EXPECT_EQ(s.List.Items(4).Subject, "Foldedsubject line");
}

TEST(Dovecot, KitSampleMessages) {
    TSession s("carol", "p:w d!");
    ASSERT_EQ(s.Run(), TSessionEnd::Completed);
    EXPECT_EQ(s.Addresses(), (std::vector<std::string>{"crlf@example.com", "nolf@example.com", "j@example.de"}));
    ASSERT_EQ(s.List.Count(), 3);
    EXPECT_EQ(s.List.Items(1).Subject, "no final newline");
    EXPECT_EQ(s.List.Items(2).Subject, "Gr\xFC\xDF" "e");
}

TEST(Dovecot, RefusedPasswordGivesCode2001WithTheServerText) {
    TSession s("alice", "wrong");
    EXPECT_EQ(s.Run(), TSessionEnd::LoginRefused);
    EXPECT_EQ(s.Errors, (std::vector<std::pair<int, std::string>>{{2001, "[AUTH] Authentication failed."}}));
    EXPECT_EQ(s.Log.back(), "Unauthorized access...");
    EXPECT_EQ(s.List.Count(), 0);
    EXPECT_FALSE(s.Pop.Connected);
}

TEST(Dovecot, EmptyMailbox) {
    TSession s("dave", "pw");
    ASSERT_EQ(s.Run(), TSessionEnd::Completed);
    EXPECT_EQ(s.List.Count(), 0);
    EXPECT_EQ(s.Log[1], "You have 0 mail(s).");
    EXPECT_EQ(s.Log.back(), "EMAIL PROCESS OK.");
}

TEST(Dovecot, MessageAddedBetweenTwoSessionsIsListedLast) {
    TSession first("erin", "pw");
    ASSERT_EQ(first.Run(), TSessionEnd::Completed);
    ASSERT_EQ(first.List.Count(), 2);

    Server->Command("deliver", {"erin", MB_MAIL_FIXTURES "/handmade/01-quoted-comma.eml"});

    TSession second("erin", "pw");
    ASSERT_EQ(second.Run(), TSessionEnd::Completed);
    ASSERT_EQ(second.List.Count(), 3);
    EXPECT_EQ(second.List.Items(0).MessageId, first.List.Items(0).MessageId);
    EXPECT_EQ(second.List.Items(1).MessageId, first.List.Items(1).MessageId);
    EXPECT_EQ(second.List.Items(2).FromEmailAddress, "john.doe@example.com");
}

TEST(Dovecot, OneComponentRunsSessionAfterSession) {
    TSession s("carol", "p:w d!");
    ASSERT_EQ(s.Run(), TSessionEnd::Completed);
    s.Pop.UserId = "alice";
    s.Pop.UserPasswd = "wrong";
    EXPECT_EQ(s.Run(), TSessionEnd::LoginRefused);
    s.Pop.UserPasswd = "secret";
    ASSERT_EQ(s.Run(), TSessionEnd::Completed);
    EXPECT_EQ(s.List.Count(), kGenerated);
}

}  // namespace

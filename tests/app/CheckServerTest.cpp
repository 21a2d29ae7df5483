// Checks against a real POP3 server (dovecot on loopback).
#include "AppFixture.h"
#include "Pop3Server.h"
#include "app/EmNotifyForm.h"
#include "mail/VekPOP3.h"

namespace {

class ServerCheckTest : public AppTest {
protected:
    void StartWith(uint8_t options, const std::vector<TAccount>& accounts, const std::vector<std::string>& filters = {}) {
        SetClock({2026, 12, 11, 10, 0, 0, 0});
        TAppSettings s;
        s.OptionFlags() = options;
        s.SetLanCheckMinutes(5);
        s.SetWaveFileName("bell.wav");
        s.SetTuneNumber(4);
        WriteSettings(s, accounts, filters);
        Start();
        OpenLog();
        DeviceLog.clear();
    }
    std::vector<std::string> Senders() const {
        std::vector<std::string> r;
        for (int i = 0; i < NotifyHolder.Count(); ++i)
            r.push_back(NotifyHolder.Get(i).FromAddress() + " @ " + NotifyHolder.Get(i).PopServer());
        return r;
    }
};

TEST_F(ServerCheckTest, TracedCheckOfTwoAccountsTheSecondRefused) {
    TPop3Server server({"alice:secret", "bob:correct horse"});
    server.Deliver("alice", "Alice Example <alice@example.org>");
    server.Deliver("alice", "\"Doe, John\" <john@example.net>");
    server.Deny("bob");
    StartWith(ofNotifyWindow, {{server.Server(), "alice", "secret"}, {server.Server(), "bob", "correct horse"}});
    form->CheckMail();
    const std::string at = " at 10:00:00";
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "Connect to Server 127.0.0.1" + at,
                         "You have 2 mail(s).",
                         "Quit from to Server 127.0.0.1" + at,
                         "EMAIL PROCESS OK.",
                         "",
                         "Connect to Server 127.0.0.1" + at,
                         "Quit from to Server 127.0.0.1" + at,
                         "!! Server Error",
                         " ErrorCode : 2001",
                         " ErrorMsg  : [AUTH] Authentication failed.",
                         "Unauthorized access...",
                         "",
                     }));
    EXPECT_EQ(Senders(), (std::vector<std::string>{"alice@example.org @ " + server.Server(),
                                                   "john@example.net @ " + server.Server()}));
    EXPECT_EQ(NotifyHolder.Get(0).WaveFileName(), "bell.wav");  // without the filter: the settings' values
    EXPECT_EQ(NotifyHolder.Get(0).TuneNumber(), 4);
    ASSERT_NE(EmNotifyForm, nullptr);
    EXPECT_EQ(EmNotifyForm->Label1->Caption(), "You have 2 mail(s)");
    EXPECT_EQ(CheckRunning, 0);
}

TEST_F(ServerCheckTest, SenderFilterTakesTheFilterValues) {
    TPop3Server server({"alice:secret"});
    server.Deliver("alice", "Alice <Alice@Example.org>");
    server.Deliver("alice", "bob@example.org (Bob)");  // an address with a comment stays whole
    server.Deliver("alice", "carol@example.org");
    StartWith(ofSenderFilter, {{server.Server(), "alice", "secret"}},
              {"someone@else.org", "alice@example.ORG", "bob@example.org (Bob)"});
    FilterHolder.Get(1).SetWaveFileName("alice.wav");
    FilterHolder.Get(1).SetTuneNumber(6);
    form->CheckMail();
    EXPECT_EQ(Senders(), (std::vector<std::string>{"Alice@Example.org @ " + server.Server(),
                                                   "bob@example.org (Bob) @ " + server.Server()}));
    EXPECT_EQ(NotifyHolder.Get(0).WaveFileName(), "alice.wav");
    EXPECT_EQ(NotifyHolder.Get(0).TuneNumber(), 6);
    EXPECT_EQ(NotifyHolder.Get(1).WaveFileName(), "");

    FilterHolder.Clear();  // filter on, no addresses: nothing passes
    form->CheckMail();
    EXPECT_TRUE(Senders().empty());
    EXPECT_EQ(DeviceLog.back(), "StopAll");
}

TEST_F(ServerCheckTest, ServerDownDoesNotStopTheOtherAccounts) {
    TPop3Server server({"alice:secret"});
    server.Deliver("alice", "x@example.org");
    StartWith(0, {{"127.0.0.1:1", "u", "p"}, {server.Server(), "alice", "secret"}});
    form->CheckMail();
    std::vector<std::string> log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "Connect failed. Maybe the server is down or not responding.");
    EXPECT_EQ(log[1], "");
    EXPECT_EQ(Senders(), std::vector<std::string>{"x@example.org @ " + server.Server()});
}

TEST_F(ServerCheckTest, MailAddedAndRemovedStartsRestartsAndStops) {
    TPop3Server server({"alice:secret"});
    StartWith(ofLightLed | ofNotifyWindow, {{server.Server(), "alice", "secret"}});
    form->CheckMail();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"StopAll"});
    EXPECT_EQ(EmNotifyForm, nullptr);
    server.Deliver("alice", "a@example.org");
    form->CheckMail();
    server.Deliver("alice", "b@example.org");
    form->CheckMail();
    ASSERT_NE(EmNotifyForm, nullptr);
    EXPECT_EQ(EmNotifyForm->ListView1->Count(), 2);
    EXPECT_EQ(DeviceLog, (std::vector<std::string>{"StopAll", "LedOn", "LedOn"}));
    server.Clear("alice");
    form->CheckMail();
    EXPECT_EQ(EmNotifyForm, nullptr);
    EXPECT_EQ(DeviceLog.back(), "StopAll");
}

TEST_F(ServerCheckTest, ApplyDuringTheSecondOfThreeAccountsStopsAfterIt) {
    TPop3Server server({"alice:secret", "bob:pw", "carol:pw"});
    for (const char* u : {"alice", "bob", "carol"}) server.Deliver(u, std::string(u) + "@example.org");
    StartWith(ofPeriodicCheck | ofLightLed,
              {{server.Server(), "alice", "secret"}, {server.Server(), "bob", "pw"}, {server.Server(), "carol", "pw"}});
    WorkSettings = AppSettings;
    WorkSettings.SetLanCheckMinutes(9);
    WorkAccountHolder.CopyFrom(AccountHolder);
    int connects = 0;
    auto logConnect = form->VekPOP1->OnConnect;
    form->VekPOP1->OnConnect = [&](void* sender) {
        logConnect(sender);
        if (++connects == 2) {  // the dialog's Apply, handled while the session waits
            SettingsPending = 1;
            ui.PostMessage(form->Handle(), WM_SETTINGCHANGED, 0, 0);
        }
    };
    form->CheckMail();
    std::vector<std::string> log = Log();
    EXPECT_EQ(connects, 2);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "");
    EXPECT_EQ(log.back(), "Update Data, E-Mail Process abort.");
    EXPECT_TRUE(DeviceLog.empty());  // the notification is neither started nor stopped
    EXPECT_EQ(Senders().size(), 1u);  // the second account stops before its messages become notices
    EXPECT_EQ(AppSettings.LanCheckMinutes(), 5);
    Advance(600);  // the adoption timer after the check
    EXPECT_EQ(AppSettings.LanCheckMinutes(), 9);
    EXPECT_EQ(SettingsPending, 0);
    EXPECT_EQ(form->AHMScheduler1->TriggerTime, "10:09:00");
}

TEST_F(ServerCheckTest, SchedulerTriggerDuringACheckOnlyReschedules) {
    TPop3Server server({"alice:secret"});
    StartWith(ofPeriodicCheck, {{server.Server(), "alice", "secret"}});
    ASSERT_EQ(form->AHMScheduler1->TriggerTime, "10:05:00");
    bool once = false;
    auto logConnect = form->VekPOP1->OnConnect;
    form->VekPOP1->OnConnect = [&](void* sender) {
        logConnect(sender);
        if (!once) {
            once = true;
            Advance(5 * 60 * 1000 + 300);  // the trigger time passes while the session runs
        }
    };
    form->CheckEMailnow1Click();
    EXPECT_EQ(form->AHMScheduler1->TriggerTime, "10:10:00");
    std::vector<std::string> log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Connect to Server 127.0.0.1 at 10:00:00"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), " Next check time : 10:10:00"), 2);  // trigger, then "now"
}

}  // namespace

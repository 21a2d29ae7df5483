// The check cycle without mail: scheduling on a fake clock, the guards, the
// network preparation and the sender filter.
#include "AppFixture.h"
#include "dialup/RasDialer.h"
#include "mail/VekPOP3.h"

namespace {

TAppSettings Lan(uint8_t options, int minutes = 5) {
    TAppSettings s;
    s.OptionFlags() = options;
    s.SetLanCheckMinutes(minutes);
    return s;
}

// A server nobody listens on: the session fails at once.
const TAccount kDown{"127.0.0.1:1", "u", "p"};

class CheckTest : public AppTest {
protected:
    void StartAt(const TAppSettings& s, const std::vector<TAccount>& accounts, int h, int m, int sec) {
        SetClock({2026, 12, 11, h, m, sec, 0});
        WriteSettings(s, accounts);
        Start();
        OpenLog();
    }
};

TEST_F(CheckTest, NextCheckTimeFollowsTheIntervalKind) {
    struct Case {
        uint8_t kind;
        int lanMinutes, hours, minutes;
        bool active;
        const char* trigger;
    } cases[] = {
        {0, 5, 0, 0, true, "11:03:30"},   // 10:58:30 + 5 min
        {1, 5, 2, 10, true, "13:08:30"},  // hours and minutes
        {1, 5, 24, 0, true, "10:58:30"},  // a whole day: the same time of day
        {1, 5, 25, 0, true, "11:58:30"},  // 25 h fire after one hour
        {0, 0, 0, 0, true, "10:58:30"},   // an interval of 0: the next day at this time
        {2, 5, 1, 0, false, "old"},       // another kind: stays inactive, the text stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trigger);
        TAppSettings s = Lan(ofPeriodicCheck, c.lanMinutes);
        s.IntervalKind() = c.kind;
        s.SetDialCheckHours(c.hours);
        s.SetDialCheckMinutes(c.minutes);
        StartAt(s, {kDown}, 10, 58, 30);
        form->AHMScheduler1->TriggerTime = "old";
        form->ScheduleNextCheck();
        EXPECT_EQ(form->AHMScheduler1->Active(), c.active);
        EXPECT_EQ(form->AHMScheduler1->TriggerTime, c.trigger);
        EXPECT_EQ(Log(), (std::vector<std::string>{"", std::string(" Next check time : ") + c.trigger}));
        delete form;
        ui.ProcessMessages();
    }
}

TEST_F(CheckTest, CheckingOffOrNoAccountSchedulesNothingAndLogsNothing) {
    StartAt(Lan(0), {kDown}, 10, 0, 0);
    form->ScheduleNextCheck();
    EXPECT_FALSE(form->AHMScheduler1->Active());
    AccountHolder.Clear();
    AppSettings.OptionFlags() = ofPeriodicCheck;
    form->ScheduleNextCheck();
    EXPECT_FALSE(form->AHMScheduler1->Active());
    EXPECT_TRUE(Log().empty());
}

TEST_F(CheckTest, SchedulerFiresOnceAtTheTimeAndReschedules) {
    StartAt(Lan(ofPeriodicCheck, 1), {kDown}, 10, 0, 0);
    Dispatch();  // the start-up check
    ASSERT_EQ(form->AHMScheduler1->TriggerTime, "10:01:00");
    Advance(59 * 1000);
    EXPECT_EQ(form->AHMScheduler1->TriggerTime, "10:01:00");
    Advance(2000);  // 10:01:01: fired once at 10:01:00
    EXPECT_EQ(form->AHMScheduler1->TriggerTime, "10:02:00");
    std::vector<std::string> log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Connect failed. Maybe the server is down or not responding."), 1);
    EXPECT_EQ(log.back(), " Next check time : 10:02:00");
}

TEST_F(CheckTest, CheckOnDemandLeavesTheScheduleAlone) {
    StartAt(Lan(ofPeriodicCheck, 5), {kDown}, 10, 0, 0);
    Advance(60 * 1000);
    form->CheckEMailnow1Click();
    EXPECT_EQ(form->AHMScheduler1->TriggerTime, "10:05:00");
    EXPECT_EQ(Log(), (std::vector<std::string>{"Connect failed. Maybe the server is down or not responding.", "", "",
                                               " Next check time : 10:05:00"}));
}

TEST_F(CheckTest, GuardsEndTheCheckSilently) {
    StartAt(Lan(0), {kDown}, 10, 0, 0);
    LogLine("kept");
    CheckRunning = 1;
    form->CheckMail();
    EXPECT_EQ(Log(), std::vector<std::string>{"kept"});
    CheckRunning = 0;
    DevicePresent = 0;
    form->CheckMail();
    EXPECT_EQ(Log(), std::vector<std::string>{"kept"});
    DevicePresent = 1;
    form->CheckMail();
    EXPECT_EQ(Log(), (std::vector<std::string>{"Connect failed. Maybe the server is down or not responding.", ""}));
    EXPECT_EQ(CheckRunning, 0);
}

TEST_F(CheckTest, StartCheckRunsEvenWithPeriodicCheckingOff) {
    StartAt(Lan(0), {kDown}, 10, 0, 0);
    Dispatch();
    EXPECT_EQ(Log(), (std::vector<std::string>{"Connect failed. Maybe the server is down or not responding.", ""}));
}

TEST_F(CheckTest, FailedChecksStopTheNotification) {
    StartAt(Lan(0), {kDown, kDown}, 10, 0, 0);
    DeviceLog.clear();
    form->CheckMail();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"StopAll"});
}

class TFakeDialer : public TRasDialClass {
public:
    bool SelectEntry(const std::string&) override { return true; }
    bool Dial(int attempts) override {
        Attempts = attempts;
        dialled_ = Succeeds && !AlreadyUp;
        return Succeeds;
    }
    bool Connected() const override { return dialled_; }
    void HangUp() override {
        ++HangUps;
        dialled_ = false;
    }
    bool Succeeds = true, AlreadyUp = false;
    int Attempts = 0, HangUps = 0;

private:
    bool dialled_ = false;
};

TEST_F(CheckTest, DialUpLinesAndHangUp) {
    struct Case {
        bool succeeds, alreadyUp;
        std::vector<std::string> log;
        int hangUps;
    } cases[] = {
        {true, false,
         {" Dial-Up....", " Dial-Up ok.", "Connect failed. Maybe the server is down or not responding.", "",
          "Hang-Up...."},
         1},
        {true, true,
         {" Dial-Up....", " Dial-Up ok.", "Connect failed. Maybe the server is down or not responding.", ""},
         0},
        {false, false, {" Dial-Up....", " Dial-Up Fail.", " E-Mail check abort."}, 0},
    };
    for (const auto& c : cases) {
        auto* dialer = new TFakeDialer;
        dialer->Succeeds = c.succeeds;
        dialer->AlreadyUp = c.alreadyUp;
        RasDialer.reset(dialer);
        TAppSettings s = Lan(0);
        s.ModelFlags() = mfDialUp;
        s.ConnectionType() = ctDialUp;
        s.SetRedialCount(2);
        StartAt(s, {kDown}, 10, 0, 0);
        AppSettings.ConnectionType() = ctDialUp;  // the phone book of this test has no entries
        NotifyHolder.New();                       // a failed dial keeps the notices
        form->CheckMail();
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(dialer->Attempts, 3);
        EXPECT_EQ(dialer->HangUps, c.hangUps);
        EXPECT_EQ(NotifyHolder.Count(), c.succeeds ? 0 : 1);
        delete form;
        ui.ProcessMessages();
    }
    RasDialer.reset();
}

TEST_F(CheckTest, OnlineProbeRestoresEnableAutodialAndSkipsTheDial) {
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    sys.Registry.SetValue(platform::TRegRoot::CurrentUser, key, "EnableAutodial",
                          {platform::kRegDword, {1, 0, 0, 0}});
    auto* dialer = new TFakeDialer;
    RasDialer.reset(dialer);
    TAppSettings s = Lan(0);
    s.ModelFlags() = mfDialUp;
    s.DialMode() = dmDialWhenOffline;
    StartAt(s, {kDown}, 10, 0, 0);
    AppSettings.ConnectionType() = ctDialUp;
    form->ProbeHost = "127.0.0.1";
    form->ProbePort = 1;  // nobody listens: off-line, so it dials
    EXPECT_FALSE(form->IsOnline());
    platform::TRegValue v;
    ASSERT_EQ(sys.Registry.ReadValue(platform::TRegRoot::CurrentUser, key, "EnableAutodial", v),
              platform::TRegStatus::Ok);
    EXPECT_EQ(v.Data, (std::vector<uint8_t>{1, 0, 0, 0}));
    form->CheckMail();
    EXPECT_EQ(Log().front(), " Dial-Up....");
    RasDialer.reset();
}

TEST_F(CheckTest, FindFilterComparesWholeTextsWithoutCase) {
    StartAt(Lan(ofSenderFilter), {kDown}, 10, 0, 0);
    for (const char* a : {"Alice@Example.org", "bob@example.org", "alice@example.org", ""}) {
        TFilterData f = FilterHolder.New();
        f.SetAddress(a);
    }
    EXPECT_EQ(form->FindFilter("ALICE@example.ORG"), 0);  // the first of two equal ones
    EXPECT_EQ(form->FindFilter("bob@example.org "), -1);  // a trailing blank more
    EXPECT_EQ(form->FindFilter("Bob <bob@example.org>"), -1);
    EXPECT_EQ(form->FindFilter(""), 3);
    EXPECT_EQ(form->FindFilter("\xC9ve@example.org"), -1);
    FilterHolder.Get(1).SetAddress("\xC9ve@example.org");
    EXPECT_EQ(form->FindFilter("\xE9VE@example.org"), 1);  // the ANSI letters too
}

TEST(PopServerText, HostAndPort) {
    struct Case {
        const char* text;
        const char* host;
        const char* port;
    } cases[] = {
        {"pop.example.org", "pop.example.org", "110"}, {"pop.example.org:995", "pop.example.org", "995"},
        {"127.0.0.1:11110", "127.0.0.1", "11110"},    {"[::1]:2110", "::1", "2110"},
        {"::1", "::1", "110"},                         {"host:", "host:", "110"},
        {"host:pop", "host:pop", "110"},               {"[::1]", "[::1]", "110"},
        {":110", ":110", "110"},                        {"host:1234567", "host:1234567", "110"},
    };
    for (const auto& c : cases) {
        std::string h, p;
        SplitPopServer(c.text, "110", h, p);
        EXPECT_EQ(h, c.host) << c.text;
        EXPECT_EQ(p, c.port) << c.text;
    }
}

}  // namespace

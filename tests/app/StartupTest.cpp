// Start-up, the tray menu, the log window and the adoption of changed settings.
#include <fstream>

#include "AppFixture.h"
#include "app/DebugMsgForm.h"
#include "app/Program.h"
#include "app/SettingForm.h"
#include "config/AccountForms.h"
#include "mail/VekPOP3.h"

namespace {

TAppSettings Model(uint8_t modelFlags, uint8_t optionFlags = 0) {
    TAppSettings s;
    s.ModelFlags() = modelFlags;
    s.OptionFlags() = optionFlags;
    s.SetLanCheckMinutes(5);
    return s;
}

TEST_F(AppTest, StartupRunsItsStepsInOrder) {
    WriteSettings(Model(mfMiddleKey, ofMiddleFunction | ofPeriodicCheck), {{"pop.example.org", "alice", "pw"}});
    TMAILBELLForm& f = Start();
    EXPECT_FALSE(app.ShowMainForm);
    EXPECT_FALSE(f.Visible());
    EXPECT_EQ(f.Caption(), "MAILBELLForm");
    EXPECT_EQ(f.WindowClassName, "TMAILBELLForm");
    EXPECT_TRUE(f.RxTrayIcon1->Active());
    EXPECT_EQ(ResFolder, (dir / "").string() + "RES\\");
    EXPECT_EQ(SettingsFileName, (dir / "MAILBELL.dat").string());
    EXPECT_EQ(AccountHolder.Count(), 1);
    EXPECT_TRUE(DevicePresent);  // a PS/2 model is always there
    ASSERT_TRUE(Ps2Device);
    EXPECT_FALSE(UsbDevice);
    EXPECT_EQ(hookCalls, (std::vector<std::string>{"InstallHook(-1)", "SetAppWindows(main)", "EnableMiddle(-1)"}));
    EXPECT_TRUE(f.AHMScheduler1->Active());
    EXPECT_EQ(f.AHMScheduler1->TriggerTime, "09:05:00");  // the fake clock starts at 09:00:00
    EXPECT_EQ(ui.PendingMessages(), 1u);                  // WM_STARTCHECK, handled by the loop
    EXPECT_EQ(f.Setting1->Caption, "&Setting");
    EXPECT_TRUE(f.Setting1->Default);
    std::vector<std::string> captions;
    for (TMenuItem* i : f.PopupMenu1->Items) captions.push_back(i->Caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"&Setting", "Check E-Mail now", "&Show process message", "-",
                                                  "&Exit"}));
}

TEST_F(AppTest, UsbModelFollowsItsDeviceAndMiddleKeyOffIsPassedOn) {
    WriteSettings(Model(mfUsbMouse | mfMiddleKey));
    Start();
    ASSERT_NE(usb, nullptr);
    EXPECT_TRUE(DevicePresent);
    EXPECT_EQ(hookCalls.back(), "EnableMiddle(0)");
    usb->Change(0);
    EXPECT_FALSE(DevicePresent);
}

TEST_F(AppTest, ModelWithoutMiddleKeyNeverTouchesTheHookLibrary) {
    WriteSettings(Model(0, ofMiddleFunction));
    TMAILBELLForm& f = Start();
    f.Close();
    EXPECT_TRUE(hookCalls.empty());
}

TEST_F(AppTest, UnloadableSettingsEndTheStartWithTheFixedMessage) {
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> make;
    } cases[] = {
        {"missing", [](const std::filesystem::path&) {}},
        {"10 bytes", [](const std::filesystem::path& p) { std::ofstream(p) << "0123456789"; }},
        {"damaged block",
         [this](const std::filesystem::path& p) {
             WriteSettings(Model(0), {{"a", "b", "c"}});
             std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(24 + 6);
             f.put('\x7f');
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir / "MAILBELL.dat");
        c.make(dir / "MAILBELL.dat");
        ui.MessageBoxes.clear();
        try {
            Start();
            ADD_FAILURE() << "the start went on";
        } catch (const EStartupAbort& a) {
            EXPECT_EQ(a.ExitCode, 1);
        }
        ASSERT_EQ(ui.MessageBoxes.size(), 1u);
        EXPECT_EQ(ui.MessageBoxes[0].Text,
                  "File MAILBELL.DAT Not found or is cracked.\r\nPlease reinstall application.");
        EXPECT_EQ(MAILBELLForm, nullptr);
        EXPECT_TRUE(hookCalls.empty());
        EXPECT_EQ(ui.PendingMessages(), 0u);  // no first check
    }
}

TEST_F(AppTest, FirstRunWizardAddsTheAccountAndSaves) {
    WriteSettings(Model(0, ofPeriodicCheck), {}, {}, 1);
    ui.ExpectModal([](TForm& f) {
        auto& w = static_cast<TNewAcountForm&>(f);
        EXPECT_FALSE(MAILBELLForm->RxTrayIcon1->Enabled());  // the tray ignores the mouse meanwhile
        w.popnameEdit->UserType("pop.example.org");
        w.NextButton->UserClick();
        w.UserNameEdit->UserType("alice");
        w.PasswordEdit->UserType(std::string(300, 'p'));
        w.NextButton->UserClick();
        w.FinishButton->UserClick();
    });
    TMAILBELLForm& f = Start();
    EXPECT_TRUE(f.RxTrayIcon1->Enabled());
    auto saved = Saved();
    EXPECT_EQ(saved->Header.FirstRun(), 0);
    ASSERT_EQ(saved->Accounts.Count(), 1);
    EXPECT_EQ(saved->Accounts.Get(0).PopServer(), "pop.example.org");
    EXPECT_EQ(saved->Accounts.Get(0).Password(), std::string(255, 'p'));
    EXPECT_EQ(saved->Accounts.Get(0).ReservedFlag(), 1);
    EXPECT_TRUE(f.AHMScheduler1->Active());
}

TEST_F(AppTest, CancelledFirstRunSavesWithoutAccountAndSchedulesNothing) {
    WriteSettings(Model(0, ofPeriodicCheck), {}, {}, 1);
    ui.ExpectModal([](TForm& f) { static_cast<TNewAcountForm&>(f).CancelButton->UserClick(); });
    TMAILBELLForm& f = Start();
    auto saved = Saved();
    EXPECT_EQ(saved->Header.FirstRun(), 0);
    EXPECT_EQ(saved->Accounts.Count(), 0);
    EXPECT_FALSE(f.AHMScheduler1->Active());
    OpenLog();
    Dispatch();  // the first check finds no account
    EXPECT_TRUE(Log().empty());
}

TEST_F(AppTest, LogLineRules) {
    WriteSettings(Model(0));
    TMAILBELLForm& f = Start();
    LogLine("dropped while closed");
    f.Showprocessmessage1Click();
    ASSERT_NE(DebugMsgForm, nullptr);
    EXPECT_EQ(DebugMsgForm->Caption(), "Messages");
    EXPECT_EQ(DebugMsgForm->ClientWidth(), 406);
    EXPECT_EQ(DebugMsgForm->ClientHeight(), 255);
    EXPECT_EQ(Log(), std::vector<std::string>{""});  // starts with one empty line
    LogLine("c");
    EXPECT_TRUE(Log().empty());
    LogLine("C");
    LogLine("c ");
    LogLine("");
    EXPECT_EQ(Log(), (std::vector<std::string>{"C", "c ", ""}));
}

TEST_F(AppTest, ShowProcessMessageToggleFollowsTheWindow) {
    WriteSettings(Model(0));
    TMAILBELLForm& f = Start();
    f.PopupMenu1->Popup(0, 0);
    EXPECT_FALSE(f.Showprocessmessage1->Checked);
    f.Showprocessmessage1->UserClick();
    ASSERT_NE(DebugMsgForm, nullptr);
    f.Showprocessmessage1->UserClick();  // closes it
    EXPECT_EQ(DebugMsgForm, nullptr);
    Dispatch();
    f.Showprocessmessage1->UserClick();
    DebugMsgForm->UserCloseBox();
    EXPECT_EQ(DebugMsgForm, nullptr);
    Dispatch();  // the window is freed after its message
    f.PopupMenu1->Popup(0, 0);
    EXPECT_FALSE(f.Showprocessmessage1->Checked);
}

TEST_F(AppTest, CheckNowIsEnabledOnlyWithAccountsAndNoCheckRunning) {
    WriteSettings(Model(0), {{"h", "u", "p"}});
    TMAILBELLForm& f = Start();
    f.PopupMenu1Popup();
    EXPECT_TRUE(f.CheckEMailnow1->Enabled);
    CheckRunning = 1;
    f.PopupMenu1Popup();
    EXPECT_FALSE(f.CheckEMailnow1->Enabled);
    CheckRunning = 0;
    AccountHolder.Clear();
    f.PopupMenu1Popup();
    EXPECT_FALSE(f.CheckEMailnow1->Enabled);
}

TEST_F(AppTest, TrayDoubleClickRunsTheDefaultItemUnlessDisabled) {
    WriteSettings(Model(0));
    TMAILBELLForm& f = Start();
    f.RxTrayIcon1->SetEnabled(false);
    f.RxTrayIcon1->UserDoubleClick();
    EXPECT_EQ(SettingForm, nullptr);
    f.RxTrayIcon1->SetEnabled(true);
    f.RxTrayIcon1->UserDoubleClick();
    EXPECT_NE(SettingForm, nullptr);
}

TEST_F(AppTest, ShowSettingCopiesTheWorkingDataOnlyWhenTheDialogOpens) {
    WriteSettings(Model(0, ofPeriodicCheck), {{"127.0.0.1:1", "u1", "p1"}}, {"a@b"});
    TMAILBELLForm& f = Start();
    ui.PostMessage(f.Handle(), WM_SHOWSETTING, 0, 0);
    Dispatch();
    ASSERT_NE(SettingForm, nullptr);
    EXPECT_TRUE(SettingForm->Visible());
    EXPECT_EQ(WorkAccountHolder.Count(), 1);
    EXPECT_EQ(WorkFilterHolder.Count(), 1);
    EXPECT_EQ(WorkSettings.OptionFlags(), ofPeriodicCheck);
    EXPECT_EQ(SettingForm->Caption(), "E-Mail mouse Korvana PS/2 driver settings V1.20");
    TSettingForm* first = SettingForm;

    WorkSettings.OptionFlags() = 0;  // an edit in the open dialog
    ui.PostMessage(f.Handle(), WM_SHOWSETTING, 0, 0);
    Dispatch();
    EXPECT_EQ(SettingForm, first);  // neither refilled nor recreated
    EXPECT_EQ(WorkSettings.OptionFlags(), 0);
    EXPECT_EQ(ui.broughtToFront, 2);
}

TEST_F(AppTest, ApplyWithoutCheckAdoptsSavesAndReschedules) {
    WriteSettings(Model(0, ofPeriodicCheck), {{"127.0.0.1:1", "u1", "p1"}});
    TMAILBELLForm& f = Start();
    Dispatch();
    f.Setting1Click();
    WorkSettings.SetLanCheckMinutes(10);
    WorkAccountHolder.Clear();
    FillAccountRecord(WorkAccountHolder.New(), "h2", "u2", "p2");
    SettingForm->ApplyButton->SetEnabled(true);
    SettingForm->ApplyButton->UserClick();
    EXPECT_EQ(SettingsPending, 1);
    Dispatch();
    EXPECT_EQ(SettingsPending, 0);
    EXPECT_EQ(AppSettings.LanCheckMinutes(), 10);
    EXPECT_EQ(AccountHolder.Get(0).PopServer(), "h2");
    EXPECT_EQ(f.AHMScheduler1->TriggerTime, "09:10:00");
    auto saved = Saved();
    EXPECT_EQ(saved->Settings.LanCheckMinutes(), 10);
    EXPECT_EQ(saved->Accounts.Get(0).UserName(), "u2");
}

TEST_F(AppTest, ApplyDuringACheckIsAdoptedByTheTimerAfterIt) {
    WriteSettings(Model(0, ofPeriodicCheck), {{"127.0.0.1:1", "u1", "p1"}});
    TMAILBELLForm& f = Start();
    WorkSettings = AppSettings;
    WorkSettings.SetLanCheckMinutes(7);
    WorkAccountHolder.CopyFrom(AccountHolder);
    CheckRunning = 1;
    SettingsPending = 1;
    ui.PostMessage(f.Handle(), WM_SETTINGCHANGED, 0, 0);
    ui.ProcessMessages();
    EXPECT_TRUE(f.VekPOP1->AbortRequested);
    EXPECT_TRUE(f.AppDataUpdateTimer->Enabled());
    Advance(1500);
    EXPECT_EQ(AppSettings.LanCheckMinutes(), 5);  // not while the check runs
    CheckRunning = 0;
    Advance(500);
    EXPECT_EQ(AppSettings.LanCheckMinutes(), 7);
    EXPECT_EQ(SettingsPending, 0);
    EXPECT_FALSE(f.AppDataUpdateTimer->Enabled());
    EXPECT_EQ(f.AHMScheduler1->TriggerTime, "09:07:02");
}

TEST_F(AppTest, DialUpWithoutPhoneBookFallsBackToLanWithoutSaving) {
    TAppSettings s = Model(mfDialUp);
    s.ConnectionType() = ctDialUp;
    s.SetDialEntryName("gone");
    WriteSettings(s);
    Start();
    EXPECT_EQ(AppSettings.ConnectionType(), ctLan);
    auto saved = Saved();
    EXPECT_EQ(saved->Settings.ConnectionType(), ctDialUp);
}

TEST_F(AppTest, ExitStopsTheSoundAndRemovesTheHook) {
    WriteSettings(Model(mfMiddleKey));
    TMAILBELLForm& f = Start();
    hookCalls.clear();
    f.Exit1->UserClick();
    EXPECT_TRUE(ui.Terminated());
    ASSERT_FALSE(sys.Sound.Calls.empty());
    EXPECT_FALSE(sys.Sound.Calls.back().FileName.has_value());
    EXPECT_EQ(sys.Sound.Calls.back().Flags, 0x40u);
    EXPECT_EQ(hookCalls, std::vector<std::string>{"InstallHook(0)"});
    FreeDevices();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"StopAll"});
}

TEST_F(AppTest, SecondStartPostsShowSettingAndEndsWithOne) {
    platform::TMemTopWindow first("TMAILBELLForm", "MAILBELLForm");
    platform::TMemInstanceGuard firstGuard;
    ASSERT_TRUE(firstGuard.Claim("KORVA_MAIL", "TMAILBELLForm", "MAILBELLForm", WM_SHOWSETTING));
    EXPECT_EQ(RunMailbell(), 1);
    ASSERT_EQ(first.Received.size(), 1u);
    EXPECT_EQ(first.Received[0].Msg, 1124u);
    EXPECT_EQ(first.Received[0].WParam, 0u);
}

}  // namespace

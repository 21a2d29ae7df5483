// The notification channels, the notify window and the middle-key functions.
#include "AppFixture.h"
#include "app/EmNotifyForm.h"

namespace {

using platform::TRegRoot;

class NotifyTest : public AppTest {
protected:
    void StartModel(uint8_t model, uint8_t options) {
        TAppSettings s;
        s.ModelFlags() = model;
        s.OptionFlags() = options;
        s.SetTuneNumber(3);
        WriteSettings(s, {{"127.0.0.1:1", "u", "p"}});
        Start();
        Dispatch();  // the start-up check (the server is down)
        DeviceLog.clear();
        sys.Sound.Calls.clear();
    }
    void Notices(int n) {
        NotifyHolder.Clear();
        for (int i = 0; i < n; ++i) {
            TNotifyData d = NotifyHolder.New();
            d.SetFromAddress("sender" + std::to_string(i) + "@example.org");
            d.SetPopServer(i % 2 ? "pop.two.org" : "pop.one.org");
        }
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> r;
        for (int i = 0; i < EmNotifyForm->ListView1->Count(); ++i) {
            const TListItem& it = EmNotifyForm->ListView1->Item(i);
            r.push_back(it.Caption + " | " + (it.SubItems.empty() ? "" : it.SubItems[0]));
        }
        return r;
    }
};

TEST_F(NotifyTest, LedAndWindowForTwoNoticesThenThreeInTheSameWindow) {
    StartModel(0, ofLightLed | ofNotifyWindow);
    Notices(2);
    form->StartNotification();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"LedOn"});
    EXPECT_TRUE(sys.Sound.Calls.empty());
    ASSERT_NE(EmNotifyForm, nullptr);
    EXPECT_TRUE(EmNotifyForm->Visible());
    EXPECT_EQ(EmNotifyForm->Caption(), "E-Mail coming");
    EXPECT_EQ(EmNotifyForm->Label1->Caption(), "You have 2 mail(s)");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"sender0@example.org | pop.one.org",
                                                "sender1@example.org | pop.two.org"}));
    TEmNotifyForm* window = EmNotifyForm;
    Notices(3);
    form->StartNotification();
    EXPECT_EQ(EmNotifyForm, window);
    EXPECT_EQ(EmNotifyForm->Label1->Caption(), "You have 3 mail(s)");
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(DeviceLog, (std::vector<std::string>{"LedOn", "LedOn"}));
}

TEST_F(NotifyTest, StopSwitchesEverythingOff) {
    StartModel(0, ofNotifyWindow);
    Notices(1);
    form->StartNotification();
    form->StopNotification();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"StopAll"});
    ASSERT_EQ(sys.Sound.Calls.size(), 1u);
    EXPECT_EQ(sys.Sound.Calls[0].Flags, 0x40u);
    EXPECT_EQ(EmNotifyForm, nullptr);
    Dispatch();  // the window frees itself
}

TEST_F(NotifyTest, WaveFileOfTheFirstNoticeOrTheSettings) {
    StartModel(0, ofWaveFile);
    AppSettings.SetWaveFileName("C:\\bell.wav");
    Notices(2);
    form->StartNotification();  // no such file: nothing plays
    EXPECT_TRUE(sys.Sound.Calls.empty());
    sys.Files.AddFile("C:\\bell.wav");
    form->StartNotification();
    ASSERT_EQ(sys.Sound.Calls.size(), 1u);
    EXPECT_EQ(sys.Sound.Calls[0].FileName, "C:\\bell.wav");
    EXPECT_EQ(sys.Sound.Calls[0].Flags, 0x22001u);
    NotifyHolder.Get(0).SetWaveFileName("C:\\own.wav");
    sys.Files.AddFile("C:\\own.wav");
    form->StartNotification();
    EXPECT_EQ(sys.Sound.Calls.back().FileName, "C:\\own.wav");
}

TEST_F(NotifyTest, TuneCommandsByModel) {
    struct Case {
        uint8_t model;
        std::vector<std::string> log;
    } cases[] = {
        {mfUsbMouse | mfTuneChoice, {"LedOn", "StopAll", "PlayTune(3)"}},
        {mfUsbMouse, {"LedOn", "PlayTune(0)"}},
        {0, {"LedOn", "PlayTune"}},
    };
    for (const auto& c : cases) {
        StartModel(c.model, ofLightLed | ofDeviceTune);
        Notices(1);
        form->StartNotification();
        EXPECT_EQ(DeviceLog, c.log);
        delete form;
        FreeDevices();
    }
}

TEST_F(NotifyTest, OkStopsOnceAndTheCloseBoxOnlyCloses) {
    StartModel(0, ofLightLed | ofNotifyWindow);
    Notices(1);
    form->StartNotification();
    EmNotifyForm->UserCloseBox();
    EXPECT_EQ(EmNotifyForm, nullptr);
    Dispatch();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"LedOn"});  // LED and tune go on

    form->StartNotification();
    DeviceLog.clear();
    EmNotifyForm->Button1->UserClick();
    EXPECT_EQ(EmNotifyForm, nullptr);
    Dispatch();  // WM_STOPNOTIFY reaches the main form
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"StopAll"});
}

class MiddleKeyTest : public NotifyTest {
protected:
    void SetUp() override {
        NotifyTest::SetUp();
        StartModel(mfMiddleKey, ofMiddleFunction);
    }
    std::vector<std::string> Launched() const {
        std::vector<std::string> r;
        for (const auto& c : sys.Launcher.Calls) {
            EXPECT_EQ(c.ShowCmd, 1u);
            r.push_back(c.CommandLine);
        }
        return r;
    }
    void Middle() {
        ui.PostMessage(form->Handle(), WM_MIDDLEBUTTON, 0, 0);
        Dispatch();
    }
    void Associate(const char* ext, const char* cls, const char* command) {
        sys.Registry.SetString(TRegRoot::ClassesRoot, ext, "", cls);
        sys.Registry.SetString(TRegRoot::ClassesRoot, std::string(cls) + "\\shell\\open\\command", "", command);
    }
};

TEST_F(MiddleKeyTest, ConfiguredProgramsStartAsTheyStand) {
    AppSettings.SetEmailProgram("\"C:\\Mail Tool\\mail.exe\" /check");
    AppSettings.SetBrowserProgram("browser.exe");
    Middle();
    AppSettings.SetMiddleFunction(mfnBrowser);
    Middle();
    AppSettings.SetMiddleFunction(7);
    Middle();
    EXPECT_EQ(Launched(), (std::vector<std::string>{"\"C:\\Mail Tool\\mail.exe\" /check", "browser.exe"}));
}

TEST_F(MiddleKeyTest, DefaultProgramsFromTheRegistry) {
    struct Case {
        int32_t function;
        const char* command;
        const char* launched;
    } cases[] = {
        {mfnEmailProgram, "\"C:\\Program Files\\Mail\\mail.exe\" /eml \"%1\"", "C:\\Program Files\\Mail\\mail.exe"},
        {mfnBrowser, "C:\\web\\browse.exe %1", "C:\\web\\browse.exe"},
        {mfnBrowser, "C:\\web\\browse.exe -new", "C:\\web\\browse.exe -new"},
        {mfnEmailProgram, "\"C:\\no end quote\\mail.exe", "C:\\no end quote\\mail.exe"},
        {mfnEmailProgram, "%SystemRoot%\\mail.exe", ""},  // cut before the "%": nothing left
        {mfnBrowser, "x %1", "x"},  // the character before the one ahead of the "%"
    };
    for (const auto& c : cases) {
        sys.Launcher.Calls.clear();
        AppSettings.SetMiddleFunction(c.function);
        Associate(c.function == mfnBrowser ? ".html" : ".eml", "TheClass", c.command);
        Middle();
        if (*c.launched) EXPECT_EQ(Launched(), std::vector<std::string>{c.launched}) << c.command;
        else EXPECT_TRUE(Launched().empty()) << c.command;
    }
}

TEST_F(MiddleKeyTest, FallbackKeysAndEnvironmentExpansion) {
    sys.Environment.SetVar("ProgramFiles", "C:\\Program Files");
    sys.Registry.SetString(TRegRoot::CurrentUser,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", "",
                           "%ProgramFiles%\\Outbox\\msimn.exe", platform::kRegExpandSz);
    sys.Registry.SetString(TRegRoot::LocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", "",
                           "C:\\web\\iexplore.exe");
    // The e-mail fallback is read from the user's key, not the machine's.
    sys.Registry.SetString(TRegRoot::LocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", "", "wrong.exe");
    Middle();
    AppSettings.SetMiddleFunction(mfnBrowser);
    Middle();
    Associate(".html", "htmlfile", "\"%ProgramFiles%\\web.exe\" \"%1\"");
    Middle();
    EXPECT_EQ(Launched(), (std::vector<std::string>{"C:\\Program Files\\Outbox\\msimn.exe", "C:\\web\\iexplore.exe",
                                                    "C:\\Program Files\\web.exe"}));
}

TEST_F(MiddleKeyTest, NothingWithoutTheMouseOrWithoutAnyProgram) {
    Middle();  // no association, no fallback
    AppSettings.SetEmailProgram("mail.exe");
    DevicePresent = 0;
    Middle();
    EXPECT_TRUE(Launched().empty());
}

TEST_F(MiddleKeyTest, StopFunctionStopsTheNotification) {
    AppSettings.SetMiddleFunction(mfnStopNotify);
    Middle();
    EXPECT_EQ(DeviceLog, std::vector<std::string>{"StopAll"});
}

TEST_F(NotifyTest, UsbTrayIconFollowsTheMouse) {
    StartModel(mfUsbMouse, 0);
    EXPECT_EQ(form->RxTrayIcon1->IconFile(), "");  // no icon files: the form's own stays
    sys.Files.AddFile(ResFolder + "0.ico");
    sys.Files.AddFile(ResFolder + "1.ico");
    usb->Change(0);
    EXPECT_FALSE(DevicePresent);
    EXPECT_EQ(form->RxTrayIcon1->IconFile(), ResFolder + "1.ico");
    usb->Change(2);
    EXPECT_TRUE(DevicePresent);
    EXPECT_EQ(form->RxTrayIcon1->IconFile(), ResFolder + "0.ico");
}

}  // namespace

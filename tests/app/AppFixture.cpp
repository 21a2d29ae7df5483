#include "AppFixture.h"

#include <cmath>
#include <chrono>

#include "app/DebugMsgForm.h"
#include "base/Strings.h"
#include "config/AccountForms.h"

std::vector<std::string> DeviceLog;

static long long ClockMs(platform::TFakeClock& c) { return std::llround(c.Now() * 86400000.0); }

void AppTest::SetUp() {
    ui.Reset();
    DeviceLog.clear();
    AppSettings = TAppSettings();
    WorkSettings = TAppSettings();
    for (TRecDataStore* l : std::initializer_list<TRecDataStore*>{&AccountHolder, &WorkAccountHolder, &FilterHolder,
                                                                  &WorkFilterHolder, &NotifyHolder})
        l->Clear();
    CheckRunning = 0;
    SettingsPending = 0;
    DevicePresent = 0;

    static int serial = 0;
    dir = std::filesystem::temp_directory_path() /
          ("mbapp-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
           std::to_string(++serial));
    std::filesystem::create_directories(dir);
    AppExeName = (dir / "MAILBELL.exe").string();

    lastMs_ = ClockMs(sys.Clock);
    clockListener_ = sys.Clock.Subscribe([this] {
        long long now = ClockMs(sys.Clock);
        if (now > lastMs_) ui.AdvanceTime(static_cast<unsigned long long>(now - lastMs_));
        lastMs_ = now;
    });

    savedHook_ = HookLibrary();
    HookLibrary().InstallHook = [this](int32_t e) {
        hookCalls.push_back("InstallHook(" + std::to_string(e) + ")");
        return 0;
    };
    HookLibrary().SetAppWindows = [this](uintptr_t w) {
        hookCalls.push_back(w ? "SetAppWindows(main)" : "SetAppWindows(0)");
        return w;
    };
    HookLibrary().EnableMiddle = [this](int32_t e) {
        hookCalls.push_back("EnableMiddle(" + std::to_string(e) + ")");
        return e;
    };
    MakeUsbDevice = [this] {
        auto d = std::make_unique<TRecordingUsbDevice>();
        usb = d.get();
        return std::unique_ptr<TEmailUsbDevice>(std::move(d));
    };
    MakePs2Device = [] { return std::unique_ptr<TEmailPS2Device>(new TRecordingPs2Device); };
}

void AppTest::SetClock(const TSystemTime& t) {
    sys.Clock.Set(EncodeDateTime(t));
    lastMs_ = ClockMs(sys.Clock);
}

void AppTest::TearDown() {
    delete MAILBELLForm;
    ui.ProcessMessages();
    FreeDevices();
    sys.Clock.Unsubscribe(clockListener_);
    HookLibrary() = savedHook_;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    EXPECT_EQ(ui.PendingScripts(), 0u);
}

void AppTest::WriteSettings(const TAppSettings& s, const std::vector<TAccount>& accounts,
                            const std::vector<std::string>& filters, uint8_t firstRun) {
    TSettingsFileHeader h;
    h.FirstRun() = firstRun;
    h.SetVersion(1024);
    h.SetRecordSize(1576);
    TEMailAccountHolder a;
    for (const auto& acc : accounts) FillAccountRecord(a.New(), acc.Server, acc.User, acc.Password);
    TEmailFilterHolder f;
    for (const auto& addr : filters) {
        TFilterData r = f.New();
        r.ReservedFlag() = 1;
        r.SetAddress(addr);
    }
    WriteSettingsFile(ChangeFileExt(AppExeName, ".dat"), h, s, a, f);
}

std::unique_ptr<TSavedSettings> AppTest::Saved() {
    auto saved = std::make_unique<TSavedSettings>();
    ReadSettingsFile(ChangeFileExt(AppExeName, ".dat"), saved->Header, saved->Settings, saved->Accounts,
                     saved->Filters);
    return saved;
}

TMAILBELLForm& AppTest::Start() {
    form = new TMAILBELLForm(nullptr);
    app.MainForm = form;
    return *form;
}

std::vector<std::string> AppTest::Log() const {
    return DebugMsgForm ? DebugMsgForm->Memo1->Lines() : std::vector<std::string>{};
}

void AppTest::OpenLog() {
    if (!DebugMsgForm) form->Showprocessmessage1Click();
    DebugMsgForm->Memo1->Clear();
}

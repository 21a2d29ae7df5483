#pragma once
// A headless main program: in-memory system services with a fake clock that
// drives the UI layer's timers, a settings file in a temporary folder beside
// a pretended executable, recording doubles for the mouse and the hook library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/AppGlobals.h"
#include "app/HookBinding.h"
#include "app/MainForm.h"
#include "config/Settings.h"
#include "device/EmailDevices.h"
#include "platform/services/MemServices.h"
#include "platform/ui/headless/Headless.h"

// Every device command in order, as "LedOn", "PlayTune(3)", "StopAll".
extern std::vector<std::string> DeviceLog;

class TRecordingUsbDevice : public TEmailUsbDevice {
public:
    void LedOn() override { DeviceLog.push_back("LedOn"); }
    void PlayTune(int32_t i) override { DeviceLog.push_back("PlayTune(" + std::to_string(i) + ")"); }
    void StopAll() override { DeviceLog.push_back("StopAll"); }
    int DeviceCount() override { return Count; }
    void Change(int count) {
        Count = count;
        if (OnChange) OnChange();
    }
    int Count = 1;
};

class TRecordingPs2Device : public TEmailPS2Device {
public:
    void SendCommand(uint8_t c) override {
        DeviceLog.push_back(c == 0xE3 ? "LedOn" : c == 0xE4 ? "PlayTune" : c == 0xE5 ? "StopAll" : "?");
    }
};

// The settings file as it is on disk.
struct TSavedSettings {
    TSettingsFileHeader Header;
    TAppSettings Settings;
    TEMailAccountHolder Accounts;
    TEmailFilterHolder Filters;
};

struct TAccount {
    std::string Server, User, Password;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the settings file beside the pretended executable.
    void WriteSettings(const TAppSettings& s, const std::vector<TAccount>& accounts = {},
                       const std::vector<std::string>& filters = {}, uint8_t firstRun = 0);
    // Reads it back into fresh records.
    std::unique_ptr<TSavedSettings> Saved();
    // Creates the main form as the program does (startup exceptions pass through).
    TMAILBELLForm& Start();
    // Lets time pass: timers fire, messages are dispatched.
    void Advance(unsigned long long ms) { sys.Clock.Advance(ms); }
    // Puts the clock to a local date and time without running any timer.
    void SetClock(const TSystemTime& t);
    void Dispatch() { ui.ProcessMessages(); }
    std::vector<std::string> Log() const;  // the log window's lines
    void OpenLog();

    platform::TMemServicesScope sys;
    headless::THeadlessBackend& ui = headless::Instance();
    TApplication app;
    std::filesystem::path dir;
    std::vector<std::string> hookCalls;
    TRecordingUsbDevice* usb = nullptr;
    TMAILBELLForm* form = nullptr;

private:
    int clockListener_ = 0;
    long long lastMs_ = 0;
    THookLibrary savedHook_;
};

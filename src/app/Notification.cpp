// The new-mail notification and the middle-key functions of the main form.
#include "app/AppGlobals.h"
#include "app/EmNotifyForm.h"
#include "app/MainForm.h"
#include "config/Settings.h"
#include "device/EmailDevices.h"
#include "platform/services/Services.h"

namespace {
constexpr uint32_t SND_ASYNC_ = 0x1, SND_PURGE_ = 0x40, SND_NOWAIT_ = 0x2000, SND_FILENAME_ = 0x20000;
constexpr unsigned SW_SHOWNORMAL_ = 1;
constexpr unsigned kExpandChars = 259;
const char* const kEmailFallbackKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe";
const char* const kBrowserFallbackKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

// %NAME% references expanded; the text unchanged when that fails or does not fit.
std::string Expanded(const std::string& p) {
    std::string out;
    return platform::Sys().Environment->Expand(p, kExpandChars, out) ? out : p;
}
}  // namespace

void TMAILBELLForm::StartNotification() {
    const bool usb = AppSettings.HasModel(mfUsbMouse);
    if (AppSettings.HasOption(ofLightLed)) {
        if (usb) UsbDevice->LedOn();
        else Ps2Device->LedOn();
    }
    if (AppSettings.HasOption(ofDeviceTune)) {
        if (usb && AppSettings.HasModel(mfTuneChoice)) {
            UsbDevice->StopAll();
            UsbDevice->PlayTune(AppSettings.TuneNumber());
        } else if (usb) {
            UsbDevice->PlayTune(0);
        } else {
            Ps2Device->PlayTune();
        }
    }
    if (AppSettings.HasOption(ofWaveFile)) {
        std::string wave = NotifyHolder.Count() > 0 ? NotifyHolder.Get(0).WaveFileName() : std::string();
        if (wave.empty()) wave = AppSettings.WaveFileName();
        if (!wave.empty() && platform::Sys().Files->FileExists(wave))
            platform::Sys().Sound->Play(wave.c_str(), SND_FILENAME_ | SND_NOWAIT_ | SND_ASYNC_);
    }
    if (AppSettings.HasOption(ofNotifyWindow)) {
        if (!EmNotifyForm) EmNotifyForm = new TEmNotifyForm(this);
        EmNotifyForm->FillMailList();
        EmNotifyForm->Show();
    }
}

void TMAILBELLForm::StopNotification() {
    if (AppSettings.HasModel(mfUsbMouse)) {
        if (UsbDevice) UsbDevice->StopAll();
    } else if (Ps2Device) {
        Ps2Device->StopAll();
    }
    platform::Sys().Sound->Play(nullptr, SND_PURGE_);
    if (EmNotifyForm) EmNotifyForm->Close();
}

void TMAILBELLForm::MessageStopNotify(TMessage&) { StopNotification(); }
void TMAILBELLForm::MessageMiddleButton(TMessage&) { MiddleButtonAction(); }

void TMAILBELLForm::MiddleButtonAction() {
    if (!DevicePresent) return;
    switch (AppSettings.MiddleFunction()) {
    case mfnEmailProgram:
        if (!AppSettings.EmailProgram().empty())
            platform::Sys().Launcher->WinExec(AppSettings.EmailProgram(), SW_SHOWNORMAL_);
        else
            LaunchEmailProgram();
        break;
    case mfnBrowser:
        if (!AppSettings.BrowserProgram().empty())
            platform::Sys().Launcher->WinExec(AppSettings.BrowserProgram(), SW_SHOWNORMAL_);
        else
            LaunchBrowser();
        break;
    case mfnStopNotify:
        StopNotification();
        break;
    default:
        break;
    }
}

std::string TMAILBELLForm::ReadAssociatedProgram(const std::string& extension) {
    platform::IRegistry& reg = *platform::Sys().Registry;
    using platform::TRegRoot;
    std::string cls;
    if (reg.ReadString(TRegRoot::ClassesRoot, extension, "", cls) != platform::TRegStatus::Ok || cls.empty())
        return {};
    if (!reg.KeyExists(TRegRoot::ClassesRoot, cls)) return {};
    const std::string commandKey = cls + "\\shell\\open\\command";
    if (!reg.KeyExists(TRegRoot::ClassesRoot, commandKey)) return {};
    std::string c;
    if (reg.ReadString(TRegRoot::ClassesRoot, commandKey, "", c) != platform::TRegStatus::Ok) c.clear();
    if (c.empty()) return {};
    if (c[0] == '"') {
        // The path between the first two quotes; without a closing quote, the rest.
        size_t close = c.find('"', 1);
        return c.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    size_t percent = c.find('%');
    if (percent != std::string::npos) {
        // A path, a blank and a percent-sign argument: the characters before
        // the one that precedes the "%".
        return percent >= 1 ? c.substr(0, percent - 1) : std::string();
    }
    return c;
}

static void LaunchDefault(TMAILBELLForm& form, const std::string& extension, platform::TRegRoot fallbackRoot,
                          const char* fallbackKey) {
    std::string p = form.ReadAssociatedProgram(extension);
    if (!p.empty()) p = Expanded(p);
    if (p.empty()) {
        std::string fallback;
        if (platform::Sys().Registry->ReadString(fallbackRoot, fallbackKey, "", fallback) ==
                platform::TRegStatus::Ok &&
            !fallback.empty())
            p = Expanded(fallback);
    }
    if (!p.empty()) platform::Sys().Launcher->WinExec(p, SW_SHOWNORMAL_);
}

void TMAILBELLForm::LaunchEmailProgram() {
    LaunchDefault(*this, ".eml", platform::TRegRoot::CurrentUser, kEmailFallbackKey);
}

void TMAILBELLForm::LaunchBrowser() {
    LaunchDefault(*this, ".html", platform::TRegRoot::LocalMachine, kBrowserFallbackKey);
}

void TMAILBELLForm::UpdateDevicePresence() {
    DevicePresent = UsbDevice && UsbDevice->DeviceCount() != 0;
    std::string icon = ResFolder + (DevicePresent ? "0.ico" : "1.ico");
    if (platform::Sys().Files->FileExists(icon)) RxTrayIcon1->LoadIconFromFile(icon);
}

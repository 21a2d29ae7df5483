// The mail check of the main form: its guards, the network preparation, one
// POP3 session per account, the notice list and the schedule.
#include "app/AppGlobals.h"
#include "app/MainForm.h"
#include "base/Strings.h"
#include "config/Settings.h"
#include "dialup/RasDialer.h"
#include "mail/AccountSession.h"
#include "mail/VekMsg.h"
#include "mail/VekPOP3.h"
#include "platform/net/ClientSocket.h"
#include "platform/services/Services.h"

// A server written as host:port or [address]:port connects to that port; any
// other text is a host name (or address) reached on the default port.
void SplitPopServer(const std::string& server, const std::string& defaultPort, std::string& host,
                    std::string& port) {
    host = server;
    port = defaultPort;
    std::string h, p;
    if (!server.empty() && server[0] == '[') {
        size_t close = server.find(']');
        if (close == std::string::npos || close + 1 >= server.size() || server[close + 1] != ':') return;
        h = server.substr(1, close - 1);
        p = server.substr(close + 2);
    } else {
        size_t colon = server.find(':');
        if (colon == std::string::npos || server.find(':', colon + 1) != std::string::npos) return;
        h = server.substr(0, colon);
        p = server.substr(colon + 1);
    }
    if (h.empty() || p.empty() || p.size() > 5) return;
    for (char c : p)
        if (c < '0' || c > '9') return;
    host = h;
    port = p;
}

namespace {
const char* const kInternetSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string TimeText() {
    platform::IClock& clock = *platform::Sys().Clock;
    return clock.LongTimeText(clock.Now());
}
}  // namespace

// A notice of a message: its sender and account, and the wave file, tune and
// spare texts of the matching filter, or of the settings without the filter.
template <class TSource>
static void AddNotice(const std::string& from, const std::string& server, const TSource& source) {
    TNotifyData n = NotifyHolder.New();
    n.SetFromAddress(from);
    n.SetPopServer(server);
    n.SetSpareText1(source.SpareText1());
    n.SetWaveFileName(source.WaveFileName());
    n.SetSpareText2(source.SpareText2());
    n.SetTuneNumber(source.TuneNumber());
}

void TMAILBELLForm::BindSessionEvents() {
    AttachSessionLog(*VekPOP1, [](const std::string& line) { LogLine(line); }, TimeText);
}

void TMAILBELLForm::ScheduleNextCheck() {
    AHMScheduler1->SetActive(false);
    if (!AppSettings.HasOption(ofPeriodicCheck) || AccountHolder.Count() <= 0) return;
    long long seconds = -1;
    if (AppSettings.IntervalKind() == ikLanMinutes)
        seconds = static_cast<long long>(AppSettings.LanCheckMinutes()) * 60;
    else if (AppSettings.IntervalKind() == ikDialHoursMinutes)
        seconds = static_cast<long long>(AppSettings.DialCheckHours()) * 3600 +
                  static_cast<long long>(AppSettings.DialCheckMinutes()) * 60;
    if (seconds >= 0) {
        platform::IClock& clock = *platform::Sys().Clock;
        AHMScheduler1->TriggerTime = clock.LongTimeText(IncSecond(clock.Now(), seconds));
        AHMScheduler1->SetActive(true);
    }
    LogLine("");
    LogLine(" Next check time : " + AHMScheduler1->TriggerTime);
}

void TMAILBELLForm::AHMScheduler1Schedules0Trigger(const std::string&, bool&) {
    CheckMail();
    if (SettingsPending == 0) ScheduleNextCheck();
}

void TMAILBELLForm::CheckEMailnow1Click() {
    CheckMail();
    if (AHMScheduler1->Active()) {
        LogLine("");
        LogLine(" Next check time : " + AHMScheduler1->TriggerTime);
    }
}

void TMAILBELLForm::MessageStartCheck(TMessage&) { CheckMail(); }

void TMAILBELLForm::CheckMail() {
    if (!DevicePresent || AccountHolder.Count() == 0 || CheckRunning) return;
    LogLine("c");
    CheckRunning = 1;
    struct CleanUp {
        TMAILBELLForm* form;
        ~CleanUp() {
            try {
                form->HangUpIfDialed();
            } catch (...) {
            }
            CheckRunning = 0;
        }
    } cleanUp{this};

    if (!ConnectNetwork()) return;
    NotifyHolder.Clear();
    const bool filterOn = AppSettings.HasOption(ofSenderFilter);
    for (int a = 0; a < AccountHolder.Count(); ++a) {
        const std::string server = AccountHolder.Get(a).PopServer();
        SplitPopServer(server, DefaultPort, VekPOP1->Host, VekPOP1->Port);
        VekPOP1->UserId = AccountHolder.Get(a).UserName();
        VekPOP1->UserPasswd = AccountHolder.Get(a).Password();
        CheckAccount();
        LogLine("");
        if (SettingsPending) {
            LogLine("Update Data, E-Mail Process abort.");
            return;
        }
        for (int m = 0; m < VekMsgList1->Count(); ++m) {
            const std::string from = VekMsgList1->Items(m).FromEmailAddress;
            if (filterOn) {
                int k = FindFilter(from);
                if (k >= 0) AddNotice(from, server, FilterHolder.Get(k));
            } else {
                AddNotice(from, server, AppSettings);
            }
        }
    }
    if (NotifyHolder.Count() > 0) StartNotification();
    else StopNotification();
}

int TMAILBELLForm::FindFilter(const std::string& address) {
    const std::string a = AnsiLowerCase(address);
    for (int i = 0; i < FilterHolder.Count(); ++i)
        if (AnsiLowerCase(FilterHolder.Get(i).Address()) == a) return i;
    return -1;
}

bool TMAILBELLForm::ConnectNetwork() {
    if (AppSettings.ConnectionType() == ctLan) return true;
    if (AppSettings.DialMode() == dmDialWhenOffline && IsOnline()) return true;
    LogLine(" Dial-Up....");
    if (RasDialer && RasDialer->Dial(AppSettings.RedialCount() + 1)) {
        LogLine(" Dial-Up ok.");
        return true;
    }
    LogLine(" Dial-Up Fail.");
    LogLine(" E-Mail check abort.");
    return false;
}

bool TMAILBELLForm::IsOnline() {
    platform::IRegistry& reg = *platform::Sys().Registry;
    using platform::TRegRoot;
    platform::TRegValue saved;
    uint32_t savedValue = 0;
    if (reg.ReadValue(TRegRoot::CurrentUser, kInternetSettingsKey, "EnableAutodial", saved) ==
            platform::TRegStatus::Ok &&
        saved.Data.size() >= 4)
        savedValue = uint32_t(saved.Data[0]) | uint32_t(saved.Data[1]) << 8 | uint32_t(saved.Data[2]) << 16 |
                     uint32_t(saved.Data[3]) << 24;
    if (savedValue != 0) {
        platform::TRegValue zero = saved;
        std::fill(zero.Data.begin(), zero.Data.end(), 0);
        reg.WriteValue(TRegRoot::CurrentUser, kInternetSettingsKey, "EnableAutodial", zero);
    }
    bool online = false;
    try {
        platform::TClientSocket probe;
        probe.Host = ProbeHost;
        probe.Port = static_cast<int>(ProbePort);
        probe.ConnectTimeoutMs = 10000;
        probe.Open();
        online = true;
        probe.Close();
    } catch (const std::exception&) {
        online = false;
    }
    if (savedValue != 0) reg.WriteValue(TRegRoot::CurrentUser, kInternetSettingsKey, "EnableAutodial", saved);
    return online;
}

void TMAILBELLForm::CheckAccount() {
    ::CheckAccount(*VekPOP1, *VekMsgList1, [](const std::string& line) { LogLine(line); });
}

void TMAILBELLForm::HangUpIfDialed() {
    if (RasDialer && RasDialer->Connected()) {
        LogLine("Hang-Up....");
        RasDialer->HangUp();
    }
}

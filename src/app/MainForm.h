#pragma once
// The hidden main form: tray icon and menu, start-up, adoption of changed
// settings, the mail check with its schedule, the notification and the
// middle-key functions.
#include <memory>
#include <string>

#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/Scheduler.h"

class TVekPOP;

void SplitPopServer(const std::string& server, const std::string& defaultPort, std::string& host,
                    std::string& port);
class TVekMsgList;

class TMAILBELLForm : public TForm {
public:
    explicit TMAILBELLForm(TComponent* owner);
    ~TMAILBELLForm() override;

    TTrayIcon* RxTrayIcon1;
    TPopupMenu* PopupMenu1;
    TMenuItem *Setting1, *CheckEMailnow1, *Showprocessmessage1, *N1, *Exit1;
    std::unique_ptr<TVekMsgList> VekMsgList1;
    std::unique_ptr<TVekPOP> VekPOP1;
    TAHMScheduler* AHMScheduler1;
    TTimer* AppDataUpdateTimer;

    // Start-up and the tray menu.
    void FormCreate();
    void FormClose(TCloseAction& action);
    void RunFirstRunWizard();
    void Setting1Click();
    void Showprocessmessage1Click();
    void Exit1Click();
    void PopupMenu1Popup();
    void AppDataUpdateTimerTimer();
    void AdoptSettings();
    void ApplySettings();

    // The mail check and its schedule.
    void ScheduleNextCheck();
    void CheckMail();
    bool ConnectNetwork();
    bool IsOnline();
    void CheckAccount();
    int FindFilter(const std::string& address);
    void HangUpIfDialed();
    void AHMScheduler1Schedules0Trigger(const std::string& scheduleId, bool& active);
    void CheckEMailnow1Click();

    // The notification and the middle-key functions.
    void StartNotification();
    void StopNotification();
    void MiddleButtonAction();
    void LaunchEmailProgram();
    void LaunchBrowser();
    std::string ReadAssociatedProgram(const std::string& extension);
    void UpdateDevicePresence();

    // The POP3 port of servers written without one.
    std::string DefaultPort = "110";
    // Host of the on-line probe (a well-known public web host, port 80).
    std::string ProbeHost = "www.example.com";
    unsigned ProbePort = 80;

private:
    void BindSessionEvents();
    void MessageShowSetting(TMessage& m);
    void MessageStartCheck(TMessage& m);
    void MessageSettingChanged(TMessage& m);
    void MessageMiddleButton(TMessage& m);
    void MessageStopNotify(TMessage& m);
};

#include "app/MainForm.h"

#include "app/AppGlobals.h"
#include "app/DebugMsgForm.h"
#include "app/HookBinding.h"
#include "app/SettingForm.h"
#include "base/Strings.h"
#include "config/AccountForms.h"
#include "config/Settings.h"
#include "device/EmailDevices.h"
#include "dialup/RasDialer.h"
#include "mail/VekMsg.h"
#include "mail/VekPOP3.h"
#include "platform/services/Services.h"
#include "platform/ui/Dialogs.h"

std::string AppExeName;
std::string ResFolder;
uint8_t DevicePresent = 0;
TDebugMsgForm* DebugMsgForm = nullptr;
TEmNotifyForm* EmNotifyForm = nullptr;
TSettingForm* SettingForm = nullptr;
TMAILBELLForm* MAILBELLForm = nullptr;

namespace {
constexpr int32_t kTrue = -1;  // all bits set
constexpr uint32_t SND_PURGE_ = 0x40;
}  // namespace

TMAILBELLForm::TMAILBELLForm(TComponent* owner) : TForm(owner) {
    Name = "MAILBELLForm";
    SetCaption(kMainWindowCaption);
    WindowClassName = kMainWindowClass;
    BorderStyle = bsSizeable;
    Position = poDesigned;
    MAILBELLForm = this;

    RxTrayIcon1 = New<TTrayIcon>(this);
    RxTrayIcon1->Name = "RxTrayIcon1";
    PopupMenu1 = New<TPopupMenu>(this);
    PopupMenu1->Name = "PopupMenu1";
    Setting1 = PopupMenu1->Add("&Setting");
    Setting1->Default = true;
    CheckEMailnow1 = PopupMenu1->Add("Check E-Mail now");
    Showprocessmessage1 = PopupMenu1->Add("&Show process message");
    N1 = PopupMenu1->Add("-");
    Exit1 = PopupMenu1->Add("&Exit");
    RxTrayIcon1->PopupMenu = PopupMenu1;

    VekMsgList1 = std::make_unique<TVekMsgList>();
    VekPOP1 = std::make_unique<TVekPOP>();
    VekPOP1->Port = "110";
    VekPOP1->StrErrorInFormatOfMsg = "Error en el formato del mensaje.";
    VekPOP1->RetrieveProgressStep = 10;

    AHMScheduler1 = New<TAHMScheduler>(this);
    AHMScheduler1->Name = "AHMScheduler1";
    AHMScheduler1->ScheduleID = "1";
    AppDataUpdateTimer = New<TTimer>(this);
    AppDataUpdateTimer->Name = "AppDataUpdateTimer";
    AppDataUpdateTimer->SetInterval(500);

    PopupMenu1->OnPopup = [this] { PopupMenu1Popup(); };
    Setting1->OnClick = [this] { Setting1Click(); };
    CheckEMailnow1->OnClick = [this] { CheckEMailnow1Click(); };
    Showprocessmessage1->OnClick = [this] { Showprocessmessage1Click(); };
    Exit1->OnClick = [this] { Exit1Click(); };
    AppDataUpdateTimer->OnTimer = [this] { AppDataUpdateTimerTimer(); };
    AHMScheduler1->OnTrigger = [this](const std::string& id, bool& active) {
        AHMScheduler1Schedules0Trigger(id, active);
    };
    OnClose = [this](TCloseAction& a) { FormClose(a); };
    SetMessageHandler(WM_SHOWSETTING, [this](TMessage& m) { MessageShowSetting(m); });
    SetMessageHandler(WM_MIDDLEBUTTON, [this](TMessage& m) { MessageMiddleButton(m); });
    SetMessageHandler(WM_STARTCHECK, [this](TMessage& m) { MessageStartCheck(m); });
    SetMessageHandler(WM_SETTINGCHANGED, [this](TMessage& m) { MessageSettingChanged(m); });
    SetMessageHandler(WM_STOPNOTIFY, [this](TMessage& m) { MessageStopNotify(m); });
    BindSessionEvents();

    // The window exists (hidden) and the tray icon shows from creation on.
    Handle();
    RxTrayIcon1->SetActive(true);
    FormCreate();
}

TMAILBELLForm::~TMAILBELLForm() {
    if (MAILBELLForm == this) MAILBELLForm = nullptr;
}

void TMAILBELLForm::FormCreate() {
    ResFolder = ExtractFilePath(AppExeName) + "RES\\";
    if (Application) Application->ShowMainForm = false;
    SetSettingsFileName(ChangeFileExt(AppExeName, ".dat"));
    try {
        if (LoadSettings() != 0) RunFirstRunWizard();
    } catch (const std::exception&) {
        // No tray icon may stay behind a program that ends here.
        RxTrayIcon1->SetActive(false);
        TApplication* app = Application;
        std::string text = Format(kLoadFailedText, "\r\n");
        if (app) app->MessageBox(text, app->Title, 0);
        MAILBELLForm = nullptr;
        throw EStartupAbort{1};
    }

    DevicePresent = 0;
    if (AppSettings.HasModel(mfUsbMouse)) {
        UsbDevice = MakeUsbDevice();
        UsbDevice->SetOnChange([this] { UpdateDevicePresence(); });
        UpdateDevicePresence();
    } else {
        Ps2Device = MakePs2Device();
        DevicePresent = 1;
    }
    if (AppSettings.HasModel(mfMiddleKey)) {
        HookLibrary().InstallHook(kTrue);
        HookLibrary().SetAppWindows(Handle());
    }
    ApplySettings();
    if (Application) Application->PostMessage(Handle(), WM_STARTCHECK);
}

void TMAILBELLForm::RunFirstRunWizard() {
    RxTrayIcon1->SetEnabled(false);
    struct Reenable {
        TTrayIcon* icon;
        ~Reenable() { icon->SetEnabled(true); }
    } reenable{RxTrayIcon1};
    std::unique_ptr<TNewAcountForm> wizard(new TNewAcountForm(this));
    if (wizard->ShowModal() == mrOk) {
        FillAccountRecord(AccountHolder.New(), wizard->popnameEdit->Text(), wizard->UserNameEdit->Text(),
                          wizard->PasswordEdit->Text());
    }
    SaveSettings();
}

void TMAILBELLForm::Setting1Click() {
    if (!SettingForm) {
        WorkSettings = AppSettings;
        WorkAccountHolder.CopyFrom(AccountHolder);
        WorkFilterHolder.CopyFrom(FilterHolder);
        SettingForm = new TSettingForm(this);
        SettingForm->Show();
    }
    if (Application) Application->BringToFront();
}

void TMAILBELLForm::MessageShowSetting(TMessage&) { Setting1Click(); }

void TMAILBELLForm::MessageSettingChanged(TMessage&) {
    if (CheckRunning) {
        VekPOP1->AbortRequested = true;
        AppDataUpdateTimer->SetEnabled(true);
    } else {
        AdoptSettings();
    }
}

void TMAILBELLForm::AppDataUpdateTimerTimer() {
    if (CheckRunning) return;
    AppDataUpdateTimer->SetEnabled(false);
    AdoptSettings();
}

void TMAILBELLForm::AdoptSettings() {
    AppSettings = WorkSettings;
    AccountHolder.CopyFrom(WorkAccountHolder);
    FilterHolder.CopyFrom(WorkFilterHolder);
    SaveSettings();
    SettingsPending = 0;
    ApplySettings();
}

void TMAILBELLForm::ApplySettings() {
    if (AppSettings.HasModel(mfDialUp) && AppSettings.ConnectionType() == ctDialUp &&
        (!DialUpAvailable() || !RasDialer || !RasDialer->SelectEntry(AppSettings.DialEntryName())))
        AppSettings.ConnectionType() = ctLan;
    if (AppSettings.HasModel(mfMiddleKey))
        HookLibrary().EnableMiddle(AppSettings.HasOption(ofMiddleFunction) ? kTrue : 0);
    ScheduleNextCheck();
}

void TMAILBELLForm::PopupMenu1Popup() {
    CheckEMailnow1->Enabled = !CheckRunning && AccountHolder.Count() > 0;
    Showprocessmessage1->Checked = DebugMsgForm != nullptr;
}

void TMAILBELLForm::Showprocessmessage1Click() {
    Showprocessmessage1->Checked = !Showprocessmessage1->Checked;
    if (!Showprocessmessage1->Checked) {
        if (DebugMsgForm) DebugMsgForm->Close();
    } else {
        if (!DebugMsgForm) DebugMsgForm = new TDebugMsgForm(this);
        DebugMsgForm->Show();
    }
}

void TMAILBELLForm::Exit1Click() { Close(); }

void TMAILBELLForm::FormClose(TCloseAction&) {
    platform::Sys().Sound->Play(nullptr, SND_PURGE_);
    if (AppSettings.HasModel(mfMiddleKey)) HookLibrary().InstallHook(0);
}

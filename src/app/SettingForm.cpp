#include "app/SettingForm.h"

#include <memory>

#include "app/AppGlobals.h"
#include "config/AccountForms.h"
#include "config/Settings.h"
#include "platform/ui/Dialogs.h"

std::string SettingFormCaption(uint8_t modelFlags) {
    bool usbWithoutMiddle = (modelFlags & mfUsbMouse) && !(modelFlags & mfMiddleKey);
    return std::string(usbWithoutMiddle ? "USB Mivra HUB setting" : "E-Mail mouse Korvana PS/2 driver settings") +
           " V1.20";
}

namespace {
TButton* MakeButton(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left,
                    int top) {
    auto* b = Place<TButton>(owner, parent, name, left, top, 75, 25);
    b->SetCaption(caption);
    return b;
}
}  // namespace

TSettingForm::TSettingForm(TComponent* owner) : TForm(owner) {
    Name = "SettingForm";
    SetCaption("Setting");
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    SetClientSize(454, 426);

    PageControl1 = Place<TPageControl>(this, this, "PageControl1", 5, 5, 443, 385);
    AccountsSheet = Place<TTabSheet>(this, PageControl1, "AccountsSheet", 0, 0, 443, 385);
    AccountsSheet->SetCaption("Accounts");
    AccountListView = Place<TListView>(this, AccountsSheet, "AccountListView", 8, 8, 420, 300);
    AccountListView->AddColumn("Account");
    AccountListView->AddColumn("Account Name");
    AccountListView->HideSelection = false;
    NewAcountButton = MakeButton(this, AccountsSheet, "NewAcountButton", "&New", 8, 320);
    ModifyAccountButton = MakeButton(this, AccountsSheet, "ModifyAccountButton", "&Modify", 92, 320);
    DeleteAccountButton = MakeButton(this, AccountsSheet, "DeleteAccountButton", "&Delete", 176, 320);
    ModifyAccountButton->SetEnabled(false);
    DeleteAccountButton->SetEnabled(false);

    OkButton = MakeButton(this, this, "OkButton", "&Ok", 208, 396);
    CancelButton = MakeButton(this, this, "CancelButton", "&Cancel", 290, 396);
    ApplyButton = MakeButton(this, this, "ApplyButton", "&Apply", 372, 396);

    OkButton->OnClick = [this] { OkButtonClick(); };
    CancelButton->OnClick = [this] { CancelButtonClick(); };
    ApplyButton->OnClick = [this] { ApplyButtonClick(); };
    AccountListView->OnSelectItem = [this](int, bool) { AccountListViewSelectItem(); };
    NewAcountButton->OnClick = [this] { NewAcountButtonClick(); };
    ModifyAccountButton->OnClick = [this] { ModifyAccountButtonClick(); };
    DeleteAccountButton->OnClick = [this] { DeleteAccountButtonClick(); };
    OnClose = [this](TCloseAction& a) { FormClose(a); };
    FormCreate();
}

TSettingForm::~TSettingForm() {
    if (SettingForm == this) SettingForm = nullptr;
}

void TSettingForm::FormCreate() {
    FillAccountList();
    SetCaption(SettingFormCaption(AppSettings.ModelFlags()));
    PageControl1->SetActivePage(AccountsSheet);
    ApplyButton->SetEnabled(false);
}

void TSettingForm::FormClose(TCloseAction& action) {
    action = caFree;
    SettingForm = nullptr;
}

void TSettingForm::OkButtonClick() {
    if (ApplyButton->Enabled()) ApplyButtonClick();
    Close();
}

void TSettingForm::CancelButtonClick() { Close(); }

void TSettingForm::ApplyButtonClick() {
    ApplyButton->SetEnabled(false);
    SettingsPending = 1;
    if (Application && Application->MainForm)
        Application->PostMessage(Application->MainForm->Handle(), WM_SETTINGCHANGED);
}

void TSettingForm::AccountListViewSelectItem() {
    ModifyAccountButton->SetEnabled(true);
    DeleteAccountButton->SetEnabled(true);
}

void TSettingForm::FillAccountList() {
    AccountListView->Clear();
    AccountListView->BeginUpdate();
    for (int i = 0; i < WorkAccountHolder.Count(); ++i) {
        TAccountData rec = WorkAccountHolder.Get(i);
        TListItem& row = AccountListView->Add();
        row.Caption = rec.PopServer();
        row.SubItems = {rec.UserName()};
        row.Data = rec.Data();
    }
    AccountListView->EndUpdate();
    bool selected = AccountListView->Selected() >= 0;
    ModifyAccountButton->SetEnabled(selected);
    DeleteAccountButton->SetEnabled(selected);
}

void TSettingForm::NewAcountButtonClick() {
    std::unique_ptr<TNewAcountForm> wizard(new TNewAcountForm(this));
    if (wizard->ShowModal() == mrOk) {
        FillAccountRecord(WorkAccountHolder.New(), wizard->popnameEdit->Text(), wizard->UserNameEdit->Text(),
                          wizard->PasswordEdit->Text());
        FillAccountList();
        ApplyButton->SetEnabled(true);
    }
}

void TSettingForm::ModifyAccountButtonClick() {
    int row = AccountListView->Selected();
    if (row < 0) return;
    TAccountData rec(static_cast<uint8_t*>(AccountListView->Item(row).Data));
    std::unique_ptr<TModifyAccountDlg> dlg(new TModifyAccountDlg(this));
    dlg->Edit1->SetText(rec.PopServer());
    dlg->Edit2->SetText(rec.UserName());
    dlg->Edit3->SetText(rec.Password());
    if (dlg->ShowModal() == mrOk) {
        FillAccountRecord(rec, dlg->Edit1->Text(), dlg->Edit2->Text(), dlg->Edit3->Text());
        TListItem item = AccountListView->Item(row);
        item.Caption = rec.PopServer();
        item.SubItems = {rec.UserName()};
        AccountListView->SetItem(row, item);
        ApplyButton->SetEnabled(true);
    }
}

void TSettingForm::DeleteAccountButtonClick() {
    int row = AccountListView->Selected();
    if (row < 0) return;
    int answer = Application->MessageBox("Are you sure you want to delete ?", "Confirm Delete",
                                      MB_YESNO_ | MB_ICONWARNING_ | MB_DEFBUTTON2_);
    if (answer != IDYES_) return;
    WorkAccountHolder.Delete(row);
    FillAccountList();
    ApplyButton->SetEnabled(true);
}

#pragma once
// The settings dialog. It edits only the working copies (WorkSettings and the
// working lists); Apply marks them pending and posts WM_SETTINGCHANGED, and
// the main form adopts them. This build offers the Accounts page.
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"

class TSettingForm : public TForm {
public:
    explicit TSettingForm(TComponent* owner);
    ~TSettingForm() override;

    TPageControl* PageControl1;
    TTabSheet* AccountsSheet;
    TListView* AccountListView;
    TButton *NewAcountButton, *ModifyAccountButton, *DeleteAccountButton;
    TButton *OkButton, *CancelButton, *ApplyButton;

    void FormCreate();
    void FormClose(TCloseAction& action);
    void OkButtonClick();
    void CancelButtonClick();
    void ApplyButtonClick();
    void AccountListViewSelectItem();
    void NewAcountButtonClick();
    void ModifyAccountButtonClick();
    void DeleteAccountButtonClick();
    void FillAccountList();
};

// The window caption for the model flags of the live settings.
std::string SettingFormCaption(uint8_t modelFlags);

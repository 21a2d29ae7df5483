#pragma once
// The new-account wizard and the account property dialog. Neither touches a
// record: each refuses to finish while a field is empty and returns 1 (OK) or
// 2 (Cancel); the caller then fills the record with FillAccountRecord.
#include <string>

#include "config/SettingsRecords.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"

class TNewAcountForm : public TForm {
public:
    explicit TNewAcountForm(TComponent* owner);

    TNotebook* Notebook1;
    TNotebookPage *pServer, *pUsername, *pFinish;
    TLabel *Label4, *Label11, *Label1;                 // server page
    TEdit* popnameEdit;
    TLabel *Label5, *Label2, *Label3, *Label6;         // logon page
    TEdit *UserNameEdit, *PasswordEdit;
    TLabel *Label7, *Label8, *Label9, *Label10;        // finish page
    TButton *BackButton, *NextButton, *CancelButton, *FinishButton;

    void FormCreate();
    void Notebook1PageChanged();
    void NextButtonClick();
    void BackButtonClick();
    void FinishButtonClick();
    void CancelButtonClick();
};

class TModifyAccountDlg : public TForm {
public:
    explicit TModifyAccountDlg(TComponent* owner);

    TLabel *Label2, *Label3, *Label4;
    TEdit *Edit1, *Edit2, *Edit3;
    TButton *OKBtn, *CancelBtn;

    void OKBtnClick();
};

// The one rule by which every caller fills an account record after OK: the
// reserved fields are reset and the three texts stored, each cut to 255
// characters, nothing trimmed; bytes 1026 to 1031 are left as they are.
void FillAccountRecord(const TAccountData& rec, const std::string& server, const std::string& user,
                       const std::string& password);

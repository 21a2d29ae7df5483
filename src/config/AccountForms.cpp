#include "config/AccountForms.h"

#include "platform/ui/Dialogs.h"

namespace {

const char* const kServerMissing = "You must enter a pop server name.";
const char* const kAccountMissing = "You must enter a account name.";
const char* const kPasswordMissing = "You must enter your password.";

TFont TitleFont() {
    TFont f;
    f.Name = "Times New Roman";
    f.Height = 19;
    f.Bold = f.Italic = true;
    f.Color = clBlue;
    return f;
}

TFont BoldFont() {
    TFont f;
    f.Bold = true;
    return f;
}

TFont FieldFont() {
    TFont f;
    f.Bold = true;
    f.Color = clBlue;
    return f;
}

TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* name, const std::string& text, int left,
                  int top, int width, int height, const TFont& font) {
    auto* l = Place<TLabel>(owner, parent, name, left, top, width, height);
    l->SetCaption(text);
    l->SetFont(font);
    return l;
}

TEdit* MakeEdit(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width,
                const TFont& font) {
    auto* e = Place<TEdit>(owner, parent, name, left, top, width, 21);
    e->SetFont(font);
    return e;
}

TButton* MakeButton(TComponent* owner, TWinControl* parent, const char* name, const std::string& caption, int left,
                    int top, int width, int height) {
    auto* b = Place<TButton>(owner, parent, name, left, top, width, height);
    b->SetCaption(caption);
    return b;
}

}  // namespace

TNewAcountForm::TNewAcountForm(TComponent* owner) : TForm(owner) {
    Name = "NewAcountForm";
    SetCaption("New Account Wizard");
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    SetClientSize(351, 208);

    Notebook1 = Place<TNotebook>(this, this, "Notebook1", 5, 5, 341, 163);
    pServer = Place<TNotebookPage>(this, Notebook1, "pServer", 0, 0, 341, 163);
    pUsername = Place<TNotebookPage>(this, Notebook1, "pUsername", 0, 0, 341, 163);
    pFinish = Place<TNotebookPage>(this, Notebook1, "pFinish", 0, 0, 341, 163);

    const TFont title = TitleFont(), bold = BoldFont(), plain, field = FieldFont();
    Label4 = MakeLabel(this, pServer, "Label4", "Enter Incoming Email Server Name", 12, 8, 320, 24, title);
    Label11 = MakeLabel(this, pServer, "Label11",
                        "Enter your Pop3 email server name which you use to receive\r\nyour email.", 12, 44, 320,
                        30, plain);
    Label1 = MakeLabel(this, pServer, "Label1", "Pop3 Server Name :", 12, 96, 126, 16, bold);
    popnameEdit = MakeEdit(this, pServer, "popnameEdit", 142, 93, 188, field);

    Label5 = MakeLabel(this, pUsername, "Label5", "Internet Mail Logon", 12, 8, 320, 24, title);
    Label2 = MakeLabel(this, pUsername, "Label2", "POP account name :", 12, 52, 126, 16, bold);
    UserNameEdit = MakeEdit(this, pUsername, "UserNameEdit", 142, 49, 188, field);
    Label3 = MakeLabel(this, pUsername, "Label3", "Password:", 12, 84, 126, 16, bold);
    PasswordEdit = MakeEdit(this, pUsername, "PasswordEdit", 142, 81, 188, field);
    PasswordEdit->PasswordChar = '*';
    Label6 = MakeLabel(this, pUsername, "Label6",
                       "( your password will appear as asterisks to\r\n  prevent  others from reading it.)", 90,
                       108, 245, 30, plain);

    Label7 = MakeLabel(this, pFinish, "Label7", "Finished", 12, 8, 320, 24, title);
    Label8 = MakeLabel(this, pFinish, "Label8",
                       "New account wizad now has enough information to log on to you \r\n"
                       "email server to check your incoming mail on this mail server.",
                       12, 40, 325, 30, plain);
    Label9 = MakeLabel(this, pFinish, "Label9", "click 'Finish' to add this account to your email check list.",
                       12, 78, 325, 16, plain);
    Label10 = MakeLabel(this, pFinish, "Label10",
                        "You can Click 'Back' to review your settings or Click 'Cancel' to exit \r\n"
                        "new account wizard without adding this server to you email check list.",
                        12, 104, 325, 30, plain);

    BackButton = MakeButton(this, this, "BackButton", "< &Back", 104, 176, 75, 25);
    NextButton = MakeButton(this, this, "NextButton", "&Next >", 184, 176, 75, 25);
    CancelButton = MakeButton(this, this, "CancelButton", "&Cancel", 268, 176, 75, 25);
    FinishButton = MakeButton(this, this, "FinishButton", "&Finish", 184, 176, 75, 25);
    FinishButton->SetVisible(false);

    Notebook1->OnPageChanged = [this] { Notebook1PageChanged(); };
    NextButton->OnClick = [this] { NextButtonClick(); };
    BackButton->OnClick = [this] { BackButtonClick(); };
    FinishButton->OnClick = [this] { FinishButtonClick(); };
    CancelButton->OnClick = [this] { CancelButtonClick(); };
    FormCreate();
}

void TNewAcountForm::FormCreate() { Notebook1->SetPageIndex(0); }

void TNewAcountForm::Notebook1PageChanged() {
    switch (Notebook1->PageIndex()) {
    case 0:
        BackButton->SetEnabled(false);
        FinishButton->SetVisible(false);
        popnameEdit->SetFocus();
        break;
    case 1:
        BackButton->SetEnabled(true);
        NextButton->SetVisible(true);
        FinishButton->SetVisible(false);
        UserNameEdit->SetFocus();
        break;
    case 2:
        NextButton->SetVisible(false);
        FinishButton->SetVisible(true);
        FinishButton->SetFocus();
        break;
    default:
        break;
    }
}

void TNewAcountForm::NextButtonClick() {
    switch (Notebook1->PageIndex()) {
    case 0:
        if (popnameEdit->Text().empty()) {
            ShowMessage(kServerMissing);
            popnameEdit->SetFocus();
        } else {
            Notebook1->SetPageIndex(1);
        }
        break;
    case 1:
        if (UserNameEdit->Text().empty()) {
            ShowMessage(kAccountMissing);
            UserNameEdit->SetFocus();
        } else if (PasswordEdit->Text().empty()) {
            ShowMessage(kPasswordMissing);
            PasswordEdit->SetFocus();
        } else {
            Notebook1->SetPageIndex(2);
        }
        break;
    default:
        break;
    }
}

void TNewAcountForm::BackButtonClick() {
    if (Notebook1->PageIndex() > 0) Notebook1->SetPageIndex(Notebook1->PageIndex() - 1);
}

void TNewAcountForm::FinishButtonClick() { SetModalResult(mrOk); }
void TNewAcountForm::CancelButtonClick() { SetModalResult(mrCancel); }

TModifyAccountDlg::TModifyAccountDlg(TComponent* owner) : TForm(owner) {
    Name = "ModifyAccountDlg";
    SetCaption("Account Property");
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    SetClientSize(313, 177);

    // Created in tab order: the buttons first, so the focus starts on "OK".
    OKBtn = MakeButton(this, this, "OKBtn", "OK", 72, 140, 75, 25);
    OKBtn->Default = true;
    CancelBtn = MakeButton(this, this, "CancelBtn", "Cancel", 160, 140, 75, 25);
    CancelBtn->Cancel = true;
    CancelBtn->ModalResult = mrCancel;

    const TFont bold = BoldFont(), field = FieldFont();
    Label2 = MakeLabel(this, this, "Label2", "Pop3 Server :", 12, 10, 120, 16, bold);
    Edit1 = MakeEdit(this, this, "Edit1", 12, 28, 289, field);
    Label3 = MakeLabel(this, this, "Label3", "Account :", 12, 66, 80, 16, bold);
    Edit2 = MakeEdit(this, this, "Edit2", 96, 63, 205, TFont());
    Label4 = MakeLabel(this, this, "Label4", "Password :", 12, 100, 80, 16, bold);
    Edit3 = MakeEdit(this, this, "Edit3", 96, 97, 205, TFont());
    Edit3->PasswordChar = '*';
    Edit1->SetText("Edit1");
    Edit2->SetText("Edit2");
    Edit3->SetText("Edit3");

    OKBtn->OnClick = [this] { OKBtnClick(); };
    SetActiveControl(OKBtn);
}

void TModifyAccountDlg::OKBtnClick() {
    struct Field {
        TEdit* edit;
        const char* message;
    } fields[] = {{Edit1, kServerMissing}, {Edit2, kAccountMissing}, {Edit3, kPasswordMissing}};
    for (const Field& f : fields)
        if (f.edit->Text().empty()) {
            ShowMessage(f.message);
            f.edit->SetFocus();
            return;
        }
    SetModalResult(mrOk);
}

void FillAccountRecord(const TAccountData& rec, const std::string& server, const std::string& user,
                       const std::string& password) {
    rec.ReservedByte() = 0;
    rec.SetReservedText("");
    rec.ReservedFlag() = 1;
    rec.SetPopServer(server);
    rec.SetUserName(user);
    rec.SetPassword(password);
}

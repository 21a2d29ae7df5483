#include <gtest/gtest.h>

#include "config/AccountForms.h"
#include "config/RecDataStore.h"
#include "platform/ui/headless/Headless.h"

namespace {

class AccountForms : public ::testing::Test {
protected:
    void SetUp() override { ui.Reset(); }
    void TearDown() override { EXPECT_EQ(ui.PendingScripts(), 0u); }
    headless::THeadlessBackend& ui = headless::Instance();
    TApplication app;
};

std::vector<std::string> Texts(const headless::THeadlessBackend& ui) {
    std::vector<std::string> r;
    for (const auto& b : ui.MessageBoxes) r.push_back(b.Text);
    return r;
}

TEST_F(AccountForms, WizardOpensOnServerPage) {
    TNewAcountForm w(nullptr);
    EXPECT_EQ(w.Caption(), "New Account Wizard");
    EXPECT_EQ(w.ClientWidth(), 351);
    EXPECT_EQ(w.Notebook1->PageIndex(), 0);
    EXPECT_FALSE(w.BackButton->Enabled());
    EXPECT_TRUE(w.NextButton->Visible());
    EXPECT_FALSE(w.FinishButton->Visible());
    EXPECT_EQ(w.ActiveControl(), w.popnameEdit);
    EXPECT_EQ(w.PasswordEdit->PasswordChar, '*');
    // No button answers Enter or Esc.
    for (TButton* b : {w.BackButton, w.NextButton, w.CancelButton, w.FinishButton}) {
        EXPECT_FALSE(b->Default);
        EXPECT_FALSE(b->Cancel);
    }
}

TEST_F(AccountForms, WizardRefusesEmptyFieldsInOrder) {
    TNewAcountForm w(nullptr);
    w.NextButton->UserClick();
    EXPECT_EQ(w.Notebook1->PageIndex(), 0);
    EXPECT_EQ(w.ActiveControl(), w.popnameEdit);

    w.popnameEdit->UserType(" ");  // a blank is not empty
    w.NextButton->UserClick();
    ASSERT_EQ(w.Notebook1->PageIndex(), 1);
    EXPECT_TRUE(w.BackButton->Enabled());
    EXPECT_EQ(w.ActiveControl(), w.UserNameEdit);

    w.NextButton->UserClick();  // both empty: the account is reported first
    w.UserNameEdit->UserType("alice");
    w.NextButton->UserClick();
    EXPECT_EQ(w.ActiveControl(), w.PasswordEdit);
    EXPECT_EQ(w.Notebook1->PageIndex(), 1);
    w.PasswordEdit->UserType("secret");
    w.NextButton->UserClick();
    ASSERT_EQ(w.Notebook1->PageIndex(), 2);
    EXPECT_FALSE(w.NextButton->Visible());
    EXPECT_TRUE(w.FinishButton->Visible());
    EXPECT_EQ(w.ActiveControl(), w.FinishButton);

    EXPECT_EQ(Texts(ui), (std::vector<std::string>{"You must enter a pop server name.",
                                                   "You must enter a account name.",
                                                   "You must enter your password."}));
    for (const auto& b : ui.MessageBoxes) {
        EXPECT_EQ(b.Caption, app.Title);
        EXPECT_EQ(b.Flags, 0u);  // no icon, one OK button
    }
}

TEST_F(AccountForms, WizardBackRechecksAndFinishReturnsOk) {
    TNewAcountForm w(nullptr);
    ui.ExpectModal([](TForm& f) {
        auto& w = static_cast<TNewAcountForm&>(f);
        w.popnameEdit->UserType("pop.example.org");
        w.NextButton->UserClick();
        w.UserNameEdit->UserType("bob");
        w.PasswordEdit->UserType("pw");
        w.NextButton->UserClick();
        w.BackButton->UserClick();  // to the logon page again
        EXPECT_TRUE(w.NextButton->Visible());
        EXPECT_FALSE(w.FinishButton->Visible());
        w.PasswordEdit->UserType("");
        w.NextButton->UserClick();
        EXPECT_EQ(w.Notebook1->PageIndex(), 1);
        w.PasswordEdit->UserType("correct horse");
        w.NextButton->UserClick();
        w.FinishButton->UserClick();
    });
    EXPECT_EQ(w.ShowModal(), mrOk);
    EXPECT_EQ(w.popnameEdit->Text(), "pop.example.org");
    EXPECT_EQ(w.PasswordEdit->Text(), "correct horse");
    EXPECT_EQ(Texts(ui), std::vector<std::string>{"You must enter your password."});
}

TEST_F(AccountForms, WizardCancelAndCloseBoxReturnCancel) {
    TNewAcountForm w(nullptr);
    ui.ExpectModal([](TForm& f) { static_cast<TNewAcountForm&>(f).CancelButton->UserClick(); });
    EXPECT_EQ(w.ShowModal(), mrCancel);
    ui.ExpectModal([](TForm& f) { f.UserCloseBox(); });
    EXPECT_EQ(w.ShowModal(), mrCancel);
}

TEST_F(AccountForms, PropertyDialogStartsOnOkAndChecksFields) {
    TModifyAccountDlg d(nullptr);
    EXPECT_EQ(d.Caption(), "Account Property");
    EXPECT_EQ(d.ClientWidth(), 313);
    EXPECT_EQ(d.ClientHeight(), 177);
    EXPECT_EQ(d.Edit1->Text(), "Edit1");
    d.Edit1->SetText("pop.example.org");
    d.Edit2->SetText("alice");
    d.Edit3->SetText("secret");
    ui.ExpectModal([](TForm& f) {
        EXPECT_EQ(f.ActiveControl(), static_cast<TModifyAccountDlg&>(f).OKBtn);
        f.KeyEnter();  // Enter at once
    });
    EXPECT_EQ(d.ShowModal(), mrOk);

    d.Edit2->SetText("");
    d.Edit3->SetText("");
    ui.ExpectModal([](TForm& f) {
        auto& d = static_cast<TModifyAccountDlg&>(f);
        d.OKBtn->UserClick();
        EXPECT_EQ(d.ActiveControl(), d.Edit2);
        EXPECT_EQ(d.ModalResult(), 0);
        f.KeyEscape();
    });
    EXPECT_EQ(d.ShowModal(), mrCancel);
    EXPECT_EQ(Texts(ui), std::vector<std::string>{"You must enter a account name."});
}

TEST_F(AccountForms, FillingARecordKeepsItsOtherBytesAndCutsLongTexts) {
    TEMailAccountHolder list;
    TAccountData rec = list.New();
    uint8_t* bytes = rec.Data();
    bytes[0] = 9;
    bytes[257] = 0;
    bytes[1030] = 0x5A;  // reserved tail stays
    rec.SetReservedText("old");
    FillAccountRecord(rec, " ", std::string(300, 'u'), "p w");
    EXPECT_EQ(rec.ReservedByte(), 0);
    EXPECT_EQ(rec.ReservedText(), "");
    EXPECT_EQ(rec.ReservedFlag(), 1);
    EXPECT_EQ(rec.PopServer(), " ");
    EXPECT_EQ(rec.UserName(), std::string(255, 'u'));
    EXPECT_EQ(rec.Password(), "p w");
    EXPECT_EQ(bytes[1030], 0x5A);
}

}  // namespace

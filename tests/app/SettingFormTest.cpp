// The accounts page of the settings dialog: it edits only the working list.
#include "AppFixture.h"
#include "app/SettingForm.h"
#include "config/AccountForms.h"

namespace {

class SettingFormTest : public AppTest {
protected:
    TSettingForm& Open() {
        WriteSettings(TAppSettings(), {{"127.0.0.1:1", "one", "p1"}, {"127.0.0.1:2", "two", "p2"}});
        Start();
        form->Setting1Click();
        return *SettingForm;
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> r;
        for (int i = 0; i < SettingForm->AccountListView->Count(); ++i) {
            const TListItem& it = SettingForm->AccountListView->Item(i);
            r.push_back(it.Caption + " | " + it.SubItems.at(0));
        }
        return r;
    }
};

TEST_F(SettingFormTest, CaptionFollowsTheLiveModel) {
    EXPECT_EQ(SettingFormCaption(0), "E-Mail mouse Korvana PS/2 driver settings V1.20");
    EXPECT_EQ(SettingFormCaption(mfUsbMouse | mfMiddleKey), "E-Mail mouse Korvana PS/2 driver settings V1.20");
    EXPECT_EQ(SettingFormCaption(mfUsbMouse), "USB Mivra HUB setting V1.20");
}

TEST_F(SettingFormTest, NewModifyAndDeleteWorkOnTheWorkingList) {
    TSettingForm& d = Open();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"127.0.0.1:1 | one", "127.0.0.1:2 | two"}));
    EXPECT_FALSE(d.ApplyButton->Enabled());
    EXPECT_FALSE(d.ModifyAccountButton->Enabled());

    d.AccountListView->UserSelect(1);
    EXPECT_TRUE(d.ModifyAccountButton->Enabled());
    ui.ExpectModal([](TForm& f) {
        auto& m = static_cast<TModifyAccountDlg&>(f);
        EXPECT_EQ(m.Edit1->Text(), "127.0.0.1:2");
        EXPECT_EQ(m.Edit3->Text(), "p2");
        m.Edit2->UserType("second");
        m.OKBtn->UserClick();
    });
    d.ModifyAccountButton->UserClick();
    EXPECT_EQ(Rows()[1], "127.0.0.1:2 | second");
    EXPECT_EQ(d.AccountListView->Selected(), 1);  // the row stays selected
    EXPECT_EQ(WorkAccountHolder.Get(1).UserName(), "second");
    EXPECT_EQ(AccountHolder.Get(1).UserName(), "two");  // the live list is untouched
    EXPECT_TRUE(d.ApplyButton->Enabled());

    ui.ExpectMessageBox([](const headless::TMessageBoxCall& box) {
        EXPECT_EQ(box.Text, "Are you sure you want to delete ?");
        EXPECT_EQ(box.Caption, "Confirm Delete");
        EXPECT_EQ(box.Flags, 0x4u | 0x30u | 0x100u);
        return 7;  // No
    });
    d.DeleteAccountButton->UserClick();
    EXPECT_EQ(WorkAccountHolder.Count(), 2);
    ui.ExpectMessageBox([](const headless::TMessageBoxCall&) { return 6; });  // Yes
    d.DeleteAccountButton->UserClick();
    EXPECT_EQ(Rows(), std::vector<std::string>{"127.0.0.1:1 | one"});
    EXPECT_FALSE(d.ModifyAccountButton->Enabled());  // a refill clears the selection

    ui.ExpectModal([](TForm& f) {
        auto& w = static_cast<TNewAcountForm&>(f);
        w.popnameEdit->UserType("pop.three.org");
        w.NextButton->UserClick();
        w.UserNameEdit->UserType("three");
        w.PasswordEdit->UserType("p3");
        w.NextButton->UserClick();
        w.FinishButton->UserClick();
    });
    d.NewAcountButton->UserClick();
    EXPECT_EQ(Rows().back(), "pop.three.org | three");
    EXPECT_EQ(WorkAccountHolder.Get(1).ReservedFlag(), 1);
}

TEST_F(SettingFormTest, OkAppliesOnlyAfterAChange) {
    TSettingForm& d = Open();
    d.OkButton->UserClick();  // nothing changed: nothing posted
    EXPECT_EQ(SettingForm, nullptr);
    EXPECT_EQ(SettingsPending, 0);
    Dispatch();

    form->Setting1Click();
    ui.ExpectMessageBox([](const headless::TMessageBoxCall&) { return 6; });
    SettingForm->AccountListView->UserSelect(0);
    SettingForm->DeleteAccountButton->UserClick();
    SettingForm->OkButton->UserClick();
    EXPECT_EQ(SettingsPending, 1);
    Dispatch();  // the main form adopts and saves
    EXPECT_EQ(AccountHolder.Count(), 1);
    EXPECT_EQ(Saved()->Accounts.Count(), 1);
}

}  // namespace

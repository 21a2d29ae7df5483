// The component model on the headless backend: the event rules the forms
// rely on, ownership, closing and the message queue.
#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/services/MemServices.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/Scheduler.h"
#include "platform/ui/StdCtrls.h"
#include "platform/ui/headless/Headless.h"

namespace {

class UiModel : public ::testing::Test {
protected:
    void SetUp() override { ui.Reset(); }
    headless::THeadlessBackend& ui = headless::Instance();
    TApplication app;
};

TEST_F(UiModel, CodeRunsClickAndChangeHandlersButListChoiceRunsNone) {
    TForm f(nullptr);
    auto* box = New<TCheckBox>(&f, &f);
    auto* edit = New<TEdit>(&f, &f);
    auto* combo = New<TComboBox>(&f, &f);
    int clicks = 0, changes = 0, picks = 0;
    box->OnClick = [&] { ++clicks; };
    edit->OnChange = [&] { ++changes; };
    combo->OnChange = [&] { ++picks; };
    box->SetChecked(false);  // unchanged: nothing runs
    box->SetChecked(true);
    box->SetChecked(false);
    edit->SetText("a");
    edit->SetText("a");
    combo->SetItems({"1", "2"});
    combo->SetItemIndex(1);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(picks, 0);
    combo->UserSelect(0);
    EXPECT_EQ(picks, 1);
    EXPECT_EQ(combo->Text(), "1");
    combo->SetItemIndex(5);
    EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST_F(UiModel, RadioButtonsOfOneParentExcludeEachOther) {
    TForm f(nullptr);
    auto* group = New<TGroupBox>(&f, &f);
    auto* a = New<TRadioButton>(&f, group);
    auto* b = New<TRadioButton>(&f, group);
    auto* other = New<TRadioButton>(&f, &f);
    int aClicks = 0;
    a->OnClick = [&] { ++aClicks; };
    other->SetChecked(true);
    a->SetChecked(true);
    b->UserClick();
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(other->Checked());
    EXPECT_EQ(aClicks, 1);  // clearing runs nothing
    group->SetChildrenEnabled(false);
    a->UserClick();  // disabled: the user cannot reach it
    EXPECT_FALSE(a->Checked());
}

TEST_F(UiModel, SpinEditValueTextAndBounds) {
    TForm f(nullptr);
    auto* spin = New<TSpinEdit>(&f, &f);
    spin->MinValue = 1;
    spin->MaxValue = 9;
    std::vector<int> seen;
    spin->OnChange = [&] { seen.push_back(spin->Value()); };
    spin->UserType("12");   // stored as typed
    spin->UserExit();       // then put to the bound
    spin->UserType("x");    // not a number: the minimum
    spin->UserExit();
    spin->UserStep(-1);     // the arrows stay in the range
    spin->SetValue(-5);     // a stored value is shown as the nearest bound
    EXPECT_EQ(seen, (std::vector<int>{12, 9, 1, 1}));
    EXPECT_EQ(spin->Text(), "1");
    auto* free = New<TSpinEdit>(&f, &f);  // no limits
    free->SetValue(-5);
    free->UserExit();
    EXPECT_EQ(free->Value(), -5);
}

TEST_F(UiModel, ListViewSelectionEventsAndBatchedRows) {
    TForm f(nullptr);
    auto* list = New<TListView>(&f, &f);
    std::vector<std::string> events;
    list->OnSelectItem = [&](int i, bool s) { events.push_back(std::to_string(i) + (s ? "+" : "-")); };
    list->BeginUpdate();
    list->Add().Caption = "a";
    list->Add().Caption = "b";
    list->EndUpdate();
    list->UserSelect(0);
    list->UserSelect(1);
    list->Clear();
    EXPECT_EQ(events, (std::vector<std::string>{"0+", "0-", "1+", "1-"}));
    EXPECT_EQ(list->Selected(), -1);
    EXPECT_THROW(list->Item(0), EListError);
}

TEST_F(UiModel, FreeOnCloseDeletesAfterTheMessageAndOwnersFreeTheRest) {
    auto* owner = new TForm(nullptr);
    auto* child = new TForm(owner);
    bool closed = false;
    child->OnClose = [&](TCloseAction& a) {
        closed = true;
        a = caFree;
    };
    child->Show();
    child->Close();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(child->Visible());
    EXPECT_EQ(owner->Components().size(), 1u);  // still there until the message is handled
    ui.ProcessMessages();
    EXPECT_TRUE(owner->Components().empty());
    new TForm(owner);
    delete owner;  // frees the second child with it (the sanitizer sees any leak)
}

TEST_F(UiModel, PostedMessagesReachTheirHandlerAndExceptionsTheReport) {
    TForm f(nullptr);
    int got = 0;
    f.SetMessageHandler(1324, [&](TMessage& m) { got = static_cast<int>(m.WParam); });
    f.SetMessageHandler(2024, [](TMessage&) { throw EConvertError("bad value"); });
    app.PostMessage(f.Handle(), 1324, 7, 0);
    app.PostMessage(f.Handle(), 2024, 0, 0);
    app.PostMessage(f.Handle() + 999, 1324, 1, 0);  // no such window: lost
    app.ProcessMessages();
    EXPECT_EQ(got, 7);
    ASSERT_EQ(ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(ui.MessageBoxes[0].Text, "bad value");
}

TEST_F(UiModel, ModalRunsEndWithTheButtonsResultOrCancel) {
    TForm f(nullptr);
    auto* ok = New<TButton>(&f, &f);
    ok->ModalResult = mrOk;
    ok->Default = true;
    auto* cancel = New<TButton>(&f, &f);
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    ui.ExpectModal([](TForm& form) { form.KeyEnter(); });
    EXPECT_EQ(f.ShowModal(), mrOk);
    ui.ExpectModal([](TForm& form) { form.KeyEscape(); });
    EXPECT_EQ(f.ShowModal(), mrCancel);
    ui.ExpectModal([](TForm&) {});  // closed without a button
    EXPECT_EQ(f.ShowModal(), mrCancel);
    EXPECT_FALSE(f.Visible());
}

TEST_F(UiModel, HiddenTabMovesTheActivePage) {
    TForm f(nullptr);
    auto* pages = New<TPageControl>(&f, &f);
    auto* one = New<TTabSheet>(&f, pages);
    auto* two = New<TTabSheet>(&f, pages);
    int changes = 0;
    pages->OnChange = [&] { ++changes; };
    pages->SetActivePage(one);
    one->SetTabVisible(false);
    EXPECT_EQ(pages->ActivePage(), two);
    pages->UserSelectPage(one);  // a hidden tab cannot be chosen
    EXPECT_EQ(pages->ActivePage(), two);
    EXPECT_EQ(changes, 0);
}

TEST_F(UiModel, TrayIconAndTimerFollowTheirSwitches) {
    TForm f(nullptr);
    auto* menu = New<TPopupMenu>(&f);
    auto* def = menu->Add("&Setting");
    def->Default = true;
    int runs = 0;
    def->OnClick = [&] { ++runs; };
    auto* tray = New<TTrayIcon>(&f);
    tray->PopupMenu = menu;
    tray->UserDoubleClick();
    def->Enabled = false;
    tray->UserDoubleClick();
    def->Enabled = true;
    tray->SetEnabled(false);
    tray->UserDoubleClick();
    tray->UserRightClick(1, 2);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(ui.Popups.empty());

    auto* timer = New<TTimer>(&f);
    int ticks = 0;
    timer->OnTimer = [&] { ++ticks; };
    timer->SetInterval(500);
    ui.AdvanceTime(1000);  // not enabled yet
    timer->SetEnabled(true);
    ui.AdvanceTime(1600);
    timer->SetEnabled(false);
    ui.AdvanceTime(1000);
    EXPECT_EQ(ticks, 3);
}

TEST_F(UiModel, SchedulerFiresOncePerMatchOfTheTimeText) {
    platform::TMemServicesScope sys;
    sys.Clock.Set(EncodeDateTime({2026, 12, 11, 10, 58, 29, 0}));
    TForm f(nullptr);
    auto* s = New<TAHMScheduler>(&f);
    int fired = 0;
    s->OnTrigger = [&](const std::string& id, bool&) {
        EXPECT_EQ(id, "1");
        ++fired;
    };
    s->TriggerTime = "10:58:30";
    s->SetActive(true);
    for (int i = 0; i < 12; ++i) {  // three seconds in quarter-second steps
        sys.Clock.Advance(250);
        ui.AdvanceTime(250);
    }
    EXPECT_EQ(fired, 1);
    s->TriggerTime = FormatTimeHHMMSS(sys.Clock.Now());
    s->SetActive(true);  // set during its own second: not at once
    sys.Clock.Advance(250);
    ui.AdvanceTime(250);
    EXPECT_EQ(fired, 1);
}

}  // namespace

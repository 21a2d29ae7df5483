// Controls on real windows: the model's state shows in the window, the
// user's actions on the window reach the model once, and nothing loops back.
#include "UiTestSupport.h"
#include "platform/ui/ComCtrls.h"
#include "platform/ui/StdCtrls.h"

using namespace uitest;

namespace {

class ControlsTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetCaption("Controls");
        form_->SetClientSize(460, 420);
    }
    void TearDown() override {
        form_.reset();
        TUiTest::TearDown();
    }
    // Shows the form and waits until it is the active window.
    void ShowForm() {
        form_->Show();
        PumpUntil([&] { return GetActiveWindow() == Hwnd(*form_); }, 1000);
    }
    template <class T>
    T* Add(int left, int top, int width, int height, TWinControl* parent = nullptr) {
        auto* c = New<T>(form_.get(), parent ? parent : form_.get());
        c->SetBounds(left, top, width, height);
        return c;
    }
    std::unique_ptr<TForm> form_;
};

TEST_F(ControlsTest, ButtonClickRunsTheHandlerOnlyWhenTheButtonCanBeReached) {
    auto* b = Add<TButton>(8, 8, 75, 25);
    b->SetCaption("&New");
    int clicks = 0;
    b->OnClick = [&] { ++clicks; };
    ShowForm();
    EXPECT_EQ(Text(Hwnd(b)), "&New");
    SendMessageA(Hwnd(b), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    b->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(Hwnd(b)));
    SendMessageA(Hwnd(b), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    b->SetEnabled(true);
    b->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(Hwnd(b)));
}

TEST_F(ControlsTest, HintShowsAsTheToolTipOfItsControl) {
    auto* b = Add<TButton>(8, 8, 25, 21);
    b->SetCaption("...");
    b->Hint = "Select a wave file (.wav)";
    Add<TButton>(40, 8, 25, 21);  // no hint
    ShowForm();
    std::pair<HWND, HWND> search{Hwnd(*form_), nullptr};  // the form, its tool tips
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<std::pair<HWND, HWND>*>(p);
            if (ClassOf(h) == TOOLTIPS_CLASSA && GetWindow(h, GW_OWNER) == s->first) s->second = h;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    HWND tips = search.second;
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    char text[80] = {};
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = Hwnd(*form_);
    ti.uId = reinterpret_cast<UINT_PTR>(Hwnd(b));
    ti.lpszText = text;
    SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, "Select a wave file (.wav)");
}

TEST_F(ControlsTest, CheckBoxAndRadioButtonsFollowTheModelAndTheUser) {
    auto* check = Add<TCheckBox>(8, 8, 200, 17);
    check->SetCaption("Enable LED Indicator");
    auto* lan = Add<TRadioButton>(8, 30, 200, 17);
    auto* dial = Add<TRadioButton>(8, 50, 200, 17);
    int checkClicks = 0, lanClicks = 0, dialClicks = 0;
    check->OnClick = [&] { ++checkClicks; };
    lan->OnClick = [&] { ++lanClicks; };
    dial->OnClick = [&] { ++dialClicks; };
    ShowForm();

    check->SetChecked(true);  // by code: the handler runs once, the window shows it
    EXPECT_EQ(SendMessageA(Hwnd(check), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(checkClicks, 1);
    SendMessageA(Hwnd(check), BM_CLICK, 0, 0);  // the user clears it
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(SendMessageA(Hwnd(check), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(checkClicks, 2);

    lan->SetChecked(true);
    SendMessageA(Hwnd(dial), BM_CLICK, 0, 0);
    EXPECT_TRUE(dial->Checked());
    EXPECT_FALSE(lan->Checked());
    EXPECT_EQ(SendMessageA(Hwnd(dial), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(Hwnd(lan), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(lanClicks, 1);
    EXPECT_EQ(dialClicks, 1);
    // Only the checked radio button of the group is reached with Tab.
    EXPECT_TRUE(GetWindowLongPtrA(Hwnd(dial), GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongPtrA(Hwnd(lan), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(ControlsTest, EditTextGoesBothWaysWithOneChangePerEdit) {
    auto* edit = Add<TEdit>(8, 8, 200, 21);
    auto* mirror = Add<TEdit>(8, 40, 200, 21);
    int changes = 0, mirrorChanges = 0;
    edit->OnChange = [&] {
        ++changes;
        mirror->SetText(edit->Text());
    };
    mirror->OnChange = [&] { ++mirrorChanges; };
    ShowForm();

    edit->SetText("pop.example.com");
    EXPECT_EQ(Text(Hwnd(edit)), "pop.example.com");
    EXPECT_EQ(Text(Hwnd(mirror)), "pop.example.com");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(mirrorChanges, 1);

    SendMessageA(Hwnd(edit), EM_SETSEL, 15, 15);
    SendMessageA(Hwnd(edit), WM_CHAR, 'x', 0);  // the user types a character
    EXPECT_EQ(edit->Text(), "pop.example.comx");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(Text(Hwnd(mirror)), "pop.example.comx");
    SendMessageA(Hwnd(edit), EM_SETSEL, 0, -1);
    SendMessageA(Hwnd(edit), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("mail"));  // pasted
    EXPECT_EQ(edit->Text(), "mail");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(mirrorChanges, 3);
}

// What the model forbids, the window does not let the user do.
TEST_F(ControlsTest, EditLimitsReachTheWindow) {
    auto* limited = Add<TEdit>(8, 8, 100, 21);
    limited->MaxLength = 2;
    auto* password = Add<TEdit>(8, 40, 100, 21);
    password->PasswordChar = '*';
    auto* readOnly = Add<TEdit>(8, 72, 100, 21);
    readOnly->SetText("fixed");
    int readOnlyChanges = 0;
    readOnly->OnChange = [&] { ++readOnlyChanges; };
    ShowForm();
    readOnly->SetReadOnly(true);

    for (char c : std::string("12345")) SendMessageA(Hwnd(limited), WM_CHAR, c, 0);
    EXPECT_EQ(limited->Text(), "12");
    EXPECT_EQ(Text(Hwnd(limited)), "12");

    EXPECT_EQ(SendMessageA(Hwnd(password), EM_GETPASSWORDCHAR, 0, 0), '*');
    for (char c : std::string("secret")) SendMessageA(Hwnd(password), WM_CHAR, c, 0);
    EXPECT_EQ(password->Text(), "secret");

    EXPECT_TRUE(GetWindowLongPtrA(Hwnd(readOnly), GWL_STYLE) & ES_READONLY);
    SendMessageA(Hwnd(readOnly), WM_CHAR, 'x', 0);
    EXPECT_EQ(readOnly->Text(), "fixed");
    EXPECT_EQ(readOnlyChanges, 0);
}

TEST_F(ControlsTest, DropDownListSelectsFromTheModelAndTheKeyboard) {
    auto* combo = Add<TComboBox>(8, 8, 80, 21);
    int changes = 0;
    combo->OnChange = [&] { ++changes; };
    combo->SetItems({"1", "2", "3", "4", "5", "6", "7", "8"});
    combo->SetItemIndex(2);
    ShowForm();
    HWND h = Hwnd(combo);
    EXPECT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 8);
    EXPECT_EQ(SendMessageA(h, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(GetWindowLongPtrA(h, GWL_STYLE) & 3, CBS_DROPDOWNLIST);

    SetFocus(h);
    SendMessageA(h, WM_KEYDOWN, VK_DOWN, 0);  // the user moves to the next item
    EXPECT_EQ(combo->ItemIndex(), 3);
    EXPECT_EQ(combo->Text(), "4");
    EXPECT_EQ(changes, 1);

    combo->SetItemIndex(-1);
    EXPECT_EQ(SendMessageA(h, CB_GETCURSEL, 0, 0), CB_ERR);
    combo->SetItems({"a"});
    EXPECT_EQ(SendMessageA(h, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(changes, 1);
}

TEST_F(ControlsTest, ListViewShowsRowsAndSelectsBothWays) {
    auto* list = Add<TListView>(4, 56, 289, 137);
    list->HideSelection = false;
    list->ColumnClick = false;
    list->AddColumn("From");
    list->AddColumn("Account");
    std::vector<std::pair<int, bool>> events;
    list->OnSelectItem = [&](int i, bool s) { events.push_back({i, s}); };
    ShowForm();
    HWND h = Hwnd(list);
    list->BeginUpdate();
    for (const char* from : {"a@example.com", "b@example.com", "c@example.com"}) {
        TListItem& row = list->Add();
        row.Caption = from;
        row.SubItems.push_back("pop.example.com");
    }
    EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 0) << "rows shown inside the update bracket";
    list->EndUpdate();
    ASSERT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 3);
    char buf[64] = {};
    LVITEMA it{};
    it.iSubItem = 1;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(h, LVM_GETITEMTEXTA, 2, reinterpret_cast<LPARAM>(&it));
    EXPECT_STREQ(buf, "pop.example.com");

    const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
    EXPECT_TRUE(style & LVS_NOSORTHEADER);
    EXPECT_FALSE(style & LVS_EDITLABELS);
    // Both columns sized automatically share the list's width.
    RECT rc;
    GetClientRect(h, &rc);
    const int w0 = static_cast<int>(SendMessageA(h, LVM_GETCOLUMNWIDTH, 0, 0));
    const int w1 = static_cast<int>(SendMessageA(h, LVM_GETCOLUMNWIDTH, 1, 0));
    EXPECT_EQ(w0 + w1, rc.right);
    EXPECT_NEAR(w0, w1, 1);

    list->SetSelected(1);  // by code
    EXPECT_EQ(SendMessageA(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    ASSERT_EQ(events.size(), 1u);

    SetFocus(h);
    SendMessageA(h, WM_KEYDOWN, VK_DOWN, 0);  // the user moves down one row
    EXPECT_EQ(list->Selected(), 2);
    const std::vector<std::pair<int, bool>> want = {{1, true}, {1, false}, {2, true}};
    EXPECT_EQ(events, want);

    list->Clear();
    EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(list->Selected(), -1);
}

TEST_F(ControlsTest, SpinEditStepsTypesAndPutsTheValueIntoItsRangeOnExit) {
    auto* spin = Add<TSpinEdit>(8, 8, 50, 21);
    spin->MinValue = 1;
    spin->MaxValue = 9;
    spin->MaxLength = 1;
    auto* other = Add<TButton>(8, 40, 75, 25);
    std::vector<std::string> changes;
    spin->OnChange = [&] { changes.push_back(spin->Text()); };
    ShowForm();
    HWND h = Hwnd(spin);
    spin->SetValue(12);  // a stored value outside the range shows as the bound
    EXPECT_EQ(Text(h), "9");

    SetFocus(h);
    SendMessageA(h, WM_KEYDOWN, VK_DOWN, 0);  // the arrow keys step by one
    EXPECT_EQ(spin->Text(), "8");
    EXPECT_EQ(Text(h), "8");
    SendMessageA(h, WM_KEYDOWN, VK_UP, 0);
    SendMessageA(h, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(spin->Value(), 9);

    SendMessageA(h, EM_SETSEL, 0, -1);
    SendMessageA(h, WM_CHAR, '0', 0);  // below the range: kept as typed until the field is left
    EXPECT_EQ(spin->Text(), "0");
    SetFocus(Hwnd(other));
    EXPECT_EQ(spin->Text(), "1");
    EXPECT_EQ(Text(h), "1");
    const std::vector<std::string> want = {"9", "8", "9", "0", "1"};
    EXPECT_EQ(changes, want);
}

TEST_F(ControlsTest, HiddenTabsLeaveTheStripAndTheUserSwitchesPages) {
    auto* pages = Add<TPageControl>(5, 5, 443, 385);
    std::vector<TTabSheet*> sheets;
    for (const char* caption : {"Notification", "Accounts", "Connections", "Mouse"}) {
        auto* s = New<TTabSheet>(form_.get(), pages);
        s->SetCaption(caption);
        sheets.push_back(s);
    }
    auto* onSecond = Add<TCheckBox>(10, 10, 100, 17, sheets[1]);
    int changes = 0;
    pages->OnChange = [&] { ++changes; };
    pages->SetActivePage(sheets[0]);
    sheets[2]->SetTabVisible(false);
    ShowForm();
    HWND tabs = Hwnd(pages);
    auto tabTexts = [&] {
        std::vector<std::string> r;
        const int n = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char buf[64] = {};
            TCITEMA it{};
            it.mask = TCIF_TEXT;
            it.pszText = buf;
            it.cchTextMax = sizeof buf;
            SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&it));
            r.push_back(buf);
        }
        return r;
    };
    EXPECT_EQ(tabTexts(), (std::vector<std::string>{"Notification", "Accounts", "Mouse"}));
    EXPECT_TRUE(IsWindowVisible(Hwnd(sheets[0])));
    EXPECT_FALSE(IsWindowVisible(Hwnd(sheets[1])));
    EXPECT_FALSE(IsWindowVisible(Hwnd(onSecond)));

    SetFocus(tabs);
    SendMessageA(tabs, WM_KEYDOWN, VK_RIGHT, 0);  // the user goes to the next tab
    EXPECT_EQ(pages->ActivePage(), sheets[1]);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(IsWindowVisible(Hwnd(onSecond)));
    EXPECT_FALSE(IsWindowVisible(Hwnd(sheets[0])));
    SendMessageA(tabs, WM_KEYDOWN, VK_RIGHT, 0);  // past the hidden tab
    EXPECT_EQ(pages->ActivePage(), sheets[3]);

    pages->SetActivePage(sheets[0]);  // by code: no handler
    EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(changes, 2);
    sheets[2]->SetTabVisible(true);
    EXPECT_EQ(tabTexts(), (std::vector<std::string>{"Notification", "Accounts", "Connections", "Mouse"}));
    EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 0);
}

TEST_F(ControlsTest, NotebookShowsOnePageAtATime) {
    auto* book = Add<TNotebook>(5, 5, 341, 163);
    std::vector<TNotebookPage*> pages;
    for (int i = 0; i < 3; ++i) pages.push_back(New<TNotebookPage>(form_.get(), book));
    auto* field = Add<TEdit>(136, 93, 190, 21, pages[1]);
    ShowForm();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(IsWindowVisible(Hwnd(pages[i]))) << i;
    book->SetPageIndex(1);
    EXPECT_TRUE(IsWindowVisible(Hwnd(pages[1])));
    EXPECT_TRUE(IsWindowVisible(Hwnd(field)));
    EXPECT_FALSE(IsWindowVisible(Hwnd(pages[0])));
    book->SetPageIndex(2);
    EXPECT_FALSE(IsWindowVisible(Hwnd(field)));
    EXPECT_TRUE(IsWindowVisible(Hwnd(pages[2])));
    RECT rc;
    GetClientRect(Hwnd(pages[2]), &rc);
    EXPECT_EQ(rc.right, 341);
    EXPECT_EQ(rc.bottom, 163);
}

TEST_F(ControlsTest, ControlsInAGroupBoxArePlacedByTheBoxAndFollowIt) {
    auto* outer = Add<TGroupBox>(20, 30, 300, 200);
    auto* inner = Add<TGroupBox>(10, 40, 200, 100, outer);
    auto* spin = Add<TSpinEdit>(5, 6, 40, 21, inner);
    auto* check = Add<TCheckBox>(12, 14, 100, 17, outer);
    ShowForm();
    HWND f = Hwnd(*form_);
    EXPECT_EQ(GetParent(Hwnd(check)), f);
    EXPECT_EQ(GetParent(Hwnd(spin)), f);
    RECT r;
    GetWindowRect(Hwnd(check), &r);
    MapWindowPoints(nullptr, f, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 32);
    EXPECT_EQ(r.top, 44);
    GetWindowRect(Hwnd(spin), &r);
    MapWindowPoints(nullptr, f, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 35);
    EXPECT_EQ(r.top, 76);

    outer->SetChildrenEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(Hwnd(check)));
    EXPECT_FALSE(IsWindowEnabled(Hwnd(spin))) << "inside the disabled inner box";
    EXPECT_TRUE(IsWindowEnabled(Hwnd(outer)));
    outer->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(Hwnd(check)));
    EXPECT_FALSE(IsWindowVisible(Hwnd(spin)));
    outer->SetVisible(true);
    outer->SetBounds(40, 30, 300, 200);
    GetWindowRect(Hwnd(spin), &r);
    MapWindowPoints(nullptr, f, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 55);
    EXPECT_TRUE(IsWindowVisible(Hwnd(spin)));
}

TEST_F(ControlsTest, FontsAndColoursReachTheWindows) {
    TFont title;
    title.Name = "Times New Roman";
    title.Height = 19;
    title.Bold = title.Italic = true;
    title.Color = clBlue;
    auto* label = Add<TLabel>(12, 8, 320, 24);
    label->SetCaption("Enter Incoming Email Server Name");
    label->SetFont(title);
    auto* plain = Add<TLabel>(12, 40, 0, 0);  // sized to its text
    plain->SetCaption("Pop3 Server Name :");
    auto* memo = Add<TMemo>(0, 100, 406, 255);
    memo->ReadOnly = true;
    memo->VerticalScrollBar = true;
    memo->SetColor(clBtnFace);
    memo->Add("");
    ShowForm();

    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Hwnd(label), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
    EXPECT_EQ(lf.lfHeight, -19);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfItalic);

    RECT r;
    GetClientRect(Hwnd(plain), &r);
    EXPECT_GT(r.right, 40);
    EXPECT_GT(r.bottom, 5);

    HWND f = Hwnd(*form_);
    HDC dc = GetDC(f);
    SendMessageA(f, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Hwnd(label)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    SendMessageA(f, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Hwnd(memo)));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(f, dc);

    EXPECT_TRUE(GetWindowLongPtrA(Hwnd(memo), GWL_STYLE) & WS_VSCROLL);
    memo->Add("Connecting pop.example.com");
    memo->Add("Done.");
    EXPECT_EQ(Text(Hwnd(memo)), "\r\nConnecting pop.example.com\r\nDone.");
    memo->Clear();
    EXPECT_EQ(Text(Hwnd(memo)), "");
}

TEST_F(ControlsTest, KeyboardFocusAndTheActiveControlFollowEachOther) {
    auto* first = Add<TEdit>(8, 8, 100, 21);
    auto* second = Add<TEdit>(8, 40, 100, 21);
    auto* button = Add<TButton>(8, 72, 75, 25);
    button->TabOrder = 0;  // first in the tab order
    ShowForm();
    ASSERT_EQ(GetActiveWindow(), Hwnd(*form_));
    EXPECT_EQ(GetFocus(), Hwnd(button)) << "the focus starts on the first control in tab order";
    EXPECT_EQ(form_->ActiveControl(), button);

    second->SetFocus();
    EXPECT_EQ(GetFocus(), Hwnd(second));
    SetFocus(Hwnd(first));  // the user clicks into the first field
    EXPECT_EQ(form_->ActiveControl(), first);

    // Tab moves on in tab order: button, first, second.
    PostMessageA(Hwnd(first), WM_KEYDOWN, VK_TAB, 0);
    PumpUntil([&] { return form_->ActiveControl() == second; }, 500);
    EXPECT_EQ(form_->ActiveControl(), second);
}

}  // namespace

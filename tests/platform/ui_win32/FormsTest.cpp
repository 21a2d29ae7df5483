// Forms on real windows: class and caption, message dispatch through the
// system's loop, modal runs, releases, timers and the exception report.
#include <stdexcept>

#include "UiTestSupport.h"
#include "base/Exceptions.h"
#include "platform/ui/Menus.h"
#include "platform/ui/StdCtrls.h"

using namespace uitest;

namespace {

class FormsTest : public TUiTest {};

// A form that counts how often it is destroyed.
class TCountedForm : public TForm {
public:
    TCountedForm(TComponent* owner, int& deaths) : TForm(owner), deaths_(deaths) {}
    ~TCountedForm() override { ++deaths_; }

private:
    int& deaths_;
};

// Runs `action` once from a timer while a modal loop runs.
struct TOnce {
    explicit TOnce(std::function<void()> action) : timer(nullptr), action_(std::move(action)) {
        timer.SetInterval(10);
        timer.OnTimer = [this] {
            timer.SetEnabled(false);
            action_();
        };
        timer.SetEnabled(true);
    }
    TTimer timer;

private:
    std::function<void()> action_;
};

TEST_F(FormsTest, MainWindowIsFoundByClassAndCaptionAndStaysHidden) {
    TForm main(nullptr);
    main.WindowClassName = "TMAILBELLForm";
    main.SetCaption("MAILBELLForm");
    HWND h = Hwnd(main);
    EXPECT_EQ(FindWindowA("TMAILBELLForm", "MAILBELLForm"), h);
    EXPECT_FALSE(IsWindowVisible(h));

    TForm other(nullptr);
    other.SetCaption("Messages");
    HWND o = Hwnd(other);
    EXPECT_EQ(ClassOf(o), win32::kFormClass);
    other.SetCaption("Messages 2");
    EXPECT_EQ(Text(o), "Messages 2");
    EXPECT_EQ(FindWindowA("TMAILBELLForm", "Messages 2"), nullptr);
}

TEST_F(FormsTest, PostedMessagesReachTheirHandlersThroughTheLoop) {
    TForm main(nullptr);
    main.WindowClassName = "TMAILBELLForm";
    main.SetCaption("MAILBELLForm");
    struct TGot {
        unsigned msg;
        uintptr_t w;
        intptr_t l;
    };
    std::vector<TGot> got;
    const unsigned numbers[] = {1124, 1224, 1324, 2024, 2025};
    for (unsigned n : numbers) main.SetMessageHandler(n, [&](TMessage& m) { got.push_back({m.Msg, m.WParam, m.LParam}); });
    main.SetMessageHandler(1999, [&](TMessage&) { Application->Terminate(); });

    Application->PostMessage(main.Handle(), 1324);
    Application->PostMessage(main.Handle(), 1224);
    Application->PostMessage(main.Handle(), 2024, 0x1234, -5);
    Application->PostMessage(main.Handle(), 2025);
    // A second process finds the window and posts, as a second start does.
    std::thread other([] {
        HWND h = FindWindowA("TMAILBELLForm", "MAILBELLForm");
        PostMessageA(h, 1124, 0, 0);
        PostMessageA(h, 1999, 0, 0);
    });
    other.join();
    Application->Run();

    ASSERT_EQ(got.size(), 5u);
    const unsigned order[] = {1324, 1224, 2024, 2025, 1124};
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].msg, order[i]) << i;
    EXPECT_EQ(got[2].w, 0x1234u);
    EXPECT_EQ(got[2].l, -5);
    EXPECT_EQ(got[4].w, 0u);
}

TEST_F(FormsTest, DialogBorderGivesTheClientSizeCentredOnTheScreen) {
    TForm f(nullptr);
    f.BorderStyle = bsDialog;
    f.Position = poScreenCenter;
    f.SetClientSize(406, 255);
    f.Show();
    HWND h = Hwnd(f);
    EXPECT_TRUE(IsWindowVisible(h));
    RECT rc;
    GetClientRect(h, &rc);
    EXPECT_EQ(rc.right, 406);
    EXPECT_EQ(rc.bottom, 255);
    const LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    RECT wr, wa;
    GetWindowRect(h, &wr);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0);
    EXPECT_NEAR((wr.left + wr.right) / 2, (wa.left + wa.right) / 2, 1);
    EXPECT_NEAR((wr.top + wr.bottom) / 2, (wa.top + wa.bottom) / 2, 1);
    f.Hide();
    EXPECT_FALSE(IsWindowVisible(h));
}

// How a modal run ends, and the result it gives.
struct TModalCase {
    const char* name;
    std::function<void(TForm&, TEdit&, TButton& ok, TButton& cancel)> act;
    int result;
};

TEST_F(FormsTest, ModalRunsEndAsTheUserEndsThem) {
    const TModalCase cases[] = {
        {"OK button clicked", [](TForm&, TEdit&, TButton& ok, TButton&) { SendMessageA(Hwnd(&ok), BM_CLICK, 0, 0); }, mrOk},
        {"close box", [](TForm& f, TEdit&, TButton&, TButton&) { PostMessageA(Hwnd(f), WM_SYSCOMMAND, SC_CLOSE, 0); }, mrCancel},
        {"Enter in the text field",
         [](TForm&, TEdit& e, TButton&, TButton&) { PostMessageA(Hwnd(&e), WM_KEYDOWN, VK_RETURN, 0x1C0001); }, mrOk},
        {"Esc in the text field",
         [](TForm&, TEdit& e, TButton&, TButton&) { PostMessageA(Hwnd(&e), WM_KEYDOWN, VK_ESCAPE, 0x10001); }, mrCancel},
        {"Enter on the focused Cancel button",
         [](TForm& f, TEdit&, TButton&, TButton& cancel) {
             cancel.SetFocus();
             PostMessageA(Hwnd(f), WM_KEYDOWN, VK_RETURN, 0x1C0001);
         },
         mrCancel},
        {"application terminated", [](TForm&, TEdit&, TButton&, TButton&) { Application->Terminate(); }, mrCancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        win32::Instance().ClearTerminated();
        TForm f(nullptr);
        f.SetClientSize(200, 100);
        auto* edit = New<TEdit>(&f, &f);
        edit->SetBounds(8, 8, 180, 21);
        auto* ok = New<TButton>(&f, &f);
        ok->SetCaption("OK");
        ok->SetBounds(8, 60, 75, 25);
        ok->Default = true;
        ok->ModalResult = mrOk;
        int okClicks = 0;
        ok->OnClick = [&] { ++okClicks; };
        auto* cancel = New<TButton>(&f, &f);
        cancel->SetCaption("Cancel");
        cancel->SetBounds(100, 60, 75, 25);
        cancel->Cancel = true;
        cancel->ModalResult = mrCancel;
        f.SetActiveControl(edit);
        TOnce once([&] { c.act(f, *edit, *ok, *cancel); });
        EXPECT_EQ(f.ShowModal(), c.result);
        EXPECT_FALSE(IsWindowVisible(Hwnd(f)));
        EXPECT_EQ(okClicks, c.result == mrOk ? 1 : 0);
    }
}

TEST_F(FormsTest, ModalRunDisablesTheOtherWindowsUntilItEnds) {
    TForm modeless(nullptr);
    modeless.SetClientSize(100, 50);
    modeless.Show();
    TForm dialog(nullptr);
    dialog.SetClientSize(100, 50);
    bool otherEnabled = true, selfEnabled = false;
    TOnce once([&] {
        otherEnabled = IsWindowEnabled(Hwnd(modeless));
        selfEnabled = IsWindowEnabled(Hwnd(dialog));
        dialog.SetModalResult(mrOk);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(selfEnabled);
    EXPECT_TRUE(IsWindowEnabled(Hwnd(modeless)));
}

TEST_F(FormsTest, FreeOnCloseDeletesTheFormOnceAfterTheMessage) {
    int deaths = 0;
    auto* f = new TCountedForm(nullptr, deaths);
    f->OnClose = [](TCloseAction& a) { a = caFree; };
    f->SetClientSize(100, 50);
    f->Show();
    HWND h = Hwnd(*f);
    SendMessageA(h, WM_CLOSE, 0, 0);  // the close box
    EXPECT_EQ(deaths, 0) << "deleted while its message was handled";
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_TRUE(PumpUntil([&] { return deaths > 0; }));
    EXPECT_FALSE(IsWindow(h));
    Application->ProcessMessages();
    EXPECT_EQ(deaths, 1);
}

TEST_F(FormsTest, FormFreedWithItsOwnerBeforeItsReleaseIsNotDeletedAgain) {
    int deaths = 0;
    auto* owner = new TForm(nullptr);
    auto* f = new TCountedForm(owner, deaths);
    f->OnClose = [](TCloseAction& a) { a = caFree; };
    f->Show();
    f->Close();
    delete owner;
    EXPECT_EQ(deaths, 1);
    Application->ProcessMessages();
    Sleep(20);
    Application->ProcessMessages();
    EXPECT_EQ(deaths, 1);
}

TEST_F(FormsTest, FormClosedByItsOwnHandlerLivesUntilTheHandlerReturns) {
    int deaths = 0;
    auto* f = new TCountedForm(nullptr, deaths);
    f->OnClose = [](TCloseAction& a) { a = caFree; };
    auto* b = New<TButton>(f, f);
    b->SetBounds(8, 8, 75, 25);
    bool aliveAfterPump = false;
    b->OnClick = [&] {
        f->Close();
        // Long work that pumps messages (a mail check) must not lose the form under it.
        Application->ProcessMessages();
        Sleep(20);
        Application->ProcessMessages();
        aliveAfterPump = deaths == 0;
    };
    f->Show();
    SendMessageA(Hwnd(b), BM_CLICK, 0, 0);
    EXPECT_TRUE(aliveAfterPump);
    EXPECT_TRUE(PumpUntil([&] { return deaths > 0; }));
    EXPECT_EQ(deaths, 1);
}

TEST_F(FormsTest, OwnerReleasedDuringAModalRunGoesAfterTheRun) {
    int ownerDeaths = 0, dialogDeaths = 0;
    auto* owner = new TCountedForm(nullptr, ownerDeaths);
    owner->OnClose = [](TCloseAction& a) { a = caFree; };
    owner->Show();
    auto* dialog = new TCountedForm(owner, dialogDeaths);
    int ticks = 0;
    bool aliveInLoop = false;
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.OnTimer = [&] {
        if (++ticks == 1) owner->Close();  // e.g. the tray menu closes the owner meanwhile
        if (ticks == 4) {
            aliveInLoop = ownerDeaths == 0 && dialogDeaths == 0;
            timer.SetEnabled(false);
            dialog->SetModalResult(mrOk);
        }
    };
    timer.SetEnabled(true);
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_TRUE(aliveInLoop);
    EXPECT_TRUE(PumpUntil([&] { return ownerDeaths > 0; }));
    EXPECT_EQ(ownerDeaths, 1);
    EXPECT_EQ(dialogDeaths, 1);
}

TEST_F(FormsTest, TimersFireThroughTheMessageLoop) {
    TForm f(nullptr);
    auto* ticking = New<TTimer>(&f);
    auto* stopped = New<TTimer>(&f);
    auto* removed = new TTimer(&f);
    int ticks = 0, stoppedTicks = 0, removedTicks = 0;
    ticking->SetInterval(15);
    ticking->OnTimer = [&] {
        if (++ticks == 3) {
            ticking->SetEnabled(false);
            Application->Terminate();
        }
    };
    stopped->SetInterval(5);
    stopped->OnTimer = [&] { ++stoppedTicks; };
    removed->SetInterval(5);
    removed->OnTimer = [&] { ++removedTicks; };
    ticking->SetEnabled(true);
    stopped->SetEnabled(true);
    removed->SetEnabled(true);
    stopped->SetEnabled(false);
    delete removed;
    Application->Run();
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(stoppedTicks, 0);
    EXPECT_EQ(removedTicks, 0);
}

TEST_F(FormsTest, BringToFrontActivatesTheVisibleWindowNotTheHiddenOnes) {
    TForm shown(nullptr);
    shown.SetClientSize(100, 50);
    shown.Show();
    TForm main(nullptr);  // made later, so above it, but hidden
    main.WindowClassName = "TMAILBELLForm";
    main.Handle();
    TForm other(nullptr);
    other.SetClientSize(100, 50);
    other.Show();
    other.Hide();
    SetForegroundWindow(GetDesktopWindow());
    Application->BringToFront();
    EXPECT_EQ(GetForegroundWindow(), Hwnd(shown));
}

// Where an exception is thrown: each must end in the application's report,
// never cross a window procedure.
struct TThrowCase {
    const char* name;
    std::function<void(TForm&, TButton&)> raise;
};

TEST_F(FormsTest, ExceptionInAHandlerReachesTheReport) {
    const TThrowCase cases[] = {
        {"button click", [](TForm&, TButton& b) { SendMessageA(Hwnd(&b), BM_CLICK, 0, 0); }},
        {"posted message",
         [](TForm& f, TButton&) {
             Application->PostMessage(f.Handle(), 1324);
             Application->ProcessMessages();
         }},
        {"timer",
         [](TForm& f, TButton&) {
             auto* t = New<TTimer>(&f);
             t->SetInterval(5);
             t->OnTimer = [t] {
                 t->SetEnabled(false);
                 throw Exception("Boom in handler");
             };
             t->SetEnabled(true);
             PumpUntil([t] { return !t->Enabled(); });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TForm f(nullptr);
        f.SetMessageHandler(1324, [](TMessage&) { throw Exception("Boom in handler"); });
        auto* b = New<TButton>(&f, &f);
        b->SetBounds(8, 8, 75, 25);
        b->OnClick = [] { throw std::runtime_error("Boom in handler"); };
        f.Show();
        auto answer = AnswerMessageBox(Application->Title, IDOK);
        c.raise(f, *b);
        EXPECT_TRUE(answer->Found());
        EXPECT_NE(answer->Texts().find("Boom in handler"), std::string::npos) << answer->Texts();
        EXPECT_TRUE(IsWindow(Hwnd(f)));
    }
}

}  // namespace

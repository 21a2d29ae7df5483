#include "platform/ui/Forms.h"

#include "platform/MessagePump.h"
#include "platform/ui/Backend.h"
#include "platform/ui/StdCtrls.h"

TApplication* Application = nullptr;

namespace {
IBackend* g_backend = nullptr;

void MakePeers(TControl& c) {
    if (!c.Peer()) c.AttachPeer(Backend().CreatePeer(c));
    if (c.Kind() == TControlKind::Label || c.Kind() == TControlKind::Image) return;
    for (TControl* child : static_cast<TWinControl&>(c).Controls()) MakePeers(*child);
}

void DropPeers(TControl& c) {
    if (c.Kind() != TControlKind::Label && c.Kind() != TControlKind::Image)
        for (TControl* child : static_cast<TWinControl&>(c).Controls()) DropPeers(*child);
    c.DetachPeer();
}
}  // namespace

IBackend& Backend() { return g_backend ? *g_backend : DefaultBackend(); }
void SetBackend(IBackend* backend) { g_backend = backend; }

TForm::TForm(TComponent* owner) : TWinControl(owner, nullptr, TControlKind::Form) { SetVisible(false); }

TForm::~TForm() {
    if (Application && Application->MainForm == this) Application->MainForm = nullptr;
    // Child windows go before the form's own window.
    for (TControl* c : Controls()) DropPeers(*c);
    DetachPeer();
}

void TForm::SetClientSize(int w, int h) {
    clientWidth_ = w;
    clientHeight_ = h;
    Changed(TProp::Bounds);
}

THandle TForm::Handle() {
    if (!Peer()) MakePeers(*this);
    return Peer()->Handle();
}

void TForm::Show() {
    Handle();
    MakePeers(*this);  // controls added since the window was made get theirs too
    SetVisible(true);
}

void TForm::Hide() { SetVisible(false); }

int TForm::ShowModal() {
    modalResult_ = 0;
    modal_ = true;
    Show();
    try {
        Backend().RunModal(*this);
    } catch (...) {
        modal_ = false;
        Hide();
        throw;
    }
    modal_ = false;
    Hide();
    return modalResult_;
}

void TForm::Close() {
    if (releasing_) return;
    if (modal_) {
        TCloseAction action = caHide;
        if (OnClose) OnClose(action);
        if (action != caNone) modalResult_ = mrCancel;
        return;
    }
    TCloseAction action = caHide;
    if (Application && Application->MainForm == this) action = caFree;
    if (OnClose) OnClose(action);
    if (action == caNone) return;
    if (Application && Application->MainForm == this) {
        Hide();
        Application->Terminate();
        return;
    }
    Hide();
    if (action == caFree) Release();
}

void TForm::Release() {
    releasing_ = true;
    Backend().ReleaseForm(*this);
}

void TForm::SetActiveControl(TWinControl* c) {
    active_ = c;
    Changed(TProp::Focus);
}

bool TForm::Dispatch(TMessage& m) {
    auto it = handlers_.find(m.Msg);
    if (it == handlers_.end()) return false;
    TMessageHandler h = it->second;  // the handler may replace itself
    h(m);
    return true;
}

static TButton* FindButton(TWinControl& w, bool wantDefault) {
    for (TControl* c : w.Controls()) {
        if (c->Kind() == TControlKind::Button) {
            auto* b = static_cast<TButton*>(c);
            if ((wantDefault ? b->Default : b->Cancel) && b->Reachable()) return b;
        } else if (c->Kind() != TControlKind::Label && c->Kind() != TControlKind::Image) {
            if (TButton* b = FindButton(static_cast<TWinControl&>(*c), wantDefault)) return b;
        }
    }
    return nullptr;
}

void TForm::KeyEnter() {
    // A focused button answers Enter itself.
    if (active_ && active_->Kind() == TControlKind::Button) {
        static_cast<TButton*>(active_)->UserClick();
        return;
    }
    if (TButton* b = FindButton(*this, true)) b->UserClick();
}

void TForm::KeyEscape() {
    if (TButton* b = FindButton(*this, false)) b->UserClick();
}

TApplication::TApplication() {
    Application = this;
    platform::SetMessagePump([this] { ProcessMessages(); });
}

TApplication::~TApplication() {
    platform::SetMessagePump(nullptr);
    if (Application == this) Application = nullptr;
}

void TApplication::Run() {
    if (MainForm && ShowMainForm) MainForm->Show();
    Backend().Run();
}

void TApplication::Terminate() {
    terminated_ = true;
    Backend().Terminate();
}

void TApplication::ProcessMessages() { Backend().ProcessMessages(); }
void TApplication::BringToFront() { Backend().BringToFront(); }

void TApplication::PostMessage(THandle wnd, unsigned msg, uintptr_t w, intptr_t l) {
    Backend().PostMessage(wnd, msg, w, l);
}

void TApplication::HandleException(const std::exception& e) {
    const char* text = e.what();
    Backend().MessageBox(text, Title, 0x10 /* MB_ICONSTOP */);
}

void TApplication::HandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        Backend().MessageBox("Unknown exception", Title, 0x10);
    }
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return Backend().MessageBox(text, caption, flags);
}

#include <stdexcept>

#include "platform/ui/Dialogs.h"
#include "platform/ui/Menus.h"
#include "platform/ui/headless/Headless.h"

namespace headless {
namespace {

class TFormPeer : public TPeer {
public:
    TFormPeer(THeadlessBackend& b, TForm& f) : b_(b), h_(b.Register(&f)) {}
    ~TFormPeer() override { b_.Unregister(h_); }
    void Sync(TProp) override {}
    THandle Handle() const override { return h_; }

private:
    THeadlessBackend& b_;
    THandle h_;
};

}  // namespace

THeadlessBackend& Instance() {
    static THeadlessBackend backend;
    // Code that takes the headless backend works on it, also in the Windows
    // builds, whose default backend makes real windows.
    static const bool installed = (SetBackend(&backend), true);
    (void)installed;
    return backend;
}

THandle THeadlessBackend::Register(TForm* f) {
    THandle h = nextHandle_++;
    forms_[h] = f;
    return h;
}

void THeadlessBackend::Unregister(THandle h) { forms_.erase(h); }

TForm* THeadlessBackend::FormOf(THandle h) const {
    auto it = forms_.find(h);
    return it == forms_.end() ? nullptr : it->second;
}

std::unique_ptr<TPeer> THeadlessBackend::CreatePeer(TControl& control) {
    if (control.Kind() == TControlKind::Form)
        return std::make_unique<TFormPeer>(*this, static_cast<TForm&>(control));
    return nullptr;
}

std::unique_ptr<TIconPeer> THeadlessBackend::CreateTrayPeer(TTrayIcon&) { return nullptr; }

void THeadlessBackend::RunModal(TForm& form) {
    if (modalScripts_.empty())
        throw std::logic_error("no test script for the modal form \"" + form.Caption() + "\"");
    auto script = std::move(modalScripts_.front());
    modalScripts_.pop_front();
    script(form);
    if (form.ModalResult() == 0) form.SetModalResult(mrCancel);  // as the close box
}

void THeadlessBackend::PostMessage(THandle wnd, unsigned msg, uintptr_t w, intptr_t l) {
    queue_.push_back({wnd, msg, w, l, false});
}

void THeadlessBackend::ReleaseForm(TForm& form) {
    queue_.push_back({form.Handle(), 0, 0, 0, true});
}

void THeadlessBackend::ProcessMessages() {
    ++dispatching_;
    while (!queue_.empty()) {
        Posted p = queue_.front();
        queue_.pop_front();
        TForm* f = FormOf(p.wnd);
        if (!f) continue;  // the window is gone: the message is lost, as posted messages are
        if (p.release) {
            delete f;
            continue;
        }
        TMessage m{p.msg, p.w, p.l, 0};
        Guarded([&] { f->Dispatch(m); });
    }
    --dispatching_;
}

void THeadlessBackend::Run() {
    while (!terminated_ && !queue_.empty()) ProcessMessages();
}

int THeadlessBackend::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TMessageBoxCall call{text, caption, flags};
    MessageBoxes.push_back(call);
    if (!boxScripts_.empty()) {
        auto answer = std::move(boxScripts_.front());
        boxScripts_.pop_front();
        return answer(call);
    }
    return (flags & 0xF) == MB_YESNO_ ? IDNO_ : IDOK_;
}

bool THeadlessBackend::InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    InputQueries.push_back({caption, prompt});
    if (inputs_.empty()) throw std::logic_error("no test script for the input box \"" + caption + "\"");
    auto [ok, text] = inputs_.front();
    inputs_.pop_front();
    if (ok) value = text;
    return ok;
}

bool THeadlessBackend::ExecuteOpenDialog(TOpenDialog& dialog) {
    if (files_.empty()) throw std::logic_error("no test script for a file dialog");
    auto [ok, file] = files_.front();
    files_.pop_front();
    if (ok) dialog.FileName = file;
    return ok;
}

void THeadlessBackend::PopupMenu(TPopupMenu& menu, int, int) { Popups.push_back(&menu); }

void THeadlessBackend::TimerChanged(TTimer& timer) {
    if (timer.Enabled() && timer.Interval() > 0) timers_[&timer] = nowMs_ + timer.Interval();
    else timers_.erase(&timer);
}

void THeadlessBackend::TimerDestroyed(TTimer& timer) { timers_.erase(&timer); }

void THeadlessBackend::AdvanceTime(unsigned long long ms) {
    const unsigned long long target = nowMs_ + ms;
    for (;;) {
        TTimer* next = nullptr;
        unsigned long long due = target + 1;
        for (auto& [t, d] : timers_)
            if (d < due) {
                due = d;
                next = t;
            }
        if (!next) break;
        nowMs_ = due;
        if (OnTime) OnTime(nowMs_);
        timers_[next] = due + next->Interval();
        Guarded([&] { next->Fire(); });
        ProcessMessages();
    }
    nowMs_ = target;
    if (OnTime) OnTime(nowMs_);
}

void THeadlessBackend::Reset() {
    modalScripts_.clear();
    boxScripts_.clear();
    inputs_.clear();
    files_.clear();
    MessageBoxes.clear();
    InputQueries.clear();
    Popups.clear();
    broughtToFront = 0;
    terminated_ = false;
    queue_.clear();
}

}  // namespace headless

#ifndef _WIN32
IBackend& DefaultBackend() { return headless::Instance(); }
#endif

#pragma once
// The headless backend: forms and controls are pure state, posted messages
// wait in an in-process queue, timers run on a simulated millisecond clock,
// and modal dialogs, message boxes, input boxes and file dialogs are answered
// by scripts that the tests queue up.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Backend.h"

namespace headless {

struct TMessageBoxCall {
    std::string Text, Caption;
    unsigned Flags;
};

class THeadlessBackend : public IBackend {
public:
    std::unique_ptr<TPeer> CreatePeer(TControl& control) override;
    std::unique_ptr<TIconPeer> CreateTrayPeer(TTrayIcon& icon) override;
    void RunModal(TForm& form) override;
    void PostMessage(THandle wnd, unsigned msg, uintptr_t w, intptr_t l) override;
    void ProcessMessages() override;
    void Run() override;
    void Terminate() override { terminated_ = true; }
    void BringToFront() override { ++broughtToFront; }
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool ExecuteOpenDialog(TOpenDialog& dialog) override;
    void PopupMenu(TPopupMenu& menu, int x, int y) override;
    void TimerChanged(TTimer& timer) override;
    void TimerDestroyed(TTimer& timer) override;
    void ReleaseForm(TForm& form) override;

    // --- for tests ---
    void ExpectModal(std::function<void(TForm&)> script) { modalScripts_.push_back(std::move(script)); }
    void ExpectMessageBox(std::function<int(const TMessageBoxCall&)> answer) { boxScripts_.push_back(std::move(answer)); }
    void ExpectInput(bool ok, std::string value) { inputs_.push_back({ok, std::move(value)}); }
    void ExpectOpenDialog(bool ok, std::string file) { files_.push_back({ok, std::move(file)}); }
    size_t PendingScripts() const { return modalScripts_.size() + boxScripts_.size() + inputs_.size() + files_.size(); }
    std::vector<TMessageBoxCall> MessageBoxes;  // every box shown, in order
    std::vector<std::pair<std::string, std::string>> InputQueries;  // caption, prompt
    std::vector<TPopupMenu*> Popups;
    int broughtToFront = 0;
    size_t PendingMessages() const { return queue_.size(); }
    TForm* FormOf(THandle h) const;
    // Moves the simulated time on, firing due timers in order (each followed by
    // the dispatch of pending messages). OnTime is told of every step first.
    void AdvanceTime(unsigned long long ms);
    unsigned long long NowMs() const { return nowMs_; }
    std::function<void(unsigned long long nowMs)> OnTime;
    bool Terminated() const { return terminated_; }
    void Reset();  // forgets scripts, records and the terminate flag

    // Registry of form handles (used by the peers).
    THandle Register(TForm* f);
    void Unregister(THandle h);

private:
    struct Posted {
        THandle wnd;
        unsigned msg;
        uintptr_t w;
        intptr_t l;
        bool release;
    };
    std::deque<Posted> queue_;
    std::map<THandle, TForm*> forms_;
    THandle nextHandle_ = 0x1000;
    std::deque<std::function<void(TForm&)>> modalScripts_;
    std::deque<std::function<int(const TMessageBoxCall&)>> boxScripts_;
    std::deque<std::pair<bool, std::string>> inputs_, files_;
    std::map<TTimer*, unsigned long long> timers_;  // enabled timers and when they are due
    unsigned long long nowMs_ = 0;
    bool terminated_ = false;
    int dispatching_ = 0;
};

THeadlessBackend& Instance();

}  // namespace headless

#pragma once
// Forms and the application object: message dispatch by number, modeless and
// modal showing, closing with free-on-close, and the default exception report.
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <string>

#include "platform/ui/Controls.h"

struct TMessage {
    unsigned Msg = 0;
    uintptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;
};

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderStyle { bsSizeable, bsDialog };
enum TPosition { poDesigned, poScreenCenter };

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    void SetClientSize(int w, int h);
    TBorderStyle BorderStyle = bsDialog;
    TPosition Position = poScreenCenter;
    std::string WindowClassName;  // empty: the layer's own class name

    // The window handle; the window (and its controls' windows) are made on first use.
    THandle Handle();
    bool HandleAllocated() const { return Peer() != nullptr; }

    void Show();   // modeless
    void Hide();
    int ShowModal();  // 1 OK, 2 Cancel (also the close box)
    bool Modal() const { return modal_; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int r) { modalResult_ = r; }
    // Closes as the close box does: a modal form ends with Cancel; otherwise
    // OnClose chooses the action (hide by default; free: the form is deleted
    // once the current message has been handled).
    void Close();
    std::function<void(TCloseAction&)> OnClose;
    bool Releasing() const { return releasing_; }

    TWinControl* ActiveControl() const { return active_; }
    void SetActiveControl(TWinControl* c);

    using TMessageHandler = std::function<void(TMessage&)>;
    void SetMessageHandler(unsigned msg, TMessageHandler h) { handlers_[msg] = std::move(h); }
    // Runs the handler registered for the message; false when there is none.
    bool Dispatch(TMessage& m);

    // Enter and Esc on a dialog: the default or cancel button, when reachable.
    void KeyEnter();
    void KeyEscape();
    void UserCloseBox() { Close(); }

private:
    void Release();
    int clientWidth_ = 0, clientHeight_ = 0;
    bool modal_ = false;
    int modalResult_ = 0;
    bool releasing_ = false;
    TWinControl* active_ = nullptr;
    std::map<unsigned, TMessageHandler> handlers_;
};

class TApplication {
public:
    TApplication();
    ~TApplication();
    std::string Title = "MAILBELL";
    TForm* MainForm = nullptr;
    bool ShowMainForm = true;
    bool Terminated() const { return terminated_; }

    void Run();               // the message loop, until Terminate
    void Terminate();
    void ProcessMessages();   // dispatch what is pending, then return
    void BringToFront();
    void PostMessage(THandle wnd, unsigned msg, uintptr_t w = 0, intptr_t l = 0);
    // The default report of an exception that reached the message loop.
    void HandleException(const std::exception& e);
    void HandleException();   // for the current exception inside a catch block
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

private:
    bool terminated_ = false;
};

extern TApplication* Application;

// Runs f and hands any exception to the application's report (for code called
// by the system: window procedures, timers, hooks).
template <class F>
void Guarded(F&& f) {
    try {
        f();
    } catch (...) {
        if (Application) Application->HandleException();
    }
}

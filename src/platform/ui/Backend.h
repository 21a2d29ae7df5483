#pragma once
// What a user-interface backend provides. The headless backend keeps pure
// state and an in-process message queue (tests script modal dialogs, message
// boxes, input boxes and file dialogs); the Win32 backend makes real windows.
#include <memory>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

class TPopupMenu;
class TTrayIcon;
class TIconPeer;
class TTimer;
class TOpenDialog;

class IBackend {
public:
    virtual ~IBackend() = default;
    // A peer for a form or a control of a form whose window is being made.
    virtual std::unique_ptr<TPeer> CreatePeer(TControl& control) = 0;
    virtual std::unique_ptr<TIconPeer> CreateTrayPeer(TTrayIcon& icon) = 0;
    // Runs a modal loop until form.ModalResult() is not 0 (the form is shown
    // and hidden by the caller).
    virtual void RunModal(TForm& form) = 0;
    virtual void PostMessage(THandle wnd, unsigned msg, uintptr_t w, intptr_t l) = 0;
    virtual void ProcessMessages() = 0;
    virtual void Run() = 0;       // until Terminate
    virtual void Terminate() = 0;
    virtual void BringToFront() = 0;
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
    virtual bool ExecuteOpenDialog(TOpenDialog& dialog) = 0;
    virtual void PopupMenu(TPopupMenu& menu, int x, int y) = 0;
    virtual void TimerChanged(TTimer& timer) = 0;   // started, stopped or interval changed
    virtual void TimerDestroyed(TTimer& timer) = 0;
    // A form that closed with free-on-close is deleted once the current message is done.
    virtual void ReleaseForm(TForm& form) = 0;
};

IBackend& Backend();
void SetBackend(IBackend* backend);  // not owned
// The backend of this build: Win32 in the Windows builds, headless natively.
IBackend& DefaultBackend();

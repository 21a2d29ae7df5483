#pragma once
// Peers of the Win32 backend: one object per form or control, owning its
// window(s). Internal to the backend.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ComCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "platform/ui/win32/Win32Backend.h"

namespace win32 {

// What a form's release must wait for: code of the form still running.
struct TFormLife {
    TForm* form = nullptr;
    bool alive = true;
    int busy = 0;
    bool releasePending = false;
};

// Counts model code of a form as running while it lives.
class TBusyScope {
public:
    explicit TBusyScope(std::shared_ptr<TFormLife> life);
    ~TBusyScope();
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    std::shared_ptr<TFormLife> life_;
};

std::shared_ptr<TFormLife> LifeOf(const TControl* c);

// Runs model code for the system (window procedures, loops, timers): the form
// of `c` counts as busy meanwhile, and no exception leaves (it goes to the
// application's report).
template <class F>
void CallModel(const TControl* c, F&& f) {
    try {
        TBusyScope scope(LifeOf(c));
        Guarded(f);
    } catch (...) {
    }
}

// The window that holds a control's window, and the offset of the control's
// coordinates in it: group boxes are frames drawn among the controls they
// frame, so their children live in the group box's own host.
HWND HostOf(const TControl& c, POINT& offset);
// The control and every group box around it up to its host are visible (enabled).
bool FramesShow(const TControl& c);
bool FramesEnable(const TControl& c);
// A control's font with the form's name and size where it leaves them open.
TFont EffectiveFont(const TControl& c);
COLORREF ColorRef(uint32_t color);
std::string WindowText(HWND h);

class TWinPeer : public TPeer {
public:
    TWinPeer(TWin32Backend& b, TControl& c) : b_(b), control_(c), alive_(std::make_shared<bool>(true)) {}
    ~TWinPeer() override;
    void Sync(TProp what) override;
    THandle Handle() const override { return reinterpret_cast<THandle>(hwnd_); }
    HWND Hwnd() const { return hwnd_; }
    TControl& Control() const { return control_; }

    // The window that takes the keyboard focus for the control.
    virtual HWND FocusWindow() const { return hwnd_; }
    // The window that holds the windows of the control's children.
    virtual HWND ClientWindow() const { return hwnd_; }
    // Notifications the host window received for this control.
    virtual void Command(HWND from, WORD code) { (void)from, (void)code; }
    virtual bool Notify(NMHDR& n, LRESULT& result) { (void)n, (void)result; return false; }
    virtual HBRUSH CtlColor(HDC dc, UINT msg);
    virtual bool DrawItem(const DRAWITEMSTRUCT& d) { (void)d; return false; }
    virtual void GotFocus();
    virtual void LostFocus(HWND to) { (void)to; }
    // The focused control keeps Enter or Esc for itself.
    virtual bool WantsKey(WPARAM vk) const { (void)vk; return false; }
    // The system destroyed one of the peer's windows.
    virtual void WindowGone(HWND h);
    bool Owns(HWND h) const;
    const std::vector<HWND>& Extra() const { return extra_; }
    // Places, shows and enables the window as the model says.
    virtual void ApplyBounds();
    virtual void ApplyVisible();
    virtual void ApplyEnabled();
    virtual void ApplyFont();
    // Whether the window is to be shown (pages: only the active one).
    virtual bool ShouldShow() const { return FramesShow(control_); }

protected:
    // Makes the control's window in its host, subclassed so that focus
    // changes reach the model.
    HWND MakeWindow(const char* cls, DWORD style, DWORD exStyle, const std::string& text);
    void Subclass(HWND h);
    // Apply what the model holds right after the window was made.
    void ApplyAll();
    virtual void SyncOther(TProp what);
    void SetTextQuietly(HWND h, const std::string& text);
    TForm* Form() const { return control_.ParentForm(); }
    TWin32Backend& b_;
    TControl& control_;
    HWND hwnd_ = nullptr;
    std::vector<HWND> extra_;  // further windows of the peer (the arrows of a spin edit)
    int syncing_ = 0;          // the window is being changed to the model's state
    std::shared_ptr<bool> alive_;
};

class TFormPeer : public TWinPeer {
public:
    TFormPeer(TWin32Backend& b, TForm& f);
    ~TFormPeer() override;
    std::shared_ptr<TFormLife> Life() const { return life_; }
    TForm& Form() const { return form_; }
    void ApplyBounds() override;
    void ApplyVisible() override;
    void ApplyEnabled() override;
    void ApplyFont() override;
    // Enter or Esc in the form.
    void Key(WPARAM vk);
    void RestoreFocus();
    // Shows the hint when the mouse rests on the control's window.
    void AddTip(HWND tool, const std::string& text);
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l);

protected:
    void SyncOther(TProp what) override;

private:
    void ApplyTabOrder();
    TForm& form_;
    std::shared_ptr<TFormLife> life_;
    HWND tips_ = nullptr;
    bool placed_ = false;
    bool destroying_ = false;
};

LRESULT CALLBACK FormWndProc(HWND h, UINT msg, WPARAM w, LPARAM l);
LRESULT CALLBACK PanelWndProc(HWND h, UINT msg, WPARAM w, LPARAM l);

// Keeps the program's other visible top-level windows disabled while a modal
// window runs (a modal form, a message box, a system dialog).
class TTaskWindowsDisabled {
public:
    explicit TTaskWindowsDisabled(HWND except);
    ~TTaskWindowsDisabled();
    TTaskWindowsDisabled(const TTaskWindowsDisabled&) = delete;
    TTaskWindowsDisabled& operator=(const TTaskWindowsDisabled&) = delete;

private:
    static BOOL CALLBACK Visit(HWND h, LPARAM self);
    HWND except_;
    std::vector<HWND> disabled_;
};

// The peer of a control, when it has a window.
inline TWinPeer* PeerOfControl(const TControl* c) { return c ? dynamic_cast<TWinPeer*>(c->Peer()) : nullptr; }

inline bool IsContainerKind(TControlKind k) { return k != TControlKind::Label && k != TControlKind::Image; }

// Runs f for the peer of every child of c (children without a window are skipped).
template <class F>
void ForChildren(const TControl& c, F&& f) {
    if (!IsContainerKind(c.Kind())) return;
    for (TControl* child : static_cast<const TWinControl&>(c).Controls())
        if (TWinPeer* p = PeerOfControl(child)) f(*p);
}

template <class F>
void ForDescendants(const TControl& c, F&& f) {
    if (!IsContainerKind(c.Kind())) return;
    for (TControl* child : static_cast<const TWinControl&>(c).Controls()) {
        if (TWinPeer* p = PeerOfControl(child)) f(*p);
        ForDescendants(*child, f);
    }
}

// Routes the notifications of child windows to their peers; true when handled.
bool HostMessage(TWin32Backend& b, HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT& result);

std::unique_ptr<TPeer> MakeControlPeer(TWin32Backend& b, TControl& c);

}  // namespace win32

#pragma once
// The Win32 backend: a real window for every form and control of the
// component model, the system's message loop, timers on a hidden utility
// window, the notification-area icon, popup menus, message boxes, the input
// box and the file-open dialog. The model keeps all state; the peers keep the
// windows in step with it and turn the user's actions into the model's User*
// calls. Everything runs on the thread that first used the backend.
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/Backend.h"
#include "platform/ui/win32/Win32Api.h"

namespace win32 {

// The notification-area icon reports the mouse with this message to its
// hidden window (class kTrayClass), for the icon id kTrayIconId.
constexpr UINT kTrayMessage = WM_APP + 0x60;
constexpr UINT kTrayIconId = 1;

// Window classes of the layer. A form may name its own class instead of kFormClass.
constexpr const char* kFormClass = "MbFormWindow";
constexpr const char* kPanelClass = "MbPanelWindow";
constexpr const char* kTrayClass = "MbTrayWindow";
constexpr const char* kUtilityClass = "MbUtilityWindow";

class TWinPeer;
class TFormPeer;
struct TFormLife;

class TWin32Backend : public IBackend {
public:
    TWin32Backend();
    ~TWin32Backend() override;

    std::unique_ptr<TPeer> CreatePeer(TControl& control) override;
    std::unique_ptr<TIconPeer> CreateTrayPeer(TTrayIcon& icon) override;
    void RunModal(TForm& form) override;
    void PostMessage(THandle wnd, unsigned msg, uintptr_t w, intptr_t l) override;
    void ProcessMessages() override;
    void Run() override;
    void Terminate() override;
    void BringToFront() override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool ExecuteOpenDialog(TOpenDialog& dialog) override;
    void PopupMenu(TPopupMenu& menu, int x, int y) override;
    void TimerChanged(TTimer& timer) override;
    void TimerDestroyed(TTimer& timer) override;
    void ReleaseForm(TForm& form) override;

    bool Terminated() const { return terminated_; }
    // Forgets a Terminate that no loop has seen (a later Run starts afresh anyway).
    void ClearTerminated() { terminated_ = false; }

    // --- for the peers ---
    HINSTANCE Module() const { return module_; }
    HWND UtilityWindow() const { return utility_; }
    // Windows of the controls, with the window procedure they had before the
    // layer subclassed them (null for windows of the layer's own classes).
    void Register(HWND h, TWinPeer* peer, WNDPROC oldProc);
    // The window no longer reaches its peer (a subclassed one keeps its
    // original procedure until it is gone).
    void Unregister(HWND h);
    // The window is gone.
    void Forget(HWND h) { windows_.erase(h); }
    TWinPeer* PeerOf(HWND h) const;
    WNDPROC OldProcOf(HWND h) const;
    void AddForm(HWND h, TFormPeer* peer);
    void RemoveForm(HWND h);
    TFormPeer* FormPeerOf(HWND h) const;
    // Registers the window class of forms with this name on first use.
    void EnsureFormClass(const std::string& name);
    HFONT FontFor(const TFont& font);
    HBRUSH BrushFor(COLORREF color);
    HICON ProgramIcon();
    UINT NextControlId();
    // Code of a form ended: a pending release may be possible now.
    void FormIdle();
    // Look at the pending releases once the current message is done.
    void ReleaseDue();
    // Peers being destroyed: the windows' reactions do not reach the model.
    bool TearingDown() const { return teardown_ > 0; }
    void BeginTeardown() { ++teardown_; }
    void EndTeardown() { --teardown_; }
    // One message as every loop of the layer handles it: Enter and Esc of a
    // form go to the form, Tab and mnemonics move in the form, the rest is dispatched.
    void Pump(MSG& msg);
    // Utility window.
    LRESULT UtilityProc(UINT msg, WPARAM w, LPARAM l);

private:
    void FlushReleases();
    bool PumpKey(MSG& msg);
    HINSTANCE module_;
    HWND utility_ = nullptr;
    bool terminated_ = false;
    bool releasePosted_ = false;
    int runDepth_ = 0;
    int teardown_ = 0;
    UINT nextId_ = 1000;
    struct TEntry {
        TWinPeer* peer;
        WNDPROC oldProc;
    };
    std::unordered_map<HWND, TEntry> windows_;
    std::unordered_map<HWND, TFormPeer*> forms_;
    std::vector<std::string> formClasses_;
    std::map<std::string, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
    HICON programIcon_ = nullptr;
    std::map<UINT_PTR, TTimer*> timers_;
    std::map<TTimer*, UINT_PTR> timerIds_;
    UINT_PTR nextTimerId_ = 1;
};

TWin32Backend& Instance();

}  // namespace win32

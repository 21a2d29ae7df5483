#include "platform/ui/win32/Win32Backend.h"

#include <algorithm>
#include <cstdlib>

#include "base/Exceptions.h"
#include "platform/ui/Menus.h"
#include "platform/ui/win32/Win32Peers.h"

namespace win32 {
namespace {

// Private messages of the utility window.
constexpr UINT kReleaseMessage = WM_APP + 0x61;  // forms with a pending release may go now
constexpr UINT kWakeMessage = WM_APP + 0x62;     // a loop is to look at its end condition

TWin32Backend* g_self = nullptr;

LRESULT CALLBACK UtilityWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    try {
        if (g_self && g_self->UtilityWindow() == h) return g_self->UtilityProc(m, w, l);
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

void RegisterClassOrThrow(WNDCLASSEXA& wc) {
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception(std::string("Cannot register window class ") + wc.lpszClassName);
}

// Whether a form or any form it owns runs code now (a release waits for it).
bool AnyBusy(const TComponent& c) {
    if (auto* form = dynamic_cast<const TForm*>(&c))
        if (auto* p = dynamic_cast<TFormPeer*>(form->Peer()); p && p->Life()->busy > 0) return true;
    for (const TComponent* sub : c.Components())
        if (AnyBusy(*sub)) return true;
    return false;
}

}  // namespace

TWin32Backend& Instance() {
    // Never destroyed: components that outlive static destruction may still
    // tell the backend that they go.
    static TWin32Backend* backend = new TWin32Backend();
    return *backend;
}

TWin32Backend::TWin32Backend() : module_(GetModuleHandleA(nullptr)) {
    g_self = this;
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = module_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);

    wc.lpfnWndProc = &UtilityWndProc;
    wc.lpszClassName = kUtilityClass;
    RegisterClassOrThrow(wc);

    wc.lpfnWndProc = &PanelWndProc;
    wc.lpszClassName = kPanelClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassOrThrow(wc);

    utility_ = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilityClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module_,
                               nullptr);
    if (!utility_) throw Exception("Error creating window");
}

TWin32Backend::~TWin32Backend() {
    for (auto& [key, f] : fonts_) DeleteObject(f);
    for (auto& [key, br] : brushes_) DeleteObject(br);
    if (utility_) DestroyWindow(utility_);
    if (g_self == this) g_self = nullptr;
}

// --- registry of windows ---------------------------------------------------

void TWin32Backend::Register(HWND h, TWinPeer* peer, WNDPROC oldProc) { windows_[h] = {peer, oldProc}; }

void TWin32Backend::Unregister(HWND h) {
    // A subclassed window keeps its entry (and so its original procedure)
    // until it is really gone; it only stops reaching its peer.
    auto it = windows_.find(h);
    if (it == windows_.end()) return;
    if (it->second.oldProc && IsWindow(h)) it->second.peer = nullptr;
    else windows_.erase(it);
}

TWinPeer* TWin32Backend::PeerOf(HWND h) const {
    auto it = windows_.find(h);
    return it == windows_.end() ? nullptr : it->second.peer;
}

WNDPROC TWin32Backend::OldProcOf(HWND h) const {
    auto it = windows_.find(h);
    return it == windows_.end() ? nullptr : it->second.oldProc;
}

void TWin32Backend::AddForm(HWND h, TFormPeer* peer) { forms_[h] = peer; }
void TWin32Backend::RemoveForm(HWND h) { forms_.erase(h); }

TFormPeer* TWin32Backend::FormPeerOf(HWND h) const {
    auto it = forms_.find(h);
    return it == forms_.end() ? nullptr : it->second;
}

void TWin32Backend::EnsureFormClass(const std::string& name) {
    if (std::find(formClasses_.begin(), formClasses_.end(), name) != formClasses_.end()) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &FormWndProc;
    wc.hInstance = module_;
    wc.hIcon = ProgramIcon();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassOrThrow(wc);
    formClasses_.push_back(name);
}

// --- resources ---------------------------------------------------------------

HFONT TWin32Backend::FontFor(const TFont& f) {
    auto* stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (f.Name.empty() && f.Height == 0 && !f.Bold && !f.Italic) return stock;
    const std::string key = f.Name + '\n' + std::to_string(f.Height) + (f.Bold ? "b" : "") + (f.Italic ? "i" : "");
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
    LOGFONTA lf{};
    GetObjectA(stock, sizeof lf, &lf);
    if (!f.Name.empty()) {
        lstrcpynA(lf.lfFaceName, f.Name.c_str(), LF_FACESIZE);
        lf.lfCharSet = DEFAULT_CHARSET;
    }
    if (f.Height != 0) lf.lfHeight = -std::abs(f.Height);  // the characters' height in pixels
    lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.Italic ? TRUE : FALSE;
    HFONT h = CreateFontIndirectA(&lf);
    if (!h) return stock;
    fonts_[key] = h;
    return h;
}

HBRUSH TWin32Backend::BrushFor(COLORREF color) {
    if (auto it = brushes_.find(color); it != brushes_.end()) return it->second;
    HBRUSH br = CreateSolidBrush(color);
    brushes_[color] = br;
    return br;
}

HICON TWin32Backend::ProgramIcon() {
    if (!programIcon_) {
        programIcon_ = static_cast<HICON>(
            LoadImageA(module_, MAKEINTRESOURCEA(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        if (!programIcon_) programIcon_ = LoadIcon(nullptr, IDI_APPLICATION);
    }
    return programIcon_;
}

UINT TWin32Backend::NextControlId() {
    // Ids stay clear of IDOK and IDCANCEL and within the 16 bits of WM_COMMAND.
    if (nextId_ >= 0xF000) nextId_ = 1000;
    return nextId_++;
}

// --- peers -------------------------------------------------------------------

std::unique_ptr<TPeer> TWin32Backend::CreatePeer(TControl& control) { return MakeControlPeer(*this, control); }

// --- message loops -----------------------------------------------------------

bool TWin32Backend::PumpKey(MSG& msg) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    TFormPeer* form = FormPeerOf(root);
    if (!form) return false;
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
        // The focused control may want the key (a dropped-down list, a memo).
        TWinPeer* focus = PeerOf(msg.hwnd);
        if (!focus) focus = PeerOf(GetParent(msg.hwnd));
        if (focus && focus->WantsKey(msg.wParam)) return false;
        form->Key(msg.wParam);
        return true;
    }
    // Tab, the arrows within a group and mnemonics as in dialog boxes.
    return IsDialogMessageA(root, &msg) != FALSE;
}

void TWin32Backend::Pump(MSG& msg) {
    if (msg.hwnd && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && PumpKey(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void TWin32Backend::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            break;
        }
        Pump(msg);
    }
}

void TWin32Backend::Run() {
    ++runDepth_;
    while (!terminated_) {
        MSG msg;
        const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
        if (r == 0) {
            terminated_ = true;
            break;
        }
        if (r == -1) break;
        Pump(msg);
    }
    if (--runDepth_ == 0) terminated_ = false;
}

void TWin32Backend::Terminate() {
    terminated_ = true;
    PostMessageA(utility_, kWakeMessage, 0, 0);
}

void TWin32Backend::RunModal(TForm& form) {
    form.Handle();
    auto* peer = dynamic_cast<TFormPeer*>(form.Peer());
    if (!peer) return;
    const std::shared_ptr<TFormLife> life = peer->Life();
    // A modal form runs code of its caller: no release deletes it (or an
    // owner of it) under the loop.
    TBusyScope running(life);
    TTaskWindowsDisabled others(peer->Hwnd());
    while (life->alive && form.ModalResult() == 0) {
        if (terminated_) {
            form.SetModalResult(mrCancel);
            break;
        }
        MSG msg;
        const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
        if (r == 0) {
            // WM_QUIT ends the program's loops: the outer ones see it too.
            terminated_ = true;
            continue;
        }
        if (r == -1) {
            form.SetModalResult(mrCancel);
            break;
        }
        Pump(msg);
    }
}

void TWin32Backend::PostMessage(THandle wnd, unsigned msg, uintptr_t w, intptr_t l) {
    PostMessageA(reinterpret_cast<HWND>(wnd), msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l));
}

void TWin32Backend::BringToFront() {
    const DWORD self = GetCurrentThreadId();
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (GetWindowThreadProcessId(h, nullptr) != self || !IsWindowVisible(h)) continue;
        if (IsIconic(h)) ShowWindow(h, SW_RESTORE);
        SetForegroundWindow(h);
        return;
    }
}

// --- releases ----------------------------------------------------------------

void TWin32Backend::ReleaseForm(TForm& form) {
    form.Handle();  // the pending release is kept with the form's window
    auto* peer = dynamic_cast<TFormPeer*>(form.Peer());
    if (!peer) return;
    peer->Life()->releasePending = true;
    ReleaseDue();
}

void TWin32Backend::ReleaseDue() {
    if (!releasePosted_) releasePosted_ = PostMessageA(utility_, kReleaseMessage, 0, 0) != FALSE;
}

void TWin32Backend::FormIdle() {
    // A release waits for the form and the forms it owns: any pending one may
    // have become possible.
    for (auto& [h, peer] : forms_)
        if (peer->Life()->releasePending) {
            ReleaseDue();
            return;
        }
}

void TWin32Backend::FlushReleases() {
    for (;;) {
        TForm* victim = nullptr;
        for (auto& [h, peer] : forms_) {
            const auto life = peer->Life();
            if (life->releasePending && !AnyBusy(peer->Form())) {
                life->releasePending = false;
                victim = &peer->Form();
                break;
            }
        }
        if (!victim) return;
        // Deleting a form deletes the forms it owns, which leave forms_ with it.
        CallModel(nullptr, [&] { delete victim; });
    }
}

// --- timers ------------------------------------------------------------------

void TWin32Backend::TimerChanged(TTimer& timer) {
    auto it = timerIds_.find(&timer);
    if (timer.Enabled() && timer.Interval() > 0) {
        const UINT_PTR id = it != timerIds_.end() ? it->second : nextTimerId_++;
        timerIds_[&timer] = id;
        timers_[id] = &timer;
        SetTimer(utility_, id, timer.Interval(), nullptr);
    } else if (it != timerIds_.end()) {
        KillTimer(utility_, it->second);
        timers_.erase(it->second);
        timerIds_.erase(it);
    }
}

void TWin32Backend::TimerDestroyed(TTimer& timer) {
    auto it = timerIds_.find(&timer);
    if (it == timerIds_.end()) return;
    KillTimer(utility_, it->second);
    timers_.erase(it->second);
    timerIds_.erase(it);
}

LRESULT TWin32Backend::UtilityProc(UINT m, WPARAM w, LPARAM l) {
    switch (m) {
    case WM_TIMER: {
        auto it = timers_.find(static_cast<UINT_PTR>(w));
        if (it == timers_.end()) return 0;  // stopped meanwhile
        TTimer* timer = it->second;
        CallModel(nullptr, [&] { timer->Fire(); });
        return 0;
    }
    case kReleaseMessage:
        releasePosted_ = false;
        FlushReleases();
        return 0;
    case kWakeMessage: return 0;
    default: return DefWindowProcA(utility_, m, w, l);
    }
}

// --- modal helper ------------------------------------------------------------

TTaskWindowsDisabled::TTaskWindowsDisabled(HWND except) : except_(except) {
    EnumThreadWindows(GetCurrentThreadId(), &Visit, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK TTaskWindowsDisabled::Visit(HWND h, LPARAM self) {
    auto* me = reinterpret_cast<TTaskWindowsDisabled*>(self);
    if (h != me->except_ && IsWindowVisible(h) && IsWindowEnabled(h)) {
        try {
            me->disabled_.push_back(h);
        } catch (...) {
            return FALSE;
        }
        EnableWindow(h, FALSE);
    }
    return TRUE;
}

TTaskWindowsDisabled::~TTaskWindowsDisabled() {
    for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it)
        if (IsWindow(*it)) EnableWindow(*it, TRUE);
}

}  // namespace win32

IBackend& DefaultBackend() { return win32::Instance(); }

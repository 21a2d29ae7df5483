#include "platform/ui/win32/Win32Peers.h"

#include <algorithm>
#include <cstdlib>

#include "base/Exceptions.h"

namespace win32 {

// Posted to a form that was made while its model already said visible: it
// is shown once its controls have their windows too.
constexpr UINT kShowLater = WM_APP + 0x63;

// ---------------------------------------------------------------------------
// Helpers

std::shared_ptr<TFormLife> LifeOf(const TControl* c) {
    if (!c) return nullptr;
    TForm* f = c->ParentForm();
    if (!f) return nullptr;
    auto* p = dynamic_cast<TFormPeer*>(f->Peer());
    return p ? p->Life() : nullptr;
}

TBusyScope::TBusyScope(std::shared_ptr<TFormLife> life) : life_(std::move(life)) {
    if (life_) ++life_->busy;
}

TBusyScope::~TBusyScope() {
    if (!life_) return;
    if (--life_->busy == 0) Instance().FormIdle();
}

HWND HostOf(const TControl& c, POINT& offset) {
    offset = {0, 0};
    TWinControl* p = c.Parent();
    while (p && p->Kind() == TControlKind::GroupBox) {
        offset.x += p->Left();
        offset.y += p->Top();
        p = p->Parent();
    }
    if (!p) return nullptr;
    auto* peer = dynamic_cast<TWinPeer*>(p->Peer());
    return peer ? peer->ClientWindow() : nullptr;
}

bool FramesShow(const TControl& c) {
    if (!c.Visible()) return false;
    for (TWinControl* p = c.Parent(); p && p->Kind() == TControlKind::GroupBox; p = p->Parent())
        if (!p->Visible()) return false;
    return true;
}

bool FramesEnable(const TControl& c) {
    if (!c.Enabled()) return false;
    for (TWinControl* p = c.Parent(); p && p->Kind() == TControlKind::GroupBox; p = p->Parent())
        if (!p->Enabled()) return false;
    return true;
}

TFont EffectiveFont(const TControl& c) {
    TFont f = c.Font();
    const TForm* form = c.ParentForm();
    if (form && form != &c) {
        if (f.Name.empty()) f.Name = form->Font().Name;
        if (f.Height == 0) f.Height = form->Font().Height;
    }
    return f;
}

COLORREF ColorRef(uint32_t color) {
    if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0xFFFFFF;
}

std::string WindowText(HWND h) {
    int n = GetWindowTextLengthA(h);
    if (n <= 0) return std::string();
    std::string s(static_cast<size_t>(n) + 1, '\0');
    int got = GetWindowTextA(h, s.data(), n + 1);
    s.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return s;
}

namespace {

LRESULT CALLBACK ControlProc(HWND h, UINT m, WPARAM w, LPARAM l);

}  // namespace

// ---------------------------------------------------------------------------
// Base peer

TWinPeer::~TWinPeer() {
    *alive_ = false;
    b_.BeginTeardown();
    // The arrows of a spin edit go before their buddy (they hook it).
    for (auto it = extra_.rbegin(); it != extra_.rend(); ++it) {
        b_.Unregister(*it);
        if (IsWindow(*it)) DestroyWindow(*it);
    }
    if (hwnd_) {
        b_.Unregister(hwnd_);
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }
    b_.EndTeardown();
}

bool TWinPeer::Owns(HWND h) const {
    return h && (h == hwnd_ || std::find(extra_.begin(), extra_.end(), h) != extra_.end());
}

void TWinPeer::WindowGone(HWND h) {
    if (h == hwnd_) hwnd_ = nullptr;
    extra_.erase(std::remove(extra_.begin(), extra_.end(), h), extra_.end());
}

HWND TWinPeer::MakeWindow(const char* cls, DWORD style, DWORD exStyle, const std::string& text) {
    POINT off;
    HWND host = HostOf(control_, off);
    if (!host) throw Exception("Control '" + control_.Name + "' has no parent window");
    // Every control but a radio button starts a group of its own, so that
    // the arrows move only within a run of radio buttons.
    if (control_.Kind() != TControlKind::RadioButton) style |= WS_GROUP;
    HWND h = CreateWindowExA(exStyle, cls, text.c_str(), WS_CHILD | style, control_.Left() + off.x,
                             control_.Top() + off.y, control_.Width(), control_.Height(), host,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(b_.NextControlId())), b_.Module(),
                             nullptr);
    if (!h) throw Exception("Error creating window");
    return h;
}

void TWinPeer::Subclass(HWND h) {
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC));
    b_.Register(h, this, old);
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProc));
}

void TWinPeer::ApplyAll() {
    ApplyFont();
    ApplyEnabled();
    ApplyVisible();
    if (!control_.Hint.empty())
        if (auto* form = dynamic_cast<TFormPeer*>(PeerOfControl(Form()))) form->AddTip(hwnd_, control_.Hint);
}

void TWinPeer::Sync(TProp what) {
    if (!hwnd_) return;
    switch (what) {
    case TProp::Bounds: ApplyBounds(); break;
    case TProp::Visible: ApplyVisible(); break;
    case TProp::Enabled: ApplyEnabled(); break;
    case TProp::Font: ApplyFont(); break;
    case TProp::Color: InvalidateRect(hwnd_, nullptr, TRUE); break;
    default: SyncOther(what); break;
    }
}

void TWinPeer::SyncOther(TProp what) {
    if (what == TProp::Caption) SetTextQuietly(hwnd_, control_.Caption());
}

void TWinPeer::SetTextQuietly(HWND h, const std::string& text) {
    if (!h || WindowText(h) == text) return;
    ++syncing_;
    SetWindowTextA(h, text.c_str());
    --syncing_;
}

void TWinPeer::ApplyBounds() {
    if (!hwnd_) return;
    POINT off;
    HostOf(control_, off);
    MoveWindow(hwnd_, control_.Left() + off.x, control_.Top() + off.y, control_.Width(), control_.Height(), TRUE);
}

void TWinPeer::ApplyVisible() {
    const int cmd = ShouldShow() ? SW_SHOWNA : SW_HIDE;
    if (hwnd_) ShowWindow(hwnd_, cmd);
    for (HWND h : extra_) ShowWindow(h, cmd);
}

void TWinPeer::ApplyEnabled() {
    const BOOL on = FramesEnable(control_) ? TRUE : FALSE;
    if (hwnd_) EnableWindow(hwnd_, on);
    for (HWND h : extra_) EnableWindow(h, on);
}

void TWinPeer::ApplyFont() {
    HFONT f = b_.FontFor(EffectiveFont(control_));
    if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    for (HWND h : extra_) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
}

HBRUSH TWinPeer::CtlColor(HDC dc, UINT msg) {
    const uint32_t text = control_.Font().Color;
    const bool ownBack = control_.Color() != clDefault;
    if (text == 0 && !ownBack) return nullptr;  // the system's colours
    SetTextColor(dc, text ? ColorRef(text) : GetSysColor(COLOR_WINDOWTEXT));
    COLORREF back;
    if (ownBack) back = ColorRef(control_.Color());
    else back = GetSysColor(msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ? COLOR_WINDOW : COLOR_BTNFACE);
    SetBkColor(dc, back);
    return b_.BrushFor(back);
}

void TWinPeer::GotFocus() {
    TForm* f = Form();
    auto* w = dynamic_cast<TWinControl*>(&control_);
    if (!f || !w || f == &control_ || f->ActiveControl() == w) return;
    CallModel(&control_, [&] { f->SetActiveControl(w); });
}

// ---------------------------------------------------------------------------
// Window procedures

bool HostMessage(TWin32Backend& b, HWND, UINT m, WPARAM w, LPARAM l, LRESULT& result) {
    switch (m) {
    case WM_COMMAND: {
        auto from = reinterpret_cast<HWND>(l);
        if (!from) return false;
        TWinPeer* p = b.PeerOf(from);
        if (!p) return false;
        if (!b.TearingDown()) p->Command(from, HIWORD(w));
        result = 0;
        return true;
    }
    case WM_NOTIFY: {
        auto* n = reinterpret_cast<NMHDR*>(l);
        if (!n) return false;
        TWinPeer* p = b.PeerOf(n->hwndFrom);
        if (!p || b.TearingDown()) return false;
        return p->Notify(*n, result);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
        TWinPeer* p = b.PeerOf(reinterpret_cast<HWND>(l));
        if (!p) return false;
        HBRUSH br = p->CtlColor(reinterpret_cast<HDC>(w), m);
        if (!br) return false;
        result = reinterpret_cast<LRESULT>(br);
        return true;
    }
    case WM_DRAWITEM: {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        if (!d) return false;
        TWinPeer* p = b.PeerOf(d->hwndItem);
        if (!p || !p->DrawItem(*d)) return false;
        result = TRUE;
        return true;
    }
    default: return false;
    }
}

namespace {

LRESULT CALLBACK ControlProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    TWin32Backend& b = Instance();
    WNDPROC old = b.OldProcOf(h);
    if (!old) return DefWindowProcA(h, m, w, l);
    try {
        switch (m) {
        case WM_NCDESTROY: {
            TWinPeer* p = b.PeerOf(h);
            b.Forget(h);
            if (p) p->WindowGone(h);
            SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            return CallWindowProcA(old, h, m, w, l);
        }
        case WM_SETFOCUS: {
            LRESULT r = CallWindowProcA(old, h, m, w, l);
            if (TWinPeer* p = b.PeerOf(h); p && !b.TearingDown()) p->GotFocus();
            return r;
        }
        case WM_KILLFOCUS: {
            LRESULT r = CallWindowProcA(old, h, m, w, l);
            if (TWinPeer* p = b.PeerOf(h); p && !b.TearingDown()) p->LostFocus(reinterpret_cast<HWND>(w));
            return r;
        }
        default: break;
        }
    } catch (...) {
        return 0;
    }
    return CallWindowProcA(old, h, m, w, l);
}

}  // namespace

LRESULT CALLBACK FormWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    try {
        TWin32Backend& b = Instance();
        TFormPeer* p = b.FormPeerOf(h);
        if (m == WM_NCDESTROY) {
            if (p) {
                b.RemoveForm(h);
                b.Forget(h);
                p->WindowGone(h);
            }
            return DefWindowProcA(h, m, w, l);
        }
        if (p) return p->WndProc(m, w, l);
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

LRESULT CALLBACK PanelWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    try {
        TWin32Backend& b = Instance();
        TWinPeer* p = b.PeerOf(h);
        if (m == WM_NCDESTROY) {
            b.Forget(h);
            if (p) p->WindowGone(h);
            return DefWindowProcA(h, m, w, l);
        }
        LRESULT r = 0;
        if (HostMessage(b, h, m, w, l, r)) return r;
        if (m == WM_ERASEBKGND && p && p->Control().Color() != clDefault) {
            RECT rc;
            GetClientRect(h, &rc);
            FillRect(reinterpret_cast<HDC>(w), &rc, b.BrushFor(ColorRef(p->Control().Color())));
            return 1;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

// ---------------------------------------------------------------------------
// Forms

namespace {

// The windows of a container's children in tab order; the controls framed
// by a group box follow the group box.
void CollectTabOrder(const TWinControl& container, std::vector<HWND>& out, std::vector<const TWinControl*>& inner) {
    // Creation order, then each control with a tab order of its own moved to
    // that place, in creation order (as setting TabOrder moves a control in
    // its parent's list); controls that take no focus come last.
    std::vector<TControl*> kids, passive;
    for (TControl* c : container.Controls()) {
        if (dynamic_cast<TWinControl*>(c)) kids.push_back(c);
        else passive.push_back(c);
    }
    const std::vector<TControl*> created = kids;
    for (TControl* c : created) {
        const int place = static_cast<TWinControl*>(c)->TabOrder;
        if (place < 0) continue;
        kids.erase(std::find(kids.begin(), kids.end(), c));
        kids.insert(kids.begin() + std::min<size_t>(static_cast<size_t>(place), kids.size()), c);
    }
    kids.insert(kids.end(), passive.begin(), passive.end());
    for (TControl* c : kids) {
        if (TWinPeer* p = PeerOfControl(c); p && p->Hwnd()) {
            out.push_back(p->Hwnd());
            out.insert(out.end(), p->Extra().begin(), p->Extra().end());
        }
        switch (c->Kind()) {
        case TControlKind::GroupBox: CollectTabOrder(static_cast<TWinControl&>(*c), out, inner); break;
        case TControlKind::PageControl:
        case TControlKind::TabSheet:
        case TControlKind::Notebook:
        case TControlKind::NotebookPage: inner.push_back(static_cast<TWinControl*>(c)); break;
        default: break;
        }
    }
}

void OrderWindows(const TWinControl& container) {
    std::vector<HWND> order;
    std::vector<const TWinControl*> inner;
    CollectTabOrder(container, order, inner);
    HWND after = HWND_TOP;
    for (HWND h : order) {
        SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        after = h;
    }
    for (const TWinControl* c : inner) OrderWindows(*c);
}

}  // namespace

TFormPeer::TFormPeer(TWin32Backend& b, TForm& f)
    : TWinPeer(b, f), form_(f), life_(std::make_shared<TFormLife>()) {
    life_->form = &f;
    const std::string cls = f.WindowClassName.empty() ? std::string(kFormClass) : f.WindowClassName;
    b.EnsureFormClass(cls);
    DWORD style = WS_CLIPCHILDREN, ex = WS_EX_CONTROLPARENT;
    if (f.BorderStyle == bsDialog) {
        style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        ex |= WS_EX_DLGMODALFRAME;
    } else {
        style |= WS_OVERLAPPEDWINDOW;
    }
    hwnd_ = CreateWindowExA(ex, cls.c_str(), f.Caption().c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 320, 240,
                            b.UtilityWindow(), nullptr, b.Module(), nullptr);
    if (!hwnd_) throw Exception("Error creating window");
    b.AddForm(hwnd_, this);
    b.Register(hwnd_, this, nullptr);
    ApplyBounds();
    EnableWindow(hwnd_, f.Enabled() ? TRUE : FALSE);
    if (f.Visible()) PostMessageA(hwnd_, kShowLater, 0, 0);
}

TFormPeer::~TFormPeer() {
    destroying_ = true;
    life_->alive = false;
    b_.RemoveForm(hwnd_);
}

void TFormPeer::ApplyBounds() {
    if (!hwnd_) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE));
    const DWORD ex = static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE));
    int w = form_.Width(), h = form_.Height();
    if (form_.ClientWidth() > 0 || form_.ClientHeight() > 0) {
        RECT r{0, 0, form_.ClientWidth(), form_.ClientHeight()};
        AdjustWindowRectEx(&r, style, FALSE, ex);
        w = r.right - r.left;
        h = r.bottom - r.top;
    }
    if (w <= 0 || h <= 0) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        if (w <= 0) w = r.right - r.left;
        if (h <= 0) h = r.bottom - r.top;
    }
    int x = form_.Left(), y = form_.Top();
    if (form_.Position == poScreenCenter) {
        RECT wa{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0);
        x = wa.left + (wa.right - wa.left - w) / 2;
        y = wa.top + (wa.bottom - wa.top - h) / 2;
        if (x < wa.left) x = wa.left;
        if (y < wa.top) y = wa.top;
    }
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormPeer::ApplyVisible() {
    if (!hwnd_) return;
    if (form_.Visible()) {
        if (IsWindowVisible(hwnd_)) return;
        OrderWindows(form_);
        if (!placed_) ApplyBounds();
        placed_ = true;
        ShowWindow(hwnd_, SW_SHOW);
    } else {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void TFormPeer::ApplyEnabled() {
    if (hwnd_) EnableWindow(hwnd_, form_.Enabled() ? TRUE : FALSE);
}

void TFormPeer::ApplyFont() {
    ForDescendants(form_, [](TWinPeer& p) { p.ApplyFont(); });
}

void TFormPeer::SyncOther(TProp what) {
    switch (what) {
    case TProp::Caption: SetWindowTextA(hwnd_, form_.Caption().c_str()); break;
    case TProp::Focus: {
        // The real focus follows only while the form is the active window;
        // otherwise activation brings it to the active control.
        TWinPeer* p = PeerOfControl(form_.ActiveControl());
        if (!p || GetActiveWindow() != hwnd_) break;
        HWND f = p->FocusWindow();
        if (f && GetFocus() != f && IsWindowVisible(f) && IsWindowEnabled(f)) ::SetFocus(f);
        break;
    }
    default: break;
    }
}

void TFormPeer::RestoreFocus() {
    if (destroying_ || b_.TearingDown() || !hwnd_) return;
    HWND target = nullptr;
    if (TWinPeer* p = PeerOfControl(form_.ActiveControl())) {
        HWND f = p->FocusWindow();
        if (f && IsWindowVisible(f) && IsWindowEnabled(f)) target = f;
    }
    if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (target && !IsChild(hwnd_, target)) target = nullptr;
    HWND now = GetFocus();
    if (!target) target = hwnd_;
    if (now != target) ::SetFocus(target);
}

void TFormPeer::AddTip(HWND tool, const std::string& text) {
    if (!tool || !hwnd_) return;
    if (!tips_) {
        // Owned by the form: it goes with the form's window.
        tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, b_.Module(), nullptr);
        if (!tips_) return;
    }
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;  // the form every version of the control knows
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void TFormPeer::Key(WPARAM vk) {
    CallModel(&form_, [&] {
        if (vk == VK_RETURN) form_.KeyEnter();
        else form_.KeyEscape();
    });
}

LRESULT TFormPeer::WndProc(UINT m, WPARAM w, LPARAM l) {
    const std::shared_ptr<TFormLife> life = life_;
    const HWND self = hwnd_;
    if (!destroying_ && !b_.TearingDown()) {
        TMessage msg{m, static_cast<uintptr_t>(w), static_cast<intptr_t>(l), 0};
        bool handled = false;
        CallModel(&form_, [&] { handled = form_.Dispatch(msg); });
        if (handled) return static_cast<LRESULT>(msg.Result);
        if (!life->alive) return DefWindowProcA(self, m, w, l);
    }
    LRESULT r = 0;
    if (HostMessage(b_, self, m, w, l, r)) return r;
    switch (m) {
    case WM_CLOSE:
        if (!destroying_ && !b_.TearingDown()) CallModel(&form_, [&] { form_.UserCloseBox(); });
        return 0;
    case WM_COMMAND:
        // Enter and Esc as the system's dialog navigation reports them.
        if (l == 0 && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
            Key(LOWORD(w) == IDOK ? VK_RETURN : VK_ESCAPE);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(w) != WA_INACTIVE && !HIWORD(w)) {
            RestoreFocus();
            return 0;
        }
        break;
    case WM_SETFOCUS: RestoreFocus(); return 0;
    case WM_ENDSESSION:
        if (w && Application && Application->MainForm == &form_)
            CallModel(&form_, [&] { form_.Close(); });
        return 0;
    case WM_ERASEBKGND:
        if (form_.Color() != clDefault) {
            RECT rc;
            GetClientRect(self, &rc);
            FillRect(reinterpret_cast<HDC>(w), &rc, b_.BrushFor(ColorRef(form_.Color())));
            return 1;
        }
        break;
    case kShowLater: ApplyVisible(); return 0;
    default: break;
    }
    return DefWindowProcA(self, m, w, l);
}

}  // namespace win32

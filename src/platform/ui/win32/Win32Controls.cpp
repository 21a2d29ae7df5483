// The peers of the controls: one real child window per control, kept in step
// with the model, its notifications turned into the model's user actions.
#include <algorithm>
#include <cstdlib>

#include "base/Exceptions.h"
#include "platform/ui/win32/Win32Peers.h"

namespace win32 {

// ---------------------------------------------------------------------------
// Controls

namespace {

class TLabelPeer : public TWinPeer {
public:
    TLabelPeer(TWin32Backend& b, TLabel& l) : TWinPeer(b, l) {
        hwnd_ = MakeWindow("STATIC", SS_LEFTNOWORDWRAP, 0, l.Caption());
        Subclass(hwnd_);
        ApplyAll();
        ApplyBounds();
    }
    void ApplyBounds() override {
        if (!hwnd_) return;
        POINT off;
        HostOf(control_, off);
        int w = control_.Width(), h = control_.Height();
        if (w <= 0 || h <= 0) {
            // Sized to the text.
            HDC dc = GetDC(hwnd_);
            HGDIOBJ old = SelectObject(dc, b_.FontFor(EffectiveFont(control_)));
            RECT r{0, 0, 0, 0};
            const std::string& t = control_.Caption();
            DrawTextA(dc, t.empty() ? " " : t.c_str(), -1, &r, DT_CALCRECT | DT_LEFT);
            SelectObject(dc, old);
            ReleaseDC(hwnd_, dc);
            if (w <= 0) w = r.right - r.left;
            if (h <= 0) h = r.bottom - r.top;
        }
        MoveWindow(hwnd_, control_.Left() + off.x, control_.Top() + off.y, w, h, TRUE);
    }
    void ApplyFont() override {
        TWinPeer::ApplyFont();
        if (control_.Width() <= 0 || control_.Height() <= 0) ApplyBounds();
    }

protected:
    void SyncOther(TProp what) override {
        TWinPeer::SyncOther(what);
        if (what == TProp::Caption && (control_.Width() <= 0 || control_.Height() <= 0)) ApplyBounds();
    }
};

class TImagePeer : public TWinPeer {
public:
    TImagePeer(TWin32Backend& b, TImage& i) : TWinPeer(b, i), image_(i) {
        hwnd_ = MakeWindow("STATIC", SS_OWNERDRAW, 0, "");
        Subclass(hwnd_);
        LoadPicture();
        ApplyAll();
        ApplyBounds();
    }
    ~TImagePeer() override {
        if (bitmap_) DeleteObject(bitmap_);
    }
    void ApplyBounds() override {
        if (!hwnd_) return;
        POINT off;
        HostOf(control_, off);
        int w = control_.Width(), h = control_.Height();
        if ((w <= 0 || h <= 0) && bitmap_) {
            BITMAP bm{};
            GetObjectA(bitmap_, sizeof bm, &bm);
            if (w <= 0) w = bm.bmWidth;
            if (h <= 0) h = bm.bmHeight;
        }
        MoveWindow(hwnd_, control_.Left() + off.x, control_.Top() + off.y, w, h, TRUE);
    }
    bool DrawItem(const DRAWITEMSTRUCT& d) override {
        RECT rc = d.rcItem;
        FillRect(d.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
        if (bitmap_) {
            BITMAP bm{};
            GetObjectA(bitmap_, sizeof bm, &bm);
            HDC mem = CreateCompatibleDC(d.hDC);
            HGDIOBJ old = SelectObject(mem, bitmap_);
            const int x = rc.left + (rc.right - rc.left - bm.bmWidth) / 2;
            const int y = rc.top + (rc.bottom - rc.top - bm.bmHeight) / 2;
            BitBlt(d.hDC, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            return true;
        }
        // No picture of its own: a small envelope.
        RECT env = rc;
        InflateRect(&env, -3, -3);
        const int w = env.right - env.left, h = env.bottom - env.top;
        if (w > 8 && h > 8) {
            if (h * 3 > w * 2) {
                const int eh = w * 2 / 3;
                env.top += (h - eh) / 2;
                env.bottom = env.top + eh;
            }
            FillRect(d.hDC, &env, GetSysColorBrush(COLOR_WINDOW));
            HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
            HGDIOBJ oldPen = SelectObject(d.hDC, pen);
            HGDIOBJ oldBrush = SelectObject(d.hDC, GetStockObject(NULL_BRUSH));
            Rectangle(d.hDC, env.left, env.top, env.right, env.bottom);
            MoveToEx(d.hDC, env.left, env.top, nullptr);
            LineTo(d.hDC, (env.left + env.right) / 2, (env.top + env.bottom) / 2);
            LineTo(d.hDC, env.right - 1, env.top);
            SelectObject(d.hDC, oldBrush);
            SelectObject(d.hDC, oldPen);
            DeleteObject(pen);
        }
        return true;
    }

protected:
    void SyncOther(TProp what) override {
        if (what == TProp::Picture) {
            LoadPicture();
            ApplyBounds();
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
    }

private:
    void LoadPicture() {
        if (bitmap_) DeleteObject(bitmap_);
        bitmap_ = nullptr;
        if (image_.PictureId > 0)
            bitmap_ = LoadBitmapA(b_.Module(), MAKEINTRESOURCEA(image_.PictureId));
    }
    TImage& image_;
    HBITMAP bitmap_ = nullptr;
};

class TGroupBoxPeer : public TWinPeer {
public:
    TGroupBoxPeer(TWin32Backend& b, TGroupBox& g) : TWinPeer(b, g) {
        hwnd_ = MakeWindow("BUTTON", BS_GROUPBOX, 0, g.Caption());
        Subclass(hwnd_);
        ApplyAll();
    }
    // The framed controls live beside the frame: they follow it.
    void ApplyBounds() override {
        TWinPeer::ApplyBounds();
        ForChildren(control_, [](TWinPeer& p) { p.ApplyBounds(); });
    }
    void ApplyVisible() override {
        TWinPeer::ApplyVisible();
        ForChildren(control_, [](TWinPeer& p) { p.ApplyVisible(); });
    }
    void ApplyEnabled() override {
        TWinPeer::ApplyEnabled();
        ForChildren(control_, [](TWinPeer& p) { p.ApplyEnabled(); });
    }
};

class TButtonPeer : public TWinPeer {
public:
    TButtonPeer(TWin32Backend& b, TButton& btn) : TWinPeer(b, btn), button_(btn) {
        hwnd_ = MakeWindow("BUTTON", WS_TABSTOP | Style(), 0, btn.Caption());
        Subclass(hwnd_);
        ApplyAll();
    }
    void Command(HWND, WORD code) override {
        if (code == BN_CLICKED) CallModel(&control_, [&] { button_.UserClick(); });
    }

protected:
    void SyncOther(TProp what) override {
        TWinPeer::SyncOther(what);
        if (what == TProp::Default) SendMessageA(hwnd_, BM_SETSTYLE, Style(), TRUE);
    }

private:
    DWORD Style() const { return button_.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON; }
    TButton& button_;
};

// Check boxes and radio buttons: the window never changes its own check
// mark; a click goes to the model, which sets the mark.
class TCheckPeer : public TWinPeer {
public:
    TCheckPeer(TWin32Backend& b, TWinControl& c) : TWinPeer(b, c) {
        radio_ = c.Kind() == TControlKind::RadioButton;
        hwnd_ = MakeWindow("BUTTON", radio_ ? BS_RADIOBUTTON : (BS_CHECKBOX | WS_TABSTOP), 0, c.Caption());
        Subclass(hwnd_);
        ApplyAll();
        ApplyCheck();
    }
    void Command(HWND, WORD code) override {
        if (code != BN_CLICKED) return;
        auto alive = alive_;
        CallModel(&control_, [&] {
            if (radio_) static_cast<TRadioButton&>(control_).UserClick();
            else static_cast<TCheckBox&>(control_).UserClick();
        });
        if (*alive) ApplyCheck();
    }

protected:
    void SyncOther(TProp what) override {
        TWinPeer::SyncOther(what);
        if (what == TProp::Checked) ApplyCheck();
    }

private:
    bool Checked() const {
        return radio_ ? static_cast<TRadioButton&>(control_).Checked() : static_cast<TCheckBox&>(control_).Checked();
    }
    void ApplyCheck() {
        if (!hwnd_) return;
        SendMessageA(hwnd_, BM_SETCHECK, Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
        if (radio_) ApplyRadioTabStops();
    }
    // In a group of radio buttons only the checked one (or the first, when
    // none is) is reached with Tab; the arrows move within the group.
    void ApplyRadioTabStops() {
        TWinControl* parent = control_.Parent();
        if (!parent) return;
        std::vector<TRadioButton*> group;
        for (TControl* c : parent->Controls())
            if (c->Kind() == TControlKind::RadioButton) group.push_back(static_cast<TRadioButton*>(c));
        bool any = std::any_of(group.begin(), group.end(), [](TRadioButton* r) { return r->Checked(); });
        for (size_t i = 0; i < group.size(); ++i) {
            TWinPeer* p = PeerOfControl(group[i]);
            if (!p || !p->Hwnd()) continue;
            const bool stop = any ? group[i]->Checked() : i == 0;
            LONG_PTR style = GetWindowLongPtrA(p->Hwnd(), GWL_STYLE);
            LONG_PTR want = (style & ~LONG_PTR(WS_TABSTOP | WS_GROUP)) | (stop ? WS_TABSTOP : 0) | (i == 0 ? WS_GROUP : 0);
            if (want != style) SetWindowLongPtrA(p->Hwnd(), GWL_STYLE, want);
        }
    }
    bool radio_ = false;
};

class TEditPeer : public TWinPeer {
public:
    TEditPeer(TWin32Backend& b, TEdit& e) : TWinPeer(b, e), edit_(e) {
        DWORD style = WS_TABSTOP | ES_AUTOHSCROLL | (e.PasswordChar ? ES_PASSWORD : 0) | (e.ReadOnly() ? ES_READONLY : 0);
        hwnd_ = MakeWindow("EDIT", style, WS_EX_CLIENTEDGE, e.Text());
        Subclass(hwnd_);
        ApplyFields();
        ApplyAll();
    }
    void Command(HWND, WORD code) override {
        if (code != EN_CHANGE || syncing_) return;
        const std::string typed = WindowText(hwnd_);
        auto alive = alive_;
        CallModel(&control_, [&] { edit_.UserType(typed); });
        // The model may refuse or cut the text: the window shows what it holds.
        if (*alive) SetTextQuietly(hwnd_, edit_.Text());
    }

protected:
    void SyncOther(TProp what) override {
        switch (what) {
        case TProp::Caption:
        case TProp::Text:
            ApplyFields();
            SetTextQuietly(hwnd_, edit_.Text());
            break;
        case TProp::ReadOnly: SendMessageA(hwnd_, EM_SETREADONLY, edit_.ReadOnly() ? TRUE : FALSE, 0); break;
        default: break;
        }
    }

private:
    void ApplyFields() {
        SendMessageA(hwnd_, EM_LIMITTEXT, edit_.MaxLength > 0 ? edit_.MaxLength : 0, 0);
        if (edit_.PasswordChar) SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(edit_.PasswordChar), 0);
    }
    TEdit& edit_;
};

class TMemoPeer : public TWinPeer {
public:
    TMemoPeer(TWin32Backend& b, TMemo& m) : TWinPeer(b, m), memo_(m) {
        DWORD style = WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                      (m.VerticalScrollBar ? WS_VSCROLL : 0) | (m.ReadOnly ? ES_READONLY : 0);
        hwnd_ = MakeWindow("EDIT", style, WS_EX_CLIENTEDGE, "");
        Subclass(hwnd_);
        SendMessageA(hwnd_, EM_LIMITTEXT, 0, 0);
        ShowLines();
        ApplyAll();
    }
    bool WantsKey(WPARAM vk) const override { return vk == VK_RETURN && !memo_.ReadOnly; }

protected:
    void SyncOther(TProp what) override {
        if (what == TProp::Items) ShowLines();
        else if (what == TProp::ReadOnly) SendMessageA(hwnd_, EM_SETREADONLY, memo_.ReadOnly ? TRUE : FALSE, 0);
    }

private:
    // A line added at the end is appended; any other change shows the lines anew.
    void ShowLines() {
        const auto& lines = memo_.Lines();
        ++syncing_;
        if (lines.size() == shown_.size() + 1 && std::equal(shown_.begin(), shown_.end(), lines.begin())) {
            const int end = GetWindowTextLengthA(hwnd_);
            SendMessageA(hwnd_, EM_SETSEL, end, end);
            const std::string add = (shown_.empty() ? std::string() : std::string("\r\n")) + lines.back();
            SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(add.c_str()));
        } else {
            std::string text;
            for (size_t i = 0; i < lines.size(); ++i) {
                if (i) text += "\r\n";
                text += lines[i];
            }
            SetWindowTextA(hwnd_, text.c_str());
            const int end = GetWindowTextLengthA(hwnd_);
            SendMessageA(hwnd_, EM_SETSEL, end, end);
        }
        SendMessageA(hwnd_, EM_SCROLLCARET, 0, 0);
        --syncing_;
        shown_ = lines;
    }
    TMemo& memo_;
    std::vector<std::string> shown_;
};

class TComboPeer : public TWinPeer {
public:
    TComboPeer(TWin32Backend& b, TComboBox& c) : TWinPeer(b, c), combo_(c) {
        hwnd_ = MakeWindow("COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, "");
        Subclass(hwnd_);
        ApplyBounds();
        ApplyItems();
        ApplyAll();
    }
    void ApplyBounds() override {
        if (!hwnd_) return;
        POINT off;
        HostOf(control_, off);
        // The window's height includes the dropped-down list.
        MoveWindow(hwnd_, control_.Left() + off.x, control_.Top() + off.y, control_.Width(),
                   control_.Height() + kListHeight, TRUE);
    }
    void Command(HWND, WORD code) override {
        if (code != CBN_SELCHANGE || syncing_) return;
        const int i = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
        auto alive = alive_;
        CallModel(&control_, [&] { combo_.UserSelect(i); });
        if (*alive) ApplyIndex();
    }
    bool WantsKey(WPARAM) const override { return SendMessageA(hwnd_, CB_GETDROPPEDSTATE, 0, 0) != 0; }

protected:
    void SyncOther(TProp what) override {
        if (what == TProp::Items) ApplyItems();
        else if (what == TProp::ItemIndex) ApplyIndex();
    }

private:
    static constexpr int kListHeight = 160;
    void ApplyItems() {
        ++syncing_;
        SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
        for (const std::string& s : combo_.Items())
            SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
        --syncing_;
        ApplyIndex();
    }
    void ApplyIndex() {
        if (static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0)) == combo_.ItemIndex()) return;
        ++syncing_;
        SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
        --syncing_;
    }
    TComboBox& combo_;
};

// An edit with up-down arrows beside it. The arrows keep no value of their
// own: every step goes to the model, which owns the number.
class TSpinPeer : public TWinPeer {
public:
    TSpinPeer(TWin32Backend& b, TSpinEdit& s) : TWinPeer(b, s), spin_(s) {
        hwnd_ = MakeWindow("EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, s.Text());
        Subclass(hwnd_);
        POINT off;
        HWND host = HostOf(control_, off);
        arrows_ = CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0, host,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(b.NextControlId())), b.Module(),
                                  nullptr);
        if (!arrows_) throw Exception("Error creating window");
        Subclass(arrows_);
        extra_.push_back(arrows_);
        // A fixed range around a position that never moves: up is +1, down -1.
        SendMessageA(arrows_, UDM_SETRANGE, 0, MAKELPARAM(100, -100));
        SendMessageA(arrows_, UDM_SETPOS, 0, MAKELPARAM(0, 0));
        SendMessageA(arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(hwnd_), 0);
        SendMessageA(hwnd_, EM_LIMITTEXT, s.MaxLength > 0 ? s.MaxLength : 0, 0);
        ApplyBounds();
        ApplyAll();
    }
    void ApplyBounds() override {
        if (!hwnd_) return;
        POINT off;
        HostOf(control_, off);
        const int x = control_.Left() + off.x, y = control_.Top() + off.y;
        const int w = control_.Width(), h = control_.Height();
        int aw = GetSystemMetrics(SM_CXVSCROLL);
        if (aw > w / 2) aw = w / 2;
        MoveWindow(hwnd_, x, y, w - aw, h, TRUE);
        if (arrows_) MoveWindow(arrows_, x + w - aw, y, aw, h, TRUE);
    }
    void WindowGone(HWND h) override {
        if (h == arrows_) arrows_ = nullptr;
        TWinPeer::WindowGone(h);
    }
    void Command(HWND from, WORD code) override {
        if (from != hwnd_ || code != EN_CHANGE || syncing_) return;
        const std::string typed = WindowText(hwnd_);
        auto alive = alive_;
        CallModel(&control_, [&] { spin_.UserType(typed); });
        if (*alive) SetTextQuietly(hwnd_, spin_.Text());
    }
    bool Notify(NMHDR& n, LRESULT& result) override {
        if (n.hwndFrom != arrows_ || n.code != UDN_DELTAPOS) return false;
        const int delta = reinterpret_cast<NMUPDOWN&>(n).iDelta;
        result = 1;  // the arrows keep their position
        if (delta == 0 || syncing_) return true;
        auto alive = alive_;
        CallModel(&control_, [&] { spin_.UserStep(delta > 0 ? 1 : -1); });
        if (*alive) SetTextQuietly(hwnd_, spin_.Text());
        return true;
    }
    // Leaving the field for another control of the same form puts the value
    // into its range; switching to another window does not.
    void LostFocus(HWND to) override {
        if (!to || Owns(to) || !hwnd_) return;
        if (GetAncestor(to, GA_ROOT) != GetAncestor(hwnd_, GA_ROOT)) return;
        auto alive = alive_;
        CallModel(&control_, [&] { spin_.UserExit(); });
        if (*alive) SetTextQuietly(hwnd_, spin_.Text());
    }

protected:
    void SyncOther(TProp what) override {
        if (what == TProp::Caption || what == TProp::Text || what == TProp::Range) {
            SendMessageA(hwnd_, EM_LIMITTEXT, spin_.MaxLength > 0 ? spin_.MaxLength : 0, 0);
            SetTextQuietly(hwnd_, spin_.Text());
        }
    }

private:
    TSpinEdit& spin_;
    HWND arrows_ = nullptr;
};

class TListViewPeer : public TWinPeer {
public:
    TListViewPeer(TWin32Backend& b, TListView& lv) : TWinPeer(b, lv), list_(lv) {
        DWORD style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | (lv.HideSelection ? 0 : LVS_SHOWSELALWAYS) |
                      (lv.ColumnClick ? 0 : LVS_NOSORTHEADER) | (lv.ReadOnly ? 0 : LVS_EDITLABELS);
        hwnd_ = MakeWindow(WC_LISTVIEWA, style, WS_EX_CLIENTEDGE, "");
        Subclass(hwnd_);
        ApplyAll();
        ApplyColumns();
        ApplyRows();
    }
    void ApplyBounds() override {
        TWinPeer::ApplyBounds();
        FitColumns();
    }
    bool Notify(NMHDR& n, LRESULT& result) override {
        if (n.code != LVN_ITEMCHANGED) return false;
        result = 0;
        auto& nm = reinterpret_cast<NMLISTVIEW&>(n);
        if (syncing_ || !(nm.uChanged & LVIF_STATE) || !((nm.uOldState ^ nm.uNewState) & LVIS_SELECTED)) return true;
        const int now = RealSelection();
        if (now == list_.Selected()) return true;
        auto alive = alive_;
        CallModel(&control_, [&] { list_.UserSelect(now); });
        if (*alive) ApplySelection();
        return true;
    }

protected:
    void SyncOther(TProp what) override {
        switch (what) {
        case TProp::Columns: ApplyColumns(); break;
        case TProp::Items: ApplyRows(); break;
        case TProp::Selection: ApplySelection(); break;
        default: break;
        }
    }

private:
    int RealSelection() const {
        return static_cast<int>(SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    void ApplyColumns() {
        ++syncing_;
        while (SendMessageA(hwnd_, LVM_DELETECOLUMN, 0, 0)) {
        }
        int i = 0;
        for (const auto& c : list_.Columns()) {
            LVCOLUMNA col{};
            col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
            col.fmt = LVCFMT_LEFT;
            col.cx = c.Width > 0 ? c.Width : 50;
            col.pszText = const_cast<char*>(c.Caption.c_str());
            col.iSubItem = i;
            SendMessageA(hwnd_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
            ++i;
        }
        --syncing_;
        FitColumns();
    }
    // Columns of a fixed width keep it; the others share what is left of the
    // list's width.
    void FitColumns() {
        if (!hwnd_) return;
        const auto& cols = list_.Columns();
        RECT rc;
        GetClientRect(hwnd_, &rc);
        int fixed = 0, automatic = 0;
        for (const auto& c : cols) {
            if (c.AutoSize) ++automatic;
            else fixed += c.Width;
        }
        int left = rc.right - rc.left - fixed;
        int i = 0, seen = 0;
        for (const auto& c : cols) {
            int w = c.Width;
            if (c.AutoSize) {
                ++seen;
                if (left <= automatic) w = LVSCW_AUTOSIZE_USEHEADER;
                else w = seen == automatic ? left - (left / automatic) * (automatic - 1) : left / automatic;
            }
            SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(w, 0));
            ++i;
        }
    }
    void ApplyRows() {
        ++syncing_;
        SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
        SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
        for (int r = 0; r < list_.Count(); ++r) {
            const TListItem& item = list_.Item(r);
            LVITEMA it{};
            it.mask = LVIF_TEXT;
            it.iItem = r;
            it.pszText = const_cast<char*>(item.Caption.c_str());
            SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
            for (size_t s = 0; s < item.SubItems.size(); ++s) {
                LVITEMA sub{};
                sub.iSubItem = static_cast<int>(s + 1);
                sub.pszText = const_cast<char*>(item.SubItems[s].c_str());
                SendMessageA(hwnd_, LVM_SETITEMTEXTA, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&sub));
            }
        }
        SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
        --syncing_;
        ApplySelection();
        FitColumns();
    }
    void ApplySelection() {
        const int want = list_.Selected();
        if (RealSelection() == want) return;
        ++syncing_;
        LVITEMA st{};
        st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        st.state = 0;
        SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&st));
        if (want >= 0) {
            st.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(want), reinterpret_cast<LPARAM>(&st));
            SendMessageA(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(want), FALSE);
        }
        --syncing_;
    }
    TListView& list_;
};

class TPageControlPeer;

// Tab sheets, the page container without tabs and its pages: panels of the
// layer's own class that hold the windows of their children.
class TPanelPeer : public TWinPeer {
public:
    TPanelPeer(TWin32Backend& b, TWinControl& c) : TWinPeer(b, c) {
        hwnd_ = MakeWindow(kPanelClass, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, "");
        b.Register(hwnd_, this, nullptr);
        ApplyBounds();
        ApplyAll();
    }
    void Sync(TProp what) override;
    void ApplyBounds() override;
    bool ShouldShow() const override {
        switch (control_.Kind()) {
        case TControlKind::TabSheet: {
            auto& sheet = static_cast<TTabSheet&>(control_);
            auto* pc = static_cast<TPageControl*>(sheet.Parent());
            return sheet.Visible() && sheet.TabVisible() && pc && pc->ActivePage() == &sheet;
        }
        case TControlKind::NotebookPage: {
            auto* nb = static_cast<TNotebook*>(control_.Parent());
            if (!nb || !control_.Visible()) return false;
            auto pages = nb->Pages();
            const int i = nb->PageIndex();
            return i >= 0 && i < static_cast<int>(pages.size()) && pages[static_cast<size_t>(i)] == &control_;
        }
        default: return FramesShow(control_);
        }
    }

protected:
    void SyncOther(TProp what) override {
        if (what == TProp::Page && control_.Kind() == TControlKind::Notebook)
            ForChildren(control_, [](TWinPeer& p) { p.ApplyVisible(); });
    }
};

class TPageControlPeer : public TWinPeer {
public:
    TPageControlPeer(TWin32Backend& b, TPageControl& pc) : TWinPeer(b, pc), pages_(pc) {
        hwnd_ = MakeWindow(WC_TABCONTROLA, WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, "");
        Subclass(hwnd_);
        ApplyAll();
        RebuildTabs();
    }
    // The part of the control that the pages fill, in its own coordinates.
    RECT DisplayRect() const {
        RECT r{0, 0, 0, 0};
        if (!hwnd_) return r;
        GetClientRect(hwnd_, &r);
        SendMessageA(hwnd_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    // Tabs of hidden sheets leave the strip.
    void RebuildTabs() {
        if (!hwnd_) return;
        ++syncing_;
        SendMessageA(hwnd_, TCM_DELETEALLITEMS, 0, 0);
        tabs_.clear();
        for (TTabSheet* p : pages_.Pages()) {
            if (!p->TabVisible()) continue;
            TCITEMA it{};
            it.mask = TCIF_TEXT;
            it.pszText = const_cast<char*>(p->Caption().c_str());
            SendMessageA(hwnd_, TCM_INSERTITEMA, tabs_.size(), reinterpret_cast<LPARAM>(&it));
            tabs_.push_back(p);
        }
        --syncing_;
        ApplyPage();
        LayoutPages();
    }
    void ApplyPage() {
        auto it = std::find(tabs_.begin(), tabs_.end(), pages_.ActivePage());
        const int want = it == tabs_.end() ? -1 : static_cast<int>(it - tabs_.begin());
        ++syncing_;
        if (static_cast<int>(SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0)) != want)
            SendMessageA(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(want), 0);
        --syncing_;
        ForChildren(control_, [](TWinPeer& p) { p.ApplyVisible(); });
    }
    void ApplyBounds() override {
        TWinPeer::ApplyBounds();
        LayoutPages();
    }
    void ApplyFont() override {
        TWinPeer::ApplyFont();
        LayoutPages();
    }
    bool Notify(NMHDR& n, LRESULT& result) override {
        if (n.code == TCN_SELCHANGING) {
            result = FALSE;
            return true;
        }
        if (n.code != TCN_SELCHANGE) return false;
        result = 0;
        if (syncing_) return true;
        const int i = static_cast<int>(SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0));
        TTabSheet* page = i >= 0 && i < static_cast<int>(tabs_.size()) ? tabs_[static_cast<size_t>(i)] : nullptr;
        auto alive = alive_;
        CallModel(&control_, [&] { pages_.UserSelectPage(page); });
        if (*alive) ApplyPage();
        return true;
    }

protected:
    void SyncOther(TProp what) override {
        if (what == TProp::Page) ApplyPage();
    }

private:
    void LayoutPages() {
        ForChildren(control_, [](TWinPeer& p) { p.ApplyBounds(); });
    }
    TPageControl& pages_;
    std::vector<TTabSheet*> tabs_;
};

void TPanelPeer::Sync(TProp what) {
    // A tab sheet's caption and visibility are its tab in the strip.
    if (control_.Kind() == TControlKind::TabSheet && (what == TProp::Caption || what == TProp::Visible)) {
        if (auto* pc = dynamic_cast<TPageControlPeer*>(PeerOfControl(control_.Parent()))) {
            pc->RebuildTabs();
            return;
        }
    }
    TWinPeer::Sync(what);
}

void TPanelPeer::ApplyBounds() {
    if (!hwnd_) return;
    switch (control_.Kind()) {
    case TControlKind::TabSheet: {
        auto* pc = dynamic_cast<TPageControlPeer*>(PeerOfControl(control_.Parent()));
        if (!pc) break;
        RECT r = pc->DisplayRect();
        MoveWindow(hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        return;
    }
    case TControlKind::NotebookPage: {
        TControl* nb = control_.Parent();
        if (!nb) break;
        MoveWindow(hwnd_, 0, 0, nb->Width(), nb->Height(), TRUE);
        return;
    }
    case TControlKind::Notebook:
        TWinPeer::ApplyBounds();
        ForChildren(control_, [](TWinPeer& p) { p.ApplyBounds(); });
        return;
    default: break;
    }
    TWinPeer::ApplyBounds();
}

}  // namespace

std::unique_ptr<TPeer> MakeControlPeer(TWin32Backend& b, TControl& c) {
    switch (c.Kind()) {
    case TControlKind::Form: return std::make_unique<TFormPeer>(b, static_cast<TForm&>(c));
    case TControlKind::Label: return std::make_unique<TLabelPeer>(b, static_cast<TLabel&>(c));
    case TControlKind::Image: return std::make_unique<TImagePeer>(b, static_cast<TImage&>(c));
    case TControlKind::Button: return std::make_unique<TButtonPeer>(b, static_cast<TButton&>(c));
    case TControlKind::CheckBox:
    case TControlKind::RadioButton: return std::make_unique<TCheckPeer>(b, static_cast<TWinControl&>(c));
    case TControlKind::Edit: return std::make_unique<TEditPeer>(b, static_cast<TEdit&>(c));
    case TControlKind::Memo: return std::make_unique<TMemoPeer>(b, static_cast<TMemo&>(c));
    case TControlKind::ComboBox: return std::make_unique<TComboPeer>(b, static_cast<TComboBox&>(c));
    case TControlKind::SpinEdit: return std::make_unique<TSpinPeer>(b, static_cast<TSpinEdit&>(c));
    case TControlKind::GroupBox: return std::make_unique<TGroupBoxPeer>(b, static_cast<TGroupBox&>(c));
    case TControlKind::ListView: return std::make_unique<TListViewPeer>(b, static_cast<TListView&>(c));
    case TControlKind::PageControl: return std::make_unique<TPageControlPeer>(b, static_cast<TPageControl&>(c));
    case TControlKind::TabSheet:
    case TControlKind::Notebook:
    case TControlKind::NotebookPage: return std::make_unique<TPanelPeer>(b, static_cast<TWinControl&>(c));
    }
    return nullptr;
}

}  // namespace win32

#include "platform/ui/Menus.h"

#include "platform/ui/Backend.h"

TMenuItem* TPopupMenu::Add(const std::string& caption) {
    auto* item = new TMenuItem(this, caption);
    Items.push_back(item);
    return item;
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup();
    Backend().PopupMenu(*this, x, y);
}

TMenuItem* TPopupMenu::DefaultItem() const {
    for (TMenuItem* i : Items)
        if (i->Default) return i;
    return nullptr;
}

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner) {}
TTrayIcon::~TTrayIcon() { peer_.reset(); }

void TTrayIcon::SetEnabled(bool e) { enabled_ = e; }

void TTrayIcon::SetActive(bool a) {
    if (active_ == a) return;
    active_ = a;
    if (a && !peer_) peer_ = Backend().CreateTrayPeer(*this);
    if (peer_) peer_->Sync();
    if (!a) peer_.reset();
}

bool TTrayIcon::LoadIconFromFile(const std::string& file) {
    std::string old = iconFile_;
    iconFile_ = file;
    if (!peer_) return true;
    peer_->Sync();
    if (peer_->ShowsIconFile()) return true;
    iconFile_ = old;  // not an icon: the one shown stays, and so does its name
    return false;
}

void TTrayIcon::UserRightClick(int x, int y) {
    if (enabled_ && PopupMenu) PopupMenu->Popup(x, y);
}

void TTrayIcon::UserDoubleClick() {
    if (!enabled_ || !PopupMenu) return;
    if (TMenuItem* d = PopupMenu->DefaultItem(); d && d->Enabled) d->Click();
}

TTimer::~TTimer() {
    Backend().TimerDestroyed(*this);
}

void TTimer::SetEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    Backend().TimerChanged(*this);
}

void TTimer::SetInterval(unsigned ms) {
    interval_ = ms;
    Backend().TimerChanged(*this);
}

void TTimer::Fire() {
    if (enabled_ && OnTimer) OnTimer();
}

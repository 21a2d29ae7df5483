#include "platform/ui/Controls.h"

#include <algorithm>

#include "platform/ui/Forms.h"

TControl::TControl(TComponent* owner, TWinControl* parent, TControlKind kind)
    : TComponent(owner), kind_(kind), parent_(parent) {
    if (parent_) parent_->controls_.push_back(this);
}

TControl::~TControl() {
    if (kind_ != TControlKind::Form && parent_)
        if (TForm* f = parent_->ParentForm(); f && f->ActiveControl() == this) f->SetActiveControl(nullptr);
    peer_.reset();
    if (parent_) {
        auto& v = parent_->controls_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return c->kind_ == TControlKind::Form ? const_cast<TForm*>(static_cast<const TForm*>(c)) : nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Changed(TProp::Bounds);
}

void TControl::SetVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    Changed(TProp::Visible);
}

void TControl::SetEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    Changed(TProp::Enabled);
}

bool TControl::Reachable() const {
    for (const TControl* c = this; c; c = c->parent_) {
        if (!c->enabled_) return false;
        if (!c->visible_ && c->kind_ != TControlKind::Form) return false;
    }
    return true;
}

void TControl::SetCaption(const std::string& c) {
    if (caption_ == c) return;
    caption_ = c;
    Changed(TProp::Caption);
}

void TControl::SetFont(const TFont& f) {
    font_ = f;
    Changed(TProp::Font);
}

void TControl::SetColor(uint32_t c) {
    color_ = c;
    Changed(TProp::Color);
}

void TControl::Click() {
    if (OnClick) OnClick();
}

void TControl::AttachPeer(std::unique_ptr<TPeer> peer) { peer_ = std::move(peer); }
void TControl::DetachPeer() { peer_.reset(); }

void TControl::Changed(TProp what) {
    if (peer_) peer_->Sync(what);
}

TWinControl::TWinControl(TComponent* owner, TWinControl* parent, TControlKind kind)
    : TControl(owner, parent, kind) {}

TWinControl::~TWinControl() {
    // Children normally belong to the same owner and are destroyed with it;
    // those still here lose their parent link.
    for (TControl* c : controls_) c->parent_ = nullptr;
}

void TWinControl::SetFocus() {
    if (TForm* f = ParentForm()) f->SetActiveControl(this);
}

bool TWinControl::Focused() const {
    TForm* f = ParentForm();
    return f && f->ActiveControl() == this;
}

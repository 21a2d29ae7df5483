#include "platform/ui/StdCtrls.h"

#include "base/Strings.h"
#include "platform/ui/Forms.h"

void TGroupBox::SetChildrenEnabled(bool e) {
    for (TControl* c : Controls()) c->SetEnabled(e);
}

void TButton::Click() {
    if (ModalResult != mrNone)
        if (TForm* f = ParentForm()) f->SetModalResult(ModalResult);
    TControl::Click();
}

void TButton::UserClick() {
    if (Reachable()) Click();
}

void TCheckBox::SetChecked(bool c) {
    if (checked_ == c) return;
    checked_ = c;
    Changed(TProp::Checked);
    Click();
}

void TCheckBox::UserClick() {
    if (Reachable()) SetChecked(!checked_);
}

void TRadioButton::SetChecked(bool c) {
    if (checked_ == c) return;
    checked_ = c;
    Changed(TProp::Checked);
    if (!c) return;
    if (Parent())
        for (TControl* sib : Parent()->Controls())
            if (sib != this && sib->Kind() == TControlKind::RadioButton)
                static_cast<TRadioButton*>(sib)->SetChecked(false);
    Click();
}

void TRadioButton::UserClick() {
    if (Reachable()) SetChecked(true);
}

void TEdit::SetText(const std::string& t) {
    if (t == Caption()) return;
    SetCaption(t);
    Changed(TProp::Text);
    if (OnChange) OnChange();
}

void TEdit::SetReadOnly(bool r) {
    readOnly_ = r;
    Changed(TProp::ReadOnly);
}

void TEdit::UserType(const std::string& t) {
    if (Reachable() && !readOnly_) SetText(MaxLength > 0 && t.size() > size_t(MaxLength) ? t.substr(0, MaxLength) : t);
}

void TMemo::Add(const std::string& line) {
    lines_.push_back(line);
    Changed(TProp::Items);
}

void TMemo::Clear() {
    lines_.clear();
    Changed(TProp::Items);
}

void TMemo::SetLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    Changed(TProp::Items);
}

void TComboBox::SetItems(std::vector<std::string> items) {
    items_ = std::move(items);
    itemIndex_ = -1;
    Changed(TProp::Items);
}

void TComboBox::AddItem(const std::string& s) {
    items_.push_back(s);
    Changed(TProp::Items);
}

void TComboBox::SetItemIndex(int i) {
    if (i < 0 || i >= static_cast<int>(items_.size())) i = -1;
    itemIndex_ = i;
    Changed(TProp::ItemIndex);
}

std::string TComboBox::Text() const {
    return itemIndex_ >= 0 ? items_[static_cast<size_t>(itemIndex_)] : std::string();
}

void TComboBox::UserSelect(int i) {
    if (!Reachable()) return;
    SetItemIndex(i);
    if (OnChange) OnChange();
}

void TSpinEdit::SetText(const std::string& t) {
    if (t == Caption()) return;
    SetCaption(t);
    Changed(TProp::Text);
    if (OnChange) OnChange();
}

int TSpinEdit::Value() const { return StrToIntDef(Trim(Caption()), MinValue); }

int TSpinEdit::Clamp(int v) const {
    if (!Limited()) return v;
    return v < MinValue ? MinValue : v > MaxValue ? MaxValue : v;
}

void TSpinEdit::SetValue(int v) { SetText(IntToStr(Clamp(v))); }

void TSpinEdit::UserType(const std::string& t) {
    if (Reachable()) SetText(MaxLength > 0 && t.size() > size_t(MaxLength) ? t.substr(0, MaxLength) : t);
}

void TSpinEdit::UserStep(int delta) {
    if (!Reachable()) return;
    long long v = static_cast<long long>(Value()) + delta;
    if (Limited()) v = v < MinValue ? MinValue : v > MaxValue ? MaxValue : v;
    SetText(IntToStr(v));
}

void TSpinEdit::UserExit() {
    int32_t typed;
    bool isNumber = TryStrToInt(Trim(Caption()), typed);
    int v = Value();
    if (!isNumber || Clamp(v) != v) SetText(IntToStr(Clamp(v)));
}

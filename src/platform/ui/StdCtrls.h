#pragma once
// Standard controls. Setting Checked or Text by code runs the click or change
// handler exactly as the user's action does; choosing a list item by code
// runs none (the dialogs' filling order relies on both).
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

class TLabel : public TControl {
public:
    TLabel(TComponent* owner, TWinControl* parent) : TControl(owner, parent, TControlKind::Label) {}
};

class TImage : public TControl {
public:
    TImage(TComponent* owner, TWinControl* parent) : TControl(owner, parent, TControlKind::Image) {}
    int PictureId = 0;  // a bitmap resource of the program; 0: a drawn placeholder
};

class TGroupBox : public TWinControl {
public:
    TGroupBox(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::GroupBox) {}
    // Enables or disables every control inside the frame (not the frame itself).
    void SetChildrenEnabled(bool e);
};

class TButton : public TWinControl {
public:
    TButton(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::Button) {}
    int ModalResult = mrNone;  // set on the form when clicked
    bool Default = false;      // answers Enter
    bool Cancel = false;       // answers Esc
    void Click() override;
    // The user presses the button (nothing happens when it cannot be reached).
    void UserClick();
};

class TCheckBox : public TWinControl {
public:
    TCheckBox(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::CheckBox) {}
    bool Checked() const { return checked_; }
    void SetChecked(bool c);  // a change runs OnClick
    void UserClick();         // toggles

private:
    bool checked_ = false;
};

class TRadioButton : public TWinControl {
public:
    TRadioButton(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::RadioButton) {}
    bool Checked() const { return checked_; }
    // Checking clears the other radio buttons of the same parent and runs
    // OnClick; clearing runs nothing.
    void SetChecked(bool c);
    void UserClick();

private:
    bool checked_ = false;
};

class TEdit : public TWinControl {
public:
    TEdit(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::Edit) {}
    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& t);  // a change runs OnChange
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool r);
    char PasswordChar = 0;
    int MaxLength = 0;  // 0: unlimited
    TEvent OnChange;
    void UserType(const std::string& t);  // the user replaces the text

private:
    bool readOnly_ = false;
};

class TMemo : public TWinControl {
public:
    TMemo(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::Memo) {}
    const std::vector<std::string>& Lines() const { return lines_; }
    void Add(const std::string& line);
    void Clear();
    void SetLines(std::vector<std::string> lines);
    bool ReadOnly = false;
    bool VerticalScrollBar = false;

private:
    std::vector<std::string> lines_;
};

// A drop-down list without free text.
class TComboBox : public TWinControl {
public:
    TComboBox(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::ComboBox) {}
    const std::vector<std::string>& Items() const { return items_; }
    void SetItems(std::vector<std::string> items);  // clears the selection
    void AddItem(const std::string& s);
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int i);  // -1 or out of range: no selection; runs no handler
    std::string Text() const;  // the selected item's text, or empty
    TEvent OnChange;
    void UserSelect(int i);  // the user picks an item: runs OnChange

private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

// An edit with up and down arrows holding an integer. MinValue = MaxValue = 0
// means no limits. The value follows the text; a text that is not a number
// reads as MinValue. Leaving the field puts an out-of-range value to the
// nearest bound.
class TSpinEdit : public TWinControl {
public:
    TSpinEdit(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::SpinEdit) {}
    int MinValue = 0, MaxValue = 0;
    int MaxLength = 0;
    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& t);  // a change runs OnChange
    int Value() const;
    // Shows v, put into the range (the way a stored value is shown).
    void SetValue(int v);
    TEvent OnChange;
    void UserType(const std::string& t);
    void UserStep(int delta);  // the arrows: by 1 within the range
    void UserExit();           // focus leaves the field
    bool Limited() const { return MinValue != 0 || MaxValue != 0; }
    int Clamp(int v) const;
};

#pragma once
// Visual controls: the state every backend shows. A control keeps its whole
// state itself; a backend peer (a real window under Win32, nothing headless)
// is told of each change and turns the user's actions into the same calls
// that the headless tests make (the User* operations).
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Component.h"

enum class TProp { Bounds, Visible, Enabled, Caption, Font, Checked, Text, Items, ItemIndex,
                   ReadOnly, Selection, Columns, Page, Range, Color, Picture, Focus, Default };

enum class TControlKind { Form, Label, Button, CheckBox, RadioButton, Edit, Memo, ComboBox,
                          SpinEdit, GroupBox, ListView, PageControl, TabSheet, Notebook,
                          NotebookPage, Image };

struct TFont {
    std::string Name;        // empty: the form's ordinary font
    int Height = 0;          // pixels; 0: the ordinary size
    bool Bold = false, Italic = false;
    uint32_t Color = 0;      // 0x00BBGGRR
};

constexpr uint32_t clBlue = 0xFF0000;
constexpr uint32_t clBtnFace = 0x80000000 | 15;  // the system's button-face colour
constexpr uint32_t clDefault = 0x20000000;

class TControl;

class TPeer {
public:
    virtual ~TPeer() = default;
    virtual void Sync(TProp what) = 0;
    virtual THandle Handle() const = 0;
};

class TWinControl;
class TForm;

class TControl : public TComponent {
public:
    TControl(TComponent* owner, TWinControl* parent, TControlKind kind);
    ~TControl() override;

    TControlKind Kind() const { return kind_; }
    TWinControl* Parent() const { return parent_; }
    TForm* ParentForm() const;  // the form this control is on (itself for a form)

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);
    // Shown and enabled along the whole parent chain: the user can reach it.
    bool Reachable() const;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& c);

    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& f);
    uint32_t Color() const { return color_; }
    void SetColor(uint32_t c);
    std::string Hint;

    TEvent OnClick;
    virtual void Click();

    TPeer* Peer() const { return peer_.get(); }
    void AttachPeer(std::unique_ptr<TPeer> peer);
    void DetachPeer();

protected:
    void Changed(TProp what);

private:
    friend class TWinControl;
    TControlKind kind_;
    TWinControl* parent_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true, enabled_ = true;
    std::string caption_;
    TFont font_;
    uint32_t color_ = clDefault;
    std::unique_ptr<TPeer> peer_;
};

class TWinControl : public TControl {
public:
    TWinControl(TComponent* owner, TWinControl* parent, TControlKind kind);
    ~TWinControl() override;
    const std::vector<TControl*>& Controls() const { return controls_; }  // in creation (tab) order
    void SetFocus();
    bool Focused() const;
    int TabOrder = -1;  // -1: creation order

private:
    friend class TControl;
    std::vector<TControl*> controls_;
};

// A new control of type T owned by `owner` (which frees it), placed on
// `parent` with its name and bounds.
template <class T, class Parent>
T* Place(TComponent* owner, Parent* parent, const char* name, int left, int top, int width, int height) {
    T* c = New<T>(owner, parent);
    c->Name = name;
    c->SetBounds(left, top, width, height);
    return c;
}

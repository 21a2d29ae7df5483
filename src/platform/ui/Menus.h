#pragma once
// Popup menus, the tray icon and the timer.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Component.h"

class TMenuItem : public TComponent {
public:
    TMenuItem(TComponent* owner, const std::string& caption) : TComponent(owner), Caption(caption) {}
    std::string Caption;  // "-" is a separator
    bool Default = false, Checked = false, Enabled = true, Visible = true;
    TEvent OnClick;
    void Click() { if (OnClick) OnClick(); }
    void UserClick() { if (Enabled && Visible && Caption != "-") Click(); }
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
    std::vector<TMenuItem*> Items;  // owned through the component owner
    TMenuItem* Add(const std::string& caption);
    TEvent OnPopup;
    // Opens the menu at a screen position (runs OnPopup first); returns when it closed.
    void Popup(int x, int y);
    TMenuItem* DefaultItem() const;
};

class TIconPeer {
public:
    virtual ~TIconPeer() = default;
    virtual void Sync() = 0;
    // Whether the icon shown is the one IconFile() names (false when that
    // file could not be loaded and the previous icon stayed).
    virtual bool ShowsIconFile() const { return true; }
};

// An icon in the notification area with a popup menu: a right click opens the
// menu, a double click runs its default item (when enabled). While disabled
// it ignores the mouse.
class TTrayIcon : public TComponent {
public:
    explicit TTrayIcon(TComponent* owner);
    ~TTrayIcon() override;
    TPopupMenu* PopupMenu = nullptr;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);
    bool Active() const { return active_; }   // shown in the notification area
    void SetActive(bool a);
    const std::string& IconFile() const { return iconFile_; }  // empty: the program's own icon
    bool LoadIconFromFile(const std::string& file);  // false: the icon stays as it was
    void UserRightClick(int x, int y);
    void UserDoubleClick();

private:
    bool enabled_ = true, active_ = false;
    std::string iconFile_;
    std::unique_ptr<TIconPeer> peer_;
};

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner) : TComponent(owner) {}
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);
    TEvent OnTimer;
    void Fire();  // one tick (the backend calls it)

private:
    bool enabled_ = false;  // a timer starts when enabled, after its handler is set
    unsigned interval_ = 1000;
};

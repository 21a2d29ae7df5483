// The notification-area icon, popup menus, message boxes, the input box and
// the file-open dialog on the real system.
#include <cstdio>

#include "UiTestSupport.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Menus.h"
#include "platform/ui/StdCtrls.h"

using namespace uitest;

namespace {

class ShellTest : public TUiTest {};

// The hidden window of the newest notification-area icon of this thread.
HWND TrayWindow() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) -> BOOL {
            if (ClassOf(h) == win32::kTrayClass) *reinterpret_cast<HWND*>(p) = h;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IconShown(HWND tray) {
    NOTIFYICONDATAA d{};
    d.cbSize = NOTIFYICONDATAA_V1_SIZE;
    d.hWnd = tray;
    d.uID = win32::kTrayIconId;
    d.uFlags = NIF_ICON;
    d.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    return Shell_NotifyIconA(NIM_MODIFY, &d) != FALSE;
}

// Writes a 16 x 16 two-colour icon file.
std::string WriteIconFile() {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "mb_tray_test.ico";
    std::vector<unsigned char> b;
    auto u16 = [&](unsigned v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](unsigned v) { u16(v & 0xFFFF); u16(v >> 16); };
    u16(0); u16(1); u16(1);                            // icon directory, one image
    b.push_back(16); b.push_back(16); b.push_back(2); b.push_back(0);
    u16(1); u16(1); u32(40 + 8 + 64 + 64); u32(22);    // its entry
    u32(40); u32(16); u32(32); u16(1); u16(1);         // bitmap header (XOR and AND halves)
    u32(0); u32(128); u32(0); u32(0); u32(0); u32(0);
    u32(0x000000); u32(0xFFFFFF);                      // palette
    for (int row = 0; row < 16; ++row) u32(row % 2 ? 0xAAAA : 0x5555);  // picture
    for (int row = 0; row < 16; ++row) u32(0);                         // all opaque
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    return path;
}

struct TTrayMenu {
    explicit TTrayMenu(TComponent* owner) {
        menu = new TPopupMenu(owner);
        setting = menu->Add("&Setting");
        setting->Default = true;
        check = menu->Add("Check E-Mail now");
        menu->Add("-");
        exit = menu->Add("&Exit");
        setting->OnClick = [this] { clicked.push_back("setting"); };
        check->OnClick = [this] { clicked.push_back("check"); };
        exit->OnClick = [this] { clicked.push_back("exit"); };
        menu->OnPopup = [this] { ++popups; };
    }
    TPopupMenu* menu;
    TMenuItem *setting, *check, *exit;
    std::vector<std::string> clicked;
    int popups = 0;
};

TEST_F(ShellTest, TrayIconIsAddedChangedAndRemoved) {
    TForm owner(nullptr);
    auto* icon = new TTrayIcon(&owner);
    icon->SetActive(true);
    HWND tray = TrayWindow();
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(IconShown(tray));
    // A file that is no icon leaves the icon as it was, and says so.
    EXPECT_FALSE(icon->LoadIconFromFile("C:\\no\\such\\1.ico"));
    EXPECT_EQ(icon->IconFile(), "");
    EXPECT_TRUE(IconShown(tray));
    const std::string file = WriteIconFile();
    EXPECT_TRUE(icon->LoadIconFromFile(file));
    EXPECT_EQ(icon->IconFile(), file);
    EXPECT_TRUE(IconShown(tray));
    DeleteFileA(file.c_str());
    icon->SetActive(false);
    EXPECT_FALSE(IconShown(tray));
    icon->SetActive(true);
    tray = TrayWindow();
    EXPECT_TRUE(IconShown(tray));
    delete icon;
    EXPECT_FALSE(IconShown(tray));
}

TEST_F(ShellTest, TrayMouseOpensTheMenuOrRunsTheDefaultItemUnlessDisabled) {
    TForm owner(nullptr);
    TTrayMenu m(&owner);
    auto* icon = new TTrayIcon(&owner);
    icon->PopupMenu = m.menu;
    icon->SetActive(true);
    HWND tray = TrayWindow();
    ASSERT_NE(tray, nullptr);

    SendMessageA(tray, win32::kTrayMessage, win32::kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(m.clicked, std::vector<std::string>{"setting"});

    // The menu opens and is left with Esc (queued before it opens).
    PostMessageA(tray, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(tray, win32::kTrayMessage, win32::kTrayIconId, WM_RBUTTONUP);
    EXPECT_EQ(m.popups, 1);
    EXPECT_EQ(m.clicked.size(), 1u);

    icon->SetEnabled(false);
    SendMessageA(tray, win32::kTrayMessage, win32::kTrayIconId, WM_LBUTTONDBLCLK);
    SendMessageA(tray, win32::kTrayMessage, win32::kTrayIconId, WM_RBUTTONUP);
    EXPECT_EQ(m.popups, 1);
    EXPECT_EQ(m.clicked.size(), 1u);
}

TEST_F(ShellTest, PopupMenuShowsTheItemsAsTheModelSaysAndRunsTheChosenOne) {
    TForm owner(nullptr);
    TTrayMenu m(&owner);
    m.check->Enabled = false;
    auto* hidden = m.menu->Add("Hidden");
    hidden->Visible = false;
    auto* shown = m.menu->Add("Shown");
    shown->Checked = true;

    // Looks at the open menu from a timer (the menu's loop runs timers), then
    // chooses the last item with the keyboard.
    int count = -1;
    UINT defaultId = 0, checkState = 0, shownState = 0;
    std::string lastText;
    TTimer look(nullptr);
    look.SetInterval(20);
    look.OnTimer = [&] {
        auto menus = FindOwnWindows("#32768", "");
        if (menus.empty()) return;
        look.SetEnabled(false);
        auto hmenu = reinterpret_cast<HMENU>(SendMessageA(menus.back(), MN_GETHMENU, 0, 0));
        count = GetMenuItemCount(hmenu);
        defaultId = GetMenuDefaultItem(hmenu, FALSE, 0);
        checkState = GetMenuState(hmenu, 1, MF_BYPOSITION);
        shownState = GetMenuState(hmenu, count - 1, MF_BYPOSITION);
        char buf[64] = {};
        GetMenuStringA(hmenu, static_cast<UINT>(count - 1), buf, sizeof buf, MF_BYPOSITION);
        lastText = buf;
        PostMessageA(menus.back(), WM_KEYDOWN, VK_UP, 0);
        PostMessageA(menus.back(), WM_KEYDOWN, VK_RETURN, 0);
    };
    look.SetEnabled(true);
    m.menu->Popup(10, 10);
    look.SetEnabled(false);

    EXPECT_EQ(count, 5);  // the hidden item is left out
    EXPECT_EQ(defaultId, 1u);
    EXPECT_TRUE(checkState & MF_GRAYED);
    EXPECT_TRUE(shownState & MF_CHECKED);
    EXPECT_EQ(lastText, "Shown");
    EXPECT_EQ(m.popups, 1);
    EXPECT_TRUE(m.clicked.empty());  // "Shown" has no handler; nothing else ran
    int shownClicks = 0;
    shown->OnClick = [&] { ++shownClicks; };
    look.SetEnabled(true);
    m.menu->Popup(10, 10);
    EXPECT_EQ(shownClicks, 1);
}

TEST_F(ShellTest, MessageBoxAnswersAndKeepsTheOtherWindowsDisabled) {
    TForm other(nullptr);
    other.SetClientSize(100, 50);
    other.Show();
    HWND otherWnd = Hwnd(other);
    bool otherEnabledMeanwhile = true;
    TDialogAnswer answer("#32770", "Confirm Delete", [&](HWND dlg) {
        otherEnabledMeanwhile = IsWindowEnabled(otherWnd);
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDNO)));
    });
    const int r = Application->MessageBox("Are you sure you want to delete ?", "Confirm Delete",
                                          MB_YESNO_ | MB_ICONWARNING_ | MB_DEFBUTTON2_);
    EXPECT_EQ(r, IDNO_);
    EXPECT_TRUE(answer.Found());
    EXPECT_NE(answer.Texts().find("Are you sure you want to delete ?"), std::string::npos) << answer.Texts();
    EXPECT_FALSE(otherEnabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(otherWnd));
}

// The input box is answered by typing into its field and pressing a key.
struct TInputCase {
    const char* name;
    WPARAM key;
    bool result;
    std::string value;
};

TEST_F(ShellTest, InputBoxTakesTheTypedTextWithEnterAndNothingWithEsc) {
    const TInputCase cases[] = {
        {"Enter", VK_RETURN, true, "Someone@Example.com "},
        {"Esc", VK_ESCAPE, false, "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string prompt;
        TDialogAnswer answer(win32::kFormClass, "Add Filter e-mail address", [&](HWND dlg) {
            auto edits = ChildrenOf(dlg, "Edit");
            if (edits.empty()) return;
            SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Someone@Example.com "));
            PostMessageA(edits[0], WM_KEYDOWN, c.key, 0);
        });
        std::string value = "before";
        EXPECT_EQ(InputQuery("Add Filter e-mail address", "Enter Filter e-mail address :", value), c.result);
        EXPECT_EQ(value, c.value);
        EXPECT_TRUE(answer.Found());
        EXPECT_NE(answer.Texts().find("Enter Filter e-mail address :"), std::string::npos) << answer.Texts();
    }
}

TEST_F(ShellTest, OpenDialogReturnsThePickedFileOrNothing) {
    char dir[MAX_PATH] = {}, path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "mbt", 0, path);  // creates the file
    TOpenDialog dialog(nullptr);
    dialog.Filter = "Wave File(*.wav)|*.wav";
    dialog.FileMustExist = true;
    dialog.HideReadOnly = true;
    {
        TDialogAnswer answer("#32770", "", [&](HWND dlg) {
            // cmb13 (the name field of the newer dialog) or edt1.
            HWND name = GetDlgItem(dlg, 0x47C);
            if (!name) name = GetDlgItem(dlg, 0x480);
            SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        EXPECT_TRUE(dialog.Execute());
        EXPECT_TRUE(answer.Found());
    }
    EXPECT_EQ(_stricmp(dialog.FileName.c_str(), path), 0) << dialog.FileName << " / " << path;
    {
        TDialogAnswer answer("#32770", "", [](HWND dlg) {
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        dialog.FileName = "unchanged.wav";
        EXPECT_FALSE(dialog.Execute());
        EXPECT_EQ(dialog.FileName, "unchanged.wav");
    }
    DeleteFileA(path);
}

}  // namespace

// Message boxes, the input box, the file-open dialog and popup menus.
#include <algorithm>
#include <memory>

#include "platform/ui/Dialogs.h"
#include "platform/ui/Menus.h"
#include "platform/ui/StdCtrls.h"
#include "platform/ui/win32/Win32Peers.h"

namespace win32 {
namespace {

// The window the program's dialogs belong to: the active one, if it is ours.
HWND DialogOwner() {
    HWND active = GetActiveWindow();
    return active && GetWindowThreadProcessId(active, nullptr) == GetCurrentThreadId() ? active : nullptr;
}

int TextWidth(const std::string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

}  // namespace

int TWin32Backend::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    // The box disables its owner and gives it the activation back itself.
    HWND owner = DialogOwner();
    TTaskWindowsDisabled others(owner);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

// The input box is a form of the component model itself: a prompt, a text
// field and the buttons OK (Enter) and Cancel (Esc).
bool TWin32Backend::InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    std::unique_ptr<TForm> form(new TForm(nullptr));
    form->SetCaption(caption);
    form->BorderStyle = bsDialog;
    form->Position = poScreenCenter;
    const int width = std::max(260, TextWidth(prompt) + 24);
    form->SetClientSize(width, 92);

    auto* label = New<TLabel>(form.get(), form.get());
    label->SetCaption(prompt);
    label->SetBounds(8, 8, width - 16, 16);
    auto* edit = New<TEdit>(form.get(), form.get());
    edit->SetBounds(8, 28, width - 16, 21);
    edit->SetText(value);
    auto* ok = New<TButton>(form.get(), form.get());
    ok->SetCaption("OK");
    ok->Default = true;
    ok->ModalResult = mrOk;
    ok->SetBounds(width / 2 - 79, 60, 75, 25);
    auto* cancel = New<TButton>(form.get(), form.get());
    cancel->SetCaption("Cancel");
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    cancel->SetBounds(width / 2 + 4, 60, 75, 25);
    form->SetActiveControl(edit);

    form->Handle();
    if (edit->Peer()) SendMessageA(reinterpret_cast<HWND>(edit->Peer()->Handle()), EM_SETSEL, 0, -1);
    if (form->ShowModal() != mrOk) return false;
    value = edit->Text();
    return true;
}

bool TWin32Backend::ExecuteOpenDialog(TOpenDialog& dialog) {
    // "Wave File(*.wav)|*.wav" -> pairs separated by NUL, ended by two NULs.
    std::string filter = dialog.Filter;
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter.push_back('\0');
    char file[MAX_PATH] = {};
    if (dialog.FileName.size() < MAX_PATH) std::copy(dialog.FileName.begin(), dialog.FileName.end(), file);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // understood by every system the program runs on
    ofn.hwndOwner = DialogOwner();
    ofn.lpstrFilter = dialog.Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (dialog.FileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (dialog.HideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;

    TTaskWindowsDisabled others(ofn.hwndOwner);
    if (!GetOpenFileNameA(&ofn)) return false;
    dialog.FileName = file;
    return true;
}

void TWin32Backend::PopupMenu(TPopupMenu& menu, int x, int y) {
    std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&DestroyMenu)> popup(CreatePopupMenu(), &DestroyMenu);
    if (!popup) return;
    std::vector<TMenuItem*> shown;  // command id - 1 -> item
    UINT pos = 0;
    for (TMenuItem* item : menu.Items) {
        if (!item->Visible) continue;
        MENUITEMINFOA mi{};
        // The size without the bitmap field, as the oldest systems know it.
        mi.cbSize = offsetof(MENUITEMINFOA, hbmpItem);
        if (item->Caption == "-") {
            mi.fMask = MIIM_TYPE;
            mi.fType = MFT_SEPARATOR;
        } else {
            shown.push_back(item);
            mi.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID;
            mi.fType = MFT_STRING;
            mi.dwTypeData = const_cast<char*>(item->Caption.c_str());
            mi.fState = (item->Default ? MFS_DEFAULT : 0) | (item->Checked ? MFS_CHECKED : 0) |
                        (item->Enabled ? 0 : MFS_GRAYED);
            mi.wID = static_cast<UINT>(shown.size());
        }
        InsertMenuItemA(popup.get(), pos++, TRUE, &mi);
    }
    // A menu opened for the notification area closes when the user clicks
    // elsewhere only if its owner is the foreground window.
    SetForegroundWindow(utility_);
    const UINT cmd = static_cast<UINT>(TrackPopupMenu(popup.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                                      x, y, 0, utility_, nullptr));
    PostMessageA(utility_, WM_NULL, 0, 0);
    if (cmd == 0 || cmd > shown.size()) return;
    TMenuItem* chosen = shown[cmd - 1];
    // The menu may have changed while it was open.
    if (std::find(menu.Items.begin(), menu.Items.end(), chosen) == menu.Items.end()) return;
    chosen->UserClick();
}

}  // namespace win32

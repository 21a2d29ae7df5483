// The icon in the notification area: a hidden window of its own receives
// the shell's mouse reports.
#include <vector>

#include "base/Exceptions.h"
#include "platform/ui/Menus.h"
#include "platform/ui/win32/Win32Peers.h"

namespace win32 {
namespace {

LRESULT CALLBACK TrayWndProc(HWND h, UINT m, WPARAM w, LPARAM l);

class TTrayPeer : public TIconPeer {
public:
    TTrayPeer(TWin32Backend& b, TTrayIcon& icon) : b_(b), icon_(icon) {
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &TrayWndProc;
            wc.hInstance = b.Module();
            wc.lpszClassName = kTrayClass;
            if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
                throw Exception("Cannot register window class " + std::string(kTrayClass));
            registered = true;
        }
        // A hidden top-level window, so that it hears when the task bar is made anew.
        hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kTrayClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, b.Module(),
                                nullptr);
        if (!hwnd_) throw Exception("Error creating window");
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
        current_ = ProgramIcon();
    }

    ~TTrayPeer() override {
        Remove();
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        if (loaded_) DestroyIcon(loaded_);
    }

    void Sync() override {
        if (!icon_.Active()) {
            Remove();
            return;
        }
        HICON retired = UpdateIcon();
        NOTIFYICONDATAA d = Data(NIF_MESSAGE | NIF_ICON);
        if (!added_) added_ = Shell_NotifyIconA(NIM_ADD, &d) != FALSE;
        else Shell_NotifyIconA(NIM_MODIFY, &d);
        if (retired) DestroyIcon(retired);  // the shell keeps its own copy
    }

    bool ShowsIconFile() const override { return icon_.IconFile() == loadedFile_; }

    LRESULT WndProc(UINT m, WPARAM w, LPARAM l) {
        if (m == kTrayMessage) {
            // The peer may be gone when the model returns: nothing of it is used afterwards.
            switch (static_cast<UINT>(l)) {
            case WM_RBUTTONUP: {
                POINT p{0, 0};
                GetCursorPos(&p);
                TTrayIcon& icon = icon_;
                CallModel(nullptr, [&] { icon.UserRightClick(p.x, p.y); });
                return 0;
            }
            case WM_LBUTTONDBLCLK: {
                TTrayIcon& icon = icon_;
                CallModel(nullptr, [&] { icon.UserDoubleClick(); });
                return 0;
            }
            default: return 0;
            }
        }
        if (m == taskbarCreated_ && taskbarCreated_ != 0) {
            // The shell started anew and lost its icons.
            added_ = false;
            if (icon_.Active()) Sync();
            return 0;
        }
        return DefWindowProcA(hwnd_, m, w, l);
    }

private:
    HICON ProgramIcon() const {
        HICON h = static_cast<HICON>(LoadImageA(b_.Module(), MAKEINTRESOURCEA(1), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                LR_SHARED));
        return h ? h : LoadIcon(nullptr, IDI_APPLICATION);
    }

    // Loads the icon file when it changed; a file that cannot be loaded
    // leaves the icon as it was. Returns an icon to destroy after the shell
    // took the new one.
    HICON UpdateIcon() {
        const std::string& file = icon_.IconFile();
        if (file == loadedFile_) return nullptr;
        if (file.empty()) {
            HICON old = loaded_;
            loaded_ = nullptr;
            loadedFile_.clear();
            current_ = ProgramIcon();
            return old;
        }
        auto h = static_cast<HICON>(LoadImageA(nullptr, file.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_LOADFROMFILE));
        if (!h) return nullptr;
        HICON old = loaded_;
        loaded_ = current_ = h;
        loadedFile_ = file;
        return old;
    }

    NOTIFYICONDATAA Data(UINT flags) const {
        NOTIFYICONDATAA d{};
        d.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the form every shell accepts; no tip text is used
        d.hWnd = hwnd_;
        d.uID = kTrayIconId;
        d.uFlags = flags;
        d.uCallbackMessage = kTrayMessage;
        d.hIcon = current_;
        return d;
    }

    void Remove() {
        if (!added_) return;
        NOTIFYICONDATAA d = Data(0);
        Shell_NotifyIconA(NIM_DELETE, &d);
        added_ = false;
    }

    TWin32Backend& b_;
    TTrayIcon& icon_;
    HWND hwnd_ = nullptr;
    HICON current_ = nullptr;
    HICON loaded_ = nullptr;  // owned: loaded from loadedFile_
    std::string loadedFile_;
    bool added_ = false;
    UINT taskbarCreated_ = 0;
};

LRESULT CALLBACK TrayWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    try {
        if (auto* p = reinterpret_cast<TTrayPeer*>(GetWindowLongPtrA(h, GWLP_USERDATA))) return p->WndProc(m, w, l);
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

}  // namespace

std::unique_ptr<TIconPeer> TWin32Backend::CreateTrayPeer(TTrayIcon& icon) {
    return std::make_unique<TTrayPeer>(*this, icon);
}

}  // namespace win32

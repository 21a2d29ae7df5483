// mbspy: looks at and works the windows of another program under Wine, for
// the end-to-end tests and the demo. Every wait is bounded.
//
//   mbspy wait CAPTION SECONDS            a visible top-level window appears
//   mbspy gone CAPTION SECONDS            no top-level window of that caption is left
//   mbspy waitclass CLASS CAPTION SECONDS a top-level window of that class exists (shown or not)
//   mbspy texts CAPTION                   the texts of its child windows, one a line
//                                         (CR and LF inside a text shown as \r and \n)
//   mbspy listview CAPTION                the rows of its list view: "col1 | col2"
//   mbspy click CAPTION BUTTON            presses the child button of that text
//   mbspy type CAPTION INDEX TEXT         sets the text of its INDEX-th edit (0-based)
//   mbspy close CAPTION                   as the close box
//   mbspy post CLASS CAPTION MSG [W [L]]  posts MSG to the window (CAPTION * for any)
//   mbspy menukeys KEYS SECONDS           presses keys in the popup menu that opens
//                                         (KEYS: down, up, enter, esc, comma-separated)
//   mbspy run SECONDS PROGRAM [ARGS]      runs a program, prints its exit code
//   mbspy middle CAPTION                  a middle click in the middle of the window
// Exit status 0 on success, 1 when the window or control is not found in time.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND FindTop(const char* caption, bool visibleOnly) {
    struct Ctx {
        const char* caption;
        bool visible;
        HWND found;
    } ctx{caption, visibleOnly, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(p);
            char text[512] = {};
            GetWindowTextA(h, text, sizeof text);
            if (std::strcmp(text, c->caption) == 0 && (!c->visible || IsWindowVisible(h))) {
                c->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND WaitTop(const char* caption, double seconds) {
    DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
        if (HWND h = FindTop(caption, true)) return h;
        if (static_cast<LONG>(GetTickCount() - end) > 0) return nullptr;
        Sleep(50);
    }
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> r;
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&r));
    return r;
}

std::string ClassOf(HWND h) {
    char c[128] = {};
    GetClassNameA(h, c, sizeof c);
    return c;
}

std::string TextOf(HWND h) {
    char t[2048] = {};
    SendMessageTimeoutA(h, WM_GETTEXT, sizeof t, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 2000, nullptr);
    return t;
}

// Reads a list view of another process through memory allocated in it.
int ListView(HWND top) {
    for (HWND h : Children(top)) {
        if (ClassOf(h) != WC_LISTVIEWA) continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!proc) return 1;
        const SIZE_T textSize = 512;
        auto* remote = static_cast<char*>(
            VirtualAllocEx(proc, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT, PAGE_READWRITE));
        HWND header = reinterpret_cast<HWND>(SendMessageA(h, LVM_GETHEADER, 0, 0));
        int cols = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
        int rows = static_cast<int>(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0));
        for (int r = 0; r < rows; ++r) {
            std::string line;
            for (int c = 0; c < cols; ++c) {
                LVITEMA item{};
                item.mask = LVIF_TEXT;
                item.iItem = r;
                item.iSubItem = c;
                item.pszText = remote + sizeof(LVITEMA);
                item.cchTextMax = textSize;
                WriteProcessMemory(proc, remote, &item, sizeof item, nullptr);
                SendMessageA(h, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(remote));
                char text[textSize] = {};
                ReadProcessMemory(proc, remote + sizeof(LVITEMA), text, textSize - 1, nullptr);
                line += (c ? " | " : "") + std::string(text);
            }
            std::printf("%s\n", line.c_str());
        }
        VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
        CloseHandle(proc);
        return 0;
    }
    return 1;
}

HWND ChildByText(HWND top, const char* text, const char* cls) {
    for (HWND h : Children(top))
        if (TextOf(h) == text && (!cls || ClassOf(h) == cls)) return h;
    return nullptr;
}

int Usage() {
    std::fprintf(stderr, "usage: mbspy wait|gone|texts|listview|click|type|close|post|run|middle ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string cmd = argv[1];
    if (cmd == "wait") return WaitTop(argv[2], argc > 3 ? std::atof(argv[3]) : 10) ? 0 : 1;
    if (cmd == "gone") {
        DWORD end = GetTickCount() + static_cast<DWORD>((argc > 3 ? std::atof(argv[3]) : 10) * 1000);
        while (FindTop(argv[2], true))
            if (static_cast<LONG>(GetTickCount() - end) > 0) return 1;
            else Sleep(50);
        return 0;
    }
    if (cmd == "waitclass" && argc >= 4) {
        DWORD end = GetTickCount() + static_cast<DWORD>((argc > 4 ? std::atof(argv[4]) : 10) * 1000);
        while (!FindWindowA(argv[2], argv[3]))
            if (static_cast<LONG>(GetTickCount() - end) > 0) return 1;
            else Sleep(50);
        return 0;
    }
    if (cmd == "run" && argc >= 4) {
        std::string line;
        for (int i = 3; i < argc; ++i) line += (i > 3 ? " \"" : "\"") + std::string(argv[i]) + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
        DWORD wait = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(std::atof(argv[2]) * 1000));
        if (wait != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 99);
            std::printf("timeout\n");
            return 1;
        }
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        std::printf("%lu\n", code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return 0;
    }
    if (cmd == "post" && argc >= 5) {
        HWND h = FindWindowA(argv[2], std::strcmp(argv[3], "*") == 0 ? nullptr : argv[3]);
        WPARAM w = argc > 5 ? std::strtoul(argv[5], nullptr, 0) : 0;
        LPARAM l = argc > 6 ? std::strtol(argv[6], nullptr, 0) : 0;
        return h && PostMessageA(h, std::strtoul(argv[4], nullptr, 0), w, l) ? 0 : 1;
    }
    if (cmd == "menukeys" && argc >= 3) {
        DWORD end = GetTickCount() + static_cast<DWORD>((argc > 3 ? std::atof(argv[3]) : 10) * 1000);
        HWND menu;
        while (!(menu = FindWindowA("#32768", nullptr)) || !IsWindowVisible(menu))
            if (static_cast<LONG>(GetTickCount() - end) > 0) return 1;
            else Sleep(50);
        std::string keys = argv[2];
        size_t pos = 0;
        for (;;) {
            size_t comma = keys.find(',', pos);
            std::string k = keys.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            UINT vk = k == "down" ? VK_DOWN : k == "up" ? VK_UP : k == "enter" ? VK_RETURN : k == "esc" ? VK_ESCAPE : 0;
            if (!vk || !PostMessageA(menu, WM_KEYDOWN, vk, 0)) return 1;
            if (comma == std::string::npos) break;
            pos = comma + 1;
        }
        return 0;
    }
    HWND top = WaitTop(argv[2], 10);
    if (!top) {
        std::fprintf(stderr, "mbspy: no window \"%s\"\n", argv[2]);
        return 1;
    }
    if (cmd == "texts") {
        for (HWND h : Children(top)) {
            std::string shown;
            for (char c : TextOf(h)) shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
            std::printf("%s\n", shown.c_str());
        }
        return 0;
    }
    if (cmd == "listview") return ListView(top);
    if (cmd == "click" && argc >= 4) {
        HWND b = ChildByText(top, argv[3], "Button");
        if (!b) return 1;
        PostMessageA(b, BM_CLICK, 0, 0);
        return 0;
    }
    if (cmd == "type" && argc >= 5) {
        int want = std::atoi(argv[3]), n = 0;
        for (HWND h : Children(top))
            if (ClassOf(h) == "Edit" && n++ == want) {
                SendMessageTimeoutA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_ABORTIFHUNG, 2000,
                                    nullptr);
                return 0;
            }
        return 1;
    }
    if (cmd == "close") return PostMessageA(top, WM_CLOSE, 0, 0) ? 0 : 1;
    if (cmd == "middle") {
        RECT r;
        GetWindowRect(top, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_MIDDLEDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_MIDDLEUP;
        return SendInput(2, in, sizeof(INPUT)) == 2 ? 0 : 1;
    }
    return Usage();
}

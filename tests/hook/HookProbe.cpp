// hook_probe: the other process of the Wine tests of korvaeml.dll. See
// ProbeProtocol.h for its two modes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ProbeProtocol.h"

namespace {

HWND Controller;

bool IsMouseMessage(UINT msg) {
    return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
           (msg >= WM_NCMOUSEMOVE && msg <= WM_NCXBUTTONDBLCLK);
}

LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsMouseMessage(msg)) {
        PostMessageA(Controller, probe::kMouse, msg, lParam);
        // No context menu and no system menu from the clicks the tests use as
        // markers: a menu loop would change what the hooks do.
        if (msg == WM_RBUTTONUP || msg == WM_NCRBUTTONUP || msg == WM_NCRBUTTONDOWN) return 0;
    }
    switch (msg) {
    case probe::kQueryLoaded:
        return GetModuleHandleA("korvaeml.dll") != nullptr ? 1 : 0;
    case WM_TIMER:
        if (!IsWindow(Controller)) DestroyWindow(hwnd);
        return 0;
    case WM_CONTEXTMENU:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int RunWindow(int argc, char** argv) {
    if (argc < 7) return 2;
    Controller = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(argv[2], nullptr, 0)));
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    const int w = std::atoi(argv[5]), h = std::atoi(argv[6]);

    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ProbeWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "HookProbeWindow";
    if (!RegisterClassA(&wc)) return 3;
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "hook probe",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!hwnd) return 4;
    UpdateWindow(hwnd);
    SetTimer(hwnd, 1, 250, nullptr);  // watches the controller
    const DWORD start = GetTickCount();
    PostMessageA(Controller, probe::kReady, reinterpret_cast<WPARAM>(hwnd), 0);

    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.hwnd == nullptr) PostMessageA(Controller, probe::kStray, m.message, 0);
        TranslateMessage(&m);
        DispatchMessageA(&m);
        if (GetTickCount() - start > probe::kLifetimeMs && IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    return 0;
}

int RunShared(int argc, char** argv) {
    HMODULE dll = LoadLibraryA("korvaeml.dll");
    if (!dll) return 3;
    using Fn = int32_t(__stdcall*)(int32_t);
    auto install = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "InstallHook")));
    auto enable = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "EnableMiddle")));
    auto window = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, "SetAppWindows")));
    volatile uint32_t* words = probe::SharedWords(dll);
    if (!install || !enable || !window || !words) return 4;
    std::printf("seen %lu %lu %lu %lu %lu\n", (unsigned long)words[0], (unsigned long)words[1],
                (unsigned long)words[2], (unsigned long)words[3], (unsigned long)words[4]);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "install") == 0) {
            std::printf("install %ld\n", (long)install(-1));
        } else if (std::strcmp(argv[i], "enable") == 0 && i + 1 < argc) {
            std::printf("enable %ld\n", (long)enable((int32_t)std::strtol(argv[++i], nullptr, 0)));
        } else if (std::strcmp(argv[i], "window") == 0 && i + 1 < argc) {
            std::printf("window %ld\n", (long)window((int32_t)std::strtol(argv[++i], nullptr, 0)));
        } else {
            return 2;
        }
    }
    std::fflush(stdout);
    FreeLibrary(dll);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "window") == 0) return RunWindow(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "shared") == 0) return RunShared(argc, argv);
    std::fprintf(stderr, "usage: hook_probe window CONTROLLER X Y W H | shared [install] [enable N] [window N]\n");
    return 2;
}

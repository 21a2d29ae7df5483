// The other process for the Windows service tests.
//   services_helper touch FILE
//       creates FILE and ends (a program that starts and stops at once).
//   services_helper first NAME CLASS CAPTION MESSAGE READY_EVENT TIMEOUT_MS
//       holds the semaphore NAME, shows a top-level window of CLASS and CAPTION,
//       sets the named event READY_EVENT and waits at most TIMEOUT_MS for
//       MESSAGE. Exit code 0: MESSAGE arrived with both parameters 0;
//       2: it did not arrive in time; 3: it arrived with other parameters;
//       4: the semaphore existed already; 5: bad arguments or set-up failure.
#include <windows.h>

#include <cstdlib>
#include <cstring>

static LRESULT CALLBACK WndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

static int Touch(const char* file) {
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 5;
    CloseHandle(h);
    return 0;
}

static int First(char** argv) {
    const char* name = argv[2];
    const char* cls = argv[3];
    const char* caption = argv[4];
    const UINT message = static_cast<UINT>(std::strtoul(argv[5], nullptr, 10));
    const char* ready = argv[6];
    const DWORD timeout = static_cast<DWORD>(std::strtoul(argv[7], nullptr, 10));

    HANDLE sem = CreateSemaphoreA(nullptr, 1, 1, name);
    if (!sem) return 5;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return 4;

    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    if (!RegisterClassA(&wc)) return 5;
    HWND w = CreateWindowA(cls, caption, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (!w) return 5;

    HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    if (!ev) return 5;
    SetEvent(ev);
    CloseHandle(ev);

    int result = 2;
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == message && msg.hwnd == w) {
                result = msg.wParam == 0 && msg.lParam == 0 ? 0 : 3;
                goto done;
            }
            DispatchMessageA(&msg);
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeout) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout - spent, QS_ALLINPUT);
    }
done:
    DestroyWindow(w);
    CloseHandle(sem);
    return result;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "touch") == 0) return Touch(argv[2]);
    if (argc == 8 && std::strcmp(argv[1], "first") == 0) return First(argv);
    return 5;
}

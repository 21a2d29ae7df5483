// korvaeml.dll at work: real middle clicks (SendInput) on a window of another
// process, hook_probe, while this process plays the main program. The hooks
// are global to the session, so every test removes what it installed, also
// when it fails; every wait is bounded.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ProbeProtocol.h"
#include "hook/HookLogic.h"
#include "hook/korvaeml.h"

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr int kProbeX = 200, kProbeY = 150, kProbeW = 400, kProbeH = 300;

int32_t ToArg(HWND hwnd) { return static_cast<int32_t>(reinterpret_cast<INT_PTR>(hwnd)); }

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

volatile uint32_t* OwnSharedWords() { return probe::SharedWords(GetModuleHandleA("korvaeml.dll")); }

// Everything that arrived at the controller window.
struct Inbox {
    std::vector<UINT> mouse;    // mouse messages the probe's window received
    std::vector<UINT> stray;    // window-less messages in the probe's queue
    int middle = 0;             // WM_MIDDLEBUTTON received
    int middleWithParams = 0;   // ... of them with a non-zero parameter
    HWND probeWindow = nullptr;

    void Clear() { mouse.clear(); stray.clear(); middle = middleWithParams = 0; }
    bool Got(UINT msg) const {
        for (UINT m : mouse) if (m == msg) return true;
        return false;
    }
    bool GotAnyMiddle() const {
        for (UINT m : {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_NCMBUTTONDOWN,
                       WM_NCMBUTTONUP, WM_NCMBUTTONDBLCLK})
            if (Got(m)) return true;
        return false;
    }
    std::string Describe() const {
        std::string s = "probe got:";
        char buf[16];
        for (UINT m : mouse) { std::snprintf(buf, sizeof buf, " %#x", m); s += buf; }
        s += "; WM_MIDDLEBUTTON x" + std::to_string(middle);
        return s;
    }
};

Inbox* gInbox = nullptr;

LRESULT CALLBACK ControllerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (gInbox) {
        switch (msg) {
        case WM_MIDDLEBUTTON:
            ++gInbox->middle;
            if (wParam != 0 || lParam != 0) ++gInbox->middleWithParams;
            return 0;
        case probe::kReady:
            gInbox->probeWindow = reinterpret_cast<HWND>(wParam);
            return 0;
        case probe::kMouse:
            if (wParam != WM_MOUSEMOVE && wParam != WM_NCMOUSEMOVE) gInbox->mouse.push_back(static_cast<UINT>(wParam));
            return 0;
        case probe::kStray:
            gInbox->stray.push_back(static_cast<UINT>(wParam));
            return 0;
        }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Closes the menu loop the menu test opens.
LRESULT CALLBACK MenuOwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        EndMenu();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Dispatches this thread's messages until `done` holds or the time is up.
template <class Pred>
bool PumpUntil(Pred done, DWORD timeoutMs = kWaitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
    }
}

// Mouse input at screen point p: every event carries its own absolute
// position, so that moves the window system makes on its own in between (the
// X server reporting an earlier pointer warp, say) cannot shift a button event.
void SendButtons(POINT p, std::initializer_list<DWORD> buttons) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    std::vector<INPUT> in;
    for (DWORD b : buttons) {
        INPUT i{};
        i.type = INPUT_MOUSE;
        i.mi.dx = static_cast<LONG>((p.x * 65536LL + w - 1) / w);
        i.mi.dy = static_cast<LONG>((p.y * 65536LL + h - 1) / h);
        i.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | b;
        in.push_back(i);
    }
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

// The helper process with its window; ended however the test ends.
class ProbeProcess {
public:
    ~ProbeProcess() { Stop(); }

    bool Start(const std::string& args, HANDLE stdoutWrite = nullptr) {
        std::string cmd(1, '"');
        cmd += ProgramFolder();
        cmd += "hook_probe.exe\" ";
        cmd += args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (stdoutWrite) {
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = stdoutWrite;
            si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        }
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, stdoutWrite != nullptr, 0, nullptr,
                            nullptr, &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        return true;
    }

    // Waits for the end; false (and the process killed) when it does not come.
    bool Wait(DWORD ms, DWORD* exitCode = nullptr) {
        if (!process_) return false;
        if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) {
            Stop();
            return false;
        }
        if (exitCode) GetExitCodeProcess(process_, exitCode);
        return true;
    }

    void Stop(HWND window = nullptr) {
        if (!process_) return;
        if (window) PostMessageA(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_, window ? 5000 : 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
        process_ = nullptr;
    }

private:
    HANDLE process_ = nullptr;
};

// Runs "hook_probe shared ARGS" and returns what it printed ("" on failure).
std::string RunSharedProbe(const std::string& args) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    ProbeProcess p;
    const bool started = p.Start("shared " + args, writeEnd);
    CloseHandle(writeEnd);
    std::string out;
    DWORD code = 99;
    if (started && p.Wait(kWaitMs, &code) && code == 0) {
        char buf[512];
        DWORD n = 0;
        DWORD avail = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &avail, nullptr) && avail > 0 &&
               ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0)
            out.append(buf, n);
    }
    CloseHandle(readEnd);
    std::erase(out, '\r');  // the probe's stdout is in text mode
    return out;
}

class MiddleButtonHook : public ::testing::Test {
protected:
    Inbox inbox;
    HWND controller = nullptr;
    ProbeProcess probeProcess;
    POINT client{}, caption{}, marker{};

    static void SetUpTestSuite() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ControllerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HookTestController";
        RegisterClassA(&wc);
        wc.lpfnWndProc = MenuOwnerProc;
        wc.lpszClassName = "HookTestMenuOwner";
        RegisterClassA(&wc);
    }

    void SetUp() override {
        ResetLibrary();
        gInbox = &inbox;
        controller = CreateWindowExA(0, "HookTestController", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(controller, nullptr);
        char args[128];
        std::snprintf(args, sizeof args, "window %lld %d %d %d %d",
                      static_cast<long long>(reinterpret_cast<INT_PTR>(controller)), kProbeX, kProbeY,
                      kProbeW, kProbeH);
        ASSERT_TRUE(probeProcess.Start(args));
        ASSERT_TRUE(PumpUntil([&] { return inbox.probeWindow != nullptr; })) << "probe did not start";

        RECT rc, wr;
        GetClientRect(inbox.probeWindow, &rc);
        GetWindowRect(inbox.probeWindow, &wr);
        POINT origin{0, 0};
        ClientToScreen(inbox.probeWindow, &origin);
        client = {origin.x + rc.right / 3, origin.y + rc.bottom / 2};
        marker = {origin.x + 2 * rc.right / 3, origin.y + rc.bottom / 2};
        caption = {(wr.left + wr.right) / 2, (wr.top + origin.y) / 2};
        for (POINT p : {client, caption, marker})
            ASSERT_EQ(WindowFromPoint(p), inbox.probeWindow) << "another window covers " << p.x << "," << p.y;
        ASSERT_EQ(HitTest(client), HTCLIENT);
        ASSERT_EQ(HitTest(caption), HTCAPTION) << "no caption at " << caption.x << "," << caption.y;
    }

    void TearDown() override {
        ResetLibrary();
        probeProcess.Stop(inbox.probeWindow);
        if (controller) DestroyWindow(controller);
        gInbox = nullptr;
    }

    static void ResetLibrary() {
        InstallHook(0);
        EnableMiddle(0);
        SetAppWindows(0);
    }

    // Hooks on, reporting to the controller window.
    void TakeMiddleClicks() {
        ASSERT_NE(InstallHook(-1), 0);
        SetAppWindows(ToArg(controller));
        EnableMiddle(-1);
        ClearMenuState();
    }

    // A WM_MENUSELECT through the system message filter, as a menu loop ends.
    static void ClearMenuState() {
        MSG m{};
        m.message = WM_MENUSELECT;
        CallMsgFilterA(&m, MSGF_MENU);
    }

    LRESULT HitTest(POINT p) {
        DWORD_PTR result = HTNOWHERE;
        SendMessageTimeoutA(inbox.probeWindow, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), SMTO_ABORTIFHUNG,
                            kWaitMs, &result);
        return static_cast<LRESULT>(result);
    }

    // Middle press and release at p, then a right click on the marker point;
    // once the marker's release has reached the probe's window, every earlier
    // input has been through its queue and the hooks.
    bool MiddleClick(POINT p, int clicks = 1) {
        inbox.Clear();
        if (clicks == 2)
            SendButtons(p, {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEDOWN,
                            MOUSEEVENTF_MIDDLEUP});
        else
            SendButtons(p, {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP});
        return Sync();
    }

    bool Sync() {
        SendButtons(marker, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
        return PumpUntil([&] { return inbox.Got(WM_RBUTTONUP); });
    }

    bool ProbeLoadedLibrary() {
        DWORD_PTR loaded = 0;
        SendMessageTimeoutA(inbox.probeWindow, probe::kQueryLoaded, 0, 0, SMTO_ABORTIFHUNG, kWaitMs,
                            &loaded);
        return loaded == 1;
    }
};

TEST_F(MiddleButtonHook, PressIsReportedOnceAndHiddenFromTheWindow) {
    TakeMiddleClicks();
    struct Where { POINT p; const char* what; } places[] = {{client, "client area"}, {caption, "frame"}};
    for (const auto& w : places) {
        ASSERT_TRUE(MiddleClick(w.p)) << w.what;
        EXPECT_EQ(inbox.middle, 1) << w.what << ": " << inbox.Describe();
        EXPECT_EQ(inbox.middleWithParams, 0) << w.what;
        EXPECT_FALSE(inbox.GotAnyMiddle()) << w.what << ": " << inbox.Describe();
        EXPECT_TRUE(inbox.Got(WM_RBUTTONDOWN)) << "other buttons pass: " << inbox.Describe();
        EXPECT_TRUE(inbox.stray.empty());
    }
    EXPECT_TRUE(ProbeLoadedLibrary()) << "the hook did not run inside the probe process";
}

TEST_F(MiddleButtonHook, DisabledClicksReachTheWindowUnchanged) {
    TakeMiddleClicks();
    EnableMiddle(0);
    ASSERT_TRUE(MiddleClick(client));
    EXPECT_TRUE(inbox.Got(WM_MBUTTONDOWN) && inbox.Got(WM_MBUTTONUP)) << inbox.Describe();
    EXPECT_EQ(inbox.middle, 0);
    ASSERT_TRUE(MiddleClick(caption));
    EXPECT_TRUE(inbox.Got(WM_NCMBUTTONDOWN) && inbox.Got(WM_NCMBUTTONUP)) << inbox.Describe();
    EXPECT_EQ(inbox.middle, 0);

    EnableMiddle(-1);  // and back on
    ASSERT_TRUE(MiddleClick(client));
    EXPECT_EQ(inbox.middle, 1) << inbox.Describe();
    EXPECT_FALSE(inbox.GotAnyMiddle()) << inbox.Describe();
}

TEST_F(MiddleButtonHook, WithoutApplicationWindowClicksPassAndNothingIsPosted) {
    TakeMiddleClicks();
    SetAppWindows(0);
    ASSERT_TRUE(MiddleClick(client));
    EXPECT_TRUE(inbox.Got(WM_MBUTTONDOWN) && inbox.Got(WM_MBUTTONUP)) << inbox.Describe();
    EXPECT_TRUE(inbox.stray.empty()) << "a message was posted into the probe's own queue";
}

TEST_F(MiddleButtonHook, DoubleClickMessagePassesThrough) {
    TakeMiddleClicks();
    struct Where { POINT p; UINT dbl, down, up; const char* what; } places[] = {
        {client, WM_MBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP, "client area"},
        {caption, WM_NCMBUTTONDBLCLK, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP, "frame"},
    };
    for (const auto& w : places) {
        ASSERT_TRUE(MiddleClick(w.p, 2)) << w.what;
        EXPECT_TRUE(inbox.Got(w.dbl)) << w.what << ": " << inbox.Describe();
        EXPECT_FALSE(inbox.Got(w.down) || inbox.Got(w.up)) << w.what << ": " << inbox.Describe();
        EXPECT_EQ(inbox.middle, 1) << w.what << ", only the first press is reported: " << inbox.Describe();
    }
}

TEST_F(MiddleButtonHook, AfterMenuLoopClicksWaitForMenuSelect) {
    TakeMiddleClicks();
    volatile uint32_t* words = OwnSharedWords();
    ASSERT_NE(words, nullptr);
    ASSERT_EQ(words[2], 0u);

    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "HookTestMenuOwner", "", WS_POPUP | WS_VISIBLE, 900, 700,
                                 20, 20, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "one");
    AppendMenuA(menu, MF_STRING, 2, "two");
    SetForegroundWindow(owner);
    SetTimer(owner, 1, 200, nullptr);  // ends the menu loop
    TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 850, 600, 0, owner, nullptr);
    KillTimer(owner, 1);
    DestroyMenu(menu);
    DestroyWindow(owner);
    EXPECT_EQ(words[2], 1u) << "the menu loop did not pass the filter";

    ASSERT_TRUE(MiddleClick(client));
    EXPECT_TRUE(inbox.Got(WM_MBUTTONDOWN) && inbox.Got(WM_MBUTTONUP)) << inbox.Describe();
    EXPECT_EQ(inbox.middle, 0);

    MSG other{};  // a dialog's modal loop does not count
    other.message = WM_MENUSELECT;
    EXPECT_FALSE(CallMsgFilterA(&other, MSGF_DIALOGBOX)) << "the filter must pass messages on";
    ASSERT_TRUE(MiddleClick(client));
    EXPECT_EQ(inbox.middle, 0) << inbox.Describe();

    ClearMenuState();
    ASSERT_TRUE(MiddleClick(client));
    EXPECT_EQ(inbox.middle, 1) << inbox.Describe();
    EXPECT_FALSE(inbox.GotAnyMiddle()) << inbox.Describe();
}

TEST_F(MiddleButtonHook, InstallAndRemoveEachOnce) {
    volatile uint32_t* words = OwnSharedWords();
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(InstallHook(0), 0) << "nothing installed, nothing to remove";
    EXPECT_EQ(InstallHook(0), 0);
    EXPECT_EQ(words[0], 0u);
    EXPECT_EQ(words[1], 0u);

    const int32_t filter = InstallHook(-1);
    ASSERT_NE(filter, 0);
    const uint32_t mouse = words[0];
    EXPECT_NE(mouse, 0u);
    EXPECT_EQ(words[1], static_cast<uint32_t>(filter));
    EXPECT_EQ(InstallHook(1), filter) << "a second install returns the same hook";
    EXPECT_EQ(words[0], mouse);

    EXPECT_EQ(SetAppWindows(ToArg(controller)), ToArg(controller));
    EXPECT_EQ(EnableMiddle(-1), -1);
    ClearMenuState();
    EXPECT_NE(InstallHook(0), 0) << "removal of the filter hook succeeds";
    EXPECT_EQ(words[0], 0u);
    EXPECT_EQ(words[1], 0u);
    ASSERT_TRUE(MiddleClick(client));
    EXPECT_TRUE(inbox.Got(WM_MBUTTONDOWN) && inbox.Got(WM_MBUTTONUP)) << "hooks still active: "
                                                                      << inbox.Describe();
    EXPECT_EQ(inbox.middle, 0);
}

TEST_F(MiddleButtonHook, TwoProcessesSeeTheSameVariables) {
    DWORD characteristics = 0, size = 0;
    volatile uint32_t* words = probe::SharedWords(GetModuleHandleA("korvaeml.dll"), &characteristics, &size);
    ASSERT_NE(words, nullptr);
    EXPECT_NE(characteristics & IMAGE_SCN_MEM_SHARED, 0u);
    EXPECT_EQ(size, 20u);

    const int32_t filter = InstallHook(-1);
    ASSERT_NE(filter, 0);
    SetAppWindows(ToArg(controller));
    EnableMiddle(0x5A);
    MSG m{};
    m.message = WM_KEYDOWN;
    CallMsgFilterA(&m, MSGF_MENU);  // MenuActive 1

    char want[160];
    std::snprintf(want, sizeof want, "seen %lu %lu 1 %lu 90\ninstall %ld\nenable 51\nwindow 4660\n",
                  static_cast<unsigned long>(words[0]), static_cast<unsigned long>(words[1]),
                  static_cast<unsigned long>(static_cast<uint32_t>(ToArg(controller))),
                  static_cast<long>(filter));
    EXPECT_EQ(RunSharedProbe("install enable 51 window 4660"), want);
    EXPECT_EQ(words[1], static_cast<uint32_t>(filter)) << "the other process installed a second hook";
    EXPECT_EQ(words[2], 1u);
    EXPECT_EQ(words[3], 4660u);
    EXPECT_EQ(words[4], 51u);
    ClearMenuState();
    EXPECT_EQ(words[2], 0u);
}

}  // namespace

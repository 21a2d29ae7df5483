#include "UiTestSupport.h"

#include <chrono>
#include <cstdio>

namespace uitest {

HWND Hwnd(const TControl* c) { return c && c->Peer() ? reinterpret_cast<HWND>(c->Peer()->Handle()) : nullptr; }
HWND Hwnd(TForm& f) { return reinterpret_cast<HWND>(f.Handle()); }

std::string Text(HWND h) {
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string ClassOf(HWND h) {
    char buf[256] = {};
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

namespace {
struct TSearch {
    std::string cls, caption;
    std::vector<HWND> found;
};

BOOL CALLBACK VisitTop(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<TSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(h)) return TRUE;
    if (!s->cls.empty() && ClassOf(h) != s->cls) return TRUE;
    if (!s->caption.empty() && Text(h) != s->caption) return TRUE;
    s->found.insert(s->found.begin(), h);  // the list runs from the top of the Z order
    return TRUE;
}

BOOL CALLBACK VisitChild(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<TSearch*>(p);
    if (s->cls.empty() || _stricmp(ClassOf(h).c_str(), s->cls.c_str()) == 0) s->found.push_back(h);
    return TRUE;
}
}  // namespace

std::vector<HWND> FindOwnWindows(const std::string& cls, const std::string& caption) {
    TSearch s{cls, caption, {}};
    EnumWindows(&VisitTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::vector<HWND> ChildrenOf(HWND h, const std::string& cls) {
    TSearch s{cls, "", {}};
    EnumChildWindows(h, &VisitChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool PumpUntil(const std::function<bool()>& cond, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Application->ProcessMessages();
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(5);
    }
}

TDialogAnswer::TDialogAnswer(std::string cls, std::string caption, std::function<void(HWND)> act, int timeoutMs) {
    thread_ = std::thread([this, cls, caption, act, timeoutMs] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            auto found = FindOwnWindows(cls, caption);
            if (!found.empty()) {
                HWND dlg = found.back();
                for (HWND s : ChildrenOf(dlg, "Static")) {
                    if (!texts_.empty()) texts_ += '|';
                    texts_ += Text(s);
                }
                act(dlg);
                found_ = true;
                return;
            }
            Sleep(20);
        }
    });
}

void TDialogAnswer::Wait() {
    if (thread_.joinable()) thread_.join();
}

TDialogAnswer::~TDialogAnswer() { Wait(); }

std::unique_ptr<TDialogAnswer> AnswerMessageBox(const std::string& caption, int button) {
    return std::make_unique<TDialogAnswer>("#32770", caption, [button](HWND dlg) {
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, button)));
    });
}

namespace {
// A crash ends the program at once instead of waiting for a debugger.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "\ncrash: exception 0x%08lx; the test program stops\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

void TUiTest::SetUp() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(&EndOnCrash);
    win32::Instance().ClearTerminated();
    app_ = std::make_unique<TApplication>();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    watchdog_ = std::thread([this, name] {
        // No test of this program needs more than a few seconds.
        for (int i = 0; i < 2000 && !done_; ++i) Sleep(10);
        if (done_) return;
        std::fprintf(stderr, "\n%s did not finish in 20 s: the test program stops\n", name.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    });
}

void TUiTest::TearDown() {
    app_.reset();
    win32::Instance().ClearTerminated();
    done_ = true;
    watchdog_.join();
}

}  // namespace uitest

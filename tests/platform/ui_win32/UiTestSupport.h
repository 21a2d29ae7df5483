#pragma once
// Support for the tests of the Win32 backend: a fixture with an application
// object and a watchdog (no test may hang), and helper threads that find the
// program's dialogs and answer them as a user would.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "platform/ui/win32/Win32Backend.h"

namespace uitest {

HWND Hwnd(const TControl* c);
HWND Hwnd(TForm& f);
std::string Text(HWND h);
std::string ClassOf(HWND h);
// Visible top-level windows of this process with the class and caption
// (an empty text matches any), newest last.
std::vector<HWND> FindOwnWindows(const std::string& cls, const std::string& caption);
// The child windows of h with the class (any depth).
std::vector<HWND> ChildrenOf(HWND h, const std::string& cls);
// Runs messages until cond holds or the time is up; true when it holds.
bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 3000);

// Waits on its own thread for a visible dialog of this process whose class
// and caption match, then runs act on that thread. Joins when destroyed.
class TDialogAnswer {
public:
    TDialogAnswer(std::string cls, std::string caption, std::function<void(HWND)> act, int timeoutMs = 5000);
    ~TDialogAnswer();
    // Waits for the helper thread to end.
    void Wait();
    bool Found() { Wait(); return found_; }
    // The texts of the dialog's static controls, read before acting.
    const std::string& Texts() { Wait(); return texts_; }

private:
    std::atomic<bool> found_{false};
    std::string texts_;
    std::thread thread_;
};

// Answers a message box with the caption by the button id.
std::unique_ptr<TDialogAnswer> AnswerMessageBox(const std::string& caption, int button);

class TUiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<TApplication> app_;

private:
    std::atomic<bool> done_{false};
    std::thread watchdog_;
};

}  // namespace uitest

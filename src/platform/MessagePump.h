#pragma once
// Long work on the GUI thread (a POP3 session, a dial) keeps the user interface
// alive by dispatching the application's pending window messages. The
// application object installs the dispatcher; without one the call does nothing.
#include <functional>

namespace platform {
void SetMessagePump(std::function<void()> pump);
void ProcessMessages();
// Blocks the calling thread (the real sleep, also in tests).
void SleepMs(unsigned ms);
}  // namespace platform

#include "app/Program.h"

#include "app/AppGlobals.h"
#include "app/MainForm.h"
#include "device/EmailDevices.h"
#include "platform/services/Services.h"

int RunMailbell() {
    platform::IInstanceGuard& guard = *platform::Sys().Instance;
    if (!guard.Claim(kInstanceName, kMainWindowClass, kMainWindowCaption, WM_SHOWSETTING)) return 1;
    int exitCode = 0;
    {
        TApplication app;
        try {
            auto* form = new TMAILBELLForm(nullptr);
            app.MainForm = form;
            app.Run();
            delete MAILBELLForm;  // still there unless the run deleted it
        } catch (const EStartupAbort& abort) {
            exitCode = abort.ExitCode;
        }
    }
    FreeDevices();
    guard.Release();
    return exitCode;
}

/* korvaeml.dll: two system-wide hooks that turn a middle-button press anywhere
   on the desktop into WM_MIDDLEBUTTON for the main program. The system maps
   this library into every process whose threads receive mouse input and runs
   the hook procedures there; what all copies must agree on lives in the
   shared section "DataSeg". The decisions themselves are in HookLogic.c. */
#include <windows.h>

#define KORVAEML_BUILD
#include "hook/korvaeml.h"
#include "hook/HookLogic.h"

/* One struct, so that the five values keep their order inside the section.
   Explicitly initialised, so that it is stored as data in the section; aligned
   to its words only, so that the 64-bit compiler does not pad the section. */
__attribute__((section("DataSeg"), shared, aligned(4)))
static volatile TSharedHookData Shared = {0, 0, 0, 0, 0};

/* This process's own handle of the library. */
static HINSTANCE ModuleInstance;

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SyMsgHookProc(int code, WPARAM wParam, LPARAM lParam);

/* Handles travel as 32-bit values; widen them the way the system does. */
static HHOOK ToHook(uint32_t value) { return (HHOOK)(INT_PTR)(int32_t)value; }
static HWND ToWindow(uint32_t value) { return (HWND)(INT_PTR)(int32_t)value; }
static uint32_t FromHandle(const void *handle) { return (uint32_t)(UINT_PTR)handle; }

static uint32_t SetMouseHook(void *ctx)
{
    (void)ctx;
    return FromHandle(SetWindowsHookExA(WH_MOUSE, MouseProc, ModuleInstance, 0));
}

static uint32_t SetMsgFilterHook(void *ctx)
{
    (void)ctx;
    return FromHandle(SetWindowsHookExA(WH_SYSMSGFILTER, SyMsgHookProc, ModuleInstance, 0));
}

static int32_t Unhook(void *ctx, uint32_t hook)
{
    (void)ctx;
    return UnhookWindowsHookEx(ToHook(hook)) ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        ModuleInstance = instance;
    } else if (reason == DLL_PROCESS_DETACH) {
        ModuleInstance = NULL;
    }
    return TRUE;
}

int32_t WINAPI InstallHook(int32_t flag)
{
    static const THookOps ops = {SetMouseHook, SetMsgFilterHook, Unhook, NULL};
    return InstallHookSwitch(&Shared, flag, &ops);
}

int32_t WINAPI SetAppWindows(int32_t window)
{
    Shared.AppWindow = (uint32_t)window;
    return window;
}

int32_t WINAPI EnableMiddle(int32_t flag)
{
    Shared.MiddleEnabled = (uint32_t)flag;
    return flag;
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    const uint32_t appWindow = Shared.AppWindow;
    switch (MouseHookVerdict(code, (uint32_t)wParam, Shared.MenuActive, Shared.MiddleEnabled,
                             appWindow)) {
    case mvPostAndDiscard:
        PostMessageA(ToWindow(appWindow), WM_MIDDLEBUTTON, 0, 0);
        return 1;
    case mvDiscard:
        return 1;
    case mvPassOn:
    default:
        return CallNextHookEx(ToHook(Shared.MouseHook), code, wParam, lParam);
    }
}

LRESULT CALLBACK SyMsgHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *msg = (const MSG *)lParam;
    if (code >= 0 && msg != NULL) {
        uint32_t menuActive;
        if (MenuFilterUpdate(code, msg->message, &menuActive)) Shared.MenuActive = menuActive;
    }
    return CallNextHookEx(ToHook(Shared.MsgFilterHook), code, wParam, lParam);
}

/* Decisions of the middle-button hook library, free of any system header so
   that they can be built and tested on every platform. The thin Windows layer
   (KorvaEml.c) reads the shared variables, asks these functions what to do and
   carries it out. */
#ifndef KORVAEML_HOOKLOGIC_H
#define KORVAEML_HOOKLOGIC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Posted to the application window, both parameters 0, for each middle press. */
#define WM_MIDDLEBUTTON 1224

/* The variables every process that has the library loaded must agree on. They
   live in the library's shared section "DataSeg" in exactly this order; every
   field is 32 bits wide on both builds (window and hook handles are 32-bit
   values that the 64-bit build widens by sign extension). */
typedef struct TSharedHookData {
    uint32_t MouseHook;     /* handle of the mouse hook, 0 when not installed */
    uint32_t MsgFilterHook; /* handle of the system message-filter hook, 0 when not installed */
    uint32_t MenuActive;    /* 1 while a menu loop is believed open, see MenuFilterUpdate */
    uint32_t AppWindow;     /* window that receives WM_MIDDLEBUTTON */
    uint32_t MiddleEnabled; /* non-zero: middle presses are taken */
} TSharedHookData;

/* What the mouse hook does with one mouse message. */
typedef enum TMouseVerdict {
    mvPassOn = 0,         /* hand the call to the next hook */
    mvDiscard = 1,        /* answer 1 so that the system drops the message */
    mvPostAndDiscard = 2  /* post WM_MIDDLEBUTTON to AppWindow, then drop the message */
} TMouseVerdict;

/* code and message are the hook code and mouse message number the mouse hook
   was called with; the other three are the current shared values. */
TMouseVerdict MouseHookVerdict(int32_t code, uint32_t message, uint32_t menuActive,
                               uint32_t middleEnabled, uint32_t appWindow);

/* The message filter saw message number `message` with hook code `code`. Returns
   non-zero and stores the new MenuActive value in *menuActive when the call
   belongs to a menu's modal loop; returns 0 and leaves *menuActive alone
   otherwise. */
int MenuFilterUpdate(int32_t code, uint32_t message, uint32_t *menuActive);

/* The system calls InstallHookSwitch needs, so that the sequence can run
   against test doubles. Handles are 32-bit values, 0 meaning failure. */
typedef struct THookOps {
    uint32_t (*SetMouseHook)(void *ctx);
    uint32_t (*SetMsgFilterHook)(void *ctx);
    int32_t (*Unhook)(void *ctx, uint32_t hook); /* non-zero when removed */
    void *ctx;
} THookOps;

/* Non-zero flag: installs whichever of the two hooks is not installed yet and
   returns the message-filter hook handle (0 when it could not be installed).
   Zero flag: removes whichever is installed and returns the result of removing
   the message-filter hook, 0 when there was none. */
int32_t InstallHookSwitch(volatile TSharedHookData *data, int32_t flag, const THookOps *ops);

#ifdef __cplusplus
}
#endif

#endif

#include "hook/HookLogic.h"

/* Numbers fixed by the window system; spelled out here because this file
   includes no system header. */
enum {
    HookCodeNoRemove = 3,    /* HC_NOREMOVE: the message is only peeked at */
    FilterCodeMenu = 2,      /* MSGF_MENU */
    MsgMenuSelect = 0x011F,  /* WM_MENUSELECT */
    MsgNcMButtonDown = 0x00A7,
    MsgNcMButtonUp = 0x00A8,
    MsgMButtonDown = 0x0207,
    MsgMButtonUp = 0x0208
};

TMouseVerdict MouseHookVerdict(int32_t code, uint32_t message, uint32_t menuActive,
                               uint32_t middleEnabled, uint32_t appWindow)
{
    if (code < 0 || code == HookCodeNoRemove) return mvPassOn;
    if (menuActive != 0) return mvPassOn;
    if (middleEnabled == 0) return mvPassOn;
    /* Without a window to tell, a press must not be swallowed: posting to a null
       window would drop a stray message into the queue of whichever thread the
       hook happens to run on. */
    if (appWindow == 0) return mvPassOn;
    switch (message) {
    case MsgMButtonDown:
    case MsgNcMButtonDown:
        return mvPostAndDiscard;
    case MsgMButtonUp:
    case MsgNcMButtonUp:
        return mvDiscard;
    default:
        /* double clicks and every other button or move pass unchanged */
        return mvPassOn;
    }
}

int MenuFilterUpdate(int32_t code, uint32_t message, uint32_t *menuActive)
{
    if (code != FilterCodeMenu) return 0;
    *menuActive = message == MsgMenuSelect ? 0u : 1u;
    return 1;
}

int32_t InstallHookSwitch(volatile TSharedHookData *data, int32_t flag, const THookOps *ops)
{
    if (flag != 0) {
        if (data->MouseHook == 0) data->MouseHook = ops->SetMouseHook(ops->ctx);
        if (data->MsgFilterHook == 0) data->MsgFilterHook = ops->SetMsgFilterHook(ops->ctx);
        return (int32_t)data->MsgFilterHook;
    }
    if (data->MouseHook != 0) {
        ops->Unhook(ops->ctx, data->MouseHook);
        data->MouseHook = 0;
    }
    if (data->MsgFilterHook != 0) {
        int32_t removed = ops->Unhook(ops->ctx, data->MsgFilterHook);
        data->MsgFilterHook = 0;
        return removed;
    }
    return 0;
}

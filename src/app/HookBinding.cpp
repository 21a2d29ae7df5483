#include "app/HookBinding.h"

#if defined(_WIN32) && defined(MB_HAVE_KORVAEML)
#include <windows.h>

#include "hook/korvaeml.h"
#endif

THookLibrary& HookLibrary() {
#if defined(_WIN32) && defined(MB_HAVE_KORVAEML)
    static THookLibrary lib{
        [](int32_t e) { return static_cast<int32_t>(::InstallHook(e)); },
        [](uintptr_t w) { return static_cast<uintptr_t>(static_cast<uint32_t>(::SetAppWindows(static_cast<int32_t>(w)))); },
        [](int32_t e) { return static_cast<int32_t>(::EnableMiddle(e)); },
    };
#else
    static THookLibrary lib{
        [](int32_t) { return 0; },
        [](uintptr_t w) { return w; },
        [](int32_t e) { return e; },
    };
#endif
    return lib;
}

/* The three functions of korvaeml.dll that the main program calls. The program
   links the import library of target korvaeml, so the DLL must be present for
   it to start.

   Every argument and result is a 32-bit value. Flags are passed as -1 (all bits
   set) for on and 0 for off. A window handle is passed as its 32-bit value
   (HandleToLong on the 64-bit build; window handles fit in 32 bits). */
#ifndef KORVAEML_H
#define KORVAEML_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef KORVAEML_BUILD
#define KORVAEML_API
#else
#define KORVAEML_API __declspec(dllimport)
#endif

/* Non-zero: install the mouse hook and the system message-filter hook (each
   only if not installed yet) and return the filter hook's handle, 0 if it
   could not be installed. Zero: remove both and return the result of removing
   the filter hook, 0 when none was installed. */
KORVAEML_API int32_t __stdcall InstallHook(int32_t flag);

/* The window that receives WM_MIDDLEBUTTON (1224, both parameters 0) for each
   middle press. Returns its argument. */
KORVAEML_API int32_t __stdcall SetAppWindows(int32_t window);

/* Non-zero: middle presses are taken and reported; zero: every mouse message
   passes unchanged. Returns its argument. */
KORVAEML_API int32_t __stdcall EnableMiddle(int32_t flag);

#ifdef __cplusplus
}
#endif

#endif

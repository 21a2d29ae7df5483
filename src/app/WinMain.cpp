// Entry of MAILBELL.exe.
#include <windows.h>

#include "app/AppGlobals.h"
#include "app/Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    AppExeName = path;
    return RunMailbell();
}

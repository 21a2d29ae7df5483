#pragma once
// The three exports of the hook library that the program calls. Each takes one
// 32-bit value; flags are all bits set for true and 0 for false. The Windows
// build binds them when the program loads; tests install their own.
#include <cstdint>
#include <functional>

struct THookLibrary {
    std::function<int32_t(int32_t enable)> InstallHook;
    std::function<uintptr_t(uintptr_t window)> SetAppWindows;
    std::function<int32_t(int32_t enable)> EnableMiddle;
};

// The library as bound by this build (does nothing where no library exists).
THookLibrary& HookLibrary();

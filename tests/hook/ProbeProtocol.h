// What the Wine tests of the hook library and their helper process hook_probe
// say to each other, and how both find the library's shared variables.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace probe {

// hook_probe window CONTROLLER X Y W H
//   opens a top-level window (double clicks on) at that screen rectangle and
//   posts to CONTROLLER:
constexpr UINT kReady = WM_APP + 1;  // wParam: the probe's window
constexpr UINT kMouse = WM_APP + 2;  // wParam: mouse message number the window got
constexpr UINT kStray = WM_APP + 3;  // wParam: number of a window-less message in its queue
//   answers, when sent to its window:
constexpr UINT kQueryLoaded = WM_APP + 4;  // 1 when korvaeml.dll is mapped in the probe
//   and ends on WM_CLOSE, when CONTROLLER goes away, or after kLifetimeMs.
constexpr UINT kLifetimeMs = 60000;

// hook_probe shared [install] [enable N] [window N]
//   loads korvaeml.dll itself, prints "seen A B C D E" (the five shared words as
//   this process sees them), then runs the requested calls in that order, each
//   printing "install R", "enable R" or "window R" with the call's result.

// The five 32-bit words of the section "DataSeg" of a loaded module, or null.
inline volatile uint32_t* SharedWords(HMODULE module, DWORD* characteristics = nullptr,
                                      DWORD* size = nullptr) {
    if (!module) return nullptr;
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::memcmp(section->Name, "DataSeg\0", 8) == 0) {
            if (characteristics) *characteristics = section->Characteristics;
            if (size) *size = section->Misc.VirtualSize;
            return reinterpret_cast<volatile uint32_t*>(base + section->VirtualAddress);
        }
    }
    return nullptr;
}

}  // namespace probe

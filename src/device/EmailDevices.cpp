#include "device/EmailDevices.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::unique_ptr<TEmailUsbDevice> UsbDevice;
std::unique_ptr<TEmailPS2Device> Ps2Device;

std::function<std::unique_ptr<TEmailUsbDevice>()> MakeUsbDevice = [] {
    return std::make_unique<TEmailUsbDevice>();
};
std::function<std::unique_ptr<TEmailPS2Device>()> MakePs2Device = [] {
    return std::make_unique<TEmailPS2Device>();
};

namespace {
// Shared by every command: byte 0 is the command of the last operation.
uint8_t CommandBuffer[5];
#ifdef _WIN32
uint8_t AnswerBuffer[6];  // the Windows 9x driver's answer; never examined
#endif

#ifdef _WIN32
bool IsWin9x() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    return GetVersionExA(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}
#endif
}  // namespace

TEmailPS2Device::TEmailPS2Device() {
#ifdef _WIN32
    // The Windows 9x driver is asked once whether it is there; the answer is not used.
    if (IsWin9x()) {
        HANDLE h = CreateFileA("\\\\.\\mailbvxd", 0, 0, nullptr, 0, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD n = 0;
            DeviceIoControl(h, 256, CommandBuffer, 5, AnswerBuffer, 6, &n, nullptr);
            CloseHandle(h);
        }
    }
#endif
}

void TEmailPS2Device::SendCommand(uint8_t command) {
#ifdef _WIN32
    DWORD n = 0;
    if (IsWin9x()) {
        HANDLE h = CreateFileA("\\\\.\\mailbvxd", 0, 0, nullptr, 0, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        CommandBuffer[0] = command;
        DeviceIoControl(h, 257, CommandBuffer, 5, AnswerBuffer, 6, &n, nullptr);
        CloseHandle(h);
        return;
    }
    HANDLE h = CreateFileA("\\\\.\\VIVOROD2", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    CommandBuffer[0] = command;
    DeviceIoControl(h, 256, CommandBuffer, 1, nullptr, 0, &n, nullptr);
    Sleep(100);
    CloseHandle(h);
#else
    CommandBuffer[0] = command;  // no control device outside Windows
#endif
}

void FreeDevices() {
    if (UsbDevice) {
        UsbDevice->StopAll();
        UsbDevice.reset();
    }
    if (Ps2Device) {
        Ps2Device->StopAll();
        Ps2Device.reset();
    }
}

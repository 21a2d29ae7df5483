#pragma once
// The e-mail mouse of the model: one object of the matching class exists from
// start-up to the end of the program. Both classes offer LedOn, PlayTune and
// StopAll; device commands report nothing back.
#include <cstdint>
#include <functional>
#include <memory>

class TEmailUsbDevice {
public:
    TEmailUsbDevice() = default;
    virtual ~TEmailUsbDevice() = default;
    virtual void LedOn() {}
    virtual void PlayTune(int32_t index) { (void)index; }
    virtual void StopAll() {}
    // Attached USB mice. This build has no USB device access yet: none are seen.
    virtual int DeviceCount() { return 0; }
    void SetOnChange(std::function<void()> handler) { OnChange = std::move(handler); }

protected:
    std::function<void()> OnChange;
};

// Sends one command byte per operation to the filter driver's control device.
class TEmailPS2Device {
public:
    TEmailPS2Device();
    virtual ~TEmailPS2Device() = default;
    virtual void LedOn() { SendCommand(0xE3); }
    virtual void PlayTune() { SendCommand(0xE4); }
    virtual void StopAll() { SendCommand(0xE5); }
    virtual void SendCommand(uint8_t command);
};

extern std::unique_ptr<TEmailUsbDevice> UsbDevice;
extern std::unique_ptr<TEmailPS2Device> Ps2Device;

// How the program makes its device objects; tests install recording doubles.
extern std::function<std::unique_ptr<TEmailUsbDevice>()> MakeUsbDevice;
extern std::function<std::unique_ptr<TEmailPS2Device>()> MakePs2Device;

// Program end: StopAll to the device of the model, then free it.
void FreeDevices();

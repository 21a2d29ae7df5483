#pragma once
// The Windows implementations of the system services (Windows builds only).
#include "platform/services/Services.h"

namespace platform {

class TWinRegistry : public IRegistry {
public:
    bool KeyExists(TRegRoot root, const std::string& key) override;
    TRegStatus ReadValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue& out) override;
    TRegStatus WriteValue(TRegRoot root, const std::string& key, const std::string& name,
                          const TRegValue& value) override;
};

class TWinLauncher : public ILauncher {
public:
    unsigned WinExec(const std::string& commandLine, unsigned showCmd) override;
};

class TWinSoundPlayer : public ISoundPlayer {
public:
    bool Play(const char* fileName, uint32_t flags) override;
};

class TWinEnvironment : public IEnvironment {
public:
    bool Expand(const std::string& text, unsigned bufferChars, std::string& out) override;
};

class TWinFileSystem : public IFileSystem {
public:
    bool FileExists(const std::string& name) override;
};

// A named semaphore (initial and maximum count 1) held by the first process.
class TWinInstanceGuard : public IInstanceGuard {
public:
    ~TWinInstanceGuard() override;
    bool Claim(const std::string& name, const std::string& windowClass, const std::string& caption,
               uint32_t message) override;
    void Release() override;

private:
    void* Handle = nullptr;
};

class TWinClock : public IClock {
public:
    TDateTime Now() override;
    // The user's long time format; "HH:MM:SS" should the system refuse.
    std::string LongTimeText(TDateTime t) override;
    void Sleep(unsigned ms) override;
};

}  // namespace platform

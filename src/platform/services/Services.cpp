#include "platform/services/Services.h"

#ifdef _WIN32
#include "platform/services/WinServices.h"
#else
#include "platform/services/MemServices.h"
#endif

namespace platform {
namespace {

Services MakeDefault() {
#ifdef _WIN32
    static TWinRegistry registry;
    static TWinLauncher launcher;
    static TWinSoundPlayer sound;
    static TWinEnvironment environment;
    static TWinFileSystem files;
    static TWinInstanceGuard instance;
    static TWinClock clock;
    Services s;
    s.Registry = &registry;
    s.Launcher = &launcher;
    s.Sound = &sound;
    s.Environment = &environment;
    s.Files = &files;
    s.Instance = &instance;
    s.Clock = &clock;
    return s;
#else
    static TMemServices mem;
    return mem.Get();
#endif
}

Services& Current() {
    static Services s = DefaultSys();
    return s;
}

}  // namespace

const Services& DefaultSys() {
    static const Services s = MakeDefault();
    return s;
}

const Services& Sys() { return Current(); }

void SetSys(const Services& services) {
    const Services& d = DefaultSys();
    Services s = services;
    if (!s.Registry) s.Registry = d.Registry;
    if (!s.Launcher) s.Launcher = d.Launcher;
    if (!s.Sound) s.Sound = d.Sound;
    if (!s.Environment) s.Environment = d.Environment;
    if (!s.Files) s.Files = d.Files;
    if (!s.Instance) s.Instance = d.Instance;
    if (!s.Clock) s.Clock = d.Clock;
    Current() = s;
}

}  // namespace platform

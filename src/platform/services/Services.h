#pragma once
// The one place where the program reaches the system services. The default
// set is the Windows implementation in the Windows builds and the in-memory
// one elsewhere; tests install their own with SetSys (see MemServices.h for a
// scope that does it and puts the previous set back).
#include "platform/services/Clock.h"
#include "platform/services/Environment.h"
#include "platform/services/FileSystem.h"
#include "platform/services/InstanceGuard.h"
#include "platform/services/Launcher.h"
#include "platform/services/Registry.h"
#include "platform/services/SoundPlayer.h"

namespace platform {

struct Services {
    IRegistry* Registry = nullptr;
    ILauncher* Launcher = nullptr;
    ISoundPlayer* Sound = nullptr;
    IEnvironment* Environment = nullptr;
    IFileSystem* Files = nullptr;
    IInstanceGuard* Instance = nullptr;
    IClock* Clock = nullptr;
};

// The current set; every member is set.
const Services& Sys();
// Installs a set; members left null are taken from the default set.
// The objects stay owned by the caller and must outlive their use.
void SetSys(const Services& services);
// The default set of this build.
const Services& DefaultSys();

}  // namespace platform

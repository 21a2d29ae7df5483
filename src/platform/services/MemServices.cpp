#include "platform/services/MemServices.h"

#include "base/Strings.h"

namespace platform {

unsigned TMemLauncher::WinExec(const std::string& commandLine, unsigned showCmd) {
    Calls.push_back({commandLine, showCmd});
    return Result;
}

bool TMemSoundPlayer::Play(const char* fileName, uint32_t flags) {
    Calls.push_back({fileName ? std::optional<std::string>(fileName) : std::nullopt, flags});
    return Result;
}

void TMemFileSystem::AddFile(const std::string& name) { Names.insert(UpperCase(name)); }

void TMemFileSystem::RemoveFile(const std::string& name) { Names.erase(UpperCase(name)); }

bool TMemFileSystem::FileExists(const std::string& name) { return Names.count(UpperCase(name)) != 0; }

Services TMemServices::Get() {
    Services s;
    s.Registry = &Registry;
    s.Launcher = &Launcher;
    s.Sound = &Sound;
    s.Environment = &Environment;
    s.Files = &Files;
    s.Instance = &Instance;
    s.Clock = &Clock;
    return s;
}

TMemServicesScope::TMemServicesScope() : Saved(Sys()) { SetSys(Get()); }

TMemServicesScope::~TMemServicesScope() { SetSys(Saved); }

}  // namespace platform

#pragma once
// The system's wave sound player.
#include <cstdint>

namespace platform {

// Flags of the play call, with the system's values.
constexpr uint32_t kSndAsync = 0x0001;
constexpr uint32_t kSndPurge = 0x0040;
constexpr uint32_t kSndNoWait = 0x2000;
constexpr uint32_t kSndFilename = 0x20000;

class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // fileName may be null (no sound: with kSndPurge this stops what is playing).
    // Returns what the player reports; a file it cannot play is its own business.
    virtual bool Play(const char* fileName, uint32_t flags) = 0;
};

}  // namespace platform

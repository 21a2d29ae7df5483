#pragma once
// Keeps a second copy of the program from running: the first process to claim
// a name holds it until it releases it or ends.
#include <cstdint>
#include <string>

namespace platform {

class IInstanceGuard {
public:
    virtual ~IInstanceGuard() = default;
    // True: this process is the first; the name is held until Release.
    // False: another process holds the name; the top-level window of that class
    // and caption, when one exists, has been posted `message` with both
    // parameters 0, and nothing is held.
    // A guard holds one name at a time; claiming again releases the old one.
    virtual bool Claim(const std::string& name, const std::string& windowClass, const std::string& caption,
                       uint32_t message) = 0;
    virtual void Release() = 0;
};

}  // namespace platform

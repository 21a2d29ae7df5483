#pragma once
// Expansion of environment-variable references (%NAME%) in a text.
#include <string>

namespace platform {

class IEnvironment {
public:
    virtual ~IEnvironment() = default;
    // Expands text into a buffer of bufferChars characters, its terminating NUL
    // included. True with out set when that worked and the result fitted; false
    // (out untouched) when the expansion failed or the result does not fit.
    // A reference to an unknown variable, and a lone %, stay as they are.
    virtual bool Expand(const std::string& text, unsigned bufferChars, std::string& out) = 0;
};

}  // namespace platform

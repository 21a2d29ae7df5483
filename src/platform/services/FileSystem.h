#pragma once
#include <string>

namespace platform {

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // True when a file (not a folder) of that name exists.
    virtual bool FileExists(const std::string& name) = 0;
};

}  // namespace platform

#pragma once
// Starting another program from a command line.
#include <string>

namespace platform {

constexpr unsigned kSwShowNormal = 1;

class ILauncher {
public:
    virtual ~ILauncher() = default;
    // The command line is passed as it is (program and arguments, quoted by the
    // caller where needed). Returns the launcher's result: above 31 when the
    // program started, otherwise an error number (2: file not found).
    virtual unsigned WinExec(const std::string& commandLine, unsigned showCmd) = 0;
};

}  // namespace platform

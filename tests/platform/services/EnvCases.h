#pragma once
// Expansion cases shared by the in-memory test and the test of the system's
// own expansion, so that both follow the same rules.
#include <string>
#include <utility>
#include <vector>

struct TEnvCase {
    const char* Text;
    const char* Expected;
};

// Variables the cases use; names in mixed case on purpose.
inline std::vector<std::pair<std::string, std::string>> EnvCaseVars() {
    return {{"MbWinDir", "C:\\WINDOWS"},
            {"MbProgs", "C:\\Program Files"},
            {"MbNested", "%MbWinDir%"}};
}

inline const std::vector<TEnvCase>& EnvCases() {
    static const std::vector<TEnvCase> cases = {
        {"", ""},
        {"no reference", "no reference"},
        {"%MbWinDir%\\notepad.exe", "C:\\WINDOWS\\notepad.exe"},
        {"%MBWINDIR%", "C:\\WINDOWS"},  // names without regard to case
        {"\"%MbProgs%\\Mail\\mail.exe\" /m", "\"C:\\Program Files\\Mail\\mail.exe\" /m"},
        {"%MbWinDir%%MbProgs%", "C:\\WINDOWSC:\\Program Files"},
        {"%MbNoSuchVar%\\x.exe", "%MbNoSuchVar%\\x.exe"},
        {"%MbNoSuchVar%%MbWinDir%", "%MbNoSuchVar%C:\\WINDOWS"},
        {"100%", "100%"},
        {"%MbWinDir", "%MbWinDir"},
        {"%MbWinDir%%", "C:\\WINDOWS%"},
        {"%%", "%%"},
        {"%MbNested%", "%MbWinDir%"},  // one pass: a value is not expanded again
    };
    return cases;
}

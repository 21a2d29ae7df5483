#include "base/Strings.h"
#include "platform/services/MemServices.h"

namespace platform {

void TMemEnvironment::SetVar(const std::string& name, const std::string& value) { Vars[UpperCase(name)] = value; }

void TMemEnvironment::ClearVar(const std::string& name) { Vars.erase(UpperCase(name)); }

std::string TMemEnvironment::ExpandText(const std::string& text) const {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('%', i);
        if (open == std::string::npos) break;
        out.append(text, i, open - i);
        size_t close = text.find('%', open + 1);
        if (close == std::string::npos) {
            i = open;  // no closing sign: the rest as it is
            break;
        }
        auto it = Vars.find(UpperCase(text.substr(open + 1, close - open - 1)));
        if (it != Vars.end())
            out += it->second;
        else
            out.append(text, open, close - open + 1);
        i = close + 1;
    }
    if (i < text.size()) out.append(text, i, std::string::npos);
    return out;
}

bool TMemEnvironment::Expand(const std::string& text, unsigned bufferChars, std::string& out) {
    std::string r = ExpandText(text);
    if (r.size() + 1 > bufferChars) return false;  // the NUL must fit too
    out = std::move(r);
    return true;
}

}  // namespace platform

#include "platform/services/Registry.h"

#include <algorithm>

namespace platform {

std::string RegDataToText(const std::vector<uint8_t>& data) {
    auto end = std::find(data.begin(), data.end(), uint8_t(0));
    return std::string(data.begin(), end);
}

std::vector<uint8_t> RegTextToData(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

TRegStatus IRegistry::ReadString(TRegRoot root, const std::string& key, const std::string& name, std::string& out) {
    TRegValue v;
    TRegStatus st = ReadValue(root, key, name, v);
    if (st != TRegStatus::Ok) return st;
    if (v.Type != kRegSz && v.Type != kRegExpandSz) return TRegStatus::WrongType;
    out = RegDataToText(v.Data);
    return TRegStatus::Ok;
}

}  // namespace platform

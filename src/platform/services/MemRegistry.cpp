#include "base/Strings.h"
#include "platform/services/MemServices.h"

namespace platform {

TMemRegistry::TKeyId TMemRegistry::Id(TRegRoot root, const std::string& key) { return {root, UpperCase(key)}; }

TMemRegistry::TKey* TMemRegistry::Find(TRegRoot root, const std::string& key) {
    auto it = Keys.find(Id(root, key));
    return it == Keys.end() ? nullptr : &it->second;
}

bool TMemRegistry::KeyExists(TRegRoot root, const std::string& key) { return key.empty() || Find(root, key); }

TRegStatus TMemRegistry::ReadValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue& out) {
    TKey* k = Find(root, key);
    if (!k) return key.empty() ? TRegStatus::ValueMissing : TRegStatus::KeyMissing;
    auto it = k->Values.find(UpperCase(name));
    if (it == k->Values.end()) return TRegStatus::ValueMissing;
    out = it->second;
    return TRegStatus::Ok;
}

TRegStatus TMemRegistry::WriteValue(TRegRoot root, const std::string& key, const std::string& name,
                                    const TRegValue& value) {
    if (!KeyExists(root, key)) return TRegStatus::KeyMissing;
    SetValue(root, key, name, value);
    return TRegStatus::Ok;
}

void TMemRegistry::AddKey(TRegRoot root, const std::string& key) {
    // The key and every key above it: "A", "A\B", "A\B\C".
    for (size_t i = 0; i <= key.size(); ++i) {
        if (i == key.size() || key[i] == '\\') Keys.try_emplace(Id(root, key.substr(0, i)));
    }
}

void TMemRegistry::SetValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue value) {
    AddKey(root, key);
    Find(root, key)->Values[UpperCase(name)] = std::move(value);
}

void TMemRegistry::SetString(TRegRoot root, const std::string& key, const std::string& name, const std::string& text,
                             uint32_t type) {
    SetValue(root, key, name, TRegValue{type, RegTextToData(text)});
}

void TMemRegistry::DeleteValue(TRegRoot root, const std::string& key, const std::string& name) {
    if (TKey* k = Find(root, key)) k->Values.erase(UpperCase(name));
}

void TMemRegistry::DeleteKey(TRegRoot root, const std::string& key) {
    if (key.empty()) return;
    TKeyId id = Id(root, key);
    std::string below = id.second + "\\";
    for (auto it = Keys.begin(); it != Keys.end();) {
        bool hit = it->first.first == root &&
                   (it->first.second == id.second || it->first.second.compare(0, below.size(), below) == 0);
        it = hit ? Keys.erase(it) : std::next(it);
    }
}

}  // namespace platform

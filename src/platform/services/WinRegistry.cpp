#include <windows.h>

#include "platform/services/WinServices.h"

namespace platform {
namespace {

HKEY RootKey(TRegRoot root) {
    switch (root) {
        case TRegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case TRegRoot::CurrentUser: return HKEY_CURRENT_USER;
        case TRegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

// Opens an existing key; never creates one.
TRegStatus OpenKey(TRegRoot root, const std::string& key, REGSAM access, HKEY& out) {
    LONG r = RegOpenKeyExA(RootKey(root), key.c_str(), 0, access, &out);
    if (r == ERROR_SUCCESS) return TRegStatus::Ok;
    return r == ERROR_FILE_NOT_FOUND || r == ERROR_PATH_NOT_FOUND ? TRegStatus::KeyMissing : TRegStatus::Failed;
}

struct TKeyCloser {
    HKEY Key;
    ~TKeyCloser() { RegCloseKey(Key); }
};

}  // namespace

bool TWinRegistry::KeyExists(TRegRoot root, const std::string& key) {
    HKEY k;
    if (OpenKey(root, key, KEY_READ, k) != TRegStatus::Ok) return false;
    RegCloseKey(k);
    return true;
}

TRegStatus TWinRegistry::ReadValue(TRegRoot root, const std::string& key, const std::string& name, TRegValue& out) {
    HKEY k;
    TRegStatus st = OpenKey(root, key, KEY_QUERY_VALUE, k);
    if (st != TRegStatus::Ok) return st;
    TKeyCloser closer{k};
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between asking for its size and reading it: ask again.
    for (int attempt = 0; attempt < 4 && r == ERROR_SUCCESS; ++attempt) {
        std::vector<uint8_t> data(size + 1);  // never a zero-sized buffer
        DWORD got = size;
        r = RegQueryValueExA(k, name.c_str(), nullptr, &type, data.data(), &got);
        if (r == ERROR_MORE_DATA) {
            size = got > size ? got : size * 2 + 64;
            r = ERROR_SUCCESS;
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        data.resize(got);
        out.Type = type;
        out.Data = std::move(data);
        return TRegStatus::Ok;
    }
    return r == ERROR_FILE_NOT_FOUND ? TRegStatus::ValueMissing : TRegStatus::Failed;
}

TRegStatus TWinRegistry::WriteValue(TRegRoot root, const std::string& key, const std::string& name,
                                    const TRegValue& value) {
    HKEY k;
    TRegStatus st = OpenKey(root, key, KEY_SET_VALUE, k);
    if (st != TRegStatus::Ok) return st;
    TKeyCloser closer{k};
    static const BYTE none = 0;
    const BYTE* data = value.Data.empty() ? &none : value.Data.data();
    LONG r = RegSetValueExA(k, name.c_str(), 0, value.Type, data, static_cast<DWORD>(value.Data.size()));
    return r == ERROR_SUCCESS ? TRegStatus::Ok : TRegStatus::Failed;
}

}  // namespace platform

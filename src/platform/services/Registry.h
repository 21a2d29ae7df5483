#pragma once
// Registry access as the program needs it: look whether a key exists, read a
// value with its type and bytes, write a value into a key that exists, and
// read a text value. Keys are opened for each call and closed again; nothing
// here ever creates a key. The default value of a key has the empty name.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class TRegRoot { ClassesRoot, CurrentUser, LocalMachine };

// Value types, numbered as the system numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct TRegValue {
    uint32_t Type = kRegNone;
    std::vector<uint8_t> Data;  // the stored bytes, as they are
};

enum class TRegStatus {
    Ok,
    KeyMissing,    // the key does not open
    ValueMissing,  // the key opens but holds no value of that name
    WrongType,     // ReadString: the value is not a text value
    Failed,        // anything else the system refused (access, size)
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    virtual bool KeyExists(TRegRoot root, const std::string& key) = 0;
    virtual TRegStatus ReadValue(TRegRoot root, const std::string& key, const std::string& name,
                                 TRegValue& out) = 0;
    // Creates or replaces the value; a missing key gives KeyMissing and stays missing.
    virtual TRegStatus WriteValue(TRegRoot root, const std::string& key, const std::string& name,
                                  const TRegValue& value) = 0;
    // A REG_SZ or REG_EXPAND_SZ value as text: the bytes up to the first NUL
    // (or all of them when none is stored). References are not expanded.
    TRegStatus ReadString(TRegRoot root, const std::string& key, const std::string& name, std::string& out);
};

// The text of a string value's bytes, up to the first NUL.
std::string RegDataToText(const std::vector<uint8_t>& data);
// Bytes to store a text as a string value: the text and one terminating NUL.
std::vector<uint8_t> RegTextToData(const std::string& text);

}  // namespace platform

#pragma once
// Little-endian access to stored records and the short-string text form
// (a length byte and up to 255 characters) used inside them.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }

inline double GetF64(const uint8_t* p) {
    uint64_t u = uint64_t(GetU32(p)) | uint64_t(GetU32(p + 4)) << 32;
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}
inline void PutF64(uint8_t* p, double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    PutU32(p, static_cast<uint32_t>(u));
    PutU32(p + 4, static_cast<uint32_t>(u >> 32));
}

constexpr size_t ShortStrSize = 256;

// The text of a short string at p (length byte, then the characters).
inline std::string GetShortStr(const uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}
// Stores s cut to its first 255 characters; bytes after the text are left as they are.
inline void SetShortStr(uint8_t* p, std::string_view s) {
    size_t n = s.size() > 255 ? 255 : s.size();
    p[0] = static_cast<uint8_t>(n);
    if (n) std::memcpy(p + 1, s.data(), n);
}

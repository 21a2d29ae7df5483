#include "base/Strings.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "base/Exceptions.h"

std::string Copy(std::string_view s, long index, long count) {
    if (index < 1) index = 1;
    if (count <= 0 || index > static_cast<long>(s.size())) return {};
    size_t start = static_cast<size_t>(index - 1);
    return std::string(s.substr(start, static_cast<size_t>(count)));
}

std::string CopyFrom(std::string_view s, long index) {
    return Copy(s, index, static_cast<long>(s.size()) + 1);
}

long Pos(std::string_view sub, std::string_view s) {
    if (sub.empty()) return 0;
    size_t p = s.find(sub);
    return p == std::string_view::npos ? 0 : static_cast<long>(p) + 1;
}

static bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

// Windows-1252 letters outside ASCII: 0xC0..0xDE (not 0xD7) pair with 0xE0..0xFE
// (not 0xF7); 0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E and 0x9F/0xFF pair as well.
static unsigned char AnsiLower(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

static unsigned char AnsiUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

std::string AnsiLowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(AnsiLower(static_cast<unsigned char>(c)));
    return r;
}

std::string AnsiUpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(AnsiUpper(static_cast<unsigned char>(c)));
    return r;
}

bool SameText(std::string_view a, std::string_view b) { return UpperCase(a) == UpperCase(b); }

std::string IntToStr(long long v) { return std::to_string(v); }

bool TryStrToInt(std::string_view s, int32_t& out) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return false;
    }
    if (base == 10) {
        if (neg ? v > 2147483648LL : v > 2147483647LL) return false;
        out = static_cast<int32_t>(neg ? -v : v);
    } else {
        // Hexadecimal literals wrap into the 32-bit range.
        uint32_t u = static_cast<uint32_t>(v);
        out = static_cast<int32_t>(neg ? 0u - u : u);
    }
    return true;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
    int32_t v;
    return TryStrToInt(s, v) ? v : def;
}

int32_t StrToInt(std::string_view s) {
    int32_t v;
    if (!TryStrToInt(s, v))
        throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string r;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
        r.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(ap2);
    return r;
}

static size_t LastSeparator(std::string_view path) {
    return path.find_last_of("\\/:");
}

std::string ExtractFilePath(std::string_view path) {
    size_t p = LastSeparator(path);
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
    size_t p = LastSeparator(path);
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    size_t sep = LastSeparator(path);
    size_t dot = path.find_last_of('.');
    std::string base(path);
    if (dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep))
        base.resize(dot);
    return base + std::string(ext);
}

void CheckListIndex(long index, long count) {
    if (index < 0 || index >= count)
        throw EListError(Format("List index out of bounds (%ld)", index));
}

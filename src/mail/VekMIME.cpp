#include "mail/VekMIME.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>
#include <sstream>

#include "base/Exceptions.h"
#include "base/Strings.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr unsigned char kPad = 64;
constexpr unsigned char kBad = 99;

struct TBase64Table {
    unsigned char Value[256];
    TBase64Table() {
        std::memset(Value, kBad, sizeof Value);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) Value[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
        Value[static_cast<unsigned char>('=')] = kPad;
    }
};
const TBase64Table kBase64;

}  // namespace

std::string QPDecode(std::string_view Text) {
    size_t end = Text.find('\0');
    if (end != std::string_view::npos) Text = Text.substr(0, end);
    std::string out;
    out.reserve(Text.size());
    size_t i = 0;
    const size_t n = Text.size();
    while (i < n) {
        char c = Text[i];
        if (c == '_') {
            out += ' ';
            ++i;
        } else if (c != '=') {
            out += c;
            ++i;
        } else if (i + 1 < n && (Text[i + 1] == '\r' || Text[i + 1] == '\n')) {
            i += 3;  // soft line break: "=" and the two characters after it
        } else if (i + 2 < n) {
            int hi = HexValue(Text[i + 1]), lo = HexValue(Text[i + 2]);
            out += hi >= 0 && lo >= 0 ? static_cast<char>(hi * 16 + lo) : '@';
            i += 3;
        } else {
            break;  // "=" with fewer than two characters after it
        }
    }
    return out;
}

TBase64DecodingStream::TBase64DecodingStream(std::ostream& dest) : Dest(dest) {}

int32_t TBase64DecodingStream::Write(const void* Buffer, int32_t Count) {
    Written = 0;
    const auto* p = static_cast<const unsigned char*>(Buffer);
    for (int32_t i = 0; i < Count; ++i) {
        unsigned char c = p[i];
        if (c == '\r' || c == '\n') continue;
        Quad[QuadLen++] = c;
        if (QuadLen < 4) continue;
        QuadLen = 0;
        unsigned v[4];
        for (int k = 0; k < 4; ++k) v[k] = kBase64.Value[Quad[k]];
        int len = 3;
        if (v[0] == kPad) {
            len = 0;
        } else if (v[2] == kPad) {
            len = 1;
            v[2] = v[3] = 0;
        } else if (v[3] == kPad) {
            len = 2;
            v[3] = 0;
        }
        char bytes[3] = {static_cast<char>((v[0] * 4 + v[1] / 16) & 0xFF),
                         static_cast<char>(((v[1] % 16) * 16 + v[2] / 4) & 0xFF),
                         static_cast<char>(((v[2] % 4) * 64 + v[3]) & 0xFF)};
        Dest.write(bytes, len);
        Written += len;
    }
    return Written;
}

int32_t TBase64DecodingStream::Read(void*, int32_t) { throw EStreamError("Invalid stream operation"); }

int64_t TBase64DecodingStream::Seek(int64_t, int) { throw EStreamError("Invalid stream operation"); }

std::string Base64Decode(std::string_view Text) {
    std::ostringstream out;
    {
        TBase64DecodingStream stream(out);
        stream.Write(Text.data(), static_cast<int32_t>(Text.size()));
    }
    return out.str();
}

namespace {

struct TMimeEntry {
    const char* Ext;
    const char* Type;
};

const TMimeEntry kMimeTypes[] = {
    {".txt", "text/plain"},        {".text", "text/plain"},         {".log", "text/plain"},
    {".htm", "text/html"},         {".html", "text/html"},          {".css", "text/css"},
    {".csv", "text/csv"},          {".xml", "text/xml"},            {".rtf", "application/rtf"},
    {".eml", "message/rfc822"},    {".vcf", "text/x-vcard"},        {".ics", "text/calendar"},
    {".gif", "image/gif"},         {".jpg", "image/jpeg"},          {".jpeg", "image/jpeg"},
    {".jpe", "image/jpeg"},        {".png", "image/png"},           {".bmp", "image/bmp"},
    {".tif", "image/tiff"},        {".tiff", "image/tiff"},         {".ico", "image/x-icon"},
    {".wav", "audio/wav"},         {".mid", "audio/mid"},           {".midi", "audio/mid"},
    {".mp3", "audio/mpeg"},        {".au", "audio/basic"},          {".avi", "video/avi"},
    {".mpg", "video/mpeg"},        {".mpeg", "video/mpeg"},         {".mov", "video/quicktime"},
    {".pdf", "application/pdf"},   {".ps", "application/postscript"}, {".zip", "application/x-zip-compressed"},
    {".gz", "application/x-gzip"}, {".tgz", "application/x-compressed"}, {".tar", "application/x-tar"},
    {".doc", "application/msword"}, {".dot", "application/msword"}, {".xls", "application/vnd.ms-excel"},
    {".ppt", "application/vnd.ms-powerpoint"}, {".js", "application/x-javascript"},
};

// The extension, dot included: what follows the last "." when no "\" or ":"
// comes after it.
std::string ExtensionOf(std::string_view name) {
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string_view::npos || name[dot] != '.') return {};
    return std::string(name.substr(dot));
}

#ifdef _WIN32
std::string RegistryContentType(const std::string& ext) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ext.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    char buf[256];
    DWORD size = sizeof buf, type = 0;
    std::string result;
    if (RegQueryValueExA(key, "Content Type", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        result.assign(buf, size);
        result.resize(std::strlen(result.c_str()));
    }
    RegCloseKey(key);
    return result;
}
#endif

}  // namespace

std::string GetMimeType(std::string_view Name) {
    std::string ext = ExtensionOf(Name);
    if (!ext.empty()) {
#ifdef _WIN32
        std::string fromRegistry = RegistryContentType(ext);
        if (!fromRegistry.empty()) return fromRegistry;
#endif
        std::string lower = LowerCase(ext);
        for (const auto& e : kMimeTypes)
            if (lower == e.Ext) return e.Type;
    }
    return "application/octet-stream";
}

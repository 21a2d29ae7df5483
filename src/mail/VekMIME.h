#pragma once
// Content decoders of the mail component: quoted-printable, base64 (as a
// write-only filter stream) and the MIME type of a file name.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

// Quoted-printable with the underscore rule of encoded words: "_" is a blank,
// "=XX" the byte XX (byte 64 when XX is not hexadecimal), "=" before CR or
// LF drops itself and the next two characters. A NUL ends the text; an "="
// with fewer than two characters after it ends the decoding before it.
std::string QPDecode(std::string_view Text);

// Base64 text written to it is decoded into Dest. CR and LF are skipped; an
// incomplete group waits for the next Write and is dropped when the stream
// is destroyed. Characters outside the alphabet are not skipped: they take
// part in the arithmetic with the value 99.
class TBase64DecodingStream {
public:
    explicit TBase64DecodingStream(std::ostream& Dest);
    // Returns the number of bytes this call wrote to Dest.
    int32_t Write(const void* Buffer, int32_t Count);
    // Reading and seeking raise EStreamError "Invalid stream operation".
    int32_t Read(void* Buffer, int32_t Count);
    int64_t Seek(int64_t Offset, int Origin);

private:
    unsigned char Quad[4] = {};
    int32_t QuadLen = 0;
    int32_t Written = 0;
    std::ostream& Dest;
};

// Base64 text decoded through a TBase64DecodingStream into memory.
std::string Base64Decode(std::string_view Text);

// The MIME type for the extension of Name; "application/octet-stream" when
// it is not known.
std::string GetMimeType(std::string_view Name);

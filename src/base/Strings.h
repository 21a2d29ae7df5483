#pragma once
// Text helpers with the semantics of the string routines the program's design
// is written in: positions count from 1, out-of-range arguments are clamped,
// nothing throws except the conversions that say so.
#include <cstdint>
#include <string>
#include <string_view>

// Copy(S, Index, Count): Count characters from 1-based Index; Index < 1 counts
// as 1, an Index past the end or a Count <= 0 gives "".
std::string Copy(std::string_view s, long index, long count);
// Copy(S, Index): from Index to the end.
std::string CopyFrom(std::string_view s, long index);
// Pos(Sub, S): 1-based position of the first Sub in S, 0 when absent or Sub empty.
long Pos(std::string_view sub, std::string_view s);
// Trim: removes every character up to and including the blank (control
// characters too) from both ends; TrimLeft / TrimRight one end only.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// ASCII case mapping.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Case mapping of the ANSI code page (Windows-1252 / Latin-1 letters too).
std::string AnsiLowerCase(std::string_view s);
std::string AnsiUpperCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ASCII, case-insensitive

std::string IntToStr(long long v);
// Decimal (or $hex / 0x hex) with optional sign and leading blanks; nothing may
// follow. Returns false on failure or overflow of 32 bits.
bool TryStrToInt(std::string_view s, int32_t& out);
int32_t StrToIntDef(std::string_view s, int32_t def);
int32_t StrToInt(std::string_view s);  // raises EConvertError "'%s' is not a valid integer value"

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// File name parts, both "\" and "/" counting as separators ("\" and ":" only on Windows paths).
std::string ExtractFilePath(std::string_view path);   // up to and including the last separator
std::string ExtractFileName(std::string_view path);
std::string ChangeFileExt(std::string_view path, std::string_view ext);

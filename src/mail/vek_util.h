#pragma once
// Helpers of the mail component: words of server replies, header lines,
// address lists, encoded header words, line lists, temporary file names.
// Texts are byte strings; positions in comments count from 1.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using TMailLines = std::vector<std::string>;

// Sender is the object that raises the event (the component or its socket).
using TOnError = std::function<void(void* Sender, int Error, const std::string& Msg)>;
using TOnCodeProgressEvent = std::function<void(void* Sender, uint16_t Percent)>;

// Splits at CR LF, a lone CR or a lone LF; a NUL byte ends the text. A final
// line end adds no empty line.
TMailLines TextToLines(std::string_view text);
// Every line followed by CR LF.
std::string LinesToText(const TMailLines& lines);

// The Index-th blank-separated word of S (1-based) as an integer, Default
// when there is no such word or it is not a number.
int32_t GetNumber(std::string_view S, int Index, int32_t Default);
// Three dots, and each of the four parts a number from 0 to 255.
bool IsIPAddress(std::string_view S);

// Name is upper case and ends with a colon. Finds the first header line of
// Lines (leading empty lines skipped, up to the next empty line) that begins
// with Name in any case; folded continuation lines are appended trimmed.
bool FindHeader(std::string_view Name, const TMailLines& Lines, std::string& Line);
// The text of Line after the first occurrence of Name (compared upper case),
// trimmed and cut before its first ";". Empty when Name does not occur.
std::string GetFieldValue(std::string_view Name, std::string_view Line);

// Decodes every encoded word ("=?charset?B|Q?text?=") in a header value.
// The charset is not used and the text around the words is kept as it is.
std::string DecodeHeader(std::string_view S);

// The address between the last "<" and a final ">", else S unchanged.
std::string ExtractAddress(std::string_view S);
// Rewrites an address list as '"name" <address>' items joined by ", ".
std::string FormatAddressList(std::string_view S);
std::string GetDisplayName(std::string_view S, bool Quote);
std::string GetBareAddress(std::string_view S, bool Bracket);
// Removes one leading and then one trailing double quote or apostrophe.
std::string StripQuotes(std::string_view S);

// A new unique file name in the system's temporary folder ("vek" prefix).
// The file is created to reserve the name and deleted again; the caller
// creates, fills and deletes it. Raises EFCreateError when that fails.
std::string MakeTempFileName();
// The same file, created empty under a name MakeTempFileName would give, but
// handed back open for reading and writing instead of being deleted and
// created again. The caller closes and deletes it.
std::FILE* CreateTempFile(std::string& Name);

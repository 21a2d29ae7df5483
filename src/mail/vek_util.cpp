#include "mail/vek_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#endif

#include "base/Exceptions.h"
#include "base/Strings.h"
#include "mail/VekMIME.h"

TMailLines TextToLines(std::string_view text) {
    TMailLines lines;
    size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find_first_of("\r\n", i);
        if (j == std::string_view::npos) {
            lines.emplace_back(text.substr(i));
            break;
        }
        lines.emplace_back(text.substr(i, j - i));
        i = j + 1;
        if (text[j] == '\r' && i < text.size() && text[i] == '\n') ++i;
    }
    return lines;
}

std::string LinesToText(const TMailLines& lines) {
    size_t n = 0;
    for (const auto& l : lines) n += l.size() + 2;
    std::string s;
    s.reserve(n);
    for (const auto& l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

int32_t GetNumber(std::string_view S, int Index, int32_t Default) {
    std::string s = Trim(S);
    for (int i = 1; i < Index; ++i) {
        long p = Pos(" ", s);
        if (p == 0) return Default;
        s = Trim(CopyFrom(s, p + 1));
    }
    long p = Pos(" ", s);
    if (p > 0) s = Copy(s, 1, p - 1);
    return StrToIntDef(s, Default);
}

bool IsIPAddress(std::string_view S) {
    int dots = 0;
    for (char c : S) dots += c == '.';
    if (dots != 3) return false;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        size_t dot = S.find('.', start);
        std::string_view piece = S.substr(start, dot == std::string_view::npos ? S.npos : dot - start);
        int32_t v;
        if (!TryStrToInt(piece, v) || v < 0 || v > 255) return false;
        start = dot + 1;
    }
    return true;
}

namespace {
// line begins with name (upper case) when its ASCII letters are upper-cased.
bool StartsWithUpper(std::string_view line, std::string_view name) {
    if (line.size() < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != name[i]) return false;
    }
    return true;
}
}  // namespace

bool FindHeader(std::string_view Name, const TMailLines& Lines, std::string& Line) {
    size_t i = 0;
    while (i < Lines.size() && Lines[i].empty()) ++i;
    for (; i < Lines.size() && !Lines[i].empty(); ++i) {
        if (!StartsWithUpper(Lines[i], Name)) continue;
        Line = Lines[i];
        while (i + 1 < Lines.size() && !Lines[i + 1].empty() && (Lines[i + 1][0] == ' ' || Lines[i + 1][0] == '\t'))
            Line += Trim(Lines[++i]);
        return true;
    }
    return false;
}

std::string GetFieldValue(std::string_view Name, std::string_view Line) {
    long p = Pos(Name, UpperCase(Line));
    if (p == 0) return {};
    std::string v = Trim(CopyFrom(Line, p + static_cast<long>(Name.size())));
    long semi = Pos(";", v);
    if (semi > 0) v = Trim(Copy(v, 1, semi - 1));
    return v;
}

std::string DecodeHeader(std::string_view S) {
    std::string w(S);
    // Every pass replaces "=?...?X?...?=" (at least six characters) by a decoded
    // text no longer than the encoded one, so the loop ends.
    for (;;) {
        long p = Pos("=?", w);
        if (p == 0) break;
        std::string before = Copy(w, 1, p - 1);
        std::string rest = CopyFrom(w, p + 2);
        long q = Pos("?", rest);
        if (q == 0) break;
        char letter = q < static_cast<long>(rest.size()) ? rest[static_cast<size_t>(q)] : '\0';
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
        rest = CopyFrom(rest, q + 3);
        long e = Pos("?=", rest);
        if (e == 0) break;
        std::string after = CopyFrom(rest, e + 2);
        std::string encoded = Copy(rest, 1, e - 1);
        if (letter == 'Q') w = before + QPDecode(encoded) + after;
        else if (letter == 'B') w = before + Base64Decode(encoded) + after;
        else w = before + after;
    }
    return w;
}

std::string ExtractAddress(std::string_view S) {
    size_t lt = S.rfind('<');
    if (S.empty() || S.back() != '>' || lt == std::string_view::npos) return std::string(S);
    return std::string(S.substr(lt + 1, S.size() - lt - 2));
}

std::string FormatAddressList(std::string_view S) {
    std::string s(S);
    // Quoted strings go, quotes included; a lone quote is just deleted.
    for (size_t p; (p = s.find('"')) != std::string::npos;) {
        s.erase(p, 1);
        size_t q = s.find('"', p);
        if (q == std::string::npos) break;
        s.erase(p, q - p + 1);
    }
    std::string result;
    size_t start = 0;
    for (;;) {
        size_t comma = s.find(',', start);
        std::string item = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (start > 0) result += ", ";
        result += GetDisplayName(DecodeHeader(item), true) + " " + GetBareAddress(item, true);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return result;
}

std::string GetDisplayName(std::string_view S, bool Quote) {
    std::string s(S);
    long lt = Pos("<", s), gt = Pos(">", s);
    if (lt > 0 && gt > lt) s.erase(static_cast<size_t>(lt - 1), static_cast<size_t>(gt - lt + 1));
    long open = Pos("(", s), close = Pos(")", s);
    if (open > 0 && close > 0) s = Copy(s, open + 1, close - open - 1);
    std::string t;
    for (char c : s)
        if (c != '"' && c != '\'') t += c;
    t = Trim(t);
    return Quote ? "\"" + t + "\"" : t;
}

std::string GetBareAddress(std::string_view S, bool Bracket) {
    std::string s(S);
    // Comments go; a ")" before the first "(" belongs to no comment and is
    // dropped, so every pass removes at least one character.
    for (;;) {
        long open = Pos("(", s), close = Pos(")", s);
        if (open == 0 || close == 0) break;
        if (close < open) s.erase(static_cast<size_t>(close - 1), 1);
        else s.erase(static_cast<size_t>(open - 1), static_cast<size_t>(close - open + 1));
    }
    s = Trim(s);
    long lt = Pos("<", s), gt = Pos(">", s);
    if (lt > 0 && gt > 0) s = Copy(s, lt + 1, gt - lt - 1);
    return Bracket ? "<" + s + ">" : s;
}

std::string StripQuotes(std::string_view S) {
    std::string s(S);
    if (!s.empty() && (s.front() == '"' || s.front() == '\'')) s.erase(0, 1);
    if (!s.empty() && (s.back() == '"' || s.back() == '\'')) s.pop_back();
    return s;
}

#ifdef _WIN32
std::FILE* CreateTempFile(std::string& Name) {
    char dir[260];
    char name[260];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir || GetTempFileNameA(dir, "vek", 0, name) == 0)
        throw EFCreateError(Format("Cannot create file %svek*.tmp", n > 0 && n < sizeof dir ? dir : ""));
    Name = name;
    // GetTempFileNameA has created the file empty; open it as it is.
    std::FILE* f = std::fopen(name, "w+b");
    if (!f) {
        DeleteFileA(name);
        throw EFCreateError(Format("Cannot create file %s", name));
    }
    return f;
}
#else
std::FILE* CreateTempFile(std::string& Name) {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    if (dir.back() != '/') dir += '/';
    Name = dir + "vekXXXXXX";
    int fd = ::mkstemp(Name.data());
    std::FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "w+b");
    if (!f) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(Name.c_str());
        }
        throw EFCreateError(Format("Cannot create file %s", Name.c_str()));
    }
    return f;
}
#endif

std::string MakeTempFileName() {
    std::string name;
    std::fclose(CreateTempFile(name));
    std::remove(name.c_str());
    return name;
}

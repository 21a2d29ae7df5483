// Pieces of the body parse: part headers, multipart splitting, uuencode and
// base64 attachments.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "base/Exceptions.h"
#include "base/Strings.h"
#include "mail/VekMIME.h"
#include "mail/VekMsg.h"

namespace {

// A temporary file name that is deleted when it goes out of scope.
struct TTempFile {
    std::string Name = MakeTempFileName();
    ~TTempFile() { std::remove(Name.c_str()); }
};

std::string ReadWholeFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw EFOpenError(Format("Cannot open file %s", name.c_str()));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::ofstream CreateFile(const std::string& name) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(Format("Cannot create file %s", name.c_str()));
    return out;
}

}  // namespace

TPartInfo GetPartInfo(const TMailLines& Lines) {
    TPartInfo r;
    std::string line;
    if (FindHeader("CONTENT-TYPE:", Lines, line)) {
        r.CT = UpperCase(GetFieldValue("CONTENT-TYPE:", line));
        r.FN = GetFieldValue("NAME", line);
    } else {
        r.CT = "TEXT/PLAIN";
    }
    r.Enc = FindHeader("CONTENT-TRANSFER-ENCODING:", Lines, line)
                ? UpperCase(GetFieldValue("CONTENT-TRANSFER-ENCODING:", line))
                : "7BIT";
    if (r.FN.empty() && FindHeader("CONTENT-DISPOSITION:", Lines, line)) r.FN = GetFieldValue("FILENAME", line);
    if (!r.FN.empty()) {
        std::string fn = CopyFrom(r.FN, 2);  // after the "="
        long semi = Pos(";", fn);
        if (semi > 0) fn = Copy(fn, 1, semi - 1);
        r.FN = DecodeHeader(StripQuotes(Trim(fn)));
    }
    r.FN = Trim(r.FN);
    return r;
}

namespace {
// Empty after trimming: nothing but blanks and control characters.
bool IsBlankLine(const std::string& line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}
}  // namespace

void StripHeaders(TMailLines& Lines) {
    size_t i = 0;
    while (i < Lines.size() && !IsBlankLine(Lines[i])) ++i;
    while (i < Lines.size() && IsBlankLine(Lines[i])) ++i;
    Lines.erase(Lines.begin(), Lines.begin() + static_cast<long>(i));
}

void SplitMultipart(std::string_view Text, std::vector<TMailLines>& Parts, int Depth) {
    TMailLines lines = TextToLines(Text);
    std::string line;
    if (Depth > kMaxPartDepth || !FindHeader("CONTENT-TYPE:", lines, line) || Pos("MULTIPART", UpperCase(line)) == 0) {
        Parts.push_back(std::move(lines));
        return;
    }
    StripHeaders(lines);
    const std::string B = GetBoundary(line);
    const std::string E = B + "--";
    size_t i = 0;
    while (i < lines.size() && lines[i] != B) ++i;
    if (i == lines.size()) return;  // no delimiter line: the body holds no part

    TMailLines part;
    for (++i; i < lines.size(); ++i) {
        if (lines[i] == E) break;
        if (lines[i] == B) {
            SplitMultipart(LinesToText(part), Parts, Depth + 1);
            part.clear();
            // The line after a delimiter opens the new part unexamined; a
            // delimiter on the last line opens an empty one.
            if (i + 1 < lines.size()) part.push_back(lines[++i]);
            continue;
        }
        part.push_back(lines[i]);
    }
    SplitMultipart(LinesToText(part), Parts, Depth + 1);
}

std::string GetBoundary(std::string_view Line) {
    long p = Pos("BOUNDARY", UpperCase(Line));
    std::string b = p > 0 ? Trim(Copy(Line, p + 8, 72)) : std::string();
    b = Trim(CopyFrom(b, 2));  // after the "="
    if (!b.empty() && b[0] == '"') {
        b.erase(0, 1);
        size_t q = b.find('"');
        if (q != std::string::npos) b.erase(q);
    }
    size_t semi = b.find(';');
    if (semi != std::string::npos) b.erase(semi);
    return "--" + Trim(b);
}

bool FindUUBegin(const TMailLines& Lines, int& Index, std::string& Name) {
    for (size_t i = 0; i < Lines.size(); ++i) {
        const std::string& l = Lines[i];
        int32_t mode;
        if (l.size() > 10 && LowerCase(Copy(l, 1, 5)) == "begin" && TryStrToInt(Copy(l, 7, 3), mode) && mode > 0 &&
            mode < 777) {
            Index = static_cast<int>(i);
            Name = Copy(l, 11, 64);
            return true;
        }
    }
    return false;
}

uint8_t DecodeUUChar(char C) {
    auto c = static_cast<unsigned char>(C);
    if (c == '`' || c == ' ') return 0;
    if (c >= 33 && c <= 95) return static_cast<uint8_t>(c - 32);
    throw Exception("Oops...");
}

void DecodeBase64Attachment(TAttachedFile& Item) {
    TTempFile tmp;
    {
        std::ofstream out = CreateFile(tmp.Name);
        TBase64DecodingStream stream(out);
        for (const auto& line : Item.EncodedLines) stream.Write(line.data(), static_cast<int32_t>(line.size()));
    }
    Item.Data = ReadWholeFile(tmp.Name);
}

void UUDecode(TAttachedFile& Item) {
    const TMailLines& lines = Item.EncodedLines;
    TTempFile tmp;
    {
        std::ofstream out = CreateFile(tmp.Name);
        // Line 0 is the begin line. Each line: a count character, then up
        // to 60 characters of 6 bits into a row of 45 bytes. Longer lines
        // and larger counts are cut to the row; an empty line holds nothing.
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::string& l = lines[i];
            if (!l.empty()) {
                size_t count = DecodeUUChar(l[0]);
                size_t chars = count * 4 / 3 == 60 ? 60 : l.size() - 1;
                if (chars > 60) chars = 60;
                if (chars > l.size() - 1) chars = l.size() - 1;
                unsigned char row[45] = {};
                size_t bit = 0;
                for (size_t j = 1; j <= chars; ++j) {
                    uint8_t v = DecodeUUChar(l[j]);
                    for (int k = 5; k >= 0; --k, ++bit)
                        if (v & (1u << k)) row[bit / 8] |= static_cast<unsigned char>(0x80u >> (bit % 8));
                }
                out.write(reinterpret_cast<const char*>(row), static_cast<std::streamsize>(count < 45 ? count : 45));
            }
            if (i + 1 < lines.size() && (lines[i + 1] == "end" || lines[i + 1] == "`")) break;
        }
    }
    Item.Data = ReadWholeFile(tmp.Name);
}

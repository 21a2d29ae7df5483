// Encoded header words, quoted-printable, base64, uuencode, reply words,
// line lists, temporary names and MIME types.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/Exceptions.h"
#include "base/Strings.h"
#include "mail/VekMIME.h"
#include "mail/VekMsg.h"
#include "mail/vek_util.h"

namespace {

struct TextCase {
    std::string In, Out;
};

TEST(DecodeHeader, DecodesEncodedWordsAndKeepsTheTextAround) {
    const TextCase cases[] = {
        {"=?ISO-8859-1?Q?J=F6rg_M=FCller?= <j@x.de>", "J\xF6rg M\xFCller <j@x.de>"},
        {"=?iso-8859-1?q?a_b?=", "a b"},
        {"=?UTF-8?B?Wm/DqyDDh2VsaWs=?= <z@x>", "Zo\xC3\xAB \xC3\x87" "elik <z@x>"},
        {"=?utf-8?b?QUJD?=", "ABC"},
        // Charset not converted, adjacent words keep the blank between them.
        {"=?utf-8?q?Fran=C3=A7ois?= =?utf-8?q?_Dupont?=", "Fran\xC3\xA7ois  Dupont"},
        // An unknown encoding letter drops the word; both blanks stay.
        {"a =?x?X?abc?= b", "a  b"},
        // Incomplete words stay as they are, from the first one on.
        {"price =? ok", "price =? ok"},
        {"=?abc", "=?abc"},
        {"=?cs?Q?abc", "=?cs?Q?abc"},
        {"=?cs?", "=?cs?"},
        {"=?a?Q?x?= and =?bad", "x and =?bad"},
        // A Q word whose text ends in "=".
        {"=?a?Q?ab=?=", "ab"},
        {"plain text", "plain text"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeHeader(c.In), c.Out) << c.In;
}

TEST(QPDecode, DecodesAndEndsSafely) {
    const TextCase cases[] = {
        {"a=3Db", "a=b"},
        {"=3d=3D", "=="},
        {"=E9t=E9", "\xE9t\xE9"},
        {"soft=\r\nbreak", "softbreak"},
        {"=\nxy", "y"},  // "=" and the two characters after it go
        {"=ZZok", "@ok"},
        {"=4G", "@"},
        {"a_b", "a b"},
        {"ends=", "ends"},
        {"ends=4", "ends"},
        {"=", ""},
        {std::string("a\0b", 3), "a"},
        {std::string("=4\0" "1", 4), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(QPDecode(c.In), c.Out) << c.In;
}

std::string B64(std::initializer_list<std::string> writes, std::vector<int>* counts = nullptr) {
    std::ostringstream out;
    {
        TBase64DecodingStream s(out);
        for (const auto& w : writes) {
            int n = s.Write(w.data(), static_cast<int32_t>(w.size()));
            if (counts) counts->push_back(n);
        }
    }
    return out.str();
}

TEST(Base64Stream, DecodesGroupsPaddingAndPiecesAcrossWrites) {
    EXPECT_EQ(B64({"QUJD"}), "ABC");
    EXPECT_EQ(B64({"QUI="}), "AB");
    EXPECT_EQ(B64({"QQ=="}), "A");
    EXPECT_EQ(B64({"=AAA"}), "");
    EXPECT_EQ(B64({"QUJD\r\nREVG\r\n"}), "ABCDEF");
    EXPECT_EQ(B64({"QUJDRA"}), "ABC") << "an incomplete group is dropped";
    // A padding value in the second place is no padding.
    EXPECT_EQ(B64({"A=AA"}), std::string("\x04\x00\x00", 3));
    // Characters outside the alphabet count with the value 99.
    EXPECT_EQ(B64({"!!!!"}), "\x92H#");

    std::vector<int> counts;
    EXPECT_EQ(B64({"QU", "JD", "R", "A=="}, &counts), "ABCD");
    EXPECT_EQ(counts, (std::vector<int>{0, 3, 0, 1}));
}

TEST(Base64Stream, CannotBeReadOrSought) {
    std::ostringstream out;
    TBase64DecodingStream s(out);
    char buf[4];
    try {
        s.Read(buf, 4);
        ADD_FAILURE();
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message, "Invalid stream operation");
    }
    EXPECT_THROW(s.Seek(0, 0), EStreamError);
}

TEST(UUDecode, CharacterTable) {
    EXPECT_EQ(DecodeUUChar('`'), 0);
    EXPECT_EQ(DecodeUUChar(' '), 0);
    EXPECT_EQ(DecodeUUChar('!'), 1);
    EXPECT_EQ(DecodeUUChar('M'), 45);
    EXPECT_EQ(DecodeUUChar('_'), 63);
    for (char c : {'a', '~', '\0', '\x80'}) {
        try {
            DecodeUUChar(c);
            ADD_FAILURE() << int(c);
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Oops...");
        }
    }
}

std::string UU(TMailLines lines) {
    TAttachedFile item;
    item.EncodedLines = std::move(lines);
    UUDecode(item);
    return item.Data;
}

std::string Bytes0To44() {
    std::string s;
    for (int i = 0; i < 45; ++i) s += static_cast<char>(i);
    return s;
}

TEST(UUDecode, DecodesLinesUntilTheEnd) {
    const std::string full = "M``$\"`P0%!@<(\"0H+#`T.#Q`1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL";
    EXPECT_EQ(UU({"begin 644 cat.txt", "#8V%T", "`", "end"}), "cat");
    EXPECT_EQ(UU({"begin 644 b.bin", full, "#8V%T", "end"}), Bytes0To44() + "cat");
    EXPECT_EQ(UU({"begin 644 x", "-2&5L;&\\L('=O<FQD(0``", "`", "#8V%T"}), "Hello, world!")
        << "a grave accent line ends the block";
    EXPECT_EQ(UU({"begin 644 x", "#8V%T", "#8V%T"}), "catcat") << "no end line: the list end ends it";
    EXPECT_EQ(UU({"begin 644 x", "#8V%T", "", "#8V%T", "end"}), "catcat") << "an empty line holds nothing";
    EXPECT_EQ(UU({"begin 644 x"}), "");
}

TEST(UUDecode, OversizedLinesAreCutToTheRow) {
    // A count above 45 writes the 45 bytes of the row.
    EXPECT_EQ(UU({"b", "_" + std::string(80, '!')}).size(), 45u);
    // More than 60 characters after a small count: only the count is written.
    EXPECT_EQ(UU({"b", "#8V%T" + std::string(100, 'M')}), "cat");
    // A full-line count on a short line reads no further than the line.
    std::string data = UU({"b", "M8V%T"});
    ASSERT_EQ(data.size(), 45u);
    EXPECT_EQ(data.substr(0, 3), "cat");
    EXPECT_EQ(data.substr(3), std::string(42, '\0'));
}

TEST(ReplyWords, GetNumber) {
    struct Case {
        const char* S;
        int Index, Default, Result;
    } cases[] = {
        {"3 1200", 1, 0, 3},   {"3 1200", 2, 100, 1200}, {"", 1, 0, 0},         {"1", 2, 100, 100},
        {"  7   99 ", 2, 0, 99}, {"x 5", 1, -1, -1},     {"1 2 3", 3, 0, 3},    {"1 2 3", 4, 9, 9},
    };
    for (const auto& c : cases) EXPECT_EQ(GetNumber(c.S, c.Index, c.Default), c.Result) << c.S << " #" << c.Index;
}

TEST(ReplyWords, IsIPAddress) {
    for (const char* s : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "10.1.2.3"}) EXPECT_TRUE(IsIPAddress(s)) << s;
    for (const char* s : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "a.b.c.d", "1..2.3", "mail.example.com", "", "1.2.3.-1"})
        EXPECT_FALSE(IsIPAddress(s)) << s;
}

TEST(Lines, SplitAtEveryKindOfLineEnd) {
    struct Case {
        std::string Text;
        TMailLines Lines;
    } cases[] = {
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\n", {"a", "b", "c"}},
        {"a\n\r", {"a", ""}},
        {"\r\n\r\n", {"", ""}},
        {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToLines(c.Text), c.Lines) << c.Text;
    EXPECT_EQ(LinesToText({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(TempFiles, NamesAreNewAndFree) {
    std::string a = MakeTempFileName(), b = MakeTempFileName();
    EXPECT_NE(a, b);
    EXPECT_EQ(Copy(ExtractFileName(a), 1, 3), "vek");
    EXPECT_EQ(std::fopen(a.c_str(), "rb"), nullptr) << "the name is returned without its file";
    std::FILE* f = std::fopen(a.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    std::remove(a.c_str());
}

TEST(MimeTypes, ByExtensionWithADefault) {
#ifndef _WIN32  // the Windows build asks the registry first
    EXPECT_EQ(GetMimeType("report.txt"), "text/plain");
    EXPECT_EQ(GetMimeType("PHOTO.JPG"), "image/jpeg");
    EXPECT_EQ(GetMimeType("a.b.html"), "text/html");
    EXPECT_EQ(GetMimeType("c:\\docs\\letter.pdf"), "application/pdf");
#endif
    EXPECT_EQ(GetMimeType("noextension"), "application/octet-stream");
    EXPECT_EQ(GetMimeType("dir.d\\file"), "application/octet-stream");
    EXPECT_EQ(GetMimeType("data.qqzzy"), "application/octet-stream");
    EXPECT_EQ(GetMimeType(""), "application/octet-stream");
}

}  // namespace

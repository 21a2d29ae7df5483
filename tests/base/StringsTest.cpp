#include <gtest/gtest.h>

#include "base/Bytes.h"
#include "base/DateTime.h"
#include "base/Exceptions.h"
#include "base/Strings.h"

TEST(Strings, CopyClampsLikeThe1BasedOriginal) {
    struct Case { const char* s; long index, count; const char* want; } cases[] = {
        {"abcdef", 1, 3, "abc"}, {"abcdef", 0, 2, "ab"},  {"abcdef", -5, 2, "ab"},
        {"abcdef", 5, 10, "ef"}, {"abcdef", 7, 1, ""},    {"abcdef", 2, 0, ""},
        {"abcdef", 2, -1, ""},   {"", 1, 1, ""},          {"abc", 3, 1, "c"},
    };
    for (const auto& c : cases) EXPECT_EQ(Copy(c.s, c.index, c.count), c.want) << c.s << " " << c.index;
    EXPECT_EQ(CopyFrom("From alice", 6), "alice");
    EXPECT_EQ(CopyFrom("abc", 9), "");
}

TEST(Strings, PosAndTrim) {
    EXPECT_EQ(Pos("c", "abcabc"), 3);
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("x", ""), 0);
    EXPECT_EQ(Trim(" \t\r\n a b \x01\x1f "), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a \r\n"), "  a");
}

TEST(Strings, CaseMapping) {
    EXPECT_EQ(UpperCase("abz\xe9"), "ABZ\xe9");
    EXPECT_EQ(AnsiLowerCase("AZ\xc9\xd7\xde\x8a"), "az\xe9\xd7\xfe\x9a");
    EXPECT_EQ(AnsiUpperCase("\xe9\xf7\xff"), "\xc9\xf7\x9f");
    EXPECT_TRUE(SameText("Alice@Example.ORG", "alice@example.org"));
}

TEST(Strings, IntegerConversion) {
    struct Case { const char* s; bool ok; int32_t v; } cases[] = {
        {"110", true, 110},        {"  42", true, 42},      {"-7", true, -7},
        {"+7", true, 7},           {"$1F", true, 31},       {"0x10", true, 16},
        {"2147483647", true, 2147483647}, {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},  {"12 ", false, 0},       {"", false, 0},
        {"abc", false, 0},         {"-", false, 0},         {"1.5", false, 0},
    };
    for (const auto& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(TryStrToInt(c.s, v), c.ok) << c.s;
        if (c.ok) {
            EXPECT_EQ(v, c.v) << c.s;
        }
    }
    EXPECT_EQ(StrToIntDef("x", 110), 110);
    EXPECT_THROW(StrToInt("x"), EConvertError);
}

TEST(Strings, FileNames) {
    EXPECT_EQ(ExtractFilePath("C:\\Prog\\MAILBELL.exe"), "C:\\Prog\\");
    EXPECT_EQ(ExtractFileName("C:\\Prog\\MAILBELL.exe"), "MAILBELL.exe");
    EXPECT_EQ(ChangeFileExt("C:\\Prog\\MAILBELL.exe", ".dat"), "C:\\Prog\\MAILBELL.dat");
    EXPECT_EQ(ChangeFileExt("C:\\a.b\\file", ".dat"), "C:\\a.b\\file.dat");
    EXPECT_EQ(Format("You have %d mail(s).", 3), "You have 3 mail(s).");
}

TEST(Bytes, ShortStringCutsAndKeepsTail) {
    uint8_t rec[256] = {};
    SetShortStr(rec, std::string(300, 'x'));
    EXPECT_EQ(rec[0], 255);
    EXPECT_EQ(GetShortStr(rec), std::string(255, 'x'));
    SetShortStr(rec, "ab");
    EXPECT_EQ(GetShortStr(rec), "ab");
    EXPECT_EQ(rec[3], 'x');  // rests of the longer text stay behind the length
    uint8_t n[8];
    PutI32(n, -2);
    EXPECT_EQ(n[0], 0xFE);
    EXPECT_EQ(GetI32(n), -2);
    PutF64(n, 45000.5);
    EXPECT_EQ(GetF64(n), 45000.5);
}

TEST(DateTime, EncodeDecodeAndTimeOfDay) {
    TDateTime dt = EncodeDateTime({1899, 12, 30, 0, 0, 0, 0});
    EXPECT_EQ(dt, 0.0);
    dt = EncodeDateTime({2026, 12, 11, 10, 58, 30, 0});
    TSystemTime t = DecodeDateTime(dt);
    EXPECT_EQ(t.Year, 2026);
    EXPECT_EQ(t.Month, 12);
    EXPECT_EQ(t.Day, 11);
    EXPECT_EQ(FormatTimeHHMMSS(dt), "10:58:30");
    EXPECT_EQ(FormatTimeHHMMSS(IncSecond(dt, 300)), "11:03:30");
    EXPECT_EQ(FormatTimeHHMMSS(IncSecond(dt, 25 * 3600)), "11:58:30");
    EXPECT_EQ(DecodeDateTime(IncSecond(dt, 13 * 3600 + 2 * 60)).Day, 12);
}

TEST(Lists, IndexCheckMessage) {
    EXPECT_NO_THROW(CheckListIndex(0, 1));
    try {
        CheckListIndex(3, 2);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }
}

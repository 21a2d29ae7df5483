// The settings file against a separate implementation of its format
// (settings_format.py): files it writes load with every field intact, and
// files the program saves read back in it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ConfigTestUtil.h"
#include "Json.h"
#include "config/Settings.h"

using namespace cfgtest;

namespace {

const std::string kScript = MB_SETTINGS_FORMAT_PY;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Runs the script; its stdout and stderr go into files of `dir`.
int RunScript(const TempDir& dir, const std::string& args, const std::string& input = "") {
    std::string cmd = "python3 " + Quoted(kScript) + " " + args;
    if (!input.empty()) {
        WriteBytes(dir.File("in.json"), input);
        cmd += " < " + Quoted(dir.File("in.json"));
    }
    cmd += " > " + Quoted(dir.File("out.txt")) + " 2> " + Quoted(dir.File("err.txt"));
    return std::system(cmd.c_str());
}

std::string Latin1(const std::string& utf8) { return json::Utf8ToLatin1(utf8); }

std::string HexOf(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string r;
    for (size_t i = 0; i < n; ++i) {
        r += digits[p[i] >> 4];
        r += digits[p[i] & 15];
    }
    return r;
}

// A full text of 255 characters that uses every byte value from 0x80 up.
std::string HighText(int shift) {
    std::string utf8;
    for (int i = 0; i < 255; ++i) {
        const unsigned c = 0x80 + static_cast<unsigned>((i + shift) % 128);
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
    return utf8;
}

json::Value Str(const std::string& s) { return json::Value::MakeString(s); }
json::Value Num(double v) { return json::Value::MakeNumber(v); }

// Every named field with a value of its own.
json::Value FullDocument() {
    json::Value d = json::Value::MakeObject();
    d.Add("FirstRun", Num(1));
    d.Add("Version", Num(1024));
    d.Add("SaveTime", Num(45000.123456789));
    json::Value pad1 = json::Value::MakeArray();
    for (int v : {0xA1, 0xA2, 0xA3}) pad1.Push(Num(v));
    d.Add("HeaderPad1", pad1);
    json::Value reserved = json::Value::MakeArray();
    for (int v : {1, 2, 3, 0x80, 0x90, 0xFE, 0xFF, 0}) reserved.Push(Num(v));
    d.Add("Reserved", reserved);
    d.Add("ModelFlags", Num(15));
    d.Add("OptionFlags", Num(127));
    d.Add("ConnectionType", Num(1));
    d.Add("DialMode", Num(1));
    d.Add("IntervalKind", Num(1));
    d.Add("LanCheckMinutes", Num(-2147483647 - 1));
    d.Add("DialEntryName", Str(HighText(0)));
    d.Add("DialCheckHours", Num(2147483647));
    d.Add("DialCheckMinutes", Num(59));
    d.Add("RedialCount", Num(-1));
    d.Add("SpareText1", Str("spare \"one\"\\"));
    d.Add("WaveFileName", Str("C:\\Media\\t\xC3\xB6n.wav"));
    d.Add("SpareText2", Str(HighText(40)));
    d.Add("TuneNumber", Num(7));
    d.Add("MiddleFunction", Num(2));
    d.Add("EmailProgram", Str("\"C:\\Program Files\\Mail\\mail.exe\" /check"));
    d.Add("BrowserProgram", Str(""));
    json::Value accounts = json::Value::MakeArray();
    for (int i = 0; i < 3; ++i) {
        json::Value a = json::Value::MakeObject();
        a.Add("ReservedByte", Num(i));
        a.Add("ReservedText", Str(std::string("r") + std::to_string(i)));
        a.Add("ReservedFlag", Num(1));
        a.Add("PopServer", Str(std::string("pop") + std::to_string(i) + ".example.net"));
        a.Add("UserName", Str(i == 1 ? HighText(90) : std::string("user") + std::to_string(i)));
        a.Add("Password", Str(std::string("p\xC3\xA4ss") + std::to_string(i)));
        accounts.Push(a);
    }
    d.Add("Accounts", accounts);
    json::Value filters = json::Value::MakeArray();
    for (int i = 0; i < 2; ++i) {
        json::Value f = json::Value::MakeObject();
        f.Add("ReservedFlag", Num(1));
        f.Add("Address", Str(std::string("sender") + std::to_string(i) + "@example.net"));
        f.Add("SpareText1", Str(std::string("s1-") + std::to_string(i)));
        f.Add("WaveFileName", Str(std::string("w") + std::to_string(i) + ".wav"));
        f.Add("SpareText2", Str(std::string("s2-") + std::to_string(i)));
        f.Add("TuneNumber", Num(i + 3));
        filters.Push(f);
    }
    d.Add("Filters", filters);
    return d;
}

const json::Value& At(const json::Value& obj, const char* name) {
    const json::Value* v = obj.Find(name);
    if (!v) throw std::runtime_error(std::string("missing ") + name);
    return *v;
}
std::string TextAt(const json::Value& obj, const char* name) { return Latin1(At(obj, name).text); }
double NumAt(const json::Value& obj, const char* name) { return At(obj, name).number; }

class Interop : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        AppSettings = TAppSettings{};
        SettingsHeader = TSettingsFileHeader{};
        AccountHolder.Clear();
        FilterHolder.Clear();
        SetSettingsFileName(Path);
        SetSettingsClock([] { return 45100.75; });
    }
    void TearDown() override { SetSettingsClock(nullptr); }

    TempDir Dir;
    std::string Path = Dir.File("MAILBELL.dat");
};

TEST_P(Interop, FilesOfTheOtherImplementationLoadIntact) {
    const json::Value d = FullDocument();
    ASSERT_EQ(RunScript(Dir, "write " + Quoted(Path) + " --compress " + GetParam(), json::Write(d)), 0)
        << ReadBytes(Dir.File("err.txt"));

    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(SettingsHeader.Version(), 1024);
    EXPECT_EQ(SettingsHeader.SaveTime(), 45000.123456789);
    EXPECT_EQ(SettingsHeader.Bytes[1], 0xA1);
    EXPECT_EQ(SettingsHeader.Bytes[3], 0xA3);
    const uint8_t reserved[8] = {1, 2, 3, 0x80, 0x90, 0xFE, 0xFF, 0};
    EXPECT_EQ(0, std::memcmp(AppSettings.Reserved(), reserved, 8));
    EXPECT_EQ(AppSettings.ModelFlags(), 15);
    EXPECT_EQ(AppSettings.OptionFlags(), 127);
    EXPECT_EQ(AppSettings.ConnectionType(), 1);
    EXPECT_EQ(AppSettings.DialMode(), 1);
    EXPECT_EQ(AppSettings.IntervalKind(), 1);
    EXPECT_EQ(AppSettings.LanCheckMinutes(), -2147483647 - 1);
    EXPECT_EQ(AppSettings.DialEntryName(), Latin1(HighText(0)));
    EXPECT_EQ(AppSettings.DialEntryName().size(), 255u);
    EXPECT_EQ(AppSettings.DialCheckHours(), 2147483647);
    EXPECT_EQ(AppSettings.DialCheckMinutes(), 59);
    EXPECT_EQ(AppSettings.RedialCount(), -1);
    EXPECT_EQ(AppSettings.SpareText1(), "spare \"one\"\\");
    EXPECT_EQ(AppSettings.WaveFileName(), "C:\\Media\\t\xF6n.wav");
    EXPECT_EQ(AppSettings.SpareText2(), Latin1(HighText(40)));
    EXPECT_EQ(AppSettings.TuneNumber(), 7);
    EXPECT_EQ(AppSettings.MiddleFunction(), 2);
    EXPECT_EQ(AppSettings.EmailProgram(), "\"C:\\Program Files\\Mail\\mail.exe\" /check");
    EXPECT_EQ(AppSettings.BrowserProgram(), "");

    ASSERT_EQ(AccountHolder.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        TAccountData a = AccountHolder.Get(i);
        EXPECT_EQ(a.ReservedByte(), i);
        EXPECT_EQ(a.ReservedText(), std::string("r") + std::to_string(i));
        EXPECT_EQ(a.ReservedFlag(), 1);
        EXPECT_EQ(a.PopServer(), std::string("pop") + std::to_string(i) + ".example.net");
        EXPECT_EQ(a.UserName(), i == 1 ? Latin1(HighText(90)) : std::string("user") + std::to_string(i));
        EXPECT_EQ(a.Password(), std::string("p\xE4ss") + std::to_string(i));
    }
    ASSERT_EQ(FilterHolder.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        TFilterData f = FilterHolder.Get(i);
        EXPECT_EQ(f.ReservedFlag(), 1);
        EXPECT_EQ(f.Address(), std::string("sender") + std::to_string(i) + "@example.net");
        EXPECT_EQ(f.SpareText1(), std::string("s1-") + std::to_string(i));
        EXPECT_EQ(f.WaveFileName(), std::string("w") + std::to_string(i) + ".wav");
        EXPECT_EQ(f.SpareText2(), std::string("s2-") + std::to_string(i));
        EXPECT_EQ(f.TuneNumber(), i + 3);
    }
}

TEST_P(Interop, SavedFilesReadBackInTheOtherImplementation) {
    // Start from the other implementation's file so every field is set, then save.
    ASSERT_EQ(RunScript(Dir, "write " + Quoted(Path) + " --compress " + GetParam(), json::Write(FullDocument())), 0);
    LoadSettings();
    AccountHolder.Get(0).SetPopServer("changed.example.net");
    FilterHolder.Delete(0);
    SaveSettings();

    ASSERT_EQ(RunScript(Dir, "read " + Quoted(Path)), 0) << ReadBytes(Dir.File("err.txt"));
    const json::Value r = json::Parse(ReadBytes(Dir.File("out.txt")));
    EXPECT_EQ(NumAt(r, "FirstRun"), 0);
    EXPECT_EQ(NumAt(r, "Version"), 1024);
    EXPECT_EQ(NumAt(r, "RecordSize"), 1576);
    EXPECT_EQ(NumAt(r, "SaveTime"), 45100.75);
    EXPECT_EQ(At(r, "HeaderPad1").items.at(0).number, 0xA1);
    EXPECT_EQ(At(r, "SettingsBytes").text, HexOf(AppSettings.Bytes, TAppSettings::Size));
    EXPECT_EQ(TextAt(r, "DialEntryName"), Latin1(HighText(0)));

    const json::Value& accountList = At(r, "AccountList");
    EXPECT_EQ(TextAt(accountList, "StoreName"), "AccountDatas");
    EXPECT_EQ(NumAt(accountList, "StoreVersion"), 768);
    EXPECT_EQ(NumAt(accountList, "RecordSize"), 1032);
    EXPECT_EQ(NumAt(accountList, "StoreCount"), 3);
    const auto& accounts = At(r, "Accounts").items;
    ASSERT_EQ(accounts.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(At(accounts[i], "Bytes").text, HexOf(AccountHolder.Get(i).Data(), TAccountData::Size)) << i;
    EXPECT_EQ(TextAt(accounts[0], "PopServer"), "changed.example.net");
    EXPECT_EQ(TextAt(accounts[2], "UserName"), "user2");

    const json::Value& filterList = At(r, "FilterList");
    EXPECT_EQ(TextAt(filterList, "StoreName"), "FilterDatas");
    EXPECT_EQ(NumAt(filterList, "StoreVersion"), 768);
    EXPECT_EQ(NumAt(filterList, "RecordSize"), 1288);
    const auto& filters = At(r, "Filters").items;
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(TextAt(filters[0], "Address"), "sender1@example.net");
    EXPECT_EQ(At(filters[0], "Bytes").text, HexOf(FilterHolder.Get(0).Data(), TFilterData::Size));
    EXPECT_EQ(At(r, "Trailer").text, "");
}

INSTANTIATE_TEST_SUITE_P(Compression, Interop, ::testing::Values("level9", "level1", "level0", "stored", "mixed"));

}  // namespace

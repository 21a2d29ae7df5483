#include <gtest/gtest.h>

#include "platform/services/MemServices.h"

using namespace platform;

namespace {

const char* const kInternet = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class MemRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reg.SetString(TRegRoot::ClassesRoot, ".eml", "", "MailFile");
        Reg.SetString(TRegRoot::ClassesRoot, "MailFile\\shell\\open\\command", "",
                      "\"%ProgramFiles%\\Mail\\mail.exe\" /m", kRegExpandSz);
        Reg.SetValue(TRegRoot::CurrentUser, kInternet, "EnableAutodial", {kRegDword, {1, 0, 0, 0}});
        Reg.AddKey(TRegRoot::ClassesRoot, "MailFile2");
    }
    TMemRegistry Reg;
};

TEST_F(MemRegistryTest, KeyExistsWithTheKeysAboveItAndOnlyUnderItsRoot) {
    struct {
        TRegRoot Root;
        const char* Key;
        bool Exists;
    } cases[] = {
        {TRegRoot::ClassesRoot, ".eml", true},
        {TRegRoot::ClassesRoot, ".EML", true},
        {TRegRoot::ClassesRoot, "MailFile", true},
        {TRegRoot::ClassesRoot, "mailfile\\SHELL", true},
        {TRegRoot::ClassesRoot, "MailFile\\shell\\open\\command", true},
        {TRegRoot::ClassesRoot, "MailFile\\shell\\edit", false},
        {TRegRoot::ClassesRoot, "Mail", false},  // a prefix of a name is no key
        {TRegRoot::ClassesRoot, "", true},
        {TRegRoot::CurrentUser, ".eml", false},
        {TRegRoot::LocalMachine, kInternet, false},
        {TRegRoot::CurrentUser, "software\\microsoft", true},
    };
    for (const auto& c : cases) EXPECT_EQ(Reg.KeyExists(c.Root, c.Key), c.Exists) << c.Key;
}

TEST_F(MemRegistryTest, ReadValueTellsAMissingKeyFromAMissingValue) {
    struct {
        TRegRoot Root;
        const char* Key;
        const char* Name;
        TRegStatus Status;
    } cases[] = {
        {TRegRoot::CurrentUser, kInternet, "EnableAutodial", TRegStatus::Ok},
        {TRegRoot::CurrentUser, kInternet, "enableautodial", TRegStatus::Ok},
        {TRegRoot::CurrentUser, kInternet, "", TRegStatus::ValueMissing},
        {TRegRoot::CurrentUser, kInternet, "NoSuchValue", TRegStatus::ValueMissing},
        {TRegRoot::CurrentUser, "Software", "EnableAutodial", TRegStatus::ValueMissing},
        {TRegRoot::ClassesRoot, "MailFile", "", TRegStatus::ValueMissing},
        {TRegRoot::ClassesRoot, "", "", TRegStatus::ValueMissing},
        {TRegRoot::ClassesRoot, ".html", "", TRegStatus::KeyMissing},
        {TRegRoot::LocalMachine, kInternet, "EnableAutodial", TRegStatus::KeyMissing},
    };
    for (const auto& c : cases) {
        TRegValue v;
        EXPECT_EQ(Reg.ReadValue(c.Root, c.Key, c.Name, v), c.Status) << c.Key << " / " << c.Name;
    }
    TRegValue v;
    ASSERT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, kInternet, "EnableAutodial", v), TRegStatus::Ok);
    EXPECT_EQ(v.Type, kRegDword);
    EXPECT_EQ(v.Data, (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST_F(MemRegistryTest, ReadStringGivesTheTextUpToTheFirstNul) {
    const std::string key = "Texts";
    Reg.SetValue(TRegRoot::CurrentUser, key, "NoNul", {kRegSz, {'a', 'b', 'c'}});
    Reg.SetValue(TRegRoot::CurrentUser, key, "Inner", {kRegSz, {'a', 0, 'b', 0}});
    Reg.SetValue(TRegRoot::CurrentUser, key, "Empty", {kRegSz, {}});
    Reg.SetValue(TRegRoot::CurrentUser, key, "Dword", {kRegDword, {0x41, 0, 0, 0}});
    Reg.SetValue(TRegRoot::CurrentUser, key, "Binary", {kRegBinary, {'x', 0}});
    struct {
        TRegRoot Root;
        const char* Key;
        const char* Name;
        TRegStatus Status;
        const char* Text;
    } cases[] = {
        {TRegRoot::ClassesRoot, ".eml", "", TRegStatus::Ok, "MailFile"},
        // not expanded: the caller expands it
        {TRegRoot::ClassesRoot, "MailFile\\shell\\open\\command", "", TRegStatus::Ok,
         "\"%ProgramFiles%\\Mail\\mail.exe\" /m"},
        {TRegRoot::CurrentUser, "Texts", "NoNul", TRegStatus::Ok, "abc"},
        {TRegRoot::CurrentUser, "Texts", "Inner", TRegStatus::Ok, "a"},
        {TRegRoot::CurrentUser, "Texts", "Empty", TRegStatus::Ok, ""},
        {TRegRoot::CurrentUser, "Texts", "Dword", TRegStatus::WrongType, "untouched"},
        {TRegRoot::CurrentUser, "Texts", "Binary", TRegStatus::WrongType, "untouched"},
        {TRegRoot::CurrentUser, "Texts", "Missing", TRegStatus::ValueMissing, "untouched"},
        {TRegRoot::CurrentUser, "NoKey", "", TRegStatus::KeyMissing, "untouched"},
    };
    for (const auto& c : cases) {
        std::string s = "untouched";
        EXPECT_EQ(Reg.ReadString(c.Root, c.Key, c.Name, s), c.Status) << c.Name;
        EXPECT_EQ(s, c.Text) << c.Name;
    }
}

TEST_F(MemRegistryTest, WriteValueNeedsAnExistingKeyAndNeverCreatesOne) {
    const TRegValue zero{kRegDword, {0, 0, 0, 0}};
    EXPECT_EQ(Reg.WriteValue(TRegRoot::LocalMachine, kInternet, "EnableAutodial", zero), TRegStatus::KeyMissing);
    EXPECT_FALSE(Reg.KeyExists(TRegRoot::LocalMachine, kInternet));
    EXPECT_FALSE(Reg.KeyExists(TRegRoot::LocalMachine, "Software"));

    EXPECT_EQ(Reg.WriteValue(TRegRoot::CurrentUser, kInternet, "EnableAutodial", zero), TRegStatus::Ok);
    TRegValue v;
    ASSERT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, kInternet, "ENABLEAUTODIAL", v), TRegStatus::Ok);
    EXPECT_EQ(v.Type, zero.Type);
    EXPECT_EQ(v.Data, zero.Data);

    // A value of another type replaces the old one; the default value has the empty name.
    const TRegValue text{kRegSz, RegTextToData("x")};
    EXPECT_EQ(Reg.WriteValue(TRegRoot::ClassesRoot, "MailFile2", "", text), TRegStatus::Ok);
    EXPECT_EQ(Reg.WriteValue(TRegRoot::CurrentUser, kInternet, "enableAUTODIAL", text), TRegStatus::Ok);
    std::string s;
    EXPECT_EQ(Reg.ReadString(TRegRoot::CurrentUser, kInternet, "EnableAutodial", s), TRegStatus::Ok);
    EXPECT_EQ(s, "x");
    EXPECT_EQ(Reg.ReadString(TRegRoot::ClassesRoot, "MailFile2", "", s), TRegStatus::Ok);
}

TEST_F(MemRegistryTest, DeleteKeyTakesItsSubkeysButNotANeighbourWithTheSamePrefix) {
    Reg.DeleteKey(TRegRoot::ClassesRoot, "MAILFILE");
    EXPECT_FALSE(Reg.KeyExists(TRegRoot::ClassesRoot, "MailFile"));
    EXPECT_FALSE(Reg.KeyExists(TRegRoot::ClassesRoot, "MailFile\\shell\\open\\command"));
    EXPECT_TRUE(Reg.KeyExists(TRegRoot::ClassesRoot, "MailFile2"));
    EXPECT_TRUE(Reg.KeyExists(TRegRoot::ClassesRoot, ".eml"));

    Reg.DeleteValue(TRegRoot::CurrentUser, kInternet, "EnableAutodial");
    TRegValue v;
    EXPECT_EQ(Reg.ReadValue(TRegRoot::CurrentUser, kInternet, "EnableAutodial", v), TRegStatus::ValueMissing);
}

}  // namespace

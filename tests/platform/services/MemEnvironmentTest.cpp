#include <gtest/gtest.h>

#include "EnvCases.h"
#include "platform/services/MemServices.h"

using namespace platform;

namespace {

class MemEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [name, value] : EnvCaseVars()) Env.SetVar(name, value);
    }
    TMemEnvironment Env;
};

TEST_F(MemEnvironmentTest, ExpandsKnownNamesAndKeepsEverythingElse) {
    for (const auto& c : EnvCases()) {
        std::string out = "untouched";
        EXPECT_TRUE(Env.Expand(c.Text, 259, out)) << c.Text;
        EXPECT_EQ(out, c.Expected) << c.Text;
    }
}

TEST_F(MemEnvironmentTest, ResultMustFitTheBufferWithItsNul) {
    Env.SetVar("Long", std::string(250, 'L'));
    const std::string base = "%Long%";
    struct {
        std::string Text;
        unsigned Buffer;
        bool Fits;
    } cases[] = {
        {base + std::string(8, 'x'), 259, true},  // 258 characters and the NUL
        {base + std::string(9, 'x'), 259, false},
        {"", 1, true},
        {"", 0, false},
        {"%Long%", 251, true},
        {"%Long%", 250, false},
        // the unexpanded text is short; its expansion is what counts
        {"%Long%%Long%", 259, false},
    };
    for (const auto& c : cases) {
        std::string out = "untouched";
        EXPECT_EQ(Env.Expand(c.Text, c.Buffer, out), c.Fits) << c.Text.size() << " in " << c.Buffer;
        if (c.Fits)
            EXPECT_EQ(out, Env.ExpandText(c.Text));
        else
            EXPECT_EQ(out, "untouched");
    }
}

TEST_F(MemEnvironmentTest, ClearedVariableIsLeftAsAReference) {
    Env.ClearVar("MBWINDIR");
    std::string out;
    ASSERT_TRUE(Env.Expand("%MbWinDir%\\a", 259, out));
    EXPECT_EQ(out, "%MbWinDir%\\a");
}

TEST(MemFileSystemTest, NamesCompareWithoutCase) {
    TMemFileSystem fs;
    fs.AddFile("C:\\Mail\\RES\\0.ico");
    EXPECT_TRUE(fs.FileExists("c:\\mail\\res\\0.ICO"));
    EXPECT_FALSE(fs.FileExists("C:\\Mail\\RES\\1.ico"));
    EXPECT_FALSE(fs.FileExists(""));
    fs.RemoveFile("C:\\MAIL\\RES\\0.ico");
    EXPECT_FALSE(fs.FileExists("C:\\Mail\\RES\\0.ico"));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "hook/HookLogic.h"

namespace {

// Window-system numbers, written out independently of the library.
constexpr uint32_t kMouseMove = 0x200, kLDown = 0x201, kLUp = 0x202, kRDown = 0x204;
constexpr uint32_t kMDown = 0x207, kMUp = 0x208, kMDbl = 0x209, kWheel = 0x20A;
constexpr uint32_t kNcMDown = 0xA7, kNcMUp = 0xA8, kNcMDbl = 0xA9, kNcLDown = 0xA1;
constexpr uint32_t kMenuSelect = 0x11F, kKeyDown = 0x100, kTimer = 0x113;
constexpr int32_t kAction = 0, kNoRemove = 3, kMsgfDialog = 0, kMsgfMenu = 2, kMsgfScroll = 5;
constexpr uint32_t kWindow = 0x000A0132;

TEST(HookLogic, SharedRecordIsFiveWordsInOrder) {
    static_assert(sizeof(TSharedHookData) == 20);
    static_assert(offsetof(TSharedHookData, MouseHook) == 0);
    static_assert(offsetof(TSharedHookData, MsgFilterHook) == 4);
    static_assert(offsetof(TSharedHookData, MenuActive) == 8);
    static_assert(offsetof(TSharedHookData, AppWindow) == 12);
    static_assert(offsetof(TSharedHookData, MiddleEnabled) == 16);
    EXPECT_EQ(WM_MIDDLEBUTTON, 1224);
}

TEST(HookLogic, MouseVerdictTable) {
    struct Case {
        int32_t code;
        uint32_t message, menuActive, enabled, window;
        TMouseVerdict want;
        const char* what;
    } cases[] = {
        {kAction, kMDown, 0, 1, kWindow, mvPostAndDiscard, "client press is taken"},
        {kAction, kNcMDown, 0, 1, kWindow, mvPostAndDiscard, "frame press is taken"},
        {kAction, kMUp, 0, 1, kWindow, mvDiscard, "client release is dropped"},
        {kAction, kNcMUp, 0, 1, kWindow, mvDiscard, "frame release is dropped"},
        {kAction, kMDown, 0, 0xFFFFFFFF, kWindow, mvPostAndDiscard, "all bits set enables"},
        {kAction, kMDown, 0, 0x100, kWindow, mvPostAndDiscard, "any non-zero value enables"},
        {kAction, kMDbl, 0, 1, kWindow, mvPassOn, "client double click passes"},
        {kAction, kNcMDbl, 0, 1, kWindow, mvPassOn, "frame double click passes"},
        {kAction, kLDown, 0, 1, kWindow, mvPassOn, "left press passes"},
        {kAction, kLUp, 0, 1, kWindow, mvPassOn, "left release passes"},
        {kAction, kRDown, 0, 1, kWindow, mvPassOn, "right press passes"},
        {kAction, kNcLDown, 0, 1, kWindow, mvPassOn, "frame left press passes"},
        {kAction, kMouseMove, 0, 1, kWindow, mvPassOn, "move passes"},
        {kAction, kWheel, 0, 1, kWindow, mvPassOn, "wheel passes"},
        {kAction, kMDown, 0, 0, kWindow, mvPassOn, "disabled: press passes"},
        {kAction, kMUp, 0, 0, kWindow, mvPassOn, "disabled: release passes"},
        {kAction, kNcMDown, 0, 0, kWindow, mvPassOn, "disabled: frame press passes"},
        {kAction, kMDown, 1, 1, kWindow, mvPassOn, "menu open: press passes"},
        {kAction, kMUp, 1, 1, kWindow, mvPassOn, "menu open: release passes"},
        {kAction, kMDown, 7, 1, kWindow, mvPassOn, "any non-zero menu state counts"},
        {kNoRemove, kMDown, 0, 1, kWindow, mvPassOn, "peeked press is not acted on"},
        {kNoRemove, kMUp, 0, 1, kWindow, mvPassOn, "peeked release is not acted on"},
        {-1, kMDown, 0, 1, kWindow, mvPassOn, "negative code passes"},
        {INT32_MIN, kMDown, 0, 1, kWindow, mvPassOn, "most negative code passes"},
        {1, kMDown, 0, 1, kWindow, mvPostAndDiscard, "other non-negative codes act"},
        {kAction, kMDown, 0, 1, 0, mvPassOn, "no application window: press passes"},
        {kAction, kMUp, 0, 1, 0, mvPassOn, "no application window: release passes"},
        {kAction, kMDown, 0, 1, 0xFFFF0010, mvPostAndDiscard, "handle with the top bit set"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MouseHookVerdict(c.code, c.message, c.menuActive, c.enabled, c.window), c.want)
            << c.what;
    }
}

TEST(HookLogic, MenuFilterTable) {
    struct Case {
        int32_t code;
        uint32_t message, before;
        int changes;
        uint32_t after;
        const char* what;
    } cases[] = {
        {kMsgfMenu, kMouseMove, 0, 1, 1, "menu loop message sets"},
        {kMsgfMenu, kTimer, 0, 1, 1, "any other menu loop message sets"},
        {kMsgfMenu, kMDown, 0, 1, 1, "middle press inside the menu sets"},
        {kMsgfMenu, kMenuSelect, 1, 1, 0, "menu select clears"},
        {kMsgfMenu, kMenuSelect, 0, 1, 0, "menu select keeps it clear"},
        {kMsgfMenu, kKeyDown, 1, 1, 1, "stays set until menu select"},
        {kMsgfDialog, kKeyDown, 0, 0, 0, "dialog loop leaves it clear"},
        {kMsgfDialog, kMenuSelect, 1, 0, 1, "menu select outside a menu loop does not clear"},
        {kMsgfScroll, kMouseMove, 0, 0, 0, "scroll bar loop leaves it"},
        {-1, kMouseMove, 0, 0, 0, "negative code leaves it"},
        {-1, kMenuSelect, 1, 0, 1, "negative code does not clear"},
    };
    for (const auto& c : cases) {
        uint32_t state = c.before;
        EXPECT_EQ(MenuFilterUpdate(c.code, c.message, &state), c.changes) << c.what;
        EXPECT_EQ(state, c.after) << c.what;
    }
}

// Stands in for the window system: hands out handles or fails, and records calls.
class FakeHooks {
public:
    uint32_t nextHandle = 0x100;
    bool mouseFails = false, filterFails = false;
    int32_t unhookResult = 1;
    std::vector<char> installs;        // 'M' or 'F' per successful install
    std::vector<uint32_t> removed;     // handles passed to Unhook

    THookOps Ops() { return THookOps{&SetMouse, &SetFilter, &Unhook, this}; }

private:
    static FakeHooks& Self(void* ctx) { return *static_cast<FakeHooks*>(ctx); }
    static uint32_t SetMouse(void* ctx) { return Self(ctx).Install('M', Self(ctx).mouseFails); }
    static uint32_t SetFilter(void* ctx) { return Self(ctx).Install('F', Self(ctx).filterFails); }
    static int32_t Unhook(void* ctx, uint32_t hook) {
        Self(ctx).removed.push_back(hook);
        return Self(ctx).unhookResult;
    }
    uint32_t Install(char kind, bool fails) {
        if (fails) return 0;
        installs.push_back(kind);
        return nextHandle++;
    }
};

class InstallSwitch : public ::testing::Test {
protected:
    FakeHooks fake;
    THookOps ops = fake.Ops();
    TSharedHookData data{};
    int32_t Call(int32_t flag) { return InstallHookSwitch(&data, flag, &ops); }
};

TEST_F(InstallSwitch, RemovingWithoutInstallReturnsZeroAndCallsNothing) {
    EXPECT_EQ(Call(0), 0);
    EXPECT_TRUE(fake.removed.empty());
    EXPECT_TRUE(fake.installs.empty());
}

TEST_F(InstallSwitch, InstallsBothOnceAndReturnsFilterHandle) {
    EXPECT_EQ(Call(-1), 0x101);
    EXPECT_EQ(data.MouseHook, 0x100u);
    EXPECT_EQ(data.MsgFilterHook, 0x101u);
    EXPECT_EQ(Call(1), 0x101);  // again: nothing new, same handle
    EXPECT_EQ(fake.installs, (std::vector<char>{'M', 'F'}));
}

TEST_F(InstallSwitch, RemovesBothAndReportsFilterRemoval) {
    Call(-1);
    fake.unhookResult = 1;
    EXPECT_EQ(Call(0), 1);
    EXPECT_EQ(fake.removed, (std::vector<uint32_t>{0x100, 0x101}));
    EXPECT_EQ(data.MouseHook, 0u);
    EXPECT_EQ(data.MsgFilterHook, 0u);
    EXPECT_EQ(Call(0), 0);  // second removal has nothing to do
    EXPECT_EQ(fake.removed.size(), 2u);
}

TEST_F(InstallSwitch, FailedRemovalIsReportedAndHandleStillCleared) {
    Call(-1);
    fake.unhookResult = 0;
    EXPECT_EQ(Call(0), 0);
    EXPECT_EQ(data.MsgFilterHook, 0u);
    EXPECT_EQ(data.MouseHook, 0u);
}

TEST_F(InstallSwitch, FailedHookIsRetriedByNextInstall) {
    fake.filterFails = true;
    EXPECT_EQ(Call(-1), 0);  // mouse hook installed, filter failed
    EXPECT_EQ(data.MouseHook, 0x100u);
    EXPECT_EQ(data.MsgFilterHook, 0u);
    fake.filterFails = false;
    EXPECT_EQ(Call(-1), 0x101);
    EXPECT_EQ(fake.installs, (std::vector<char>{'M', 'F'}));

    // the other way round: the mouse hook failed, the filter is in place
    Call(0);
    fake.installs.clear();
    fake.mouseFails = true;
    EXPECT_EQ(Call(-1), 0x102);
    EXPECT_EQ(data.MouseHook, 0u);
    fake.mouseFails = false;
    EXPECT_EQ(Call(-1), 0x102);
    EXPECT_EQ(data.MouseHook, 0x103u);
    EXPECT_EQ(fake.installs, (std::vector<char>{'F', 'M'}));
}

TEST_F(InstallSwitch, RemovalWithOnlyMouseHookReturnsZero) {
    fake.filterFails = true;
    Call(-1);
    EXPECT_EQ(Call(0), 0);
    EXPECT_EQ(fake.removed, (std::vector<uint32_t>{0x100}));
}

TEST_F(InstallSwitch, LeavesTheOtherSharedValuesAlone) {
    data.MenuActive = 1;
    data.AppWindow = kWindow;
    data.MiddleEnabled = 0xFFFFFFFF;
    Call(-1);
    Call(0);
    EXPECT_EQ(data.MenuActive, 1u);
    EXPECT_EQ(data.AppWindow, kWindow);
    EXPECT_EQ(data.MiddleEnabled, 0xFFFFFFFFu);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/services/MemServices.h"

using namespace platform;

namespace {

const uint32_t kWake = 1124;

TEST(MemInstanceGuardTest, SecondClaimPostsToTheFirstInstanceWindow) {
    TMemTopWindow window("TMainForm", "MainForm");
    TMemTopWindow other("TMainForm", "Other caption");
    std::vector<uint32_t> viaEvent;
    window.OnPost = [&](const TMemTopWindow::TMessage& m) { viaEvent.push_back(m.Msg); };

    TMemInstanceGuard first, second;
    EXPECT_TRUE(first.Claim("GUARD_A", "TMainForm", "MainForm", kWake));
    EXPECT_TRUE(window.Received.empty());

    EXPECT_FALSE(second.Claim("GUARD_A", "TMainForm", "MainForm", kWake));
    EXPECT_FALSE(second.Holding());
    ASSERT_EQ(window.Received.size(), 1u);
    EXPECT_EQ(window.Received[0].Msg, kWake);
    EXPECT_EQ(window.Received[0].WParam, 0u);
    EXPECT_EQ(window.Received[0].LParam, 0);
    EXPECT_EQ(viaEvent, std::vector<uint32_t>{kWake});
    EXPECT_TRUE(other.Received.empty());
}

TEST(MemInstanceGuardTest, OnlyTheNameDecides) {
    // A window of that class and caption without a holder of the name: first instance.
    TMemTopWindow window("TMainForm", "MainForm");
    TMemInstanceGuard guard;
    EXPECT_TRUE(guard.Claim("GUARD_B", "TMainForm", "MainForm", kWake));
    EXPECT_TRUE(window.Received.empty());

    // The name held and no window to wake: still not first, and nothing to post to.
    TMemInstanceGuard second;
    EXPECT_FALSE(second.Claim("GUARD_B", "TOtherForm", "MainForm", kWake));
    EXPECT_TRUE(window.Received.empty());
}

TEST(MemInstanceGuardTest, NameIsFreeAgainAfterReleaseOrDestruction) {
    TMemInstanceGuard probe;
    {
        TMemInstanceGuard first;
        ASSERT_TRUE(first.Claim("GUARD_C", "C", "C", kWake));
        EXPECT_FALSE(probe.Claim("GUARD_C", "C", "C", kWake));
        first.Release();
        EXPECT_TRUE(probe.Claim("GUARD_C", "C", "C", kWake));
        probe.Release();
        ASSERT_TRUE(first.Claim("GUARD_C", "C", "C", kWake));
    }
    EXPECT_TRUE(probe.Claim("GUARD_C", "C", "C", kWake));
}

TEST(MemInstanceGuardTest, ClaimingAnotherNameLetsTheFirstGo) {
    TMemInstanceGuard guard, probe;
    ASSERT_TRUE(guard.Claim("GUARD_D", "D", "D", kWake));
    ASSERT_TRUE(guard.Claim("GUARD_E", "E", "E", kWake));
    EXPECT_TRUE(probe.Claim("GUARD_D", "D", "D", kWake));
    TMemInstanceGuard probe2;
    EXPECT_FALSE(probe2.Claim("GUARD_E", "E", "E", kWake));
}

TEST(MemInstanceGuardTest, LatestWindowOfThatClassAndCaptionIsWoken) {
    TMemInstanceGuard first, second;
    ASSERT_TRUE(first.Claim("GUARD_F", "F", "F", kWake));
    TMemTopWindow older("F", "F");
    {
        TMemTopWindow newer("F", "F");
        EXPECT_FALSE(second.Claim("GUARD_F", "F", "F", kWake));
        EXPECT_EQ(newer.Received.size(), 1u);
        EXPECT_TRUE(older.Received.empty());
    }
    // A window that is gone is not found any more.
    EXPECT_FALSE(second.Claim("GUARD_F", "F", "F", kWake));
    EXPECT_EQ(older.Received.size(), 1u);
}

}  // namespace

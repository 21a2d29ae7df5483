#include <gtest/gtest.h>

#include "platform/services/MemServices.h"

using namespace platform;

namespace {

TEST(ServicesTest, ScopeInstallsItsSetAndPutsThePreviousBack) {
    const Services before = Sys();
    {
        TMemServicesScope outer;
        EXPECT_EQ(Sys().Clock, &outer.Clock);
        EXPECT_EQ(Sys().Registry, &outer.Registry);
        {
            TMemServicesScope inner;
            EXPECT_EQ(Sys().Launcher, &inner.Launcher);
        }
        EXPECT_EQ(Sys().Launcher, &outer.Launcher);
    }
    EXPECT_EQ(Sys().Clock, before.Clock);
    EXPECT_EQ(Sys().Instance, before.Instance);
}

TEST(ServicesTest, MembersLeftEmptyComeFromTheDefaultSet) {
    const Services before = Sys();
    TFakeClock clock;
    Services s;
    s.Clock = &clock;
    SetSys(s);
    EXPECT_EQ(Sys().Clock, &clock);
    EXPECT_EQ(Sys().Registry, DefaultSys().Registry);
    EXPECT_EQ(Sys().Files, DefaultSys().Files);
    SetSys(before);
}

}  // namespace

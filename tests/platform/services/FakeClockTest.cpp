#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/services/MemServices.h"

using namespace platform;

namespace {

TDateTime At(int h, int m, int s, int ms = 0) { return EncodeDateTime({2024, 3, 9, h, m, s, ms}); }

// Milliseconds between two times, rounded.
long long MsBetween(TDateTime a, TDateTime b) { return std::llround((b - a) * 86400000.0); }

class FakeClockTest : public ::testing::Test {
protected:
    TFakeClock Clock;
};

TEST_F(FakeClockTest, SetShowsTheTimeAndDoesNotNotify) {
    int calls = 0;
    Clock.Subscribe([&] { ++calls; });
    Clock.Set(At(10, 58, 30, 250));
    TSystemTime t = DecodeDateTime(Clock.Now());
    EXPECT_EQ(t.Year, 2024);
    EXPECT_EQ(t.Hour * 3600000 + t.Minute * 60000 + t.Second * 1000 + t.Millisecond, 39510250);
    EXPECT_EQ(Clock.LongTimeText(Clock.Now()), "10:58:30");
    EXPECT_EQ(calls, 0);
}

TEST_F(FakeClockTest, AdvanceNotifiesAfterEveryStep) {
    Clock.Set(At(10, 0, 0));
    const TDateTime start = Clock.Now();
    std::vector<long long> seen;
    Clock.Subscribe([&] { seen.push_back(MsBetween(start, Clock.Now())); });
    Clock.Advance(250);
    EXPECT_EQ(seen, (std::vector<long long>{100, 200, 250}));

    seen.clear();
    Clock.SetStep(1000);
    Clock.Sleep(2500);
    EXPECT_EQ(seen, (std::vector<long long>{1250, 2250, 2750}));

    seen.clear();
    Clock.Advance(0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(FakeClockTest, PollingListenerSeesEverySecondOfTheDayOnTheWay) {
    Clock.Set(At(23, 59, 57, 400));
    Clock.SetStep(1000);
    std::vector<std::string> texts;
    Clock.Subscribe([&] { texts.push_back(Clock.LongTimeText(Clock.Now())); });
    Clock.Advance(5000);
    EXPECT_EQ(texts, (std::vector<std::string>{"23:59:58", "23:59:59", "00:00:00", "00:00:01", "00:00:02"}));
    EXPECT_EQ(DecodeDateTime(Clock.Now()).Day, 10);
}

TEST_F(FakeClockTest, ManySmallSleepsDoNotDrift) {
    Clock.Set(At(10, 58, 30));
    for (int i = 0; i < 3600; ++i) Clock.Sleep(1000);
    TSystemTime t = DecodeDateTime(Clock.Now());
    EXPECT_EQ(Clock.LongTimeText(Clock.Now()), "11:58:30");
    EXPECT_EQ(t.Millisecond, 0);
    EXPECT_EQ(MsBetween(At(10, 58, 30), Clock.Now()), 3600000);
}

TEST_F(FakeClockTest, ListenersMayUnsubscribeDuringANotification) {
    std::vector<std::string> log;
    int b = 0;
    int self = 0;
    Clock.Subscribe([&] {
        log.push_back("a");
        Clock.Unsubscribe(b);
    });
    b = Clock.Subscribe([&] { log.push_back("b"); });
    self = Clock.Subscribe([&] {
        log.push_back("c");
        Clock.Unsubscribe(self);
    });
    Clock.Advance(300);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "a", "a"}));
}

TEST_F(FakeClockTest, ListenerSubscribedDuringANotificationStartsWithTheNextStep) {
    std::vector<std::string> log;
    bool added = false;
    Clock.Subscribe([&] {
        log.push_back("a");
        if (!added) {
            added = true;
            Clock.Subscribe([&] { log.push_back("new"); });
        }
    });
    Clock.Advance(200);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "a", "new"}));
}

TEST_F(FakeClockTest, SleepInsideANotificationEndsTheOuterWaitWhenItsTimeHasPassed) {
    Clock.Set(At(12, 0, 0));
    const TDateTime start = Clock.Now();
    int depth = 0, maxDepth = 0;
    Clock.Subscribe([&] {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (depth == 1 && MsBetween(start, Clock.Now()) == 100) Clock.Sleep(1000);
        --depth;
    });
    Clock.Sleep(500);
    EXPECT_EQ(MsBetween(start, Clock.Now()), 1100);
    EXPECT_EQ(maxDepth, 2);
}

}  // namespace

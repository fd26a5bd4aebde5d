#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TestHost.h"

namespace zrk {
namespace {

struct Recorder : ITimerSink {
    TestHost& host;
    std::vector<std::string> events;
    uint32_t sleepInMain = 0;
    explicit Recorder(TestHost& h) : host(h) { h.Bind(this); }
    void OnTimer(TimerId id) override
    {
        static const char* names[] = {"timer1", "main", "reconnect", "start"};
        events.push_back(std::string(names[int(id)]) + "@" + std::to_string(host.NowMs()));
        if (id == TimerId::Main && sleepInMain)
            host.Sleep(sleepInMain);
        if (id == TimerId::Start)
            host.SetTimer(TimerId::Start, false, 100);
    }
};

TEST(TestHost, FiresDueTimersInOrderAndDeliversPostedEventsBetween)
{
    TestHost host(0);
    Recorder r(host);
    host.SetTimer(TimerId::Main, true, 100);
    host.SetTimer(TimerId::Reconnect, true, 250);
    host.SetTimer(TimerId::Start, true, 150);
    host.Post([&] { r.events.push_back("posted@" + std::to_string(host.NowMs())); });
    host.RunFor(300);
    EXPECT_EQ(r.events, (std::vector<std::string>{"posted@0", "main@100", "start@150", "main@200", "reconnect@250",
                                                  "main@300"}));
    EXPECT_EQ(host.NowMs(), 300u);
}

TEST(TestHost, TicksThatFallDueDuringABlockingHandlerAreMerged)
{
    TestHost host(0);
    Recorder r(host);
    r.sleepInMain = 350;
    host.SetTimer(TimerId::Main, true, 100);
    host.RunFor(500);
    // The 100 ms tick blocks until 450; the ticks due at 200..400 merge into one at 500.
    EXPECT_EQ(r.events, (std::vector<std::string>{"main@100", "main@500"}));
}

TEST(TestHost, TickCountWrapsAt32Bits)
{
    TestHost host((uint64_t(1) << 32) - 50);
    const uint32_t before = host.TickCount();
    host.RunFor(100);
    EXPECT_EQ(host.TickCount(), 50u);
    EXPECT_EQ(uint32_t(host.TickCount() - before), 100u);
}

TEST(TestHost, TerminateStopsTheRun)
{
    TestHost host(0);
    Recorder r(host);
    host.SetTimer(TimerId::Main, true, 100);
    host.Post([&] { host.Terminate(); });
    host.RunFor(1000);
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(host.Terminated());
}

TEST(TestHost, LocalTimeAdvancesWithVirtualTime)
{
    TestHost host(0, {23, 59, 58});
    host.RunFor(3000);
    const LocalTime t = host.Now();
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 1);
}

} // namespace
} // namespace zrk

// The Windows event loop on the real clock: where and in which order its
// timers and posted calls run, what stops and restarts them. Bounds on
// time are generous: the tests run under wine on a busy machine.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "ui/win32/Win32Host.h"

namespace zrk::test {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Hands every tick to a function, after checking it runs on the loop's thread.
struct Sink : ITimerSink {
    std::function<void(TimerId)> onTick;
    DWORD thread = GetCurrentThreadId();
    bool foreignThread = false;
    void OnTimer(TimerId id) override
    {
        if (GetCurrentThreadId() != thread)
            foreignThread = true;
        if (onTick)
            onTick(id);
    }
};

// A stuck loop fails the test instead of hanging it.
void Watchdog(Win32EventLoop& loop, bool& timedOut, uint32_t ms = 20000)
{
    loop.Every(ms, [&] {
        timedOut = true;
        loop.Terminate();
    });
}

TEST(Win32EventLoop, TimersTickOnTheLoopThreadAtTheirIntervals)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    Sink sink;
    loop.Bind(&sink);
    bool timedOut = false;
    Watchdog(loop, timedOut);

    std::vector<TimerId> ticks;
    int mainTicks = 0, fastTicks = 0;
    sink.onTick = [&](TimerId id) {
        ticks.push_back(id);
        if (id == TimerId::Timer1)
            ++fastTicks;
        if (id == TimerId::Main && ++mainTicks == 10)
            loop.Terminate();
    };
    const auto start = Clock::now();
    loop.SetTimer(TimerId::Main, true, 100);
    loop.SetTimer(TimerId::Timer1, true, 20);
    EXPECT_EQ(RunMessageLoop(), 0);
    const int64_t elapsed = MsSince(start);

    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(sink.foreignThread);
    ASSERT_EQ(mainTicks, 10);
    // Ten periods of 100 ms, not of the system's coarse timer tick (which
    // would stretch them) nor fewer (a period taken as shorter).
    EXPECT_GE(elapsed, 950);
    EXPECT_LT(elapsed, 5000);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front(), TimerId::Timer1);
    // About five fast ticks per main tick; a held-up loop gets fewer,
    // never a burst of many.
    EXPECT_GE(fastTicks, 20);
    EXPECT_LE(fastTicks, 6 * mainTicks + 6);
}

TEST(Win32EventLoop, CallsPostedFromAnotherThreadRunOnTheLoopThreadInOrder)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    bool timedOut = false;
    Watchdog(loop, timedOut);
    const DWORD loopThread = GetCurrentThreadId();

    constexpr int kCalls = 500;
    std::vector<int> order;
    bool foreignThread = false;
    std::thread poster([&] {
        for (int i = 0; i < kCalls; ++i)
            loop.Post([&, i] {
                foreignThread |= GetCurrentThreadId() != loopThread;
                order.push_back(i);
                if (i == kCalls - 1)
                    loop.Terminate();
            });
    });
    EXPECT_EQ(RunMessageLoop(), 0);
    poster.join();

    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(foreignThread);
    ASSERT_EQ(order.size(), std::size_t(kCalls));
    for (int i = 0; i < kCalls; ++i)
        ASSERT_EQ(order[i], i);
}

TEST(Win32EventLoop, TerminateEndsTheLoopAfterTheCurrentHandler)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    std::vector<std::string> ran;
    loop.Post([&] {
        loop.Terminate();
        ran.push_back("terminating handler");
    });
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(ran, std::vector<std::string>{"terminating handler"});
}

TEST(Win32EventLoop, StoppedTimerDeliversNoTickEvenOneAlreadyOnItsWay)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    Sink sink;
    loop.Bind(&sink);
    bool timedOut = false;
    Watchdog(loop, timedOut);

    int fastTicks = 0, slowTicks = 0;
    sink.onTick = [&](TimerId id) {
        if (id == TimerId::Timer1) {
            ++fastTicks;
            // Held up past the next period, so that its tick waits in the
            // queue when the timer is stopped.
            Sleep(40);
            loop.SetTimer(TimerId::Timer1, false, 10);
        } else if (id == TimerId::Reconnect && ++slowTicks == 4) {
            loop.Terminate();
        }
    };
    loop.SetTimer(TimerId::Timer1, true, 10);
    loop.SetTimer(TimerId::Reconnect, true, 100);
    RunMessageLoop();

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(fastTicks, 1);
    EXPECT_EQ(slowTicks, 4);
}

TEST(Win32EventLoop, StartingARunningTimerRestartsItsInterval)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    Sink sink;
    loop.Bind(&sink);
    bool timedOut = false;
    Watchdog(loop, timedOut);

    // The main timer is restarted on every fast tick for a while: it never
    // comes. Then its first tick is a whole interval after the last restart.
    int restarts = 0, mainTicks = 0;
    Clock::time_point lastRestart, firstMain;
    int64_t firstMainAfterMs = -1, lastThreeMs = -1;
    sink.onTick = [&](TimerId id) {
        if (id == TimerId::Timer1) {
            if (restarts < 30) {
                ++restarts;
                lastRestart = Clock::now();
                loop.SetTimer(TimerId::Main, true, 1000);
            } else {
                loop.SetTimer(TimerId::Timer1, false, 0);
            }
        } else if (id == TimerId::Main) {
            if (++mainTicks == 1) {
                firstMain = Clock::now();
                firstMainAfterMs = MsSince(lastRestart);
                // A restart with another interval takes it.
                loop.SetTimer(TimerId::Main, true, 50);
            } else if (mainTicks == 4) {
                lastThreeMs = MsSince(firstMain);
                loop.Terminate();
            }
        }
    };
    loop.SetTimer(TimerId::Main, true, 1000);
    loop.SetTimer(TimerId::Timer1, true, 10);
    RunMessageLoop();

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(restarts, 30);
    EXPECT_EQ(mainTicks, 4);
    EXPECT_GE(firstMainAfterMs, 900);
    // Three ticks at 50 ms, not at 1000 ms.
    EXPECT_GE(lastThreeMs, 140);
    EXPECT_LT(lastThreeMs, 1500);
}

TEST(Win32EventLoop, TicksAndPostedCallsRunInsideAModalLoop)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    Sink sink;
    loop.Bind(&sink);
    bool timedOut = false;
    Watchdog(loop, timedOut);

    // A message box is up on the loop thread; the timer finds and cancels
    // it, as a stop request does, and a call posted meanwhile runs too.
    Win32Dialogs dialogs;
    bool posted = false, cancelled = false;
    DialogAnswer answer = DialogAnswer::Yes;
    sink.onTick = [&](TimerId id) {
        if (id == TimerId::Start) {
            loop.SetTimer(TimerId::Start, false, 0);
            loop.Post([&] { posted = true; });
            answer = dialogs.AskYesNoCancel("Save Calibration Changes ?");
            loop.Terminate();
        } else if (id == TimerId::Timer1 && posted && !cancelled) {
            cancelled = CancelModalDialogs();
        }
    };
    loop.SetTimer(TimerId::Start, true, 10);
    loop.SetTimer(TimerId::Timer1, true, 50);
    RunMessageLoop();

    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(posted);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(answer, DialogAnswer::Cancel);
    EXPECT_FALSE(CancelModalDialogs());
}

TEST(Win32EventLoop, HostTimersAreBounded)
{
    Win32EventLoop loop;
    ASSERT_TRUE(loop.Ready());
    for (int i = 0; i < Win32EventLoop::kMaxHostTimers; ++i)
        EXPECT_TRUE(loop.Every(1000, [] {}));
    EXPECT_FALSE(loop.Every(1000, [] {}));
}

} // namespace
} // namespace zrk::test

#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "ports/Clock.h"
#include "ports/EventLoop.h"

namespace zrk {

// Runs the controller on virtual time: a clock that moves only when the
// host advances it (or when a handler sleeps), timers that fire in due
// order, and posted events (board events, socket events) delivered between
// timer events. Minutes of controller time run in milliseconds.
class TestHost : public IClock, public IEventLoop {
public:
    // `startMs` is the virtual time since system start; the tick count is
    // its low 32 bits, so a start near 2^32 tests the wrap-around.
    explicit TestHost(uint64_t startMs = 1'000'000, LocalTime startOfDay = {12, 0, 0});

    void Bind(ITimerSink* sink) { sink_ = sink; }

    // IClock
    uint32_t TickCount() override { return static_cast<uint32_t>(now_); }
    void Sleep(uint32_t ms) override { now_ += ms; }
    LocalTime Now() override;

    // IEventLoop
    void SetTimer(TimerId id, bool enabled, uint32_t intervalMs) override;
    void Post(std::function<void()> fn) override;
    void Terminate() override { terminated_ = true; }
    void Minimize() override { minimized_ = true; }

    // Delivers every posted event (and those they post in turn).
    void RunPending();
    // Advances virtual time by `ms`, firing due timers in order and
    // delivering posted events between them. Stops early on Terminate.
    void RunFor(uint64_t ms);
    void RunUntil(uint64_t ms);

    // A periodic step beside the timers, for models of the world outside
    // the controller that move with time (the quadrant's levers). Off
    // unless set, so that timers and events keep their order and times
    // without it. `step` runs every `periodMs` of virtual time, counted
    // from now, ahead of a timer due at the same moment, and receives the
    // milliseconds since its last run (more than the period after a handler
    // slept); events it posts are delivered before the next timer fires.
    // An empty `step` or a period of 0 turns it off.
    void SetPeriodicStep(uint32_t periodMs, std::function<void(uint64_t elapsedMs)> step);
    bool PeriodicStepOn() const { return stepPeriod_ > 0; }

    uint64_t NowMs() const { return now_; }
    bool Terminated() const { return terminated_; }
    bool Minimized() const { return minimized_; }
    bool TimerEnabled(TimerId id) const { return timers_[static_cast<int>(id)].enabled; }
    uint32_t TimerInterval(TimerId id) const { return timers_[static_cast<int>(id)].interval; }

private:
    struct Slot {
        bool enabled = false;
        uint32_t interval = 0;
        uint64_t due = 0;
        uint64_t generation = 0;
    };
    bool FireNextDue(uint64_t limit);
    void RunStep();

    uint64_t now_;
    LocalTime startOfDay_;
    std::array<Slot, kTimerCount> timers_{};
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    ITimerSink* sink_ = nullptr;
    bool terminated_ = false;
    bool minimized_ = false;
    uint32_t stepPeriod_ = 0;
    uint64_t stepDue_ = 0;
    uint64_t stepLast_ = 0;
    std::function<void(uint64_t)> step_;
};

} // namespace zrk

#include "app/TestHost.h"

#include <algorithm>

namespace zrk {

TestHost::TestHost(uint64_t startMs, LocalTime startOfDay)
    : now_(startMs), startOfDay_(startOfDay)
{
}

LocalTime TestHost::Now()
{
    const uint64_t start = uint64_t(startOfDay_.hour) * 3600 + uint64_t(startOfDay_.minute) * 60
                           + uint64_t(startOfDay_.second);
    const uint64_t secs = (start + now_ / 1000) % 86400;
    return LocalTime{int(secs / 3600), int(secs / 60 % 60), int(secs % 60)};
}

void TestHost::SetTimer(TimerId id, bool enabled, uint32_t intervalMs)
{
    Slot& s = timers_[static_cast<int>(id)];
    s.enabled = enabled && intervalMs > 0;
    s.interval = intervalMs;
    s.due = now_ + intervalMs;
    ++s.generation;
}

void TestHost::Post(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(fn));
}

void TestHost::RunPending()
{
    for (;;) {
        if (terminated_)
            return;
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            if (posted_.empty())
                return;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        fn();
    }
}

void TestHost::SetPeriodicStep(uint32_t periodMs, std::function<void(uint64_t)> step)
{
    if (periodMs == 0 || !step) {
        stepPeriod_ = 0;
        step_ = nullptr;
        return;
    }
    stepPeriod_ = periodMs;
    step_ = std::move(step);
    stepLast_ = now_;
    stepDue_ = now_ + periodMs;
}

void TestHost::RunStep()
{
    now_ = std::max(now_, stepDue_);
    const uint64_t elapsed = now_ - stepLast_;
    stepLast_ = now_;
    // Steps that fell due while a handler slept are covered by this one.
    while (stepDue_ <= now_)
        stepDue_ += stepPeriod_;
    // A copy: the step may turn itself off or replace itself.
    const std::function<void(uint64_t)> step = step_;
    step(elapsed);
}

bool TestHost::FireNextDue(uint64_t limit)
{
    int next = -1;
    for (int i = 0; i < kTimerCount; ++i) {
        const Slot& s = timers_[i];
        if (s.enabled && s.due <= limit && (next < 0 || s.due < timers_[next].due))
            next = i;
    }
    if (stepPeriod_ > 0 && stepDue_ <= limit && (next < 0 || stepDue_ <= timers_[next].due)) {
        RunStep();
        return true;
    }
    if (next < 0)
        return false;
    Slot& s = timers_[next];
    const uint64_t due = s.due;
    const uint64_t generation = s.generation;
    now_ = std::max(now_, due);
    if (sink_)
        sink_->OnTimer(static_cast<TimerId>(next));
    // A handler that restarted or stopped its own timer has set it anew.
    if (s.generation == generation && s.enabled) {
        s.due = due + s.interval;
        // Ticks that fell due while the handler blocked are merged into one.
        while (s.due <= now_)
            s.due += s.interval;
    }
    return true;
}

void TestHost::RunUntil(uint64_t ms)
{
    RunPending();
    while (!terminated_ && FireNextDue(ms))
        RunPending();
    if (!terminated_) {
        now_ = std::max(now_, ms);
        RunPending();
    }
}

void TestHost::RunFor(uint64_t ms)
{
    RunUntil(now_ + ms);
}

} // namespace zrk

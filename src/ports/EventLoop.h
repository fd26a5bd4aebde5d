#pragma once
#include <cstdint>
#include <functional>

namespace zrk {

// The controller's four timers.
enum class TimerId { Timer1, Main, Reconnect, Start };
constexpr int kTimerCount = 4;

// The event loop that runs every handler of the controller on one thread.
class IEventLoop {
public:
    virtual ~IEventLoop() = default;
    // Starts (enabled) or stops a timer. Starting an already running timer
    // restarts its interval, as a window timer does.
    virtual void SetTimer(TimerId id, bool enabled, uint32_t intervalMs) = 0;
    // Queues a call to run on the loop thread after the current handler.
    // Safe to call from any thread: adapters whose libraries call back on
    // their own threads marshal through it.
    virtual void Post(std::function<void()> fn) = 0;
    // Ends the loop after the current handler returns.
    virtual void Terminate() = 0;
    // Minimises the application window (no effect without a window).
    virtual void Minimize() = 0;
};

// Receives the timer events of an event loop.
class ITimerSink {
public:
    virtual ~ITimerSink() = default;
    virtual void OnTimer(TimerId id) = 0;
};

} // namespace zrk

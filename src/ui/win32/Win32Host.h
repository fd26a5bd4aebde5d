#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "ports/Dialogs.h"
#include "ports/EventLoop.h"

namespace zrk {

// The Windows message loop as the controller's event loop. Everything runs
// on the thread that creates it (the window thread), through a hidden
// message-only window of its own, so that timer ticks and posted calls are
// also dispatched while a message box or another modal loop runs.
//
// The window timers of the system tick at its timer granularity (15.6 ms
// by default), which would stretch the 100 ms main cycle to 109 ms. The
// timers here are multimedia timers at 1 ms resolution, whose periods do
// not drift; they fire on a system thread and only post a tick to the
// window. A timer has at most one tick waiting at any time: a window
// thread that is held up gets one tick when it is free again, not a burst.
// Should the system refuse a multimedia timer, a window timer stands in.
class Win32EventLoop : public IEventLoop {
public:
    // Repeating timers of the host (the stop watch, the demo's steps)
    // besides the controller's four.
    static constexpr int kMaxHostTimers = 4;

    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    // Whether the message window came up; without it nothing is dispatched.
    bool Ready() const { return window_ != nullptr; }
    void Bind(ITimerSink* sink) { sink_ = sink; }

    void SetTimer(TimerId id, bool enabled, uint32_t intervalMs) override;
    void Post(std::function<void()> fn) override;
    void Terminate() override;
    void Minimize() override;

    // Runs `fn` on the window thread every `intervalMs` until the loop is
    // destroyed. False when all host timers are taken.
    bool Every(uint32_t intervalMs, std::function<void()> fn);
    // Stops every timer, the controller's and the host's, for good; for
    // the end of the program, once the loop has ended.
    void StopAllTimers();

    // What Minimize does; the window sets it.
    std::function<void()> onMinimize;

private:
    static constexpr int kSlots = kTimerCount + kMaxHostTimers;

    struct Slot {
        Win32EventLoop* loop = nullptr;
        int index = 0;
        // Set on the window thread only; read by the timer thread, whose
        // callbacks end before any change (the kill waits for them).
        std::atomic<uint32_t> generation{0};
        std::atomic<bool> tickPending{false};
        UINT multimediaTimer = 0;
        bool windowTimer = false;
        bool running = false;
        std::function<void()> fn;   // host timers only
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnMultimediaTimer(UINT id, UINT reserved, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    void Start(Slot& slot, uint32_t intervalMs);
    void Stop(Slot& slot);
    void OnTick(int index, uint32_t generation);
    void RunPosted();

    HWND window_ = nullptr;
    bool highResolution_ = false;
    ITimerSink* sink_ = nullptr;
    std::array<Slot, kSlots> slots_;
    int hostTimers_ = 0;

    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    // A message to run the posted calls is on its way.
    std::atomic<bool> postedMessagePending_{false};
};

// Message boxes, owned by the main window (when it is set and still there).
class Win32Dialogs : public IDialogs {
public:
    DialogAnswer AskYesNoCancel(const std::string& text) override;
    void ShowError(const std::string& text) override;

    HWND owner = nullptr;
};

// Runs the thread's message loop until WM_QUIT and returns its exit code.
// `preTranslate` sees every message first and returns true for one it has
// handled (keyboard navigation in a window), which is then not dispatched.
int RunMessageLoop(const std::function<bool(MSG&)>& preTranslate = {});

// Closes the message boxes and other modal dialogs this thread shows, as
// their Cancel would; returns whether there was one.
bool CancelModalDialogs();

} // namespace zrk

#include "ui/win32/Win32Host.h"

#include <algorithm>
#include <mmsystem.h>

#include "platform/win32/Win32MessageWindow.h"
#include "ui/win32/Win32Text.h"

namespace zrk {

namespace {

constexpr UINT kTickMessage = WM_APP + 1;     // wParam: slot, lParam: generation
constexpr UINT kPostedMessage = WM_APP + 2;   // the posted calls wait
constexpr UINT kQuitMessage = WM_APP + 3;     // Terminate
constexpr UINT_PTR kWindowTimerBase = 1;      // window timer ids: base + slot
constexpr const wchar_t* kLoopWindowClass = L"ZrkTqEventLoop";

// A multimedia timer's period in ms, within what the system takes.
UINT TimerPeriod(uint32_t intervalMs)
{
    return UINT(std::clamp<uint32_t>(intervalMs, 1, 1000000));
}

} // namespace

Win32EventLoop::Win32EventLoop()
{
    for (int i = 0; i < kSlots; ++i) {
        slots_[i].loop = this;
        slots_[i].index = i;
    }
    window_ = CreateMessageWindow(kLoopWindowClass, &Win32EventLoop::WindowProc, this);
    // 1 ms timer resolution while the loop lives.
    highResolution_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

Win32EventLoop::~Win32EventLoop()
{
    StopAllTimers();
    if (highResolution_)
        timeEndPeriod(1);
    DestroyMessageWindow(window_);
}

LRESULT CALLBACK Win32EventLoop::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* loop = MessageWindowOwner<Win32EventLoop>(hwnd);
    if (loop) {
        switch (message) {
        case kTickMessage:
            loop->OnTick(int(wParam), uint32_t(lParam));
            return 0;
        case WM_TIMER:
            if (wParam >= kWindowTimerBase && wParam < kWindowTimerBase + kSlots) {
                const Slot& slot = loop->slots_[wParam - kWindowTimerBase];
                loop->OnTick(slot.index, slot.generation.load());
                return 0;
            }
            break;
        case kPostedMessage:
            loop->RunPosted();
            return 0;
        case kQuitMessage:
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CALLBACK Win32EventLoop::OnMultimediaTimer(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    // On the system's timer thread: only hand the tick over.
    auto* slot = reinterpret_cast<Slot*>(user);
    if (slot->tickPending.exchange(true))
        return;
    if (!PostMessageW(slot->loop->window_, kTickMessage, WPARAM(slot->index), LPARAM(slot->generation.load())))
        slot->tickPending = false;
}

void Win32EventLoop::Start(Slot& slot, uint32_t intervalMs)
{
    Stop(slot);
    if (!window_)
        return;
    // Ticks of the timer's earlier run still on their way are dropped.
    slot.generation = slot.generation.load() + 1;
    slot.running = true;
    const UINT period = TimerPeriod(intervalMs);
    slot.multimediaTimer = timeSetEvent(period, highResolution_ ? 1 : 0, &Win32EventLoop::OnMultimediaTimer,
                                        DWORD_PTR(&slot),
                                        TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (slot.multimediaTimer == 0)
        slot.windowTimer = ::SetTimer(window_, kWindowTimerBase + UINT_PTR(slot.index), period, nullptr) != 0;
}

void Win32EventLoop::Stop(Slot& slot)
{
    if (slot.multimediaTimer != 0) {
        // Waits for a callback that is running: none comes after this.
        timeKillEvent(slot.multimediaTimer);
        slot.multimediaTimer = 0;
    }
    if (slot.windowTimer) {
        KillTimer(window_, kWindowTimerBase + UINT_PTR(slot.index));
        slot.windowTimer = false;
    }
    slot.running = false;
}

void Win32EventLoop::OnTick(int index, uint32_t generation)
{
    if (index < 0 || index >= kSlots)
        return;
    Slot& slot = slots_[index];
    // The next tick may be posted from now on.
    slot.tickPending = false;
    if (!slot.running || generation != slot.generation.load())
        return;
    if (index < kTimerCount) {
        if (sink_)
            sink_->OnTimer(static_cast<TimerId>(index));
    } else if (slot.fn) {
        slot.fn();
    }
}

void Win32EventLoop::SetTimer(TimerId id, bool enabled, uint32_t intervalMs)
{
    const int index = static_cast<int>(id);
    if (index < 0 || index >= kTimerCount)
        return;
    if (enabled)
        Start(slots_[index], intervalMs);
    else
        Stop(slots_[index]);
}

bool Win32EventLoop::Every(uint32_t intervalMs, std::function<void()> fn)
{
    if (hostTimers_ >= kMaxHostTimers || !window_)
        return false;
    Slot& slot = slots_[kTimerCount + hostTimers_++];
    slot.fn = std::move(fn);
    Start(slot, intervalMs);
    return slot.running;
}

void Win32EventLoop::StopAllTimers()
{
    for (Slot& slot : slots_) {
        Stop(slot);
        slot.fn = nullptr;
    }
}

void Win32EventLoop::Post(std::function<void()> fn)
{
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        posted_.push_back(std::move(fn));
    }
    // One message runs every call waiting when it arrives.
    if (!postedMessagePending_.exchange(true) && !PostMessageW(window_, kPostedMessage, 0, 0))
        postedMessagePending_ = false;
}

void Win32EventLoop::RunPosted()
{
    // Calls posted from here on need a message of their own: a call below
    // may run a modal loop, which then runs them in order.
    postedMessagePending_ = false;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            if (posted_.empty())
                return;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        if (fn)
            fn();
    }
}

void Win32EventLoop::Terminate()
{
    // Through the window, so that it works from any thread and after the
    // current handler.
    if (!window_ || !PostMessageW(window_, kQuitMessage, 0, 0))
        PostQuitMessage(0);
}

void Win32EventLoop::Minimize()
{
    if (onMinimize)
        onMinimize();
}

namespace {

HWND LiveOwner(HWND owner)
{
    return owner && IsWindow(owner) ? owner : nullptr;
}

} // namespace

DialogAnswer Win32Dialogs::AskYesNoCancel(const std::string& text)
{
    const int r = MessageBoxW(LiveOwner(owner), Utf8ToWide(text).c_str(), L"Confirm",
                              MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
    if (r == IDYES)
        return DialogAnswer::Yes;
    if (r == IDNO)
        return DialogAnswer::No;
    return DialogAnswer::Cancel;
}

void Win32Dialogs::ShowError(const std::string& text)
{
    MessageBoxW(LiveOwner(owner), Utf8ToWide(text).c_str(), L"Error", MB_OK | MB_ICONERROR);
}

int RunMessageLoop(const std::function<bool(MSG&)>& preTranslate)
{
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return int(msg.wParam);
        if (got == -1)
            return 1;
        if (preTranslate && preTranslate(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

namespace {

BOOL CALLBACK CancelIfDialog(HWND hwnd, LPARAM found)
{
    wchar_t name[16] = {};
    // "#32770": the class of message boxes and of the system's dialogs.
    if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) > 0 && std::wstring(name) == L"#32770") {
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

} // namespace

bool CancelModalDialogs()
{
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), &CancelIfDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace zrk

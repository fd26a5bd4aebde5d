#pragma once
#include <QObject>
#include <QTimer>
#include <array>
#include <functional>

#include "ports/Dialogs.h"
#include "ports/EventLoop.h"

namespace zrk {

// The Qt event loop as the controller's event loop: one precise QTimer per
// controller timer, posted calls queued onto the GUI thread.
class QtEventLoop : public QObject, public IEventLoop {
public:
    QtEventLoop();
    void Bind(ITimerSink* sink) { sink_ = sink; }

    void SetTimer(TimerId id, bool enabled, uint32_t intervalMs) override;
    void Post(std::function<void()> fn) override;
    void Terminate() override;
    void Minimize() override;

    // What Minimize does; the window sets it.
    std::function<void()> onMinimize;

private:
    std::array<QTimer, kTimerCount> timers_;
    ITimerSink* sink_ = nullptr;
};

// Message boxes. (Without a window: HeadlessDialogs, app/ProgramOptions.h.)
class QtDialogs : public IDialogs {
public:
    DialogAnswer AskYesNoCancel(const std::string& text) override;
    void ShowError(const std::string& text) override;
};

} // namespace zrk

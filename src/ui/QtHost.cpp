#include "ui/QtHost.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace zrk {

QtEventLoop::QtEventLoop()
{
    for (int i = 0; i < kTimerCount; ++i) {
        QTimer& t = timers_[i];
        t.setTimerType(Qt::PreciseTimer);
        QObject::connect(&t, &QTimer::timeout, this, [this, i] {
            if (sink_)
                sink_->OnTimer(static_cast<TimerId>(i));
        });
    }
}

void QtEventLoop::SetTimer(TimerId id, bool enabled, uint32_t intervalMs)
{
    QTimer& t = timers_[static_cast<int>(id)];
    t.setInterval(int(intervalMs));
    if (enabled)
        t.start();
    else
        t.stop();
}

void QtEventLoop::Post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtEventLoop::Terminate()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                              Qt::QueuedConnection);
}

void QtEventLoop::Minimize()
{
    if (onMinimize)
        onMinimize();
}

DialogAnswer QtDialogs::AskYesNoCancel(const std::string& text)
{
    const auto r = QMessageBox::question(nullptr, QStringLiteral("Confirm"), QString::fromStdString(text),
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                         QMessageBox::Yes);
    if (r == QMessageBox::Cancel)
        return DialogAnswer::Cancel;
    if (r == QMessageBox::No)
        return DialogAnswer::No;
    return DialogAnswer::Yes;
}

void QtDialogs::ShowError(const std::string& text)
{
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(text));
}

} // namespace zrk

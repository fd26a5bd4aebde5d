#pragma once
#include <QCloseEvent>
#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>

namespace zrk {

// What the windows drawn from a toolkit-free window model share (the Boards
// and Charts windows): the model looked at on a timer while the window
// shows and after each of the user's actions, the drawing brought in line
// only when the model counted a change; and a close by the frame handed to
// the owner, queued and once, after which the window leaves its model alone
// (the owner lets both go).
class PanelWindow : public QWidget {
public:
    PanelWindow(std::function<void()> onClose, int refreshMs, QWidget* parent)
        : QWidget(parent), onClose_(std::move(onClose))
    {
        refresh_.setInterval(refreshMs);
        connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    }

    // Looks at the model and, when it counted a change, redraws.
    void Refresh()
    {
        if (closing_)
            return;
        const uint64_t changes = LookAtModel();
        if (changes == shownChanges_)
            return;
        shownChanges_ = changes;
        Redraw();
    }

protected:
    // Brings the model up to date where it needs it; its change count.
    virtual uint64_t LookAtModel() = 0;
    // Shows every state of the model.
    virtual void Redraw() = 0;
    // After a user's action: redrawn whatever the count says.
    void Acted()
    {
        shownChanges_ = ~uint64_t(0);
        Refresh();
    }

    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        Acted();
        refresh_.start();
    }
    void hideEvent(QHideEvent* event) override
    {
        refresh_.stop();
        QWidget::hideEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        QWidget::closeEvent(event);
        if (closing_)
            return;
        closing_ = true;
        refresh_.stop();
        if (onClose_)
            QMetaObject::invokeMethod(this, onClose_, Qt::QueuedConnection);
    }

private:
    std::function<void()> onClose_;
    QTimer refresh_;
    uint64_t shownChanges_ = ~uint64_t(0);
    bool closing_ = false;
};

} // namespace zrk

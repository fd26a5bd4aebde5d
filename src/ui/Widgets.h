#pragma once
#include <QColor>
#include <QRect>
#include <QSize>
#include <QSlider>
#include <QSpinBox>
#include <QString>
#include <QWheelEvent>
#include <QWidget>
#include <vector>

#include "app/WindowLayout.h"

namespace zrk {

// A widget that places its children at their design bounds and moves or
// stretches them by their anchors as it changes size from its design size.
class AnchorArea : public QWidget {
public:
    AnchorArea(QSize designSize, QWidget* parent);

    void Place(QWidget* child, const Bounds& bounds, unsigned anchors);
    QSize DesignSize() const { return design_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Placed {
        QWidget* widget;
        Bounds bounds;
        unsigned anchors;
    };
    void Relayout();

    QSize design_;
    std::vector<Placed> placed_;
};

// A framed group: rounded corners, a soft shadow and a title bar.
class FramePanel : public AnchorArea {
public:
    FramePanel(const QString& title, QSize designSize, QWidget* parent);
    const QString& Title() const { return title_; }

    // The face the panel draws (the shadow lies outside it).
    QRect FaceRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
};

// A round signal lamp in the colour its model gives (0x00BBGGRR).
class Lamp : public QWidget {
public:
    explicit Lamp(QWidget* parent);
    void SetColor(int bgr);
    int Color() const { return bgr_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int bgr_ = -1;
};

// A slider and an up-down that turn with the mouse wheel only once they
// have the focus (clicked or tabbed to): scrolling the window past them
// never moves a lever in a test mode or a tuning value by accident.
template <class Base>
class FocusWheel : public Base {
public:
    using Base::Base;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (Base::hasFocus())
            Base::wheelEvent(event);
        else
            event->ignore();   // on to the scrolling canvas
    }
};
using Slider = FocusWheel<QSlider>;
using UpDownBox = FocusWheel<QSpinBox>;

// The work area (the screen less its task bars) of the screen that shows
// `window`, else of the primary screen; 1366x768 when there is no screen.
QRect WorkArea(const QWidget* window);
// What a top-level window's frame adds to its size: measured once it has
// a frame, else an allowance for a usual title bar and border.
QSize FrameExtra(const QWidget& window);
// Moves a top-level window so that its frame lies within `area`; where it
// is larger, its top-left corner stays inside.
void KeepWithin(QWidget& window, const QRect& area);

// A colour value of the models (0x00BBGGRR: red in the low byte) as a Qt
// colour.
QColor FromFormColor(int bgr);

} // namespace zrk

#pragma once
#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>

namespace zrk {

// A lever of the quadrant seen from above: a slot with a knob that stands at
// the lever's position (0 at the bottom, 1000 at the top, as the raw reading
// runs). The mouse grabs the knob anywhere along the slot; while it is down
// the widget reports where the hand wants the lever, and the window turns
// that into a hand on the quadrant. The knob shows the model's position, not
// the mouse: a lever that cannot follow stays where it is.
class LeverGauge : public QWidget {
public:
    LeverGauge(const QString& caption, QColor knob, QWidget* parent);

    static constexpr double kTravel = 1000.0;

    void SetPosition(double position);
    double Position() const { return position_; }
    // Drawn with a hand on it (the knob darkens).
    void SetHandOn(bool on);
    bool HandOn() const { return handOn_; }
    const QString& Caption() const { return caption_; }

    // The position a point of the widget stands for, within 0..kTravel, and
    // the height of the knob's centre at a position.
    double PositionAt(int y) const;
    int YOf(double position) const;

    // The user's hand: grabbed at a position, dragged to one, let go.
    std::function<void(double)> onGrab;
    std::function<void(double)> onDrag;
    std::function<void()> onLetGo;
    // A nudge from the keyboard (it has the focus): the arrow keys move the
    // lever by kKeyStep, the Page keys by kPageStep, Home and End to the
    // ends; the argument is the position wanted.
    std::function<void(double)> onNudge;
    static constexpr double kKeyStep = 10, kPageStep = 100;

    QSize sizeHint() const override { return {54, 230}; }
    QSize minimumSizeHint() const override { return {40, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The slot's top and bottom: the knob's centre at 1000 and at 0.
    int SlotTop() const;
    int SlotBottom() const;

    QString caption_;
    QColor knob_;
    double position_ = 0;
    bool handOn_ = false;
    bool dragging_ = false;
};

// The trim wheel, seen edge-on through the pedestal: a drum with grip marks
// that move round as it turns, and the number of turns.
class TrimWheelView : public QWidget {
public:
    explicit TrimWheelView(QWidget* parent);
    void SetTurns(double turns);
    double Turns() const { return turns_; }
    QSize sizeHint() const override { return {70, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double turns_ = 0;
};

// A servo's arm on a half-round dial: the needle stands at the arm's angle,
// 0 degrees pointing left and 180 right, as the arm sweeps over the dial.
class ServoDial : public QWidget {
public:
    ServoDial(const QString& caption, QWidget* parent);
    void SetAngle(double degrees);
    double Angle() const { return angle_; }
    // A dial without a servo behind it is drawn greyed, without a needle.
    void SetPresent(bool present);
    bool Present() const { return present_; }
    QSize sizeHint() const override { return {110, 90}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    double angle_ = 0;
    bool present_ = false;
};

} // namespace zrk

#include "ui/QuadrantWidgets.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui/Theme.h"

namespace zrk {

namespace {

constexpr int kKnobHeight = 22;
constexpr int kCaptionHeight = 18;
constexpr double kPi = 3.14159265358979323846;

} // namespace

// ---------------------------------------------------------------- LeverGauge

LeverGauge::LeverGauge(const QString& caption, QColor knob, QWidget* parent)
    : QWidget(parent), caption_(caption), knob_(knob)
{
    setAccessibleName(caption);
    setCursor(Qt::OpenHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(minimumSizeHint());
}

void LeverGauge::SetPosition(double position)
{
    position = std::clamp(position, 0.0, kTravel);
    if (position == position_)
        return;
    position_ = position;
    update();
}

void LeverGauge::SetHandOn(bool on)
{
    if (on == handOn_)
        return;
    handOn_ = on;
    update();
}

int LeverGauge::SlotTop() const
{
    return kKnobHeight / 2 + 2;
}

int LeverGauge::SlotBottom() const
{
    return std::max(SlotTop() + 1, height() - kCaptionHeight - kKnobHeight / 2 - 4);
}

double LeverGauge::PositionAt(int y) const
{
    const double span = SlotBottom() - SlotTop();
    return std::clamp((SlotBottom() - y) / span * kTravel, 0.0, kTravel);
}

int LeverGauge::YOf(double position) const
{
    const double span = SlotBottom() - SlotTop();
    return int(std::lround(SlotBottom() - std::clamp(position, 0.0, kTravel) / kTravel * span));
}

void LeverGauge::paintEvent(QPaintEvent*)
{
    const ThemeColors& c = CurrentColors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int cx = width() / 2;

    // Scale: a tick every tenth of the travel, longer at the ends and middle.
    p.setPen(QPen(c.mutedText, 1));
    for (int i = 0; i <= 10; ++i) {
        const int y = YOf(i * kTravel / 10);
        const int len = (i % 5 == 0) ? 9 : 5;
        p.drawLine(cx - 9 - len, y, cx - 9, y);
        p.drawLine(cx + 9, y, cx + 9 + len, y);
    }

    // The slot the lever runs in.
    const QRectF slot(cx - 4, SlotTop() - 4, 8, SlotBottom() - SlotTop() + 8);
    p.setPen(QPen(c.readoutBorder, 1));
    p.setBrush(c.readout.darker(c.window.lightness() > 128 ? 115 : 80));
    p.drawRoundedRect(slot, 4, 4);

    // The knob: a rounded block with a grip line, darker under a hand.
    const int y = YOf(position_);
    const QRectF knob(cx - width() * 0.36, y - kKnobHeight / 2.0, width() * 0.72, kKnobHeight);
    QColor face = handOn_ ? knob_.darker(140) : knob_;
    QLinearGradient g(knob.topLeft(), knob.bottomLeft());
    g.setColorAt(0, face.lighter(135));
    g.setColorAt(1, face.darker(120));
    p.setPen(QPen(face.darker(170), 1));
    p.setBrush(g);
    p.drawRoundedRect(knob, 5, 5);
    p.setPen(QPen(QColor(255, 255, 255, 150), 2));
    p.drawLine(QPointF(knob.left() + 5, y), QPointF(knob.right() - 5, y));
    if (handOn_ || hasFocus()) {
        p.setPen(QPen(c.accent, 2, handOn_ ? Qt::SolidLine : Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(knob.adjusted(-2, -2, 2, 2), 6, 6);
    }

    p.setPen(c.text);
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 0.85);
    p.setFont(f);
    p.drawText(QRect(0, height() - kCaptionHeight, width(), kCaptionHeight), Qt::AlignCenter, caption_);
}

void LeverGauge::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    setCursor(Qt::ClosedHandCursor);
    if (onGrab)
        onGrab(PositionAt(int(event->position().y())));
}

void LeverGauge::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_)
        return;
    if (onDrag)
        onDrag(PositionAt(int(event->position().y())));
}

void LeverGauge::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
    if (onLetGo)
        onLetGo();
}

void LeverGauge::keyPressEvent(QKeyEvent* event)
{
    double to = 0;
    switch (event->key()) {
    case Qt::Key_Up: case Qt::Key_Right: to = position_ + kKeyStep; break;
    case Qt::Key_Down: case Qt::Key_Left: to = position_ - kKeyStep; break;
    case Qt::Key_PageUp: to = position_ + kPageStep; break;
    case Qt::Key_PageDown: to = position_ - kPageStep; break;
    case Qt::Key_End: to = kTravel; break;
    case Qt::Key_Home: to = 0; break;
    default: QWidget::keyPressEvent(event); return;
    }
    if (onNudge)
        onNudge(std::clamp(to, 0.0, kTravel));
}

// ---------------------------------------------------------------- TrimWheelView

TrimWheelView::TrimWheelView(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("trim wheel"));
    setMinimumSize(56, 120);
}

void TrimWheelView::SetTurns(double turns)
{
    if (!std::isfinite(turns) || turns == turns_)
        return;
    turns_ = turns;
    update();
}

void TrimWheelView::paintEvent(QPaintEvent*)
{
    const ThemeColors& c = CurrentColors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF drum(8, 6, width() - 16, height() - 30);

    // The drum, shaded as a cylinder lying across the view.
    QLinearGradient g(drum.topLeft(), drum.topRight());
    g.setColorAt(0, QColor(0x2a, 0x2d, 0x31));
    g.setColorAt(0.45, QColor(0x6b, 0x71, 0x78));
    g.setColorAt(1, QColor(0x22, 0x25, 0x28));
    p.setPen(QPen(c.lampRim, 1));
    p.setBrush(g);
    p.drawRoundedRect(drum, 6, 6);

    // Grip marks around the rim: each at its angle on the wheel, seen from
    // the side, so they crowd at the edges and run past as the wheel turns.
    // A positive turn moves the near side upwards.
    constexpr int kMarks = 24;
    const double phase = std::fmod(turns_, 1.0) * 2 * kPi;
    const double r = drum.height() / 2;
    for (int i = 0; i < kMarks; ++i) {
        const double a = phase + i * 2 * kPi / kMarks;
        const double depth = std::cos(a);   // > 0: the near half
        if (depth <= 0.05)
            continue;
        const double y = drum.center().y() - r * std::sin(a);
        QColor mark = i == 0 ? QColor(0xf0, 0xf0, 0xf0) : QColor(0xd8, 0xdc, 0xe0);
        mark.setAlphaF(std::clamp(depth, 0.2, 1.0));
        p.setPen(QPen(mark, i == 0 ? 3 : 1.5));
        p.drawLine(QPointF(drum.left() + 4, y), QPointF(drum.right() - 4, y));
    }

    p.setPen(c.readoutText);
    p.drawText(QRectF(0, height() - 22, width(), 20), Qt::AlignCenter,
               QStringLiteral("%1 t").arg(turns_, 0, 'f', 1));
}

// ---------------------------------------------------------------- ServoDial

ServoDial::ServoDial(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption)
{
    setAccessibleName(caption);
    setMinimumSize(90, 80);
}

void ServoDial::SetAngle(double degrees)
{
    if (!std::isfinite(degrees) || degrees == angle_)
        return;
    angle_ = degrees;
    update();
}

void ServoDial::SetPresent(bool present)
{
    if (present == present_)
        return;
    present_ = present;
    update();
}

void ServoDial::paintEvent(QPaintEvent*)
{
    const ThemeColors& c = CurrentColors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = std::min(width() / 2.0 - 6, height() - 40.0);
    const QPointF centre(width() / 2.0, 8 + r);

    // The face: a half disc with a tick every 30 degrees.
    QPainterPath face;
    face.moveTo(centre);
    face.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 0, 180);
    face.closeSubpath();
    p.setPen(QPen(c.readoutBorder, 1));
    p.setBrush(QColor(0x1d, 0x22, 0x28));
    p.drawPath(face);
    p.setPen(QPen(QColor(0xc8, 0xd0, 0xd8), 1));
    for (int deg = 0; deg <= 180; deg += 30) {
        const double a = kPi - deg * kPi / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(centre + dir * (r - 7), centre + dir * (r - 2));
    }

    if (present_) {
        const double a = kPi - std::clamp(angle_, -10.0, 190.0) * kPi / 180;
        const QPointF tip = centre + QPointF(std::cos(a), -std::sin(a)) * (r - 6);
        p.setPen(QPen(QColor(0xff, 0xb3, 0x2e), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(centre, tip);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9a, 0xa4, 0xae));
    p.drawEllipse(centre, 3.5, 3.5);

    p.setPen(present_ ? c.text : c.mutedText);
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 0.85);
    p.setFont(f);
    p.drawText(QRectF(0, centre.y() + 2, width(), 16), Qt::AlignCenter, caption_);
    p.setFont(font());
    p.setPen(present_ ? c.readoutText : c.mutedText);
    p.drawText(QRectF(0, centre.y() + 17, width(), 16), Qt::AlignCenter,
               present_ ? QStringLiteral("%1°").arg(angle_, 0, 'f', 1) : QStringLiteral("—"));
}

} // namespace zrk

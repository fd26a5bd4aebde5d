#include "ui/Widgets.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QPainterPath>
#include <QRadialGradient>
#include <QResizeEvent>
#include <algorithm>

#include "ui/Theme.h"

namespace zrk {

QColor FromFormColor(int bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// ---------------------------------------------------------------- screens

QRect WorkArea(const QWidget* window)
{
    const QScreen* s = window ? window->screen() : nullptr;
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1366, 768);
}

QSize FrameExtra(const QWidget& window)
{
    const QSize measured = window.frameGeometry().size() - window.geometry().size();
    if (window.isVisible() && (measured.width() > 0 || measured.height() > 0))
        return measured;
    return QSize(16, 40);
}

void KeepWithin(QWidget& window, const QRect& area)
{
    const QSize outer = window.size() + FrameExtra(window);
    const int x = std::max(area.left(), std::min(window.x(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(window.y(), area.bottom() + 1 - outer.height()));
    if (QPoint(x, y) != window.pos())
        window.move(x, y);
}

// ---------------------------------------------------------------- AnchorArea

AnchorArea::AnchorArea(QSize designSize, QWidget* parent) : QWidget(parent), design_(designSize) {}

void AnchorArea::Place(QWidget* child, const Bounds& bounds, unsigned anchors)
{
    placed_.push_back({child, bounds, anchors});
    child->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
    if (size() != design_)
        Relayout();
}

void AnchorArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Relayout();
}

void AnchorArea::Relayout()
{
    const int dx = width() - design_.width();
    const int dy = height() - design_.height();
    // One axis: anchored to both edges it stretches, to the far edge only
    // it moves, else it stays.
    auto axis = [](int pos, int len, int delta, bool nearEdge, bool farEdge, int& outPos, int& outLen) {
        outPos = pos;
        outLen = len;
        if (nearEdge && farEdge)
            outLen = std::max(0, len + delta);
        else if (farEdge)
            outPos = pos + delta;
    };
    for (const Placed& p : placed_) {
        int x, w, y, h;
        axis(p.bounds.left, p.bounds.width, dx, p.anchors & kAnchorLeft, p.anchors & kAnchorRight, x, w);
        axis(p.bounds.top, p.bounds.height, dy, p.anchors & kAnchorTop, p.anchors & kAnchorBottom, y, h);
        p.widget->setGeometry(x, y, w, h);
    }
}

// ---------------------------------------------------------------- FramePanel

namespace {
constexpr int kShadow = 3;
constexpr qreal kRadius = 8;
} // namespace

FramePanel::FramePanel(const QString& title, QSize designSize, QWidget* parent)
    : AnchorArea(designSize, parent), title_(title)
{
    setAccessibleName(title);
}

QRect FramePanel::FaceRect() const
{
    return rect().adjusted(1, 0, -kShadow, -kShadow);
}

void FramePanel::paintEvent(QPaintEvent*)
{
    const ThemeColors& c = CurrentColors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(FaceRect()).adjusted(0.5, 0.5, -0.5, -0.5);

    // Shadow: a few widening rounded outlines, fading outwards, offset down.
    QColor s = c.shadow;
    const int alpha = s.alpha();
    for (int i = kShadow; i >= 1; --i) {
        s.setAlpha(alpha / (i + 1));
        p.setPen(Qt::NoPen);
        p.setBrush(s);
        p.drawRoundedRect(face.translated(0, 1).adjusted(-i + 1, -i + 2, i, i), kRadius + i, kRadius + i);
    }

    QPainterPath body;
    body.addRoundedRect(face, kRadius, kRadius);
    p.setPen(QPen(c.panelBorder, 1));
    p.setBrush(c.panel);
    p.drawPath(body);

    // Title bar: the top of the face, clipped to its rounded outline.
    if (!title_.isEmpty()) {
        const QRectF bar(face.left(), face.top(), face.width(), kPanelTitleHeight - 2);
        p.save();
        p.setClipPath(body);
        QLinearGradient g(bar.topLeft(), bar.bottomLeft());
        g.setColorAt(0, c.titleTop);
        g.setColorAt(1, c.titleBottom);
        p.fillRect(bar, g);
        p.restore();
        p.setPen(QPen(c.panelBorder, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(body);
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        p.setPen(c.titleText);
        p.drawText(bar.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, title_);
    }
}

// ---------------------------------------------------------------- Lamp

Lamp::Lamp(QWidget* parent) : QWidget(parent) {}

void Lamp::SetColor(int bgr)
{
    if (bgr == bgr_)
        return;
    bgr_ = bgr;
    setToolTip(QStringLiteral("colour %1").arg(bgr));
    update();
}

void Lamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    QColor base = FromFormColor(std::max(bgr_, 0));
    // A lit lamp is a strong colour; an unlit one is a grey, which on the
    // dark theme's panels would shine brighter than a lit red: there it is
    // drawn as dark glass.
    const bool lit = base.hsvSaturation() > 120;
    const bool dark = CurrentTheme() == Theme::Dark;
    if (!lit && dark)
        base = QColor::fromHsv(base.hsvHue(), base.hsvSaturation(), std::min(base.value(), 72));

    // A lit lamp glows around its rim.
    if (lit) {
        QRadialGradient glow(r.center(), d * 0.75);
        QColor halo = base;
        halo.setAlpha(90);
        glow.setColorAt(0.55, halo);
        halo.setAlpha(0);
        glow.setColorAt(1, halo);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(r.center(), d * 0.75, d * 0.75);
    }
    // The lens: bright centre, deeper edge, a dark bezel.
    QRadialGradient lens(r.center() - QPointF(d * 0.15, d * 0.18), d * 0.62);
    lens.setColorAt(0, base.lighter(150));
    lens.setColorAt(0.6, base);
    lens.setColorAt(1, base.darker(150));
    p.setBrush(lens);
    p.setPen(QPen(CurrentColors().lampRim, std::max(1.0, d / 12.0)));
    p.drawEllipse(r);
    // Specular highlight.
    QRadialGradient gloss(r.center() - QPointF(d * 0.18, d * 0.22), d * 0.22);
    gloss.setColorAt(0, QColor(255, 255, 255, !lit && dark ? 60 : 170));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(r.center() - QPointF(d * 0.18, d * 0.22), d * 0.22, d * 0.22);
}

} // namespace zrk

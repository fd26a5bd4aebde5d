#include "ui/ChartsWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Charts.h"
#include "app/ChartsPanel.h"
#include "app/PngImage.h"
#include "ui/Widgets.h"

namespace zrk {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The image as the core's pixels (0x00RRGGBB, row by row from the top).
RgbImage ToRgb(const QImage& image)
{
    RgbImage out;
    if (image.isNull())
        return out;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    out.width = rgb.width();
    out.height = rgb.height();
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
    for (int y = 0; y < out.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < out.width; ++x)
            out.pixels[std::size_t(y) * std::size_t(out.width) + std::size_t(x)] = uint32_t(line[x]) & 0x00FFFFFFu;
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------- ChartView

ChartView::ChartView(const ChartsPanel& panel, std::string chart, QWidget* parent)
    : QWidget(parent), panel_(panel), chart_(std::move(chart)), font_(TextFont(font()))
{
    // Every pixel is the picture's: nothing behind it to paint first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QFont ChartView::TextFont(const QFont& base)
{
    // The picture leaves kChartTextHeight pixels a text row and reckons
    // about 6 pixels a character: a sans font of 11 pixels' em takes
    // that room, ascenders and descenders included.
    QFont f(base);
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Segoe UI"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(kChartTextHeight - 1);
    f.setBold(false);
    return f;
}

void ChartView::Paint(QPainter& painter, const ChartPicture& picture, const QFont& font)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(0, 0, picture.width, picture.height), FromFormColor(picture.background));
    for (const ChartFill& f : picture.fills)
        painter.fillRect(QRect(f.bounds.left, f.bounds.top, f.bounds.width, f.bounds.height), FromFormColor(f.color));

    // Lines smooth; a pixel's centre is half a pixel into it, so that a
    // thin level line lies on one row of pixels rather than across two.
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const ChartLine& l : picture.lines) {
        if (l.points.empty())
            continue;
        QPen pen(FromFormColor(l.color), std::max(l.width, 1));
        pen.setStyle(l.dashed ? Qt::DashLine : Qt::SolidLine);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        const double shift = std::max(l.width, 1) % 2 ? 0.5 : 0.0;
        QPolygonF points;
        points.reserve(qsizetype(l.points.size()));
        for (const ChartPoint& p : l.points)
            points << QPointF(p.x + shift, p.y + shift);
        if (points.size() == 1)
            painter.drawPoint(points.front());
        else
            painter.drawPolyline(points);
    }

    painter.setFont(font);
    constexpr int kRoom = 4000;   // wider than any chart text
    for (const ChartText& t : picture.texts) {
        painter.setPen(FromFormColor(t.color));
        QRect r(t.x, t.y, kRoom, kRoom);
        Qt::Alignment align = Qt::AlignLeft;
        if (t.align == TextAlign::Center) {
            r.moveLeft(t.x - kRoom / 2);
            align = Qt::AlignHCenter;
        } else if (t.align == TextAlign::Right) {
            r.moveLeft(t.x - kRoom);
            align = Qt::AlignRight;
        }
        painter.drawText(r, int(align | Qt::AlignTop) | Qt::TextSingleLine, Q(t.text));
    }
    painter.restore();
}

QImage ChartView::Image() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Paint(painter, panel_.Picture(chart_, width(), height()), font_);
    return image;
}

void ChartView::paintEvent(QPaintEvent*)
{
    ++paints_;
    QPainter painter(this);
    Paint(painter, panel_.Picture(chart_, width(), height()), font_);
}

// ---------------------------------------------------------------- ChartsWindow

ChartsWindow::ChartsWindow(ChartsPanel& panel, std::function<void()> onClose, QWidget* parent)
    : PanelWindow(std::move(onClose), kRefreshMs, parent), panel_(panel)
{
    setWindowFlag(Qt::Window);
    const FormDesign& design = panel_.Design();
    setWindowTitle(Q(design.caption));
    setAttribute(Qt::WA_StyledBackground);

    // The canvas keeps at least its design size and scrolls as a whole
    // when the window is smaller; wider, the charts widen with it.
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    const QSize designSize(design.width, design.height);
    auto* content = new AnchorArea(designSize, scroll_);
    content_ = content;
    content_->setObjectName(QStringLiteral("charts_contents"));
    content_->setMinimumSize(designSize);
    content_->resize(designSize);
    frame->addWidget(scroll_);

    for (const ControlDesign& c : design.controls) {
        QWidget* w = Make(c, content);
        if (!w)
            continue;
        w->setObjectName(Q(c.name));
        content->Place(w, c.bounds, c.anchors);
        drawn_.push_back({&c, w});
        byName_[c.name] = w;
        if (c.kind == ControlKind::Chart)
            charts_.push_back(static_cast<ChartView*>(w));
    }
    scroll_->setWidget(content_);
    resize(sizeHint());

    panel_.SetCapture([this] { return ToRgb(Capture()); });
    Refresh();
}

// The panel may be gone already (the owner lets it go first): nothing of
// it is touched here.
ChartsWindow::~ChartsWindow() = default;

QSize ChartsWindow::sizeHint() const
{
    return content_ ? content_->minimumSize() : QWidget::sizeHint();
}

QWidget* ChartsWindow::Make(const ControlDesign& c, QWidget* parent)
{
    const std::string name = c.name;
    switch (c.kind) {
    case ControlKind::Label: {
        auto* l = new QLabel(Q(c.caption), parent);
        l->setProperty("role", "readout");
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    }
    case ControlKind::Button: {
        auto* b = new QPushButton(Q(c.caption), parent);
        connect(b, &QPushButton::clicked, this, [this, name] {
            panel_.Press(name);
            Acted();
        });
        return b;
    }
    case ControlKind::Toggle: {
        auto* b = new QPushButton(Q(c.caption), parent);
        b->setCheckable(true);
        b->setAccessibleName(QStringLiteral("span ") + Q(c.caption));
        // The panel keeps one span chosen: pressing the chosen one again
        // leaves it pressed (the refresh after the action shows so).
        connect(b, &QPushButton::toggled, this, [this, name](bool on) {
            panel_.SetOn(name, on);
            Acted();
        });
        return b;
    }
    case ControlKind::Chart: {
        auto* chart = new ChartView(panel_, name, parent);
        chart->setAccessibleName(Q(c.caption));
        return chart;
    }
    default: return nullptr;   // none in this window
    }
}

void ChartsWindow::Show(const Drawn& d)
{
    const ChartsControlState& s = panel_.State(d.design->name);
    QWidget* w = d.widget;
    switch (d.design->kind) {
    case ControlKind::Label: {
        auto* l = static_cast<QLabel*>(w);
        if (l->text() != Q(s.text)) {
            l->setText(Q(s.text));
            // A long path may not fit the line: the whole of it on hover.
            l->setToolTip(Q(s.text));
        }
        break;
    }
    case ControlKind::Button: {
        auto* b = static_cast<QPushButton*>(w);
        if (!s.text.empty() && b->text() != Q(s.text))
            b->setText(Q(s.text));
        if (b->isEnabled() != s.enabled)
            b->setEnabled(s.enabled);
        break;
    }
    case ControlKind::Toggle: {
        auto* b = static_cast<QPushButton*>(w);
        if (b->isChecked() != s.on) {
            const QSignalBlocker block(b);
            b->setChecked(s.on);
        }
        if (b->isEnabled() != s.enabled)
            b->setEnabled(s.enabled);
        break;
    }
    case ControlKind::Chart: w->update(); break;
    default: break;
    }
}

uint64_t ChartsWindow::LookAtModel()
{
    panel_.Refresh();
    return panel_.Changes();
}

void ChartsWindow::Redraw()
{
    for (const Drawn& d : drawn_)
        Show(d);
}

QWidget* ChartsWindow::Widget(std::string_view control) const
{
    const auto it = byName_.find(control);
    return it == byName_.end() ? nullptr : it->second;
}

QImage ChartsWindow::Capture() const
{
    int width = 0, height = 0;
    for (const ChartView* c : charts_) {
        width = std::max(width, c->width());
        height += c->height();
    }
    if (width <= 0 || height <= 0)
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    int y = 0;
    for (const ChartView* c : charts_) {
        painter.drawImage(0, y, c->Image());
        y += c->height();
    }
    return image;
}

} // namespace zrk

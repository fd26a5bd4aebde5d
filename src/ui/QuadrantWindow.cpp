#include "ui/QuadrantWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/demo/DemoCockpit.h"
#include "app/demo/DemoQuadrant.h"
#include "boards/VirtualQuadrant.h"
#include "ui/QuadrantWidgets.h"
#include "ui/Widgets.h"

namespace zrk {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// Knob colours of the quadrant's lever kinds.
QColor KnobOf(const std::string& lever)
{
    switch (LeverRank(lever)) {
    case 0: return QColor(0xe8, 0xe8, 0xe4);   // throttles: white knobs
    case 1: return QColor(0x55, 0x5b, 0x62);   // reversers: dark grey
    case 2: return QColor(0x7a, 0x84, 0x8e);   // speedbrake
    case 3: return QColor(0xd9, 0xdb, 0xde);   // flaps
    default: return QColor(0xa0, 0xa8, 0xb0);
    }
}

const char* RoleOf(LabelStyle style)
{
    switch (style) {
    case LabelStyle::Caption: return "caption";
    case LabelStyle::Heading: return "heading";
    case LabelStyle::Readout: return "readout";
    case LabelStyle::Tag: return "tag";
    }
    return "caption";
}

void SetText(QLabel* l, const std::string& text)
{
    const QString t = Q(text);
    if (l->text() != t)
        l->setText(t);
}

} // namespace

QuadrantWindow::QuadrantWindow(DemoCockpit& cockpit, QWidget* parent)
    : QuadrantWindow(cockpit.Quadrant(), DemoQuadrantHooks(cockpit), parent)
{
}

QuadrantWindow::QuadrantWindow(VirtualQuadrant& quadrant, QuadrantHooks hooks, QWidget* parent)
    : QWidget(parent), panel_(quadrant, std::move(hooks))
{
    // A window of its own beside the main window, even with a parent.
    setWindowFlag(Qt::Window);
    setWindowTitle(Q(panel_.Design().caption));
    setAttribute(Qt::WA_StyledBackground);
    Build();
    Refresh();
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
}

QuadrantWindow::~QuadrantWindow() = default;

void QuadrantWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Refresh();
    refresh_.start();
}

void QuadrantWindow::hideEvent(QHideEvent* event)
{
    refresh_.stop();
    QWidget::hideEvent(event);
}

void QuadrantWindow::Build()
{
    // The contents keep their design size and place and scroll as a whole
    // when the screen has less room than they take.
    const FormDesign& design = panel_.Design();
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(false);
    auto* content = new AnchorArea(QSize(design.width, design.height), scroll_);
    content_ = content;
    content_->setObjectName(QStringLiteral("quadrant_contents"));
    content_->resize(design.width, design.height);
    frame->addWidget(scroll_);

    std::map<std::string, AnchorArea*, std::less<>> panels;
    for (const ControlDesign& c : design.controls) {
        AnchorArea* parent = content;
        if (!c.group.empty())
            if (const auto it = panels.find(c.group); it != panels.end())
                parent = it->second;
        QWidget* w = Make(c, parent);
        if (!w)
            continue;
        w->setObjectName(Q(c.name));
        parent->Place(w, c.bounds, c.anchors);
        if (c.kind == ControlKind::Panel)
            panels[c.name] = static_cast<AnchorArea*>(w);
        drawn_.push_back({&c, w});
        byName_[c.name] = w;
    }
    scroll_->setWidget(content_);
    resize(sizeHint());
}

QWidget* QuadrantWindow::Make(const ControlDesign& c, QWidget* parent)
{
    const std::string name = c.name;
    switch (c.kind) {
    case ControlKind::Panel: return new FramePanel(Q(c.caption), QSize(c.bounds.width, c.bounds.height), parent);
    case ControlKind::Label: {
        auto* l = new QLabel(Q(c.caption), parent);
        l->setProperty("role", RoleOf(c.style));
        if (c.align == TextAlign::Center)
            l->setAlignment(Qt::AlignCenter);
        const std::string lever = panel_.LeverOf(name);
        if (!lever.empty())
            l->setAccessibleName(Q(LeverCaption(lever)) +
                                 (name == QuadrantPanel::CurrentControl(lever) ? QStringLiteral(" current")
                                                                                : QStringLiteral(" reading")));
        if (name == QuadrantPanel::CurrentControl(lever))
            l->setToolTip(QStringLiteral("motor current"));
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
        const std::string lever = panel_.LeverOf(name);
        if (!lever.empty()) {
            b->setAccessibleName(Q(LeverCaption(lever)) + QStringLiteral(" hold"));
            b->setToolTip(QStringLiteral("rest a hand on the lever"));
        } else {
            b->setAccessibleName(QStringLiteral("speed ") + Q(c.caption).chopped(1));
        }
        connect(b, &QPushButton::toggled, this, [this, name](bool on) {
            panel_.SetOn(name, on);
            Acted();
        });
        return b;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(Q(c.caption), parent);
        connect(box, &QCheckBox::toggled, this, [this, name](bool on) {
            panel_.SetOn(name, on);
            Acted();   // a switch that cannot be set springs back
        });
        return box;
    }
    case ControlKind::Shape: {
        auto* lamp = new Lamp(parent);
        lamp->setToolTip(QStringLiteral("hand on the lever"));
        return lamp;
    }
    case ControlKind::Memo: {
        auto* m = new QPlainTextEdit(parent);
        m->setReadOnly(true);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setMaximumBlockCount(int(kShownMessages));
        m->setFocusPolicy(Qt::NoFocus);
        return m;
    }
    case ControlKind::Lever: {
        auto* g = new LeverGauge(Q(c.caption), KnobOf(panel_.LeverOf(name)), parent);
        g->onGrab = [this, name](double p) {
            panel_.Grab(name, p);
            Acted();
        };
        g->onDrag = [this, name](double p) {
            panel_.Drag(name, p);
            Acted();
        };
        g->onLetGo = [this, name] {
            panel_.LetGo(name);
            Acted();
        };
        g->onNudge = [this, name](double p) {
            panel_.Nudge(name, p);
            Acted();
        };
        return g;
    }
    case ControlKind::Wheel: return new TrimWheelView(parent);
    case ControlKind::Dial: return new ServoDial(Q(c.caption), parent);
    case ControlKind::TrackBar:
    case ControlKind::UpDown:
    case ControlKind::Edit:
    case ControlKind::RadioGroup:
    case ControlKind::StatusBar:
    case ControlKind::List:
    case ControlKind::Chart: break;   // none in this window
    }
    return nullptr;
}

QSize QuadrantWindow::sizeHint() const
{
    // The contents' own size, not the scroll area's small default.
    return content_ ? content_->size() : QWidget::sizeHint();
}

void PlaceQuadrantWindow(QuadrantWindow& quadrant, QWidget& mainWindow)
{
    const QRect area = WorkArea(&mainWindow);
    const QSize extra = FrameExtra(quadrant);
    const QSize room = area.size() - extra;
    QSize want = quadrant.sizeHint();
    // Shorter than its design, it scrolls up and down: wider by the scroll
    // bar, so that it need not scroll sideways too.
    if (want.height() > room.height())
        want.rwidth() += quadrant.style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    quadrant.resize(want.boundedTo(room));
    const QSize outer = quadrant.size() + extra;
    const QRect main = mainWindow.frameGeometry();
    constexpr int kGap = 8;
    if (main.right() + 1 + kGap + outer.width() <= area.right() + 1) {
        quadrant.move(main.right() + 1 + kGap, main.top());
    } else if (area.left() + outer.width() + kGap <= main.left()) {
        quadrant.move(main.left() - kGap - outer.width(), main.top());
    } else {
        // No room beside it: in front of the main window, which it then
        // belongs to so that it stays in front; it can be moved aside.
        quadrant.setParent(&mainWindow, quadrant.windowFlags() | Qt::Window);
        quadrant.move(main.topLeft() + QPoint(48, 48));
    }
    KeepWithin(quadrant, area);
}

void QuadrantWindow::Show(const Drawn& d)
{
    const ControlDesign& c = *d.design;
    const QuadrantControlState& s = panel_.State(c.name);
    QWidget* w = d.widget;
    if (w->isEnabled() != s.enabled)
        w->setEnabled(s.enabled);
    switch (c.kind) {
    case ControlKind::Label:
        if (c.style == LabelStyle::Readout || c.style == LabelStyle::Heading)
            SetText(static_cast<QLabel*>(w), s.text);
        break;
    case ControlKind::Button:
        if (!s.text.empty() && static_cast<QPushButton*>(w)->text() != Q(s.text))
            static_cast<QPushButton*>(w)->setText(Q(s.text));
        break;
    case ControlKind::Toggle:
    case ControlKind::CheckBox: {
        auto* b = static_cast<QAbstractButton*>(w);
        if (b->isChecked() != s.on) {
            const QSignalBlocker block(b);
            b->setChecked(s.on);
        }
        break;
    }
    case ControlKind::Shape: static_cast<Lamp*>(w)->SetColor(s.color); break;
    case ControlKind::Memo: {
        auto* m = static_cast<QPlainTextEdit*>(w);
        QStringList lines;
        for (const std::string& line : s.lines)
            lines << Q(line);
        const QString text = lines.join(QLatin1Char('\n'));
        if (m->toPlainText() != text) {
            m->setPlainText(text);
            m->verticalScrollBar()->setValue(m->verticalScrollBar()->maximum());
        }
        break;
    }
    case ControlKind::Lever: {
        auto* g = static_cast<LeverGauge*>(w);
        g->SetPosition(s.value);
        g->SetHandOn(s.on);
        break;
    }
    case ControlKind::Wheel: static_cast<TrimWheelView*>(w)->SetTurns(s.value); break;
    case ControlKind::Dial: {
        auto* dial = static_cast<ServoDial*>(w);
        dial->SetPresent(s.on);
        dial->SetAngle(s.value);
        break;
    }
    default: break;
    }
}

void QuadrantWindow::Acted()
{
    // The widget the user acted on may now differ from its state even
    // where no state changed (a toggle that did not take): all redrawn.
    shownChanges_ = ~uint64_t(0);
    Refresh();
}

void QuadrantWindow::Refresh()
{
    panel_.Refresh();
    if (panel_.Changes() == shownChanges_)
        return;
    shownChanges_ = panel_.Changes();
    for (const Drawn& d : drawn_)
        Show(d);
}

QWidget* QuadrantWindow::Widget(std::string_view control) const
{
    const auto it = byName_.find(control);
    return it == byName_.end() ? nullptr : it->second;
}

LeverGauge* QuadrantWindow::Gauge(const std::string& lever) const
{
    return static_cast<LeverGauge*>(Widget(QuadrantPanel::LeverControl(lever)));
}

QAbstractButton* QuadrantWindow::HoldButton(const std::string& throttle) const
{
    return static_cast<QAbstractButton*>(Widget(QuadrantPanel::HoldControl(throttle)));
}

QLabel* QuadrantWindow::CurrentReadout(const std::string& throttle) const
{
    return static_cast<QLabel*>(Widget(QuadrantPanel::CurrentControl(throttle)));
}

QLabel* QuadrantWindow::ReadingReadout(const std::string& lever) const
{
    return static_cast<QLabel*>(Widget(QuadrantPanel::ReadingControl(lever)));
}

TrimWheelView* QuadrantWindow::Wheel() const
{
    return static_cast<TrimWheelView*>(Widget("TrimWheel"));
}

ServoDial* QuadrantWindow::Dial(const std::string& servo) const
{
    const std::string control = QuadrantPanel::DialControl(servo);
    return panel_.State(control).on ? static_cast<ServoDial*>(Widget(control)) : nullptr;
}

QCheckBox* QuadrantWindow::SwitchBox(std::size_t index) const
{
    return static_cast<QCheckBox*>(Widget(QuadrantPanel::SwitchControl(index)));
}

QPushButton* QuadrantWindow::PauseButton() const
{
    return static_cast<QPushButton*>(Widget("FlightPause"));
}

QPushButton* QuadrantWindow::RestartButton() const
{
    return static_cast<QPushButton*>(Widget("FlightRestart"));
}

QPushButton* QuadrantWindow::SpeedButton(double factor) const
{
    return static_cast<QPushButton*>(Widget(QuadrantPanel::SpeedControl(factor)));
}

QLabel* QuadrantWindow::PhaseLabel() const
{
    return static_cast<QLabel*>(Widget("FlightPhase"));
}

QPlainTextEdit* QuadrantWindow::MessageList() const
{
    return static_cast<QPlainTextEdit*>(Widget("BridgeMessages"));
}

} // namespace zrk

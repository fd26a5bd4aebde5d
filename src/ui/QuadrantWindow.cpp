#include "ui/QuadrantWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/WindowLayout.h"
#include "boards/VirtualBoards.h"
#include "boards/VirtualQuadrant.h"
#include "ui/QuadrantWidgets.h"
#include "ui/Widgets.h"

namespace zrk {

namespace {

// A framed panel whose contents are laid out by a layout below its title.
FramePanel* Panel(const QString& title, QLayout* contents, QWidget* parent)
{
    auto* panel = new FramePanel(title, QSize(), parent);
    contents->setContentsMargins(10, kPanelTitleHeight + 6, 12, 12);
    panel->setLayout(contents);
    return panel;
}

QLabel* Readout(QWidget* parent, int width)
{
    auto* l = new QLabel(parent);
    l->setProperty("role", "readout");
    l->setAlignment(Qt::AlignCenter);
    l->setFixedWidth(width);
    return l;
}

// Knob colours of the quadrant's lever kinds.
QColor KnobOf(const std::string& name)
{
    switch (LeverRank(name)) {
    case 0: return QColor(0xe8, 0xe8, 0xe4);   // throttles: white knobs
    case 1: return QColor(0x55, 0x5b, 0x62);   // reversers: dark grey
    case 2: return QColor(0x7a, 0x84, 0x8e);   // speedbrake
    case 3: return QColor(0xd9, 0xdb, 0xde);   // flaps
    default: return QColor(0xa0, 0xa8, 0xb0);
    }
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

// The number after a prefix ("throttle3" -> "3"), or the name itself.
QString Suffix(const std::string& name, std::size_t prefix)
{
    return QString::fromStdString(name.substr(prefix));
}

constexpr int kLampOffColor = 0x404040;
constexpr int kLampHandColor = 0x0000FF;   // red: a hand is on the lever

} // namespace

QString LeverCaption(const std::string& name)
{
    if (StartsWith(name, "throttle") && name.size() > 8)
        return QStringLiteral("THR ") + Suffix(name, 8);
    if (StartsWith(name, "reverser") && name.size() > 8)
        return QStringLiteral("REV ") + Suffix(name, 8);
    if (name == "speedbrake")
        return QStringLiteral("SPD BRK");
    if (name == "flaps" || name == "flap")
        return QStringLiteral("FLAPS");
    return QString::fromStdString(name).toUpper();
}

int LeverRank(const std::string& name)
{
    if (StartsWith(name, "throttle"))
        return 0;
    if (StartsWith(name, "reverser"))
        return 1;
    if (name == "speedbrake")
        return 2;
    if (StartsWith(name, "flap"))
        return 3;
    return 4;
}

QuadrantSwitch KitSwitch(VirtualBoardLibrary& boards, const QString& label, int kitSerial, int input)
{
    QuadrantSwitch s;
    s.label = label;
    s.closed = [&boards, kitSerial, input] {
        const VirtualBoardState* kit = boards.Find(kitSerial);
        return kit && kit->ValidIndex(input) && kit->input[std::size_t(input)];
    };
    s.set = [&boards, kitSerial, input](bool closed) {
        if (VirtualBoardState* kit = boards.Find(kitSerial))
            kit->Input(input, closed);
    };
    return s;
}

const std::vector<double>& QuadrantWindow::SpeedFactors()
{
    static const std::vector<double> factors{1, 2, 4, 8};
    return factors;
}

QuadrantWindow::QuadrantWindow(VirtualQuadrant& quadrant, QuadrantWindowHooks hooks, QWidget* parent)
    : QWidget(parent), quadrant_(quadrant), hooks_(std::move(hooks))
{
    // A window of its own beside the main window, even with a parent.
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Quadrant"));
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
    // The contents scroll as a whole when the screen has less room than
    // they take; every part keeps its size and place.
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    content_ = new QWidget(scroll_);
    content_->setObjectName(QStringLiteral("quadrant_contents"));
    frame->addWidget(scroll_);

    auto* root = new QVBoxLayout(content_);
    root->setContentsMargins(8, 8, 8, 8);
    root->setSpacing(8);
    if (hooks_.flight || hooks_.bridgeMessages)
        root->addWidget(BuildFlightPanel());
    root->addWidget(BuildLeverPanel(), 1);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(BuildTrimPanel(), 3);
    if (!hooks_.switches.empty())
        bottom->addWidget(BuildSwitchPanel(), 2);
    root->addLayout(bottom);
    scroll_->setWidget(content_);
    resize(sizeHint());
}

QSize QuadrantWindow::sizeHint() const
{
    // The contents' own size, not the scroll area's small default.
    return content_ ? content_->sizeHint() : QWidget::sizeHint();
}

void PlaceQuadrantWindow(QuadrantWindow& quadrant, QWidget& mainWindow)
{
    const QRect area = WorkArea(&mainWindow);
    const QSize extra = FrameExtra(quadrant);
    quadrant.resize(quadrant.sizeHint().boundedTo(area.size() - extra));
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

QWidget* QuadrantWindow::BuildFlightPanel()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    auto* panel = Panel(QStringLiteral("Flight"), grid, this);

    int row = 0;
    if (hooks_.flight) {
        phase_ = new QLabel(panel);
        phase_->setProperty("role", "heading");
        phase_->setMinimumWidth(120);
        time_ = Readout(panel, 70);
        grid->addWidget(phase_, row, 0);
        grid->addWidget(time_, row, 1);

        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(4);
        pause_ = new QPushButton(QStringLiteral("Pause"), panel);
        pause_->setEnabled(bool(hooks_.setPaused));
        connect(pause_, &QPushButton::clicked, this, [this] {
            if (hooks_.setPaused && hooks_.flight)
                hooks_.setPaused(!hooks_.flight().paused);
            Refresh();
        });
        restart_ = new QPushButton(QStringLiteral("Restart"), panel);
        restart_->setEnabled(bool(hooks_.restart));
        connect(restart_, &QPushButton::clicked, this, [this] {
            if (hooks_.restart)
                hooks_.restart();
            Refresh();
        });
        buttons->addWidget(pause_);
        buttons->addWidget(restart_);
        buttons->addSpacing(8);
        for (double f : SpeedFactors()) {
            auto* b = new QPushButton(QStringLiteral("%1×").arg(f), panel);
            b->setCheckable(true);
            b->setEnabled(bool(hooks_.setSpeed));
            b->setAccessibleName(QStringLiteral("speed %1").arg(f));
            b->setFixedWidth(38);
            connect(b, &QPushButton::clicked, this, [this, f] {
                if (hooks_.setSpeed)
                    hooks_.setSpeed(f);
                Refresh();
            });
            buttons->addWidget(b);
            speeds_.push_back({f, b});
        }
        buttons->addStretch(1);
        grid->addLayout(buttons, row, 2);
        ++row;
    }
    if (hooks_.bridgeMessages) {
        auto* caption = new QLabel(QStringLiteral("Bridge received"), panel);
        caption->setProperty("role", "caption");
        messages_ = new QPlainTextEdit(panel);
        messages_->setReadOnly(true);
        messages_->setLineWrapMode(QPlainTextEdit::NoWrap);
        messages_->setMaximumBlockCount(int(kShownMessages));
        messages_->setFocusPolicy(Qt::NoFocus);
        const int line = messages_->fontMetrics().lineSpacing();
        messages_->setFixedHeight(line * 4 + 14);
        grid->addWidget(caption, row, 0, Qt::AlignTop);
        grid->addWidget(messages_, row, 1, 1, 2);
    }
    grid->setColumnStretch(2, 1);
    return panel;
}

QWidget* QuadrantWindow::BuildLeverPanel()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    auto* panel = Panel(QStringLiteral("Levers"), grid, this);

    std::vector<std::string> names = quadrant_.Levers();
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return LeverRank(a) != LeverRank(b) ? LeverRank(a) < LeverRank(b) : a < b;
    });
    levers_.reserve(names.size());
    int column = 0;
    int lastRank = -1;
    for (const std::string& name : names) {
        // A little space between the kinds of levers.
        if (lastRank >= 0 && LeverRank(name) != lastRank)
            grid->setColumnMinimumWidth(column++, 6);
        lastRank = LeverRank(name);

        LeverView v;
        v.name = name;
        v.gauge = new LeverGauge(LeverCaption(name), KnobOf(name), panel);
        v.reading = Readout(panel, 58);
        v.reading->setAccessibleName(LeverCaption(name) + QStringLiteral(" reading"));
        grid->addWidget(v.gauge, 0, column, Qt::AlignHCenter);
        grid->addWidget(v.reading, 1, column, Qt::AlignHCenter);

        const auto wiring = quadrant_.WiringOf(name);
        if (wiring && !wiring->motors.empty()) {
            v.current = Readout(panel, 58);
            v.current->setToolTip(QStringLiteral("motor current"));
            grid->addWidget(v.current, 2, column, Qt::AlignHCenter);
        }
        v.handLamp = new Lamp(panel);
        v.handLamp->setFixedSize(16, 16);
        v.handLamp->SetColor(kLampOffColor);
        v.handLamp->setToolTip(QStringLiteral("hand on the lever"));
        grid->addWidget(v.handLamp, 3, column, Qt::AlignHCenter);
        if (LeverRank(name) == 0) {
            auto* hold = new QPushButton(QStringLiteral("HOLD"), panel);
            hold->setCheckable(true);
            hold->setFixedWidth(50);
            hold->setAccessibleName(LeverCaption(name) + QStringLiteral(" hold"));
            hold->setToolTip(QStringLiteral("rest a hand on the lever"));
            v.hold = hold;
            grid->addWidget(hold, 4, column, Qt::AlignHCenter);
        }
        levers_.push_back(v);
        ++column;
    }
    if (levers_.empty()) {
        auto* none = new QLabel(QStringLiteral("No lever is wired."), panel);
        none->setProperty("role", "caption");
        grid->addWidget(none, 0, 0);
    }
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(column, 1);

    // Hooks last: the vector no longer moves.
    for (LeverView& v : levers_) {
        LeverView* lever = &v;
        v.gauge->onGrab = [this, lever](double p) { Grab(*lever, p); };
        v.gauge->onDrag = [this, lever](double p) { Drag(*lever, p); };
        v.gauge->onLetGo = [this, lever] { LetGo(*lever); };
        v.gauge->onNudge = [this, lever](double p) {
            // A quick push by hand: the lever is let go at once unless a
            // hand rests on it.
            quadrant_.Move(lever->name, p, 0);
            Refresh();
        };
        if (v.hold)
            connect(v.hold, &QAbstractButton::toggled, this, [this, lever](bool on) {
                if (on)
                    quadrant_.Hold(lever->name);
                else
                    quadrant_.Release(lever->name);
                Refresh();
            });
    }
    return panel;
}

QWidget* QuadrantWindow::BuildTrimPanel()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    auto* panel = Panel(QStringLiteral("Trim and speedbrake latch"), row, this);

    const std::vector<std::string> wheels = quadrant_.Wheels();
    if (!wheels.empty()) {
        wheelName_ = std::find(wheels.begin(), wheels.end(), "trim") != wheels.end() ? "trim" : wheels.front();
        wheel_ = new TrimWheelView(panel);
        row->addWidget(wheel_);
    }
    const std::vector<std::string> servos = quadrant_.Servos();
    auto has = [&servos](const std::string& n) { return std::find(servos.begin(), servos.end(), n) != servos.end(); };
    const std::pair<const char*, const char*> shown[] = {
        {"cpt", "STAB CPT"}, {"fo", "STAB F/O"}, {"rudder", "RUDDER"}, {"latch", "SB LATCH"}};
    for (const auto& [servo, caption] : shown) {
        // The servo of its own board, else the one on the four-channel board.
        DialView d;
        if (has(servo))
            d.servo = servo;
        else if (has(std::string("multi-") + servo))
            d.servo = std::string("multi-") + servo;
        d.dial = new ServoDial(QString::fromLatin1(caption), panel);
        d.dial->SetPresent(!d.servo.empty());
        row->addWidget(d.dial, 1);
        dials_.push_back(d);
    }
    return panel;
}

QWidget* QuadrantWindow::BuildSwitchPanel()
{
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    auto* panel = Panel(QStringLiteral("Switches"), column, this);
    for (std::size_t i = 0; i < hooks_.switches.size(); ++i) {
        auto* box = new QCheckBox(hooks_.switches[i].label, panel);
        connect(box, &QCheckBox::toggled, this, [this, i](bool on) {
            if (hooks_.switches[i].set)
                hooks_.switches[i].set(on);
        });
        column->addWidget(box);
        switches_.push_back(box);
    }
    column->addStretch(1);
    return panel;
}

void QuadrantWindow::Grab(LeverView& lever, double position)
{
    // The hand takes the lever (unless it already rests on it) and puts it
    // where the mouse is; the motor now pushes against the hand.
    if (!quadrant_.Held(lever.name))
        quadrant_.Hold(lever.name);
    quadrant_.Move(lever.name, position, 0);
    Refresh();
}

void QuadrantWindow::Drag(LeverView& lever, double position)
{
    quadrant_.Move(lever.name, position, 0);
    Refresh();
}

void QuadrantWindow::LetGo(LeverView& lever)
{
    // A throttle whose HOLD is on keeps the hand resting on it.
    if (!(lever.hold && lever.hold->isChecked()))
        quadrant_.Release(lever.name);
    Refresh();
}

double QuadrantWindow::LeverAmps(const std::string& lever) const
{
    double amps = 0;
    if (const auto wiring = quadrant_.WiringOf(lever))
        for (const VirtualQuadrant::MotorOutput& m : wiring->motors)
            amps = std::max(amps, quadrant_.Amps(m));
    return amps;
}

void QuadrantWindow::Refresh()
{
    for (LeverView& v : levers_) {
        const double position = quadrant_.Position(v.name).value_or(0);
        const bool held = quadrant_.Held(v.name);
        v.gauge->SetPosition(position);
        v.gauge->SetHandOn(held);
        v.handLamp->SetColor(held ? kLampHandColor : kLampOffColor);
        const QString reading = QString::number(quadrant_.Reading(v.name).value_or(0));
        if (v.reading->text() != reading)
            v.reading->setText(reading);
        if (v.current) {
            const QString amps = QStringLiteral("%1 A").arg(LeverAmps(v.name), 0, 'f', 2);
            if (v.current->text() != amps)
                v.current->setText(amps);
        }
        // Released elsewhere (a restart): the toggle follows.
        if (v.hold && v.hold->isChecked() && !held) {
            const QSignalBlocker block(v.hold);
            v.hold->setChecked(false);
        }
    }
    if (wheel_)
        wheel_->SetTurns(quadrant_.WheelTurns(wheelName_).value_or(0));
    for (DialView& d : dials_)
        if (!d.servo.empty())
            d.dial->SetAngle(quadrant_.ServoAngle(d.servo).value_or(0));

    for (std::size_t i = 0; i < switches_.size(); ++i) {
        const QuadrantSwitch& s = hooks_.switches[i];
        const bool closed = s.closed && s.closed();
        if (switches_[i]->isChecked() != closed) {
            const QSignalBlocker block(switches_[i]);
            switches_[i]->setChecked(closed);
        }
    }

    if (hooks_.flight && phase_) {
        const QuadrantFlight f = hooks_.flight();
        const QString phase = f.paused ? f.phase + QStringLiteral(" (paused)") : f.phase;
        if (phase_->text() != phase)
            phase_->setText(phase);
        const long secs = std::isfinite(f.timeS) ? std::max(0L, long(f.timeS)) : 0L;
        const QString time =
            QStringLiteral("%1:%2").arg(secs / 60).arg(secs % 60, 2, 10, QLatin1Char('0'));
        if (time_->text() != time)
            time_->setText(time);
        const QString pauseText = f.paused ? QStringLiteral("Resume") : QStringLiteral("Pause");
        if (pause_->text() != pauseText)
            pause_->setText(pauseText);
        for (const SpeedView& s : speeds_) {
            const bool on = std::abs(s.factor - f.speed) < 1e-6;
            if (s.button->isChecked() != on)
                s.button->setChecked(on);
        }
    }

    if (hooks_.bridgeMessages && messages_) {
        std::vector<std::string> shown = hooks_.bridgeMessages();
        if (shown.size() > kShownMessages)
            shown.erase(shown.begin(), shown.end() - long(kShownMessages));
        if (shown != shownMessages_) {
            QStringList lines;
            for (const std::string& m : shown)
                lines << QString::fromStdString(m);
            messages_->setPlainText(lines.join(QLatin1Char('\n')));
            messages_->verticalScrollBar()->setValue(messages_->verticalScrollBar()->maximum());
            shownMessages_ = std::move(shown);
        }
    }
}

LeverGauge* QuadrantWindow::Gauge(const std::string& lever) const
{
    for (const LeverView& v : levers_)
        if (v.name == lever)
            return v.gauge;
    return nullptr;
}

QAbstractButton* QuadrantWindow::HoldButton(const std::string& throttle) const
{
    for (const LeverView& v : levers_)
        if (v.name == throttle)
            return v.hold;
    return nullptr;
}

QLabel* QuadrantWindow::CurrentReadout(const std::string& throttle) const
{
    for (const LeverView& v : levers_)
        if (v.name == throttle)
            return v.current;
    return nullptr;
}

QLabel* QuadrantWindow::ReadingReadout(const std::string& lever) const
{
    for (const LeverView& v : levers_)
        if (v.name == lever)
            return v.reading;
    return nullptr;
}

ServoDial* QuadrantWindow::Dial(const std::string& servo) const
{
    for (const DialView& d : dials_)
        if (d.servo == servo)
            return d.dial;
    return nullptr;
}

QCheckBox* QuadrantWindow::SwitchBox(std::size_t index) const
{
    return index < switches_.size() ? switches_[index] : nullptr;
}

QPushButton* QuadrantWindow::SpeedButton(double factor) const
{
    for (const SpeedView& s : speeds_)
        if (s.factor == factor)
            return s.button;
    return nullptr;
}

} // namespace zrk

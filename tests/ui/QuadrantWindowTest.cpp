// The "Quadrant" window on a virtual quadrant stepped on virtual time: the
// levers follow the model, a drag is a hand on the lever, HOLD rests a hand
// on a throttle (its motor stalls), switches and flight controls reach
// their hooks. Runs on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/VirtualWorld.h"
#include "app/demo/DemoCockpit.h"
#include "ui/QuadrantWidgets.h"
#include "ui/QuadrantWindow.h"
#include "ui/Theme.h"

namespace zrk {
namespace {

constexpr int kKit = 101, kMotors = 201, kTrimMotor = 202, kServo = 301;

class QuadrantWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        w.boards.Plug(BoardKind::InterfaceKit, kKit);
        w.boards.Plug(BoardKind::MotorControl, kMotors);
        w.boards.Plug(BoardKind::MotorControl, kTrimMotor);
        w.boards.Plug(BoardKind::AdvancedServo, kServo);
        kit = w.boards.CreateInterfaceKit();
        motors = w.boards.CreateMotorControl();
        trimMotor = w.boards.CreateMotorControl();
        servo = w.boards.CreateAdvancedServo();
        kit->Open(kKit);
        motors->Open(kMotors);
        trimMotor->Open(kTrimMotor);
        servo->Open(kServo);
        w.host.RunFor(50);

        // Wired out of order: the window sorts them into the quadrant's row.
        w.quadrant.Wire("flaps", {kKit, 7, {}});
        w.quadrant.Wire("throttle2", {kKit, 1, {{kMotors, 1}}});
        w.quadrant.Wire("reverser1", {kKit, 4, {}});
        w.quadrant.Wire("throttle1", {kKit, 0, {{kMotors, 0}}});
        w.quadrant.WireWheel("trim", {kTrimMotor, 0});
        w.quadrant.WireServo("cpt", {kServo, 0});
        w.QuadrantOn();
    }
    void TearDown() override { window.reset(); }

    void Open(QuadrantHooks hooks = {})
    {
        window = std::make_unique<QuadrantWindow>(w.quadrant, std::move(hooks));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    static void Mouse(QWidget* target, QEvent::Type type, int y)
    {
        const QPointF at(target->width() / 2.0, y);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }

    VirtualWorld w;
    std::unique_ptr<IInterfaceKit> kit;
    std::unique_ptr<IMotorControl> motors, trimMotor;
    std::unique_ptr<IAdvancedServo> servo;
    std::unique_ptr<QuadrantWindow> window;
};

TEST_F(QuadrantWindowTest, DragIsAHandMovingTheLever)
{
    Open();
    LeverGauge* gauge = window->Gauge("throttle1");
    ASSERT_NE(gauge, nullptr);
    ASSERT_NE(window->Gauge("flaps"), nullptr);

    const int grabY = gauge->YOf(300), dragY = gauge->YOf(820);
    Mouse(gauge, QEvent::MouseButtonPress, grabY);
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    EXPECT_NEAR(*w.quadrant.Position("throttle1"), gauge->PositionAt(grabY), 1e-9);
    EXPECT_TRUE(gauge->HandOn());

    Mouse(gauge, QEvent::MouseMove, dragY);
    Mouse(gauge, QEvent::MouseButtonRelease, dragY);
    const double expected = gauge->PositionAt(dragY);
    EXPECT_NEAR(expected, 820, 10);
    EXPECT_FALSE(w.quadrant.Held("throttle1"));

    w.host.RunFor(100);
    window->Refresh();
    EXPECT_NEAR(*w.quadrant.Position("throttle1"), expected, 1e-9);
    EXPECT_DOUBLE_EQ(gauge->Position(), expected);
    EXPECT_EQ(window->ReadingReadout("throttle1")->text(), QString::number(LeverReading(expected)));
    EXPECT_FALSE(gauge->HandOn());
    // The other levers stayed where they were.
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle2"), 0);

    // Dragged past the ends of the slot: the lever stops at its end stops.
    Mouse(gauge, QEvent::MouseButtonPress, -50);
    Mouse(gauge, QEvent::MouseButtonRelease, -50);
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), 1000);
    Mouse(gauge, QEvent::MouseButtonPress, gauge->height() + 50);
    Mouse(gauge, QEvent::MouseButtonRelease, gauge->height() + 50);
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), 0);
    // A move without a press is no hand.
    Mouse(gauge, QEvent::MouseMove, grabY);
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), 0);

    // The keyboard nudges the lever with the focus, within its travel.
    const struct {
        Qt::Key key;
        double to;
    } keys[] = {{Qt::Key_Up, 10}, {Qt::Key_PageUp, 110}, {Qt::Key_Down, 100}, {Qt::Key_End, 1000},
                {Qt::Key_PageUp, 1000}, {Qt::Key_PageDown, 900}, {Qt::Key_Home, 0}, {Qt::Key_Left, 0}};
    gauge->setFocus();
    for (const auto& k : keys) {
        QTest::keyClick(gauge, k.key);
        EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), k.to) << k.key;
        EXPECT_FALSE(w.quadrant.Held("throttle1"));
    }
}

TEST_F(QuadrantWindowTest, LeversFollowTheirMotorsAndHoldRaisesTheCurrent)
{
    Open();
    motors->SetVelocity(0, 50);
    w.host.RunFor(600);
    window->Refresh();
    const double running = *w.quadrant.Position("throttle1");
    EXPECT_GT(running, 100);
    EXPECT_DOUBLE_EQ(window->Gauge("throttle1")->Position(), running);
    EXPECT_EQ(window->CurrentReadout("throttle1")->text(), QStringLiteral("0.14 A"));
    // Hand-only levers show no current and have no HOLD.
    EXPECT_EQ(window->CurrentReadout("flaps"), nullptr);
    EXPECT_EQ(window->HoldButton("reverser1"), nullptr);

    QAbstractButton* hold = window->HoldButton("throttle1");
    ASSERT_NE(hold, nullptr);
    hold->click();
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    w.host.RunFor(200);
    window->Refresh();
    const double held = *w.quadrant.Position("throttle1");
    EXPECT_DOUBLE_EQ(held, running);
    EXPECT_EQ(window->CurrentReadout("throttle1")->text(), QStringLiteral("0.75 A"));
    EXPECT_TRUE(window->Gauge("throttle1")->HandOn());
    w.host.RunFor(200);
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), held);

    // A drag while HOLD is on leaves the hand resting on the lever.
    LeverGauge* gauge = window->Gauge("throttle1");
    Mouse(gauge, QEvent::MouseButtonPress, gauge->YOf(500));
    Mouse(gauge, QEvent::MouseButtonRelease, gauge->YOf(500));
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    EXPECT_TRUE(hold->isChecked());

    hold->click();
    EXPECT_FALSE(w.quadrant.Held("throttle1"));
    w.host.RunFor(200);
    window->Refresh();
    EXPECT_EQ(window->CurrentReadout("throttle1")->text(), QStringLiteral("0.14 A"));
    EXPECT_GT(*w.quadrant.Position("throttle1"), gauge->PositionAt(gauge->YOf(500)));

    // Released by someone else: the toggle follows at the next refresh.
    hold->click();
    w.quadrant.Release("throttle1");
    window->Refresh();
    EXPECT_FALSE(hold->isChecked());
}

TEST_F(QuadrantWindowTest, WheelAndDialsShowTheirParts)
{
    Open();
    trimMotor->SetVelocity(0, 100);
    servo->SetEngaged(0, true);
    servo->SetPosition(0, 120);
    w.host.RunFor(2000);
    window->Refresh();
    ASSERT_NE(window->Wheel(), nullptr);
    EXPECT_GT(window->Wheel()->Turns(), 1.5);
    EXPECT_DOUBLE_EQ(window->Wheel()->Turns(), *w.quadrant.WheelTurns("trim"));
    ServoDial* cpt = window->Dial("cpt");
    ASSERT_NE(cpt, nullptr);
    EXPECT_TRUE(cpt->Present());
    EXPECT_DOUBLE_EQ(cpt->Angle(), 120);
    // Servos that are not wired have no dial of theirs.
    EXPECT_EQ(window->Dial("fo"), nullptr);
}

TEST_F(QuadrantWindowTest, SwitchesAreToggles)
{
    std::vector<bool> inputs;
    kit->OnInputChange = [&inputs](int input, bool state) {
        if (input == 2)
            inputs.push_back(state);
    };
    QuadrantHooks hooks;
    hooks.switches.push_back(KitSwitch(w.boards, "FUEL 3", kKit, 2));
    hooks.switches.push_back(KitSwitch(w.boards, "NOT OPENED", 999, 0));
    hooks.switches.push_back(KitSwitch(w.boards, "BAD INPUT", kKit, 42));
    Open(std::move(hooks));

    QCheckBox* fuel = window->SwitchBox(0);
    ASSERT_NE(fuel, nullptr);
    EXPECT_FALSE(fuel->isChecked());
    fuel->click();
    w.host.RunFor(10);
    EXPECT_TRUE(w.boards.Board(kKit).input[2]);
    fuel->click();
    w.host.RunFor(10);
    EXPECT_EQ(inputs, (std::vector<bool>{true, false}));

    // Set outside the window: the toggle follows, sending nothing back.
    w.boards.Board(kKit).Input(2, true);
    w.host.RunFor(10);
    window->Refresh();
    EXPECT_TRUE(fuel->isChecked());
    EXPECT_EQ(inputs.size(), 3u);

    // A switch that cannot be set springs back.
    for (std::size_t i : {1u, 2u}) {
        window->SwitchBox(i)->click();
        window->Refresh();
        EXPECT_FALSE(window->SwitchBox(i)->isChecked()) << i;
    }
    EXPECT_EQ(window->SwitchBox(3), nullptr);
}

TEST_F(QuadrantWindowTest, FlightPanelShowsAndSteersTheFlight)
{
    QuadrantFlightState flight{75.4, "climb", false, 1};
    int restarts = 0;
    std::vector<std::string> received;
    QuadrantHooks hooks;
    hooks.flight = [&flight] { return flight; };
    hooks.setPaused = [&flight](bool paused) { flight.paused = paused; };
    hooks.restart = [&] {
        ++restarts;
        flight.timeS = 0;
    };
    hooks.setSpeed = [&flight](double f) { flight.speed = f; };
    hooks.bridgeMessages = [&received] { return received; };
    Open(std::move(hooks));

    EXPECT_EQ(window->PhaseLabel()->text(), QStringLiteral("climb"));
    window->PauseButton()->click();
    EXPECT_TRUE(flight.paused);
    EXPECT_EQ(window->PhaseLabel()->text(), QStringLiteral("climb (paused)"));
    EXPECT_EQ(window->PauseButton()->text(), QStringLiteral("Resume"));
    window->PauseButton()->click();
    EXPECT_FALSE(flight.paused);

    window->SpeedButton(4)->click();
    EXPECT_EQ(flight.speed, 4);
    for (double f : QuadrantWindow::SpeedFactors())
        EXPECT_EQ(window->SpeedButton(f)->isChecked(), f == 4) << f;
    // Sped up elsewhere (or clamped): the buttons follow the flight.
    flight.speed = 0.5;
    window->Refresh();
    for (double f : QuadrantWindow::SpeedFactors())
        EXPECT_FALSE(window->SpeedButton(f)->isChecked()) << f;

    window->RestartButton()->click();
    EXPECT_EQ(restarts, 1);

    // The newest messages, newest last.
    for (int i = 0; i < 30; ++i)
        received.push_back("MSG=" + std::to_string(i));
    window->Refresh();
    const QStringList lines = window->MessageList()->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), qsizetype(QuadrantWindow::kShownMessages));
    EXPECT_EQ(lines.front(), QStringLiteral("MSG=18"));
    EXPECT_EQ(lines.back(), QStringLiteral("MSG=29"));
}

TEST_F(QuadrantWindowTest, WithoutHooksOnlyTheQuadrantShows)
{
    Open();
    EXPECT_EQ(window->PauseButton(), nullptr);
    EXPECT_EQ(window->MessageList(), nullptr);
    EXPECT_EQ(window->SwitchBox(0), nullptr);
    // Throttles, then reversers, then flaps, whatever the wiring order.
    std::vector<int> xs;
    for (const char* lever : {"throttle1", "throttle2", "reverser1", "flaps"})
        xs.push_back(window->Gauge(lever)->mapTo(window.get(), QPoint()).x());
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
    EXPECT_EQ(window->Gauge("throttle1")->Caption(), QStringLiteral("THR 1"));
    EXPECT_EQ(window->Gauge("reverser1")->Caption(), QStringLiteral("REV 1"));
    EXPECT_EQ(window->Gauge("flaps")->Caption(), QStringLiteral("FLAPS"));
}

TEST(QuadrantWindowEmpty, NoLeverNoWheelNoServo)
{
    VirtualWorld w;
    QuadrantWindow window(w.quadrant, {});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Refresh();
    EXPECT_EQ(window.Gauge("throttle1"), nullptr);
    EXPECT_EQ(window.Wheel(), nullptr);
    EXPECT_EQ(window.Dial("cpt"), nullptr);
}

// The window on the demo cockpit, with the controller running on it.
TEST(QuadrantWindowCockpit, ShowsTheCockpitAndSteersItsFlight)
{
    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    DemoCockpit cockpit(host, host);
    std::string error;
    ASSERT_TRUE(DemoCockpit::PrepareFolder(files, "/demo", error)) << error;
    TForm1 form(cockpit.MakePorts(host, host, process, dialogs, files, "/demo", socket, 698));
    host.Bind(&form);
    form.FormCreate();
    ASSERT_EQ(cockpit.Wire(form), "");
    host.SetPeriodicStep(VirtualQuadrant::kStepMs, [&cockpit](uint64_t ms) { cockpit.Step(ms); });
    host.RunFor(3000);

    QuadrantWindow window(cockpit);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const std::string& lever : DemoCockpit::LeverNames())
        EXPECT_NE(window.Gauge(lever), nullptr) << lever;
    for (const char* throttle : {"throttle1", "throttle2", "throttle3", "throttle4"})
        EXPECT_NE(window.HoldButton(throttle), nullptr) << throttle;
    for (const char* servo : {"cpt", "fo", "rudder", "latch"})
        EXPECT_NE(window.Dial(servo), nullptr) << servo;
    ASSERT_NE(window.Wheel(), nullptr);

    // Every switch of the cockpit, each reaching its kit.
    const auto& switches = DemoCockpit::Switches();
    ASSERT_NE(window.SwitchBox(switches.size() - 1), nullptr);
    EXPECT_EQ(window.SwitchBox(switches.size()), nullptr);
    for (std::size_t i = 0; i < switches.size(); ++i) {
        const bool was = cockpit.SwitchClosed(switches[i].name);
        EXPECT_EQ(window.SwitchBox(i)->isChecked(), was) << switches[i].name;
        window.SwitchBox(i)->click();
        EXPECT_EQ(cockpit.SwitchClosed(switches[i].name), !was) << switches[i].name;
    }

    window.PauseButton()->click();
    EXPECT_TRUE(cockpit.Flight().Paused());
    const double t = cockpit.Flight().TimeS();
    host.RunFor(1000);
    EXPECT_EQ(cockpit.Flight().TimeS(), t);
    window.PauseButton()->click();
    EXPECT_FALSE(cockpit.Flight().Paused());
    window.SpeedButton(8)->click();
    EXPECT_EQ(cockpit.Flight().Speed(), 8);
    window.RestartButton()->click();
    EXPECT_LT(cockpit.Flight().TimeS(), 1);
    window.Refresh();
    EXPECT_EQ(window.PhaseLabel()->text(), QString::fromLatin1(cockpit.Flight().PhaseName()));

    for (int i = 0; i < 3; ++i)
        cockpit.BridgeReceived("MCP_TEST=" + std::to_string(i));
    window.Refresh();
    // Each name once: its latest value, how many came, when the last came.
    const QString list = window.MessageList()->toPlainText();
    EXPECT_EQ(list.count(QStringLiteral("MCP_TEST=")), 1) << list.toStdString();
    EXPECT_TRUE(list.section(QLatin1Char('\n'), -1).startsWith(QStringLiteral("MCP_TEST=2  x3  ")))
        << list.toStdString();

    // HOLD on a throttle: the cockpit's lever is held.
    window.HoldButton("throttle3")->click();
    EXPECT_TRUE(cockpit.Quadrant().Held("throttle3"));
    window.close();
    host.SetPeriodicStep(0, {});
    form.FormDestroy();
}

TEST_F(QuadrantWindowTest, AHoldThatIsOnLooksPressedInEitherTheme)
{
    Open();
    QAbstractButton* hold = window->HoldButton("throttle1");
    ASSERT_NE(hold, nullptr);
    // The colour at the middle of the button's face, beside its text.
    auto face = [hold] { return hold->grab().toImage().pixelColor(4, hold->height() / 2); };
    for (Theme theme : {Theme::Dark, Theme::Light}) {
        ApplyTheme(*qApp, theme);
        hold->setChecked(false);
        const QColor up = face();
        hold->setChecked(true);
        const QColor down = face();
        EXPECT_GT(std::abs(up.lightness() - down.lightness()) + std::abs(up.hue() - down.hue()), 40)
            << "up " << up.name().toStdString() << ", held " << down.name().toStdString();
        hold->setChecked(false);
    }
}

} // namespace
} // namespace zrk

int main(int argc, char** argv)
{
    // Headless whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zrk::ApplyTheme(app, zrk::Theme::Light);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

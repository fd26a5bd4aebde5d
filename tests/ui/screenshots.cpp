// zrk-tq-screens OUT_DIR: draws the controller's window in a lived-in state
// and saves pictures of it for the README (scripts/screenshots.sh runs it
// under Xvfb). The controller is the real one on virtual time: a 747
// quadrant with its boards attached, the levers moved by hand, the
// autothrottle engaged, the trim wheel turning, a few lamps lit. Then the
// virtual cockpit mid-flight: the controller on the demo cockpit, its two
// windows placed on the screen as the program places them, the whole screen
// in one picture (a laptop's 1366x768 under scripts/screenshots.sh). Last,
// the Charts window on the virtual cockpit during the take-off and during
// the trim's tracking in the climb.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/demo/DemoCockpit.h"
#include "support/Rig.h"
#include "ui/ChartsWindow.h"
#include "ui/MainWindow.h"
#include "ui/QuadrantWindow.h"

namespace {

using zrk::test::Config;

// Flight times of the Charts window's pictures, in seconds.
constexpr double kTakeoffShotS = 48, kTrimShotS = 88;

constexpr int kKit = 101, kSecondKit = 102, kMotors12 = 201, kMotors34 = 202, kSpeedbrakeMotor = 203,
              kTrimMotor = 204;

std::string SceneConfig()
{
    return Config({
        {"AIRCRAFT", "TYPE", "747"},
        {"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "101"},
        {"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1_PBRAKE_STAB", "102"},
        {"PHIDGETS_SERIAL_NUMBERS", "MOTOR2_THROTTLES_1_2", "201"},
        {"PHIDGETS_SERIAL_NUMBERS", "MOTOR3_THROTTLES_3_4", "202"},
        {"PHIDGETS_SERIAL_NUMBERS", "MOTOR1_SPEEDBRAKE", "203"},
        {"PHIDGETS_SERIAL_NUMBERS", "MOTOR_TRIM", "204"},
        {"PHIDGETS_SERIAL_NUMBERS", "SERVO1_CPT_TRIM", "301"},
        {"PHIDGETS_SERIAL_NUMBERS", "SERVO2_FO_TRIM", "302"},
        {"PHIDGETS_SERIAL_NUMBERS", "SERVO3_RUDDER_TRIM", "303"},
        {"PHIDGETS_SERIAL_NUMBERS", "SERVO4_SPEEDBRAKE", "304"},
        {"THROTTLES", "THROTTLE_1_IDLE", "110"}, {"THROTTLES", "THROTTLE_1_FULL", "905"},
        {"THROTTLES", "THROTTLE_2_IDLE", "104"}, {"THROTTLES", "THROTTLE_2_FULL", "897"},
        {"THROTTLES", "THROTTLE_3_IDLE", "98"},  {"THROTTLES", "THROTTLE_3_FULL", "910"},
        {"THROTTLES", "THROTTLE_4_IDLE", "115"}, {"THROTTLES", "THROTTLE_4_FULL", "902"},
        {"REVERSERS", "REVERSER_1_OFF", "120"},  {"REVERSERS", "REVERSER_1_IDLE", "410"},
        {"REVERSERS", "REVERSER_1_FULL", "880"}, {"REVERSERS", "REVERSER_2_OFF", "118"},
        {"REVERSERS", "REVERSER_2_IDLE", "405"}, {"REVERSERS", "REVERSER_2_FULL", "884"},
        {"REVERSERS", "REVERSER_3_OFF", "125"},  {"REVERSERS", "REVERSER_3_IDLE", "400"},
        {"REVERSERS", "REVERSER_3_FULL", "876"}, {"REVERSERS", "REVERSER_4_OFF", "121"},
        {"REVERSERS", "REVERSER_4_IDLE", "412"}, {"REVERSERS", "REVERSER_4_FULL", "879"},
        {"SPEEDBRAKE", "SPEEDBRAKE_INSTALLED", "1"}, {"SPEEDBRAKE", "SPEEDBRAKE_DN", "82"},
        {"SPEEDBRAKE", "SPEEDBRAKE_ARM", "260"},     {"SPEEDBRAKE", "SPEEDBRAKE_UP", "910"},
        {"FLAPS", "FLAP_UP", "40"},  {"FLAPS", "FLAP_1", "120"}, {"FLAPS", "FLAP_5", "205"},
        {"FLAPS", "FLAP_10", "290"}, {"FLAPS", "FLAP_20", "412"}, {"FLAPS", "FLAP_25", "560"},
        {"FLAPS", "FLAP_30", "700"}, {"TRIM", "MOTOR_NUMBER", "0"},
    });
}

// The world outside: boards attached, levers where a pilot in a climb
// would have them, the aircraft's state from the bridge's records.
void SetScene(zrk::test::Rig& rig)
{
    using zrk::BoardKind;
    rig.boards.Plug(BoardKind::InterfaceKit, kKit);
    rig.boards.Plug(BoardKind::InterfaceKit, kSecondKit);
    for (int serial : {kMotors12, kMotors34, kSpeedbrakeMotor, kTrimMotor})
        rig.boards.Plug(BoardKind::MotorControl, serial);
    for (int serial : {301, 302, 303, 304})
        rig.boards.Plug(BoardKind::AdvancedServo, serial);
    rig.host.RunFor(3000);

    // Throttles on the main card (inputs 0..3), reversers stowed (4..7 on
    // the 747), speedbrake and flaps on the second board (inputs 6 and 7).
    const int main[] = {668, 671, 659, 664, 122, 119, 127, 123};
    for (int input = 0; input < 8; ++input)
        rig.boards.Board(kKit).Sensor(input, main[input]);
    rig.boards.Board(kSecondKit).Sensor(6, 262);
    rig.boards.Board(kSecondKit).Sensor(7, 411);
    // Fuel control switches 1..4 at RUN.
    for (int input = 0; input < 4; ++input)
        rig.boards.Board(kKit).Input(input, true);

    zrk::AircraftSnapshot& a = rig.panelBus.aircraft;
    a.set_autothrottle_mode(2);
    a.set_at_engaged_left(1);
    a.set_at_engaged_right(1);
    a.set_at_full_left(100);
    a.set_at_full_right(100);
    a.set_at_command_left(73.5);
    a.set_at_command_right(73.2);
    a.set_speedbrake_arm_cmd(1);
    a.set_fuel_control_light_3(1);
    a.set_engine_fire_2(1);
    a.set_trim_track_request(1);
    zrk::SimulatorSnapshot& s = rig.panelBus.simulator;
    s.set_sim_throttle_1(12041);
    s.set_sim_throttle_2(11992);
    s.set_speed_value(248.0);
    s.set_stab_trim_value(1800);
    s.set_rudder_trim_value(-1250);
    rig.host.RunFor(4000);
    // The simulator trims nose down: the wheel follows.
    s.set_stab_trim_value(900);
    rig.host.RunFor(700);
}

bool Save(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
    return ok;
}

// The controller on the demo cockpit on virtual time, as the program's demo
// mode runs it on real time: the built-in bridge hands what the controller
// sends to the cockpit.
struct DemoRun {
    zrk::TestHost host;
    zrk::VirtualProcessEnv process;
    zrk::VirtualDialogs dialogs;
    zrk::MemoryFileSystem files;
    zrk::VirtualBridgeSocket socket{host, zrk::VirtualBridgeSocket::Answer::Accept};
    zrk::DemoCockpit cockpit{host, host};
    std::unique_ptr<zrk::TForm1> form;
    std::size_t delivered = 0;

    bool Start()
    {
        const std::string folder = "/opt/zrk-demo";
        std::string error;
        if (!zrk::DemoCockpit::PrepareFolder(files, folder, error)) {
            std::fprintf(stderr, "zrk-tq-screens: demo folder: %s\n", error.c_str());
            return false;
        }
        form = std::make_unique<zrk::TForm1>(cockpit.MakePorts(host, host, process, dialogs, files, folder, socket, 698));
        host.Bind(form.get());
        form->FormCreate();
        error = cockpit.Wire(*form);
        if (!error.empty()) {
            std::fprintf(stderr, "zrk-tq-screens: demo quadrant: %s\n", error.c_str());
            return false;
        }
        host.SetPeriodicStep(zrk::VirtualQuadrant::kStepMs, [this](uint64_t ms) {
            cockpit.Step(ms);
            const std::vector<std::string> sent = socket.SentMessages();
            for (; delivered < sent.size(); ++delivered)
                cockpit.BridgeReceived(sent[delivered]);
        });
        return true;
    }
    // Runs until the flight's clock reaches `seconds` (within its loop).
    void RunUntil(double seconds)
    {
        for (int i = 0; i < 10000 && cockpit.Flight().TimeS() < seconds; ++i)
            host.RunFor(100);
    }
    void Stop()
    {
        host.SetPeriodicStep(0, {});
        form->FormDestroy();
    }
};

// The virtual cockpit in its climb: the demo run until the autothrottle
// drives the levers and the trim wheel turns; then the screen with the main
// window and the "Quadrant" window where the program puts them (beside each
// other when both fit, else the Quadrant window in front).
bool CockpitShot(const QDir& out)
{
    DemoRun demo;
    if (!demo.Start())
        return false;
    zrk::DemoCockpit& cockpit = demo.cockpit;

    // Into the climb, then on until the trim wheel is seen turning (at most
    // to the end of the climb).
    demo.host.RunFor(75'000);
    double turns = *cockpit.Quadrant().WheelTurns("trim");
    for (int i = 0; i < 100 && cockpit.Flight().TimeS() < 99; ++i) {
        demo.host.RunFor(200);
        const double now = *cockpit.Quadrant().WheelTurns("trim");
        const bool turning = std::abs(now - turns) > 0.01;
        turns = now;
        if (turning)
            break;
    }
    std::printf("cockpit at %.1f s of the flight (%s), trim wheel at %.2f turns\n", cockpit.Flight().TimeS(),
                cockpit.Flight().PhaseName(), turns);

    zrk::MainWindow window(*demo.form, zrk::WindowOptions{zrk::Theme::Light, QString()});
    zrk::QuadrantWindow quadrant(cockpit);
    window.show();
    zrk::PlaceQuadrantWindow(quadrant, window);
    quadrant.show();
    if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitForWindowExposed(&quadrant)) {
        std::fprintf(stderr, "zrk-tq-screens: the cockpit's windows did not show\n");
        return false;
    }
    QTest::qWait(200);
    // No focus ring on the picture.
    if (QWidget* focus = quadrant.focusWidget())
        focus->clearFocus();
    window.Refresh();
    quadrant.Refresh();
    QTest::qWait(100);

    // The screen as the user sees it; no window manager draws frames here.
    const QPixmap both = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString path = out.filePath("cockpit.png");
    const bool ok = both.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());

    window.close();
    quadrant.close();
    demo.Stop();
    return ok;
}

// The Charts window on the virtual cockpit, opened from the Tools menu as
// the flight starts and shown over its 30 s span: during the take-off (the
// autothrottle in TOGA driving the levers up from idle) and later in the
// climb (the trim wheel tracking the simulator's trim).
bool ChartsShots(const QDir& out)
{
    DemoRun demo;
    if (!demo.Start())
        return false;
    zrk::MainWindow window(*demo.form, zrk::WindowOptions{zrk::Theme::Light, QString()});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "zrk-tq-screens: the main window did not show\n");
        return false;
    }
    demo.RunUntil(2);
    QAction* item = window.MenuItem("tools_charts");
    if (item)
        item->trigger();
    zrk::ChartsWindow* charts = window.Charts();
    if (!charts || !QTest::qWaitForWindowExposed(charts)) {
        std::fprintf(stderr, "zrk-tq-screens: the Charts window did not show\n");
        return false;
    }
    // At the top-left corner of the screen, the main window behind it.
    charts->move(0, 0);
    if (QWidget* focus = charts->focusWidget())
        focus->clearFocus();

    const auto shot = [&](double flightS, const char* name) {
        demo.RunUntil(flightS);
        charts->Refresh();
        window.Refresh();
        QTest::qWait(150);
        std::printf("charts at %.1f s of the flight (%s)\n", demo.cockpit.Flight().TimeS(),
                    demo.cockpit.Flight().PhaseName());
        return Save(charts, out.filePath(QString::fromLatin1(name)));
    };
    // The take-off roll: TOGA from 30 s, the levers driven to it.
    bool ok = shot(kTakeoffShotS, "charts-takeoff.png");
    // The climb: the trim moving nose up from 60 s, the wheel following.
    ok = shot(kTrimShotS, "charts-trim.png") && ok;

    window.close();
    demo.Stop();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: zrk-tq-screens OUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "zrk-tq-screens: cannot create %s\n", argv[1]);
        return 1;
    }

    zrk::test::Rig rig;
    rig.Start(SceneConfig());
    SetScene(rig);

    zrk::MainWindow window(*rig.form, zrk::WindowOptions{zrk::Theme::Light, QString()});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "zrk-tq-screens: the window did not show\n");
        return 1;
    }
    QTest::qWait(200);
    bool ok = Save(&window, out.filePath("main-window.png"));

    window.SetTheme(zrk::Theme::Dark, false);
    QTest::qWait(200);
    ok = Save(&window, out.filePath("main-window-dark.png")) && ok;
    window.SetTheme(zrk::Theme::Light, false);

    // The throttle calibration dialog, opened as the user opens it.
    static_cast<QPushButton*>(window.Widget("Form1", "Button4"))->click();
    QWidget* dialog = window.Dialog("Form2");
    if (!dialog || !QTest::qWaitForWindowExposed(dialog)) {
        std::fprintf(stderr, "zrk-tq-screens: the throttle calibration dialog did not show\n");
        return 1;
    }
    QTest::qWait(200);
    ok = Save(dialog, out.filePath("throttle-calibration.png")) && ok;

    // The close question is answered by the virtual dialogs ("No").
    window.close();
    rig.form->FormDestroy();

    ok = CockpitShot(out) && ok;
    ok = ChartsShots(out) && ok;
    return ok ? 0 : 1;
}

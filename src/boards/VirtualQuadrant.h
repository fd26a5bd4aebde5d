#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boards/VirtualBoards.h"
#include "config/Settings.h"

namespace zrk {

// The mechanics of the quadrant behind the virtual boards: motors move
// levers, and each lever's potentiometer is read by an interface kit input.
// So a drive's loop closes on virtual time the way it closes on the desk:
// a velocity sent to a motor board moves the lever, the kit reports the new
// reading through its change trigger, and a hand on a lever or an end stop
// raises the motor current.
//
//  - A motor at velocity v (percent) moves its lever by
//    kCountsPerSecondPerPercent * v raw counts a second: 100 % crosses the
//    whole travel 0..1000 in 1.5 s. A positive velocity raises the reading.
//  - The motor's output follows its command at kRampPerAcceleration times
//    the board's acceleration setting, in percent a second (50 brings a
//    motor from rest to 50 % in 0.1 s, 15 from 7 % to -7 % in 0.09 s).
//  - The lever stops at 0 and at 1000.
//  - Current: none while the motor's output is 0; kRunningAmps plus
//    kRunningAmpsPerPercent * |v| while the lever runs freely (0.14 A at
//    50 %, 0.24 A at 100 %); kStallAmps plus kStallAmpsPerPercent * |v|
//    (0.56 A and more) while a hand holds the lever or the motor pushes it
//    against an end stop.
//  - A motor runs while its device is plugged and the board was attached:
//    a board closed by the program keeps its last velocity, as the real one
//    does; an unplugged one stops. Where two controls are opened on one
//    device (the speedbrake motor sharing the trim board), the device
//    follows the newer command of either.
//  - A wheel (the trim wheel) turns with its motor, without end stops:
//    kWheelTurnsPerSecondPerPercent * v turns a second, one turn a second
//    at 100 %; the motor ramps as a lever's does.
//  - A servo's arm follows the position its board holds while the servo is
//    engaged, at the board's velocity limit when speed ramping is on, and
//    never faster than kServoDegreesPerSecond (a hobby servo's own speed).
//
// The model advances in steps of at most kStepMs. Nothing here runs by
// itself: the owner calls Advance as virtual time passes.
class VirtualQuadrant {
public:
    static constexpr double kCountsPerSecondPerPercent = 1000.0 / 150.0;
    static constexpr double kRampPerAcceleration = 10.0;
    // A board whose acceleration was never set ramps at this setting.
    static constexpr double kDefaultAcceleration = 50.0;
    static constexpr double kRunningAmps = 0.04, kRunningAmpsPerPercent = 0.002;
    static constexpr double kStallAmps = 0.55, kStallAmpsPerPercent = 0.004;
    static constexpr int kMinReading = 0, kMaxReading = 1000;
    static constexpr uint32_t kStepMs = 8;
    static constexpr double kWheelTurnsPerSecondPerPercent = 0.01;
    static constexpr double kServoDegreesPerSecond = 400.0;   // 60 degrees in 0.15 s

    struct MotorOutput {
        int serial = 0;   // the motor controller's serial number
        int output = 0;   // its motor index
        bool operator==(const MotorOutput&) const = default;
    };
    struct Wiring {
        int kitSerial = 0;   // the interface kit that reads the lever
        int input = 0;       // its analog input
        // The motors that move the lever (none: a lever moved by hand only).
        std::vector<MotorOutput> motors;
    };

    // One output of a servo board (advanced or standard).
    struct ServoOutput {
        int serial = 0;
        int index = 0;
        bool operator==(const ServoOutput&) const = default;
    };

    explicit VirtualQuadrant(VirtualBoardLibrary& boards) : boards_(boards) {}

    // Ties lever `name` to a kit input and its motors, replacing an earlier
    // wiring of that name. The lever starts at the kit's present reading.
    // False (nothing changed) for an input or output outside 0..7.
    bool Wire(const std::string& name, const Wiring& wiring);
    bool Has(const std::string& name) const { return Find(name) != nullptr; }
    std::vector<std::string> Levers() const;
    std::optional<Wiring> WiringOf(const std::string& name) const;

    // Ties wheel `name` to the motor output that turns it, replacing an
    // earlier wiring of that name; it starts at 0 turns. False (nothing
    // changed) for an output outside 0..7.
    bool WireWheel(const std::string& name, const MotorOutput& motor);
    std::vector<std::string> Wheels() const;
    // Turns since the wheel was wired (positive with positive velocity).
    std::optional<double> WheelTurns(const std::string& name) const;

    // Ties servo `name` to a servo board output, replacing an earlier wiring
    // of that name; its arm starts where the board holds it (0 before the
    // board has had a position). False for an output outside 0..7.
    bool WireServo(const std::string& name, const ServoOutput& servo);
    std::vector<std::string> Servos() const;
    // The servo arm's angle in degrees.
    std::optional<double> ServoAngle(const std::string& name) const;

    // Runs `ms` of time.
    void Advance(uint64_t ms);
    // Time advanced so far.
    uint64_t NowMs() const { return now_; }

    // A hand on the lever: it stays where it is until released.
    bool Hold(const std::string& name);
    bool Release(const std::string& name);
    // The hand moves the lever to `position` in a straight line over `ms`
    // (at once for 0), then lets go, unless the lever was held before.
    bool Move(const std::string& name, double position, uint64_t ms);
    // The lever jumps to `position` (a reading set by hand in a scenario).
    // False when no lever is wired to that input.
    bool SetReading(int kitSerial, int input, int position);

    // The lever's position (a real number of raw counts), its reading, and
    // whether a hand holds it.
    std::optional<double> Position(const std::string& name) const;
    std::optional<int> Reading(const std::string& name) const;
    bool Held(const std::string& name) const;
    // The current the model last gave a motor output (0 when it drives no
    // lever).
    double Amps(const MotorOutput& motor) const;
    // The motor output's present velocity, after its ramp.
    double Output(const MotorOutput& motor) const;

private:
    struct HandMove {
        double from = 0, to = 0;
        uint64_t start = 0, span = 0;
    };
    struct Lever {
        std::string name;
        Wiring wiring;
        double position = 0;
        bool held = false;
        std::optional<HandMove> hand;
        bool HandOn() const { return held || hand.has_value(); }
    };
    struct Motor {
        MotorOutput out;
        double output = 0;   // percent, after the ramp
        double amps = 0;
    };
    struct Wheel {
        std::string name;
        MotorOutput motor;
        double turns = 0;
    };
    struct Servo {
        std::string name;
        ServoOutput out;
        double angle = 0;
    };

    Lever* Find(const std::string& name);
    const Lever* Find(const std::string& name) const;
    Motor& MotorFor(const MotorOutput& out);
    const Motor* FindMotor(const MotorOutput& out) const;
    // Of the controls that speak for a powered device of the kind (`servo`:
    // either servo board, else a motor controller), the one whose command
    // `op` on output `index` the device follows: a control attached to it
    // outranks one closed after it attached (the device keeps what it was
    // told); among equals the newer command wins. nullptr when the device
    // is unplugged or no control ever attached to it.
    VirtualBoardState* Commanding(int serial, bool servo, BoardCommand::Op op, int index) const;
    // The interface kit control opened with `serial` (nullptr when none).
    VirtualBoardState* KitBoard(int serial) const;
    void Step(double seconds);
    void Report(Lever& lever);

    VirtualBoardLibrary& boards_;
    std::vector<Lever> levers_;
    std::vector<Motor> motors_;
    std::vector<Wheel> wheels_;
    std::vector<Servo> servos_;
    uint64_t now_ = 0;
};

// Reading of a position: rounded and kept within 0..1000.
int LeverReading(double position);

// The levers CONFIG.INI wires, named throttle1 .. throttle4 and speedbrake:
// each on its interface kit input, moved by the motor outputs of its
// boards (the two-motor board and the single-motor board for throttles 1
// and 2, the third board for 3 and 4). Boards whose serial is not set are
// left out; a lever without a kit is left out altogether.
std::vector<std::pair<std::string, VirtualQuadrant::Wiring>> ConfiguredLevers(const Settings& c, bool is747);

// The trim wheel CONFIG.INI wires: "trim", turned by output MOTOR_NUMBER of
// the trim board (none when MOTOR_TRIM is not set).
std::vector<std::pair<std::string, VirtualQuadrant::MotorOutput>> ConfiguredWheels(const Settings& c);

// The servos CONFIG.INI wires: the trim indicators "cpt", "fo" and
// "rudder" and the speedbrake "latch" on output 0 of their own boards, and
// "multi-cpt", "multi-fo", "multi-rudder", "multi-latch" on outputs 0..3 of
// the four-channel board. Boards whose serial is not set are left out.
std::vector<std::pair<std::string, VirtualQuadrant::ServoOutput>> ConfiguredServos(const Settings& c);

} // namespace zrk

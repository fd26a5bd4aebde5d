#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "boards/Board.h"

namespace zrk {

// Where a channel reports a command it refused.
using ChannelLogFn = std::function<void(const std::string&)>;

// One motor output of a motor controller: the one place for the rule that a
// command to a board that is missing, not attached or failing does nothing,
// and that a value that is no finite number never reaches a board.
// A default-constructed channel has no board: every command does nothing.
class MotorChannel {
public:
    MotorChannel() = default;
    MotorChannel(IMotorControl* board, int output, ChannelLogFn log = {})
        : board_(board), output_(output), log_(std::move(log)) {}

    IMotorControl* Board() const { return board_; }
    int Output() const { return output_; }
    // The board exists and reports itself attached.
    bool Attached() const;

    // Percent -100..100. True when the board took the command.
    bool SetVelocity(double percent);
    bool SetAcceleration(double value);
    // Read-backs: nothing when the board is missing, detached or failing.
    std::optional<double> Velocity() const;
    std::optional<double> Current() const;

private:
    bool Accept(const char* what, double value);

    IMotorControl* board_ = nullptr;
    int output_ = 0;
    ChannelLogFn log_;
    bool refusalLogged_ = false;
};

// One output of a servo board, advanced or simple. Range, ramping and
// velocity limit exist on advanced boards only; on a simple board they do
// nothing.
class ServoChannel {
public:
    ServoChannel() = default;
    ServoChannel(IAdvancedServo* board, int output, ChannelLogFn log = {})
        : board_(board), advanced_(board), output_(output), log_(std::move(log)) {}
    ServoChannel(IServo* board, int output, ChannelLogFn log = {})
        : board_(board), output_(output), log_(std::move(log)) {}

    IServoBase* Board() const { return board_; }
    int Output() const { return output_; }
    bool Attached() const;

    bool SetPosition(double degrees);
    bool SetEngaged(bool on);
    bool SetRange(double min, double max);
    bool SetSpeedRamping(bool on);
    bool SetVelocityLimit(double limit);
    std::optional<double> Position() const;

private:
    bool Accept(const char* what, double value);

    IServoBase* board_ = nullptr;
    IAdvancedServo* advanced_ = nullptr;
    int output_ = 0;
    ChannelLogFn log_;
    bool refusalLogged_ = false;
};

// Every motor that moves a lever of the quadrant, as the roster wires them.
struct LeverMotors {
    // Throttles 1 and 2 on the two-motor board, at their configured outputs.
    MotorChannel pair[2];
    // Outputs 0..3 of the two-motor board, for stopping them all.
    MotorChannel pairOutputs[4];
    // Throttles 1 and 2 on the single-motor boards (output 0 each).
    MotorChannel single[2];
    // Throttles 3 and 4 on the third board (the 747's).
    MotorChannel outer[2];
    // The speedbrake lever's motor.
    MotorChannel speedbrake;
};

// The speedbrake lever's motor and latch, as the roster wires them.
struct SpeedbrakeHardware {
    MotorChannel motor;
    // The motor shares the trim wheel's board (it then runs at the
    // configured speed instead of full speed).
    bool sharedTrimBoard = false;
    // The latch servo on its advanced and on its standard board; the
    // settings choose which one is commanded.
    ServoChannel latchAdvanced, latchStandard;
    // Channel 3 of the four-channel servo board.
    ServoChannel multi;
};

// A trim indicator's servo outputs: its own board (advanced or standard,
// as the settings choose) and a channel of the four-channel board.
struct IndicatorServos {
    ServoChannel own;
    ServoChannel multi;
};

// Raises BoardError when `value` is no finite number, naming `what`; for
// set-up steps that report their failure as a whole.
double RequireFinite(double value, const std::string& what);

} // namespace zrk

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

// Raises BoardError when `value` is no finite number, naming `what`; for
// set-up steps that report their failure as a whole.
double RequireFinite(double value, const std::string& what);

} // namespace zrk

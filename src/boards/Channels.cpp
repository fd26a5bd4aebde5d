#include "boards/Channels.h"

#include <cmath>

#include "config/Convert.h"

namespace zrk {

namespace {

// A board call that fails (the board vanished mid-command, or refused the
// value) leaves the command undone; the caller carries on.
template <class Fn>
bool Try(Fn&& fn)
{
    try {
        fn();
        return true;
    } catch (const BoardError&) {
        return false;
    }
}

template <class Fn>
auto TryRead(Fn&& fn) -> std::optional<decltype(fn())>
{
    try {
        return fn();
    } catch (const BoardError&) {
        return std::nullopt;
    }
}

bool BoardAttached(IBoard* board)
{
    if (!board)
        return false;
    try {
        return board->Attached();
    } catch (const BoardError&) {
        return false;
    }
}

std::string NonFiniteText(double value)
{
    return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
}

// Logs a refused value once, until a finite one is accepted again, so that
// a cycle repeating the same bad value does not flood the log.
bool AcceptFinite(const char* what, double value, IBoard* board, int output, const ChannelLogFn& log,
                  bool& refusalLogged)
{
    if (std::isfinite(value)) {
        refusalLogged = false;
        return true;
    }
    if (!refusalLogged && log) {
        std::string name = "Board";
        try {
            if (board)
                name = board->DeviceName();
        } catch (const BoardError&) {
        }
        log(name + " output " + SafeIntToStr(output) + ": " + what + " " + NonFiniteText(value)
            + " is not a number - not sent");
    }
    refusalLogged = true;
    return false;
}

} // namespace

double RequireFinite(double value, const std::string& what)
{
    if (!std::isfinite(value))
        throw BoardError(what + " " + NonFiniteText(value) + " is not a number");
    return value;
}

// ---- motor ----

bool MotorChannel::Attached() const { return BoardAttached(board_); }

bool MotorChannel::Accept(const char* what, double value)
{
    return AcceptFinite(what, value, board_, output_, log_, refusalLogged_);
}

bool MotorChannel::SetVelocity(double percent)
{
    if (!Attached() || !Accept("velocity", percent))
        return false;
    return Try([&] { board_->SetVelocity(output_, percent); });
}

bool MotorChannel::SetAcceleration(double value)
{
    if (!Attached() || !Accept("acceleration", value))
        return false;
    return Try([&] { board_->SetAcceleration(output_, value); });
}

std::optional<double> MotorChannel::Velocity() const
{
    if (!Attached())
        return std::nullopt;
    return TryRead([&] { return board_->Velocity(output_); });
}

std::optional<double> MotorChannel::Current() const
{
    if (!Attached())
        return std::nullopt;
    return TryRead([&] { return board_->Current(output_); });
}

// ---- servo ----

bool ServoChannel::Attached() const { return BoardAttached(board_); }

bool ServoChannel::Accept(const char* what, double value)
{
    return AcceptFinite(what, value, board_, output_, log_, refusalLogged_);
}

bool ServoChannel::SetPosition(double degrees)
{
    if (!Attached() || !Accept("position", degrees))
        return false;
    return Try([&] { board_->SetPosition(output_, degrees); });
}

bool ServoChannel::SetEngaged(bool on)
{
    if (!Attached())
        return false;
    return Try([&] { board_->SetEngaged(output_, on); });
}

bool ServoChannel::SetRange(double min, double max)
{
    if (!advanced_ || !Attached() || !Accept("position range", std::isfinite(min) ? max : min))
        return false;
    return Try([&] {
        advanced_->SetPositionMin(output_, min);
        advanced_->SetPositionMax(output_, max);
    });
}

bool ServoChannel::SetSpeedRamping(bool on)
{
    if (!advanced_ || !Attached())
        return false;
    return Try([&] { advanced_->SetSpeedRamping(output_, on); });
}

bool ServoChannel::SetVelocityLimit(double limit)
{
    if (!advanced_ || !Attached() || !Accept("velocity limit", limit))
        return false;
    return Try([&] { advanced_->SetVelocityLimit(output_, limit); });
}

std::optional<double> ServoChannel::Position() const
{
    if (!Attached())
        return std::nullopt;
    return TryRead([&] { return board_->Position(output_); });
}

} // namespace zrk

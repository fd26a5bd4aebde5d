#include "boards/VirtualQuadrant.h"

#include <algorithm>
#include <cmath>

namespace zrk {

int LeverReading(double position)
{
    if (!(position > VirtualQuadrant::kMinReading))
        return VirtualQuadrant::kMinReading;
    if (position >= VirtualQuadrant::kMaxReading)
        return VirtualQuadrant::kMaxReading;
    return int(std::lround(position));
}

namespace {

double ClampTravel(double position)
{
    if (!(position > VirtualQuadrant::kMinReading))   // NaN too
        return VirtualQuadrant::kMinReading;
    return std::min(position, double(VirtualQuadrant::kMaxReading));
}

bool ValidIndex(int i) { return i >= 0 && i < VirtualBoardState::kChannels; }

} // namespace

VirtualQuadrant::Lever* VirtualQuadrant::Find(const std::string& name)
{
    for (Lever& l : levers_)
        if (l.name == name)
            return &l;
    return nullptr;
}

const VirtualQuadrant::Lever* VirtualQuadrant::Find(const std::string& name) const
{
    for (const Lever& l : levers_)
        if (l.name == name)
            return &l;
    return nullptr;
}

VirtualQuadrant::Motor& VirtualQuadrant::MotorFor(const MotorOutput& out)
{
    for (Motor& m : motors_)
        if (m.out == out)
            return m;
    motors_.emplace_back();
    motors_.back().out = out;
    return motors_.back();
}

const VirtualQuadrant::Motor* VirtualQuadrant::FindMotor(const MotorOutput& out) const
{
    for (const Motor& m : motors_)
        if (m.out == out)
            return &m;
    return nullptr;
}

VirtualBoardState* VirtualQuadrant::Commanding(int serial, bool servo, BoardCommand::Op op, int index) const
{
    if (!boards_.Plugged(serial))
        return nullptr;
    VirtualBoardState* best = nullptr;
    for (VirtualBoardState* s : boards_.Controls()) {
        const bool kind = servo ? (s->kind() == BoardKind::AdvancedServo || s->kind() == BoardKind::Servo)
                                : s->kind() == BoardKind::MotorControl;
        // A control opened but not attached does not reach the device.
        if (!kind || s->deviceSerial != serial || (s->opened() && !s->attached()))
            continue;
        if (!best || (s->attached() && !best->attached())
            || (s->attached() == best->attached() && s->CommandOrder(op, index) > best->CommandOrder(op, index)))
            best = s;
    }
    return best;
}

VirtualBoardState* VirtualQuadrant::KitBoard(int serial) const
{
    for (VirtualBoardState* s : boards_.Controls())
        if (s->kind() == BoardKind::InterfaceKit && s->opened() && s->openedSerial() == serial)
            return s;
    return nullptr;
}

bool VirtualQuadrant::Wire(const std::string& name, const Wiring& wiring)
{
    if (!ValidIndex(wiring.input))
        return false;
    for (const MotorOutput& m : wiring.motors)
        if (!ValidIndex(m.output))
            return false;
    Lever* lever = Find(name);
    if (!lever) {
        levers_.emplace_back();
        lever = &levers_.back();
        lever->name = name;
    }
    lever->wiring = wiring;
    const VirtualBoardState* kit = KitBoard(wiring.kitSerial);
    lever->position = kit ? kit->sensor[std::size_t(wiring.input)] : 0;
    for (const MotorOutput& m : wiring.motors)
        MotorFor(m);
    return true;
}

bool VirtualQuadrant::WireWheel(const std::string& name, const MotorOutput& motor)
{
    if (!ValidIndex(motor.output))
        return false;
    auto it = std::find_if(wheels_.begin(), wheels_.end(), [&](const Wheel& w) { return w.name == name; });
    if (it == wheels_.end()) {
        wheels_.emplace_back();
        it = wheels_.end() - 1;
        it->name = name;
    }
    it->motor = motor;
    it->turns = 0;
    MotorFor(motor);
    return true;
}

std::vector<std::string> VirtualQuadrant::Wheels() const
{
    std::vector<std::string> out;
    for (const Wheel& w : wheels_)
        out.push_back(w.name);
    return out;
}

std::optional<double> VirtualQuadrant::WheelTurns(const std::string& name) const
{
    for (const Wheel& w : wheels_)
        if (w.name == name)
            return w.turns;
    return std::nullopt;
}

bool VirtualQuadrant::WireServo(const std::string& name, const ServoOutput& servo)
{
    if (!ValidIndex(servo.index))
        return false;
    auto it = std::find_if(servos_.begin(), servos_.end(), [&](const Servo& s) { return s.name == name; });
    if (it == servos_.end()) {
        servos_.emplace_back();
        it = servos_.end() - 1;
        it->name = name;
    }
    it->out = servo;
    const VirtualBoardState* board = Commanding(servo.serial, true, BoardCommand::Op::Position, servo.index);
    const double held = board ? board->position[std::size_t(servo.index)] : 0.0;
    it->angle = std::isfinite(held) ? held : 0.0;
    return true;
}

std::vector<std::string> VirtualQuadrant::Servos() const
{
    std::vector<std::string> out;
    for (const Servo& s : servos_)
        out.push_back(s.name);
    return out;
}

std::optional<double> VirtualQuadrant::ServoAngle(const std::string& name) const
{
    for (const Servo& s : servos_)
        if (s.name == name)
            return s.angle;
    return std::nullopt;
}

std::vector<std::string> VirtualQuadrant::Levers() const
{
    std::vector<std::string> out;
    for (const Lever& l : levers_)
        out.push_back(l.name);
    return out;
}

std::optional<VirtualQuadrant::Wiring> VirtualQuadrant::WiringOf(const std::string& name) const
{
    const Lever* l = Find(name);
    return l ? std::optional<Wiring>(l->wiring) : std::nullopt;
}

void VirtualQuadrant::Advance(uint64_t ms)
{
    while (ms > 0) {
        const uint64_t dt = std::min<uint64_t>(ms, kStepMs);
        ms -= dt;
        now_ += dt;
        Step(double(dt) / 1000.0);
    }
}

void VirtualQuadrant::Step(double seconds)
{
    // Motor outputs follow their commands at the board's ramp.
    for (Motor& m : motors_) {
        const int o = m.out.output;
        const VirtualBoardState* board = Commanding(m.out.serial, false, BoardCommand::Op::Velocity, o);
        if (!board) {
            m.output = 0;   // no power, or never driven
            continue;
        }
        double command = board->velocity[std::size_t(o)];
        command = std::isfinite(command) ? std::clamp(command, -100.0, 100.0) : 0.0;
        const VirtualBoardState* ramp = Commanding(m.out.serial, false, BoardCommand::Op::Acceleration, o);
        double acceleration = ramp ? ramp->acceleration[std::size_t(o)] : 0.0;
        if (!(acceleration > 0) || !std::isfinite(acceleration))
            acceleration = kDefaultAcceleration;
        const double step = acceleration * kRampPerAcceleration * seconds;
        m.output = command > m.output ? std::min(command, m.output + step) : std::max(command, m.output - step);
    }

    // Wheels turn with their motors.
    for (Wheel& w : wheels_)
        if (const Motor* m = FindMotor(w.motor))
            w.turns += kWheelTurnsPerSecondPerPercent * m->output * seconds;

    // Servo arms follow their boards.
    for (Servo& s : servos_) {
        const std::size_t i = std::size_t(s.out.index);
        const VirtualBoardState* board = Commanding(s.out.serial, true, BoardCommand::Op::Position, s.out.index);
        if (!board || !board->engaged[i] || !std::isfinite(board->position[i]))
            continue;
        double rate = kServoDegreesPerSecond;
        if (board->kind() == BoardKind::AdvancedServo && board->speedRamping[i] && board->velocityLimit[i] > 0)
            rate = std::min(rate, board->velocityLimit[i]);
        const double most = rate * seconds;
        s.angle += std::clamp(board->position[i] - s.angle, -most, most);
    }

    // Levers move with their motors, or with the hand.
    for (Lever& l : levers_) {
        if (l.hand) {
            const HandMove& h = *l.hand;
            const uint64_t done = now_ - h.start;
            if (done >= h.span) {
                l.position = h.to;
                l.hand.reset();
            } else {
                l.position = h.from + (h.to - h.from) * double(done) / double(h.span);
            }
        } else if (!l.held) {
            double v = 0;
            for (const MotorOutput& out : l.wiring.motors)
                if (const Motor* m = FindMotor(out))
                    v += m->output;
            l.position = ClampTravel(l.position + kCountsPerSecondPerPercent * v * seconds);
        }
    }

    // Currents: running freely, or stalled by a hand or an end stop.
    for (Motor& m : motors_) {
        m.amps = 0;
        if (m.output != 0) {
            bool stalled = false;
            for (const Lever& l : levers_) {
                if (std::find(l.wiring.motors.begin(), l.wiring.motors.end(), m.out) == l.wiring.motors.end())
                    continue;
                stalled = stalled || l.HandOn() || (m.output < 0 && l.position <= kMinReading)
                          || (m.output > 0 && l.position >= kMaxReading);
            }
            const double v = std::fabs(m.output);
            m.amps = stalled ? kStallAmps + kStallAmpsPerPercent * v : kRunningAmps + kRunningAmpsPerPercent * v;
        }
        // Every control that speaks for the device reads its current.
        if (Commanding(m.out.serial, false, BoardCommand::Op::Velocity, m.out.output))
            for (VirtualBoardState* board : boards_.Controls())
                if (board->kind() == BoardKind::MotorControl && board->deviceSerial == m.out.serial
                    && (board->attached() || !board->opened()))
                    board->current[std::size_t(m.out.output)] = m.amps;
    }

    for (Lever& l : levers_)
        Report(l);
}

void VirtualQuadrant::Report(Lever& lever)
{
    VirtualBoardState* kit = KitBoard(lever.wiring.kitSerial);
    const int reading = LeverReading(lever.position);
    // The kit reports past its change trigger, as the board does.
    if (kit && kit->sensor[std::size_t(lever.wiring.input)] != reading)
        kit->Sensor(lever.wiring.input, reading);
}

bool VirtualQuadrant::Hold(const std::string& name)
{
    Lever* l = Find(name);
    if (!l)
        return false;
    l->held = true;
    return true;
}

bool VirtualQuadrant::Release(const std::string& name)
{
    Lever* l = Find(name);
    if (!l)
        return false;
    l->held = false;
    return true;
}

bool VirtualQuadrant::Move(const std::string& name, double position, uint64_t ms)
{
    Lever* l = Find(name);
    if (!l)
        return false;
    position = ClampTravel(position);
    if (ms == 0) {
        l->hand.reset();
        l->position = position;
        Report(*l);
    } else {
        l->hand = HandMove{l->position, position, now_, ms};
    }
    return true;
}

bool VirtualQuadrant::SetReading(int kitSerial, int input, int position)
{
    bool wired = false;
    for (Lever& l : levers_) {
        if (l.wiring.kitSerial == kitSerial && l.wiring.input == input) {
            l.hand.reset();
            l.position = ClampTravel(position);
            wired = true;
        }
    }
    return wired;
}

std::optional<double> VirtualQuadrant::Position(const std::string& name) const
{
    const Lever* l = Find(name);
    return l ? std::optional<double>(l->position) : std::nullopt;
}

std::optional<int> VirtualQuadrant::Reading(const std::string& name) const
{
    const Lever* l = Find(name);
    return l ? std::optional<int>(LeverReading(l->position)) : std::nullopt;
}

bool VirtualQuadrant::Held(const std::string& name) const
{
    const Lever* l = Find(name);
    return l && l->HandOn();
}

double VirtualQuadrant::Amps(const MotorOutput& motor) const
{
    const Motor* m = FindMotor(motor);
    return m ? m->amps : 0.0;
}

double VirtualQuadrant::Output(const MotorOutput& motor) const
{
    const Motor* m = FindMotor(motor);
    return m ? m->output : 0.0;
}

// Each lever the configuration wires, with its CONFIG.INI name.
std::vector<std::pair<std::string, VirtualQuadrant::Wiring>> ConfiguredLevers(const Settings& c, bool is747)
{
    using Wiring = VirtualQuadrant::Wiring;
    std::vector<std::pair<std::string, Wiring>> out;
    auto add = [&](const char* name, int kit, int input, std::initializer_list<VirtualQuadrant::MotorOutput> motors) {
        if (kit <= 0)
            return;
        Wiring w{kit, input, {}};
        for (const VirtualQuadrant::MotorOutput& m : motors)
            if (m.serial > 0)
                w.motors.push_back(m);
        out.emplace_back(name, w);
    };
    add("throttle1", c.INTERFACE1, c.THROTTLE_1_INPUT_CHANNEL,
        {{c.MOTOR2_THROTTLES_1_2, c.THROTTLE_1_MOTOR_CHANNEL}, {c.MOTOR_THROTTLE_1_SINGLE, 0}});
    add("throttle2", c.INTERFACE1, c.THROTTLE_2_INPUT_CHANNEL,
        {{c.MOTOR2_THROTTLES_1_2, c.THROTTLE_2_MOTOR_CHANNEL}, {c.MOTOR_THROTTLE_2_SINGLE, 0}});
    add("throttle3", c.INTERFACE1, c.THROTTLE_3_INPUT_CHANNEL, {{c.MOTOR3_THROTTLES_3_4, c.THROTTLE_3_MOTOR_CHANNEL}});
    add("throttle4", c.INTERFACE1, c.THROTTLE_4_INPUT_CHANNEL, {{c.MOTOR3_THROTTLES_3_4, c.THROTTLE_4_MOTOR_CHANNEL}});
    // The 747's main card reads reversers 3 and 4 where the others read the
    // speedbrake; its speedbrake lever is read by the second card.
    add("speedbrake", is747 ? c.INTERFACE1_PBRAKE_STAB : c.INTERFACE1, c.SPEEDBRAKE_INPUT_CHANNEL,
        {{c.MOTOR1_SPEEDBRAKE, c.SPEEDBRAKE_MOTOR_CHANNEL}});
    return out;
}

std::vector<std::pair<std::string, VirtualQuadrant::MotorOutput>> ConfiguredWheels(const Settings& c)
{
    if (c.MOTOR_TRIM <= 0)
        return {};
    return {{"trim", {c.MOTOR_TRIM, c.MOTOR_NUMBER}}};
}

std::vector<std::pair<std::string, VirtualQuadrant::ServoOutput>> ConfiguredServos(const Settings& c)
{
    std::vector<std::pair<std::string, VirtualQuadrant::ServoOutput>> out;
    auto add = [&](const char* name, int serial, int index) {
        if (serial > 0)
            out.push_back({name, {serial, index}});
    };
    add("cpt", c.SERVO1_CPT_TRIM, 0);
    add("fo", c.SERVO2_FO_TRIM, 0);
    add("rudder", c.SERVO3_RUDDER_TRIM, 0);
    add("latch", c.SERVO4_SPEEDBRAKE, 0);
    add("multi-cpt", c.MULTI_SERVOS, 0);
    add("multi-fo", c.MULTI_SERVOS, 1);
    add("multi-rudder", c.MULTI_SERVOS, 2);
    add("multi-latch", c.MULTI_SERVOS, 3);
    return out;
}

} // namespace zrk

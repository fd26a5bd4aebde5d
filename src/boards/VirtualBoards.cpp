#include "boards/VirtualBoards.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace zrk {

const char* BoardCommandName(BoardCommand::Op op)
{
    switch (op) {
    case BoardCommand::Op::Ratiometric: return "ratiometric";
    case BoardCommand::Op::SensorChangeTrigger: return "sensor_change_trigger";
    case BoardCommand::Op::OutputState: return "output";
    case BoardCommand::Op::Velocity: return "velocity";
    case BoardCommand::Op::Acceleration: return "acceleration";
    case BoardCommand::Op::Position: return "position";
    case BoardCommand::Op::Engaged: return "engaged";
    case BoardCommand::Op::PositionMin: return "position_min";
    case BoardCommand::Op::PositionMax: return "position_max";
    case BoardCommand::Op::SpeedRamping: return "speed_ramping";
    case BoardCommand::Op::VelocityLimit: return "velocity_limit";
    }
    return "?";
}

// ---- state ----

void VirtualBoardState::Check() const
{
    if (failCalls)
        throw BoardError("board call failed: device not reachable");
}

void VirtualBoardState::Open(int serial, bool remote, const std::string& address, int port)
{
    Check();
    if (opened_)
        Close();
    opened_ = true;
    openedSerial_ = serial;
    remote_ = remote;
    remoteAddress_ = address;
    remotePort_ = port;
    lib_.Bind(*this);
}

void VirtualBoardState::Close()
{
    const bool wasAttached = attached_;
    opened_ = false;
    attached_ = false;
    ++generation_;
    if (wasAttached && lib_.onClose)
        lib_.onClose(*this);
}

void VirtualBoardState::DeviceArrived(int serial, const std::string& name, int count)
{
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    lib_.loop().Post([this, alive, gen, serial, name, count] {
        if (alive.expired() || gen != generation_ || !opened_ || attached_)
            return;
        attached_ = true;
        last_ = {};   // a fresh session: its first commands are news again
        deviceSerial = serial;
        deviceName = name;
        outputCount = count;
        sensorReported = sensor;
        if (fireAttach)
            fireAttach();
    });
}

void VirtualBoardState::DeviceLeft()
{
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    lib_.loop().Post([this, alive, gen] {
        if (alive.expired() || gen != generation_ || !attached_)
            return;
        attached_ = false;
        if (fireDetach)
            fireDetach();
    });
}

void VirtualBoardState::Sensor(int in, int value)
{
    if (!ValidIndex(in))
        return;
    sensor[in] = value;
    if (!attached_ || std::abs(value - sensorReported[in]) <= trigger[in])
        return;
    sensorReported[in] = value;
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    lib_.loop().Post([this, alive, gen, in, value] {
        if (!alive.expired() && gen == generation_ && attached_ && fireSensor)
            fireSensor(in, value);
    });
}

void VirtualBoardState::Input(int in, bool state)
{
    if (!ValidIndex(in) || input[in] == state)
        return;
    input[in] = state;
    if (!attached_)
        return;
    const uint64_t gen = generation_;
    std::weak_ptr<int> alive = alive_;
    lib_.loop().Post([this, alive, gen, in, state] {
        if (!alive.expired() && gen == generation_ && attached_ && fireInput)
            fireInput(in, state);
    });
}

bool VirtualBoardState::Command(BoardCommand::Op op, int index, double value)
{
    Check();
    if (!attached_ || !ValidIndex(index))
        return false;
    BoardCommand c{op, index, value};
    // Trimmed by halves, so that each command costs the same on average.
    if (commands.size() >= 2 * kKeptCommands)
        commands.erase(commands.begin(), commands.end() - std::ptrdiff_t(kKeptCommands));
    commands.push_back(c);
    order_[std::size_t(op)][std::size_t(index)] = ++lib_.commandCount_;
    std::optional<double>& last = last_[std::size_t(op)][std::size_t(index)];
    // NaN repeats NaN here: the same value sent again.
    const bool repeated = last && (*last == value || (std::isnan(*last) && std::isnan(value)));
    last = value;
    if (lib_.onCommand)
        lib_.onCommand(*this, c, repeated);
    return true;
}

// ---- controls ----

template <class Iface>
class VirtualBoard : public Iface {
public:
    VirtualBoard(VirtualBoardLibrary& lib, BoardKind kind) : lib_(lib), s_(lib, kind)
    {
        s_.fireAttach = [this] { if (this->OnAttach) this->OnAttach(); };
        s_.fireDetach = [this] { if (this->OnDetach) this->OnDetach(); };
        lib_.Register(&s_);
    }
    ~VirtualBoard() override { lib_.Unregister(&s_); }

    BoardKind Kind() const override { return s_.kind(); }
    void Open(int serial) override { s_.Open(serial, false, {}, 0); }
    void OpenRemote(const std::string& address, int port, int serial, const std::string&) override
    {
        s_.Open(serial, true, address, port);
    }
    void Close() override { s_.Close(); }
    std::string DeviceName() override { s_.Check(); return s_.deviceName; }
    int SerialNumber() override { s_.Check(); return s_.attached() ? s_.deviceSerial : s_.openedSerial(); }
    bool Attached() override { s_.Check(); return s_.attached(); }

protected:
    VirtualBoardLibrary& lib_;
    VirtualBoardState s_;
};

class VirtualInterfaceKit final : public VirtualBoard<IInterfaceKit> {
public:
    explicit VirtualInterfaceKit(VirtualBoardLibrary& lib) : VirtualBoard(lib, BoardKind::InterfaceKit)
    {
        s_.fireSensor = [this](int i, int v) { if (OnSensorChange) OnSensorChange(i, v); };
        s_.fireInput = [this](int i, bool v) { if (OnInputChange) OnInputChange(i, v); };
    }
    void SetRatiometric(bool on) override
    {
        if (s_.Command(BoardCommand::Op::Ratiometric, 0, on))
            s_.ratiometric = on;
    }
    void SetSensorChangeTrigger(int i, int n) override
    {
        if (s_.Command(BoardCommand::Op::SensorChangeTrigger, i, n))
            s_.trigger[i] = n;
    }
    int OutputCount() override { s_.Check(); return s_.attached() ? s_.outputCount : 0; }
    void SetOutputState(int i, bool on) override
    {
        if (s_.Command(BoardCommand::Op::OutputState, i, on))
            s_.output[i] = on;
    }
};

class VirtualMotorControl final : public VirtualBoard<IMotorControl> {
public:
    explicit VirtualMotorControl(VirtualBoardLibrary& lib) : VirtualBoard(lib, BoardKind::MotorControl) {}
    void SetVelocity(int m, double v) override
    {
        if (s_.Command(BoardCommand::Op::Velocity, m, v))
            s_.velocity[m] = v;
    }
    double Velocity(int m) override { s_.Check(); return s_.ValidIndex(m) ? s_.velocity[m] : 0.0; }
    void SetAcceleration(int m, double v) override
    {
        if (s_.Command(BoardCommand::Op::Acceleration, m, v))
            s_.acceleration[m] = v;
    }
    double Current(int m) override { s_.Check(); return s_.attached() && s_.ValidIndex(m) ? s_.current[m] : 0.0; }
};

template <class Iface>
class VirtualServoBoard : public VirtualBoard<Iface> {
public:
    using VirtualBoard<Iface>::VirtualBoard;
    void SetPosition(int i, double d) override
    {
        if (this->s_.Command(BoardCommand::Op::Position, i, d))
            this->s_.position[i] = d;
    }
    double Position(int i) override
    {
        this->s_.Check();
        return this->s_.ValidIndex(i) ? this->s_.position[i] : 0.0;
    }
    void SetEngaged(int i, bool on) override
    {
        if (this->s_.Command(BoardCommand::Op::Engaged, i, on))
            this->s_.engaged[i] = on;
    }
};

class VirtualServo final : public VirtualServoBoard<IServo> {
public:
    explicit VirtualServo(VirtualBoardLibrary& lib) : VirtualServoBoard(lib, BoardKind::Servo) {}
};

class VirtualAdvancedServo final : public VirtualServoBoard<IAdvancedServo> {
public:
    explicit VirtualAdvancedServo(VirtualBoardLibrary& lib) : VirtualServoBoard(lib, BoardKind::AdvancedServo) {}
    void SetPositionMin(int i, double d) override
    {
        if (s_.Command(BoardCommand::Op::PositionMin, i, d))
            s_.positionMin[i] = d;
    }
    void SetPositionMax(int i, double d) override
    {
        if (s_.Command(BoardCommand::Op::PositionMax, i, d))
            s_.positionMax[i] = d;
    }
    void SetSpeedRamping(int i, bool on) override
    {
        if (s_.Command(BoardCommand::Op::SpeedRamping, i, on))
            s_.speedRamping[i] = on;
    }
    void SetVelocityLimit(int i, double v) override
    {
        if (s_.Command(BoardCommand::Op::VelocityLimit, i, v))
            s_.velocityLimit[i] = v;
    }
};

// ---- manager ----

class VirtualBoardManager final : public IBoardManager {
public:
    explicit VirtualBoardManager(VirtualBoardLibrary& lib) : lib_(lib)
    {
        for (const auto& [serial, device] : lib_.devices_)
            AddBoard(boards_, VirtualBoardLibrary::Listed(serial, device));
        lib_.managers_.push_back(this);
    }
    ~VirtualBoardManager() override
    {
        auto& m = lib_.managers_;
        m.erase(std::remove(m.begin(), m.end(), this), m.end());
    }

    bool Available() const override { return true; }
    std::vector<AttachedBoard> Boards() const override { return boards_; }

    // A device plugged or unplugged: the list changes when the loop runs.
    void Post(const AttachedBoard& board, bool attached)
    {
        std::weak_ptr<int> alive = alive_;
        lib_.loop().Post([this, alive, board, attached] {
            if (alive.expired())
                return;
            if (attached ? AddBoard(boards_, board) : RemoveBoard(boards_, board.serial))
                Notify(board, attached);
        });
    }

private:
    VirtualBoardLibrary& lib_;
    std::vector<AttachedBoard> boards_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// ---- library ----

std::unique_ptr<IBoardManager> VirtualBoardLibrary::CreateManager()
{
    return std::make_unique<VirtualBoardManager>(*this);
}

std::unique_ptr<IInterfaceKit> VirtualBoardLibrary::CreateInterfaceKit()
{
    return std::make_unique<VirtualInterfaceKit>(*this);
}
std::unique_ptr<IMotorControl> VirtualBoardLibrary::CreateMotorControl()
{
    return std::make_unique<VirtualMotorControl>(*this);
}
std::unique_ptr<IAdvancedServo> VirtualBoardLibrary::CreateAdvancedServo()
{
    return std::make_unique<VirtualAdvancedServo>(*this);
}
std::unique_ptr<IServo> VirtualBoardLibrary::CreateServo()
{
    return std::make_unique<VirtualServo>(*this);
}

std::string VirtualBoardLibrary::DefaultName(BoardKind kind)
{
    switch (kind) {
    case BoardKind::InterfaceKit: return "Phidget InterfaceKit 8/8/8";
    case BoardKind::MotorControl: return "Phidget Motor Controller";
    case BoardKind::AdvancedServo: return "Phidget Advanced Servo Controller";
    case BoardKind::Servo: return "Phidget Servo Controller";
    }
    return "Phidget";
}

void VirtualBoardLibrary::Unregister(VirtualBoardState* s)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), s), controls_.end());
}

void VirtualBoardLibrary::Bind(VirtualBoardState& s)
{
    auto it = devices_.find(s.openedSerial());
    if (it != devices_.end() && it->second.kind == s.kind())
        s.DeviceArrived(it->first, it->second.name, it->second.outputCount);
}

void VirtualBoardLibrary::Plug(BoardKind kind, int serial, std::string name, int outputCount, int version)
{
    if (name.empty())
        name = DefaultName(kind);
    devices_[serial] = Device{kind, name, outputCount, version};
    for (VirtualBoardManager* m : managers_)
        m->Post(Listed(serial, devices_[serial]), true);
    for (VirtualBoardState* s : controls_)
        if (s->opened() && s->openedSerial() == serial && s->kind() == kind)
            s->DeviceArrived(serial, name, outputCount);
}

void VirtualBoardLibrary::Unplug(int serial)
{
    const auto it = devices_.find(serial);
    if (it == devices_.end())
        return;
    const AttachedBoard gone = Listed(serial, it->second);
    devices_.erase(it);
    for (VirtualBoardManager* m : managers_)
        m->Post(gone, false);
    for (VirtualBoardState* s : controls_) {
        // Without power the device's motors stop, for a control that has
        // closed as much as for one still open.
        if (s->kind() == BoardKind::MotorControl && s->deviceSerial == serial)
            s->velocity.fill(0);
        if (s->opened() && s->openedSerial() == serial)
            s->DeviceLeft();
    }
}

VirtualBoardState* VirtualBoardLibrary::Find(int serial)
{
    for (VirtualBoardState* s : controls_)
        if (s->opened() && s->openedSerial() == serial)
            return s;
    return nullptr;
}

VirtualBoardState& VirtualBoardLibrary::Board(int serial)
{
    if (VirtualBoardState* s = Find(serial))
        return *s;
    throw std::out_of_range("no board was opened with serial number " + std::to_string(serial));
}

} // namespace zrk

#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/EventLoop.h"
#include "boards/Board.h"
#include "boards/BoardManager.h"

namespace zrk {

// One command a virtual board received while attached.
struct BoardCommand {
    enum class Op {
        Ratiometric, SensorChangeTrigger, OutputState,
        Velocity, Acceleration,
        Position, Engaged, PositionMin, PositionMax, SpeedRamping, VelocityLimit,
    };
    static constexpr int kOpCount = int(Op::VelocityLimit) + 1;
    Op op;
    int index;      // input, output, motor or servo index; 0 for Ratiometric
    double value;   // booleans as 0/1
    bool operator==(const BoardCommand&) const = default;
};
const char* BoardCommandName(BoardCommand::Op op);

class VirtualBoardLibrary;
class VirtualBoardManager;

// The state common to the four virtual board kinds. A physical device is
// "plugged" on the virtual bus; a control opened with its serial number
// attaches to it. Events are posted to the event loop, so they arrive
// between timer events as real board events do.
class VirtualBoardState {
public:
    static constexpr int kChannels = 8;

    VirtualBoardState(VirtualBoardLibrary& lib, BoardKind kind) : lib_(lib), kind_(kind) {}

    BoardKind kind() const { return kind_; }
    bool opened() const { return opened_; }
    int openedSerial() const { return openedSerial_; }
    bool remote() const { return remote_; }
    const std::string& remoteAddress() const { return remoteAddress_; }
    int remotePort() const { return remotePort_; }
    bool attached() const { return attached_; }

    // Commands received while attached, in order: the newest
    // kKeptCommands at least. Older ones are dropped, so that a board
    // commanded ten times a second for a day keeps its memory.
    static constexpr std::size_t kKeptCommands = 4096;
    std::vector<BoardCommand> commands;
    void ClearCommands() { commands.clear(); }

    // Current output state, as the board holds it.
    bool ratiometric = false;
    std::array<int, kChannels> trigger{};
    std::array<bool, kChannels> output{};
    std::array<double, kChannels> velocity{};
    std::array<double, kChannels> acceleration{};
    std::array<double, kChannels> current{};      // set by tests: motor current in A
    std::array<double, kChannels> position{};
    std::array<bool, kChannels> engaged{};
    std::array<double, kChannels> positionMin{};
    std::array<double, kChannels> positionMax{};
    std::array<bool, kChannels> speedRamping{};
    std::array<double, kChannels> velocityLimit{};
    std::array<int, kChannels> sensor{};
    std::array<int, kChannels> sensorReported{};
    std::array<bool, kChannels> input{};

    // When set, every operation on the board raises BoardError, as calls on
    // a board that vanished mid-command do.
    bool failCalls = false;

    // Hooks the owning control provides.
    std::function<void()> fireAttach, fireDetach;
    std::function<void(int, int)> fireSensor;
    std::function<void(int, bool)> fireInput;

    // Called by the library.
    void DeviceArrived(int serial, const std::string& name, int outputCount);
    void DeviceLeft();
    void Sensor(int input, int value);
    void Input(int input, bool state);

    // Used by the control implementations.
    void Open(int serial, bool remote, const std::string& address, int port);
    void Close();
    bool Command(BoardCommand::Op op, int index, double value);
    void Check() const;
    bool ValidIndex(int index) const { return index >= 0 && index < kChannels; }
    // When the operation last reached this output, counted across the
    // library (0: never). Two controls opened on one device both command
    // it; the newer command is the one the device follows.
    uint64_t CommandOrder(BoardCommand::Op op, int index) const
    {
        return ValidIndex(index) ? order_[std::size_t(op)][std::size_t(index)] : 0;
    }

    std::string deviceName;
    int deviceSerial = 0;
    int outputCount = 0;

private:
    VirtualBoardLibrary& lib_;
    BoardKind kind_;
    bool opened_ = false;
    int openedSerial_ = 0;
    bool remote_ = false;
    std::string remoteAddress_;
    int remotePort_ = 0;
    bool attached_ = false;
    uint64_t generation_ = 0;   // invalidates posted events after close
    // The last value of each operation and output since the board attached.
    std::array<std::array<std::optional<double>, kChannels>, BoardCommand::kOpCount> last_{};
    std::array<std::array<uint64_t, kChannels>, BoardCommand::kOpCount> order_{};
    // Posted events hold a weak reference, so a board destroyed before they
    // are delivered is never touched.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// Board controls that attach to devices plugged on a virtual bus. With no
// device plugged, nothing ever attaches: the embedded default.
class VirtualBoardLibrary : public IBoardLibrary {
public:
    explicit VirtualBoardLibrary(IEventLoop& loop) : loop_(loop) {}

    std::unique_ptr<IInterfaceKit> CreateInterfaceKit() override;
    std::unique_ptr<IMotorControl> CreateMotorControl() override;
    std::unique_ptr<IAdvancedServo> CreateAdvancedServo() override;
    std::unique_ptr<IServo> CreateServo() override;
    // Lists the devices plugged on the bus; its attach and detach events
    // are posted to the event loop, as the boards' are.
    std::unique_ptr<IBoardManager> CreateManager() override;

    // Puts a physical device on the bus; a control of that kind opened with
    // `serial` attaches (now, or when it is opened). Plugging a serial that
    // is plugged already replaces its device in the managers' lists.
    void Plug(BoardKind kind, int serial, std::string name = {}, int outputCount = 8, int version = 0);
    // Removes the device: it loses power, so its motors stop.
    void Unplug(int serial);
    bool Plugged(int serial) const { return devices_.count(serial) != 0; }

    // The control opened with `serial` (nullptr when none).
    VirtualBoardState* Find(int serial);
    // The same, for callers that expect the board to be there: throws
    // std::out_of_range naming the serial when no control was opened with it.
    VirtualBoardState& Board(int serial);
    // Every control created, in creation order.
    const std::vector<VirtualBoardState*>& Controls() const { return controls_; }

    // Every command any board receives, for traces. `repeated`: the board
    // got the same value for the same operation and output last time, since
    // it attached.
    std::function<void(const VirtualBoardState&, const BoardCommand&, bool repeated)> onCommand;
    // A board closed while attached (its device keeps its outputs as they
    // were last set: a motor keeps turning).
    std::function<void(const VirtualBoardState&)> onClose;

    static std::string DefaultName(BoardKind kind);

private:
    friend class VirtualBoardState;
    friend class VirtualBoardManager;
    struct Device {
        BoardKind kind;
        std::string name;
        int outputCount;
        int version;
    };
    static AttachedBoard Listed(int serial, const Device& d) { return {serial, d.kind, d.name, d.version}; }
    void Register(VirtualBoardState* s) { controls_.push_back(s); }
    void Unregister(VirtualBoardState* s);
    void Bind(VirtualBoardState& s);
    IEventLoop& loop() { return loop_; }

    IEventLoop& loop_;
    uint64_t commandCount_ = 0;
    std::map<int, Device> devices_;
    std::vector<VirtualBoardState*> controls_;
    std::vector<VirtualBoardManager*> managers_;

    template <class Iface> friend class VirtualBoard;
};

} // namespace zrk

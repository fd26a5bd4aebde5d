#include "app/demo/DemoCockpit.h"

#include <algorithm>

#include "config/DefaultConfig.h"
#include "config/IniFile.h"

namespace zrk {

namespace {

// The simulator offsets the controller writes: the throttle commands of
// engines 1 and 2 and the override flags of throttles 1..4.
constexpr uint32_t kThrottle1Command = 0x52FA, kThrottle2Command = 0x52FC;
constexpr uint32_t kOverrideFlag1 = 0x53FA;

} // namespace

void DemoPanelBus::Operation1(uint8_t* aircraft)
{
    flight_.Fill(aircraft_, simulator_);
    std::copy(aircraft_.data(), aircraft_.data() + aircraft_.size(), aircraft);
}

void DemoPanelBus::Operation9(uint8_t* simulator)
{
    flight_.Fill(aircraft_, simulator_);
    std::copy(simulator_.data(), simulator_.data() + simulator_.size(), simulator);
}

const std::vector<std::string>& DemoCockpit::LeverNames()
{
    static const std::vector<std::string> names = {"throttle1", "throttle2", "throttle3", "throttle4",
                                                   "reverser1", "reverser2", "reverser3", "reverser4",
                                                   "speedbrake", "flaps"};
    return names;
}

const std::vector<DemoCockpit::Switch>& DemoCockpit::Switches()
{
    // The 747's main card and the parking brake on its second card.
    static const std::vector<Switch> switches = {
        {"fuel1", "FUEL 1", kMainKit, 0},
        {"fuel2", "FUEL 2", kMainKit, 1},
        {"fuel3", "FUEL 3", kMainKit, 2},
        {"fuel4", "FUEL 4", kMainKit, 3},
        {"stab_cutout_l", "STAB CUTOUT L", kMainKit, 4},
        {"stab_cutout_r", "STAB CUTOUT R", kMainKit, 5},
        {"mf567", "MF 567", kMainKit, 6},
        {"mf563", "MF 563", kMainKit, 7},
        {"parking_brake", "PARKING BRAKE", kSecondKit, 7},
    };
    return switches;
}

std::string DemoCockpit::ConfigText()
{
    IniFile ini = IniFile::Parse(DefaultConfigText());
    const auto set = [&ini](const char* section, const char* key, int value) {
        ini.Write(section, key, std::to_string(value));
    };
    ini.Write("AIRCRAFT", "TYPE", "747");
    const char* const ser = "PHIDGETS_SERIAL_NUMBERS";
    set(ser, "INTERFACE1", kMainKit);
    set(ser, "INTERFACE1_PBRAKE_STAB", kSecondKit);
    set(ser, "MOTOR1_SPEEDBRAKE", kSpeedbrakeMotor);
    set(ser, "MOTOR2_THROTTLES_1_2", kThrottleMotors12);
    set(ser, "MOTOR3_THROTTLES_3_4", kThrottleMotors34);
    set(ser, "MOTOR_TRIM", kTrimMotor);
    set(ser, "SERVO1_CPT_TRIM", kCptServo);
    set(ser, "SERVO2_FO_TRIM", kFoServo);
    set(ser, "SERVO3_RUDDER_TRIM", kRudderServo);
    set(ser, "SERVO4_SPEEDBRAKE", kLatchServo);
    set(ser, "MULTI_SERVOS", kMultiServo);
    for (int n = 1; n <= 4; ++n) {
        const std::string t = "THROTTLE_" + std::to_string(n);
        set("THROTTLES", (t + "_IDLE").c_str(), 100);
        set("THROTTLES", (t + "_FULL").c_str(), 900);
        set("THROTTLES", (t + "_NULL_ZONE").c_str(), 5);
        const std::string r = "REVERSER_" + std::to_string(n);
        set("REVERSERS", (r + "_OFF").c_str(), 100);
        set("REVERSERS", (r + "_IDLE").c_str(), 300);
        set("REVERSERS", (r + "_FULL").c_str(), 900);
        set("REVERSERS", (r + "_NULL_ZONE").c_str(), 5);
    }
    // A hand on a driven lever takes it over from the autothrottle.
    set("THROTTLES", "ENABLE_MANUAL_OVERRIDE", 1);
    // After a retard the levers are held at idle for six seconds.
    set("THROTTLES", "IDLE_TIMEOUT", 6000);
    set("SPEEDBRAKE", "SPEEDBRAKE_INSTALLED", 1);
    set("SPEEDBRAKE", "SPEEDBRAKE_DN", 100);
    set("SPEEDBRAKE", "SPEEDBRAKE_ARM", 250);
    set("SPEEDBRAKE", "SPEEDBRAKE_UP", 900);
    set("SPEEDBRAKE", "SPEEDBRAKE_SERVO_MAX", 180);
    set("SPEEDBRAKE", "SPEEDBRAKE_SERVO_MIN", 1);
    set("MOTORS", "REVERSE_MOTOR_DIRECTION_SPEEDBRAKE", 1);
    const std::pair<const char*, int> flaps[] = {{"FLAP_UP", 100}, {"FLAP_1", 200}, {"FLAP_5", 300},
                                                 {"FLAP_10", 400}, {"FLAP_20", 550}, {"FLAP_25", 700},
                                                 {"FLAP_30", 850}};
    for (const auto& [key, value] : flaps)
        set("FLAPS", key, value);
    for (const char* servo : {"CPT", "FO", "RUDDER"}) {
        set("TRIM", (std::string(servo) + "_SERVO_MAX").c_str(), 180);
        set("TRIM", (std::string(servo) + "_SERVO_MIN").c_str(), 1);
    }
    return ini.Text();
}

bool DemoCockpit::PrepareFolder(IFileSystem& files, const std::string& folder, std::string& error)
{
    const std::string path = JoinPath(folder, "CONFIG.INI");
    if (files.Exists(path))
        return true;
    error = files.WriteFileAtomic(path, ConfigText());
    return error.empty();
}

DemoCockpit::DemoCockpit(IEventLoop& loop, IClock& clock) : boards_(loop), simulator_(&clock), clock_(clock)
{
    // A long run never reads the simulator's writes back.
    simulator_.recordWrites = false;
    boards_.Plug(BoardKind::InterfaceKit, kMainKit);
    boards_.Plug(BoardKind::InterfaceKit, kSecondKit);
    for (int serial : {kSpeedbrakeMotor, kThrottleMotors12, kThrottleMotors34, kTrimMotor})
        boards_.Plug(BoardKind::MotorControl, serial);
    for (int serial : {kCptServo, kFoServo, kRudderServo, kLatchServo, kMultiServo})
        boards_.Plug(BoardKind::AdvancedServo, serial);
}

Ports DemoCockpit::MakePorts(IClock& clock, IEventLoop& loop, IProcessEnv& process, IDialogs& dialogs,
                             IFileSystem& files, const std::string& folder, IBridgeSocket& socket,
                             uint16_t bridgePort)
{
    Ports p{clock, loop, process, dialogs, files, boards_, folder, socket, panelBus_, simulator_};
    p.bridgePort = bridgePort;
    return p;
}

std::string DemoCockpit::Wire(const TForm1& form)
{
    const Settings& c = form.cfg;
    const bool is747 = form.aircraft_type.ItemIndex == 2;
    const auto levers = ConfiguredLevers(c, is747);
    if (levers.empty())
        return "CONFIG.INI names no interface kit for the levers (INTERFACE1)";
    for (const auto& [name, wiring] : levers)
        if (!quadrant_.Wire(name, wiring))
            return "lever " + name + " is wired to an input or output outside 0..7";
    // The hand-only levers: the reversers on the main card (3 and 4 where
    // the 777 reads the speedbrake and flaps), the flaps on the 747's
    // second card.
    const std::pair<const char*, int> reversers[] = {{"reverser1", c.REVERSER_1_INPUT_CHANNEL},
                                                     {"reverser2", c.REVERSER_2_INPUT_CHANNEL},
                                                     {"reverser3", c.REVERSER_3_INPUT_CHANNEL},
                                                     {"reverser4", c.REVERSER_4_INPUT_CHANNEL}};
    for (const auto& [name, input] : reversers)
        if (is747 || (std::string(name) != "reverser3" && std::string(name) != "reverser4"))
            quadrant_.Wire(name, {c.INTERFACE1, input, {}});
    quadrant_.Wire("flaps", {is747 ? c.INTERFACE1_PBRAKE_STAB : c.INTERFACE1, c.FLAPS_INPUT_CHANNEL, {}});
    for (const auto& [name, motor] : ConfiguredWheels(c))
        quadrant_.WireWheel(name, motor);
    for (const auto& [name, servo] : ConfiguredServos(c))
        quadrant_.WireServo(name, servo);
    for (const auto& [name, position] : DemoFlight::RestPositions())
        if (const auto w = quadrant_.WiringOf(name))
            quadrant_.SetReading(w->kitSerial, w->input, int(position));
    flightTime_ = flight_.TimeS();
    return {};
}

void DemoCockpit::Step(uint64_t ms)
{
    quadrant_.Advance(ms);

    // What the controller wrote to the simulator reaches the aircraft.
    std::array<uint8_t, 4> flags{};
    for (std::size_t i = 0; i < flags.size(); ++i)
        flags[i] = simulator_.Peek<uint8_t>(kOverrideFlag1 + uint32_t(i));
    flight_.SetOverrideFlags(flags);
    flight_.SetThrottleCommands(simulator_.Peek<int16_t>(kThrottle1Command),
                                simulator_.Peek<int16_t>(kThrottle2Command));

    const uint64_t loops = flight_.Loops();
    flight_.Advance(ms);
    const double now = flight_.TimeS();
    if (flight_.Loops() != loops || now < flightTime_) {
        // A new loop: the hand's moves up to its end; then (after a restart
        // too) every lever back to rest.
        if (flight_.Loops() != loops)
            HandActions(flightTime_, DemoFlight::kLoopSeconds + 1);
        for (const auto& [name, position] : DemoFlight::RestPositions())
            quadrant_.Move(name, position, 1500);
        flightTime_ = 0;
    }
    HandActions(flightTime_, now);
    flightTime_ = now;
}

void DemoCockpit::HandActions(double from, double to)
{
    const double speed = std::max(flight_.Speed(), DemoFlight::kMinSpeed);
    for (const DemoFlight::HandAction& a : DemoFlight::HandActions())
        if (a.t >= from && a.t < to)
            quadrant_.Move(a.lever, a.position, uint64_t(a.seconds * 1000.0 / speed));
}

VirtualBoardState* DemoCockpit::SwitchKit(const std::string& name, int& input) const
{
    for (const Switch& s : Switches()) {
        if (s.name == name) {
            input = s.input;
            return const_cast<VirtualBoardLibrary&>(boards_).Find(s.kitSerial);
        }
    }
    return nullptr;
}

bool DemoCockpit::SwitchClosed(const std::string& name) const
{
    int input = 0;
    const VirtualBoardState* kit = SwitchKit(name, input);
    return kit && kit->input[std::size_t(input)];
}

bool DemoCockpit::SetSwitch(const std::string& name, bool closed)
{
    int input = 0;
    VirtualBoardState* kit = SwitchKit(name, input);
    if (!kit)
        return false;
    kit->Input(input, closed);
    return true;
}

void DemoCockpit::BridgeReceived(const std::string& message)
{
    ++messageCount_;
    messages_.push_back(message);
    while (messages_.size() > kKeptMessages)
        messages_.pop_front();

    // The name's entry moves to the end, the newest.
    const std::string name = message.substr(0, message.find('='));
    ReceivedName entry{name, message, 0, clock_.Now()};
    auto it = std::find_if(summary_.begin(), summary_.end(), [&name](const ReceivedName& r) { return r.name == name; });
    if (it != summary_.end()) {
        entry.count = it->count;
        summary_.erase(it);
    } else if (summary_.size() >= kSummaryNames) {
        summary_.erase(summary_.begin());
    }
    ++entry.count;
    summary_.push_back(std::move(entry));

    flight_.BridgeMessage(message);
}

} // namespace zrk

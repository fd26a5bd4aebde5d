#include "boards/Roster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "boards/BoardMatch.h"
#include "boards/Channels.h"
#include "config/Convert.h"

namespace zrk {

BoardRoster::BoardRoster(IBoardLibrary& lib, const Settings& settings, RosterHost& host)
    : PhidgetInterfaceKit2(lib.CreateInterfaceKit()),
      PhidgetInterfaceKit1(lib.CreateInterfaceKit()),
      PhidgetMotorControl1(lib.CreateMotorControl()),
      PhidgetMotorControl2(lib.CreateMotorControl()),
      PhidgetMotorControl3(lib.CreateMotorControl()),
      PhidgetMotorControl4(lib.CreateMotorControl()),
      PhidgetMotorControl5(lib.CreateMotorControl()),
      PhidgetMotorControl6(lib.CreateMotorControl()),
      PhidgetServo1(lib.CreateAdvancedServo()),
      PhidgetServo2(lib.CreateAdvancedServo()),
      PhidgetServo3(lib.CreateAdvancedServo()),
      sb_servo(lib.CreateAdvancedServo()),
      Servos(lib.CreateAdvancedServo()),
      PhidgetServo1_st(lib.CreateServo()),
      PhidgetServo2_st(lib.CreateServo()),
      PhidgetServo3_st(lib.CreateServo()),
      sb_Servo_st(lib.CreateServo()),
      cfg_(settings),
      host_(host)
{
    auto bind = [this](IBoard& b, void (BoardRoster::*attach)(), void (BoardRoster::*detach)()) {
        b.OnAttach = [this, attach] { (this->*attach)(); };
        b.OnDetach = [this, detach] { (this->*detach)(); };
    };
    bind(*PhidgetInterfaceKit1, &BoardRoster::PhidgetInterfaceKit1Attach, &BoardRoster::PhidgetInterfaceKit1Detach);
    bind(*PhidgetInterfaceKit2, &BoardRoster::PhidgetInterfaceKit2Attach, &BoardRoster::PhidgetInterfaceKit2Detach);
    bind(*PhidgetMotorControl1, &BoardRoster::PhidgetMotorControl1Attach, &BoardRoster::PhidgetMotorControl1Detach);
    bind(*PhidgetMotorControl2, &BoardRoster::PhidgetMotorControl2Attach, &BoardRoster::PhidgetMotorControl2Detach);
    bind(*PhidgetMotorControl3, &BoardRoster::PhidgetMotorControl3Attach, &BoardRoster::PhidgetMotorControl3Detach);
    bind(*PhidgetMotorControl4, &BoardRoster::PhidgetMotorControl4Attach, &BoardRoster::PhidgetMotorControl4Detach);
    bind(*PhidgetMotorControl5, &BoardRoster::PhidgetMotorControl5Attach, &BoardRoster::PhidgetMotorControl5Detach);
    bind(*PhidgetMotorControl6, &BoardRoster::PhidgetMotorControl6Attach, &BoardRoster::PhidgetMotorControl6Detach);
    bind(*PhidgetServo1, &BoardRoster::PhidgetServo1Attach, &BoardRoster::PhidgetServo1Detach);
    bind(*PhidgetServo2, &BoardRoster::PhidgetServo2Attach, &BoardRoster::PhidgetServo2Detach);
    bind(*PhidgetServo3, &BoardRoster::PhidgetServo3Attach, &BoardRoster::PhidgetServo3_Detach);
    bind(*PhidgetServo1_st, &BoardRoster::PhidgetServo1_stAttach, &BoardRoster::PhidgetServo1_stDetach);
    bind(*PhidgetServo2_st, &BoardRoster::PhidgetServo2_stAttach, &BoardRoster::PhidgetServo2_stDetach);
    bind(*PhidgetServo3_st, &BoardRoster::PhidgetServo3_stAttach, &BoardRoster::PhidgetServo3_stDetach);
    bind(*sb_servo, &BoardRoster::sb_servoAttach, &BoardRoster::sb_servoDetach);
    bind(*sb_Servo_st, &BoardRoster::sb_Servo_stAttach, &BoardRoster::sb_Servo_stDetach);
    bind(*Servos, &BoardRoster::ServosAttach, &BoardRoster::ServosDetach);
}

BoardRoster::~BoardRoster()
{
    StopWatchingKinds();
    CloseAll();
}

void BoardRoster::WatchKinds(IBoardManager& manager)
{
    StopWatchingKinds();
    kindManager_ = &manager;
    kindWatch_ = manager.Watch([this](const AttachedBoard&, bool attached) {
        if (attached && kindManager_)
            CheckKinds(kindManager_->Boards());
    });
    CheckKinds(manager.Boards());
}

void BoardRoster::StopWatchingKinds()
{
    if (kindManager_)
        kindManager_->Unwatch(kindWatch_);
    kindManager_ = nullptr;
}

void BoardRoster::CheckKinds(const std::vector<AttachedBoard>& boards)
{
    for (const RoleMatch& m : MatchBoards(boards, cfg_).roles)
        if (m.state == RoleState::WrongKind
            && kindLogged_.insert(std::string(m.role->key) + "=" + std::to_string(m.serial)).second)
            host_.Log(WrongKindLine(m));
}

void BoardRoster::LogMissingSerials()
{
    struct Missing {
        bool missing;
        const char* text;
    };
    const Missing lines[] = {
        {cfg_.MOTOR1_SPEEDBRAKE == 0, "Motor Controller 1 Serial No (SpeedBrake)  Not Specified"},
        {cfg_.MOTOR2_THROTTLES_1_2 == 0, "Motor Controller 2 Serial No (Throttles 1+2) Not Specified"},
        {cfg_.MOTOR_THROTTLE_1_SINGLE == 0, "Motor Controller  Serial No (Throttle 1 Single) Not Specified"},
        {cfg_.MOTOR_THROTTLE_2_SINGLE == 0, "Motor Controller  Serial No (Throttle 2 Single) Not Specified"},
        {cfg_.SERVO4_SPEEDBRAKE == 0, "Speedbrake Servo Board Serial No Not Specified"},
        {cfg_.INTERFACE1 == 0, "Interface Board Serial No: Not Specified"},
        {cfg_.MOTOR_TRIM == 0, "Trim Motor Board Serial No: Not Specified"},
        {cfg_.SERVO1_CPT_TRIM == 0, "Servo Board 1 Serial No (CPT Trim)  Not Specified"},
        {cfg_.SERVO2_FO_TRIM == 0, "Servo Board 2 Serial No (FO Trim)  Not Specified"},
        {cfg_.SERVO3_RUDDER_TRIM == 0, "Servo Board 3 Serial No (Rudder Trim)  Not Specified"},
        {cfg_.MULTI_SERVOS == 0, "Multi Servo Board Serial No (Trim/SB)  Not Specified"},
        {cfg_.REMOTE_888_CARD && cfg_.REMOTE_IP == "?", "Remote 888 Card IP Address Not Specified"},
    };
    for (const Missing& m : lines)
        if (m.missing)
            host_.Log(m.text);
}

void BoardRoster::Open(IBoard& board, int serial)
{
    if (std::find(opened_.begin(), opened_.end(), &board) == opened_.end())
        opened_.push_back(&board);
    try {
        if (!cfg_.REMOTE_888_CARD)
            board.Open(serial);
        else if (cfg_.REMOTE_IP != "?")
            board.OpenRemote(cfg_.REMOTE_IP, cfg_.REMOTE_PORT, serial, "");
    } catch (const BoardError& e) {
        host_.Log("Board " + SafeIntToStr(serial) + " could not be opened: " + e.what());
    }
}

int BoardRoster::AttachedBoards() const
{
    int attached = 0;
    for (IBoard* b : opened_) {
        try {
            if (b->Attached())
                ++attached;
        } catch (const BoardError&) {
            // A board that cannot say is not counted as there.
        }
    }
    return attached;
}

void BoardRoster::OpenIfSet(IBoard& board, int serial)
{
    if (serial > 0)
        Open(board, serial);
}

namespace {

// Ratiometric readings (0..1000 relative to the supply) are what every
// calibration value is taken in.
void SetRatiometric(IInterfaceKit& kit)
{
    try {
        kit.SetRatiometric(true);
    } catch (const BoardError&) {
        // Not attached yet: the attach handler sets it again.
    }
}

} // namespace

void BoardRoster::OpenBoards(bool is747)
{
    if (cfg_.INTERFACE1 < 1) {
        host_.Log("Interface Board 1 Serial No:  Not Specified");
    } else {
        Open(*PhidgetInterfaceKit2, cfg_.INTERFACE1);
        SetRatiometric(*PhidgetInterfaceKit2);
    }

    if (is747) {
        if (cfg_.INTERFACE1_PBRAKE_STAB != 0) {
            Open(*PhidgetInterfaceKit1, cfg_.INTERFACE1_PBRAKE_STAB);
            SetRatiometric(*PhidgetInterfaceKit1);
        } else {
            host_.Log("Interface Board 2 Serial No (PBrake,Stab,Trim)  Not Specified");
        }
        if (cfg_.MOTOR3_THROTTLES_3_4 > 0) {
            Open(*PhidgetMotorControl3, cfg_.MOTOR3_THROTTLES_3_4);
            Setup(*PhidgetMotorControl3, [this] {
                PhidgetMotorControl3->SetVelocity(0, 0);
                PhidgetMotorControl3->SetVelocity(1, 0);
            });
        }
    }

    OpenIfSet(*PhidgetMotorControl4, cfg_.MOTOR_TRIM);
    OpenIfSet(cfg_.SERVO1 ? static_cast<IBoard&>(*PhidgetServo1) : *PhidgetServo1_st, cfg_.SERVO1_CPT_TRIM);
    OpenIfSet(cfg_.SERVO2 ? static_cast<IBoard&>(*PhidgetServo2) : *PhidgetServo2_st, cfg_.SERVO2_FO_TRIM);
    OpenIfSet(cfg_.SERVO3 ? static_cast<IBoard&>(*PhidgetServo3) : *PhidgetServo3_st, cfg_.SERVO3_RUDDER_TRIM);
    OpenIfSet(*Servos, cfg_.MULTI_SERVOS);
    OpenIfSet(*PhidgetMotorControl1, cfg_.MOTOR1_SPEEDBRAKE);
    OpenIfSet(*PhidgetMotorControl2, cfg_.MOTOR2_THROTTLES_1_2);
    OpenIfSet(*PhidgetMotorControl5, cfg_.MOTOR_THROTTLE_1_SINGLE);
    OpenIfSet(*PhidgetMotorControl6, cfg_.MOTOR_THROTTLE_2_SINGLE);
    if (cfg_.SERVO4_SPEEDBRAKE > 0) {
        if (cfg_.SERVO4) {
            host_.Log("SB Servo Open");
            Open(*sb_servo, cfg_.SERVO4_SPEEDBRAKE);
        } else {
            Open(*sb_Servo_st, cfg_.SERVO4_SPEEDBRAKE);
        }
    }
}

void BoardRoster::RemoveSensorHandlers()
{
    PhidgetInterfaceKit1->OnSensorChange = nullptr;
    PhidgetInterfaceKit2->OnSensorChange = nullptr;
    PhidgetInterfaceKit1->OnInputChange = nullptr;
    PhidgetInterfaceKit2->OnInputChange = nullptr;
}

void BoardRoster::CloseAll()
{
    IBoard* const order[] = {
        PhidgetMotorControl1.get(), PhidgetMotorControl2.get(), PhidgetMotorControl3.get(),
        PhidgetMotorControl4.get(), PhidgetMotorControl5.get(), PhidgetMotorControl6.get(),
        PhidgetInterfaceKit1.get(), PhidgetInterfaceKit2.get(),
        PhidgetServo1.get(), PhidgetServo2.get(), PhidgetServo3.get(),
        PhidgetServo1_st.get(), PhidgetServo2_st.get(), PhidgetServo3_st.get(),
        sb_servo.get(), sb_Servo_st.get(), Servos.get(),
    };
    for (IBoard* b : order) {
        try {
            b->Close();
        } catch (const BoardError&) {
            // Closing a board that is already gone leaves nothing to release.
        }
    }
}

void BoardRoster::LogBoard(IBoard& board, bool attached, const char* label)
{
    std::string name;
    std::string serial;
    try {
        name = board.DeviceName();
        serial = SafeIntToStr(board.SerialNumber());
    } catch (const BoardError&) {
        name = name.empty() ? std::string("Board") : name;
    }
    host_.Log(name + (attached ? " Connected. Serial #" : " Disconnected. Serial #") + serial + label);
}

template <class Fn>
void BoardRoster::Setup(IBoard& board, Fn&& fn)
{
    try {
        fn();
    } catch (const BoardError& e) {
        std::string name = "Board";
        try {
            name = board.DeviceName();
        } catch (const BoardError&) {
        }
        host_.Log(name + " set-up failed: " + e.what());
    }
}

void BoardRoster::SetupTrimServo(IAdvancedServo& s, int port, double min, double max, double position)
{
    s.SetPositionMin(port, RequireFinite(min, "servo position minimum"));
    s.SetPositionMax(port, RequireFinite(max, "servo position maximum"));
    s.SetPosition(port, RequireFinite(position, "servo position"));
    s.SetEngaged(port, true);
    s.SetSpeedRamping(port, true);
    s.SetVelocityLimit(port, 300);
}

LeverMotors BoardRoster::LeverMotorChannels()
{
    const ChannelLogFn log = [this](const std::string& line) { host_.Log(line); };
    LeverMotors m;
    IMotorControl* pair = PhidgetMotorControl2.get();
    m.pair[0] = MotorChannel(pair, cfg_.THROTTLE_1_MOTOR_CHANNEL, log);
    m.pair[1] = MotorChannel(pair, cfg_.THROTTLE_2_MOTOR_CHANNEL, log);
    for (int i = 0; i < 4; ++i)
        m.pairOutputs[i] = MotorChannel(pair, i, log);
    m.single[0] = MotorChannel(PhidgetMotorControl5.get(), 0, log);
    m.single[1] = MotorChannel(PhidgetMotorControl6.get(), 0, log);
    m.outer[0] = MotorChannel(PhidgetMotorControl3.get(), cfg_.THROTTLE_3_MOTOR_CHANNEL, log);
    m.outer[1] = MotorChannel(PhidgetMotorControl3.get(), cfg_.THROTTLE_4_MOTOR_CHANNEL, log);
    m.speedbrake = SpeedbrakeChannels().motor;
    return m;
}

MotorChannel BoardRoster::TrimMotorChannel()
{
    return MotorChannel(PhidgetMotorControl4.get(), cfg_.MOTOR_NUMBER,
                        [this](const std::string& line) { host_.Log(line); });
}

SpeedbrakeHardware BoardRoster::SpeedbrakeChannels()
{
    const ChannelLogFn log = [this](const std::string& line) { host_.Log(line); };
    SpeedbrakeHardware hw;
    // The speedbrake motor shares the trim board when both serials agree.
    hw.sharedTrimBoard = cfg_.MOTOR1_SPEEDBRAKE >= 1 && cfg_.MOTOR1_SPEEDBRAKE == cfg_.MOTOR_TRIM;
    hw.motor = MotorChannel(hw.sharedTrimBoard ? PhidgetMotorControl4.get() : PhidgetMotorControl1.get(),
                            cfg_.SPEEDBRAKE_MOTOR_CHANNEL, log);
    hw.latchAdvanced = ServoChannel(sb_servo.get(), 0, log);
    hw.latchStandard = ServoChannel(sb_Servo_st.get(), 0, log);
    hw.multi = ServoChannel(Servos.get(), 3, log);
    return hw;
}

IndicatorServos BoardRoster::IndicatorChannels(int indicator)
{
    const ChannelLogFn log = [this](const std::string& line) { host_.Log(line); };
    IndicatorServos s;
    switch (indicator) {
    case 0:
        s.own = cfg_.SERVO1 ? ServoChannel(PhidgetServo1.get(), 0, log) : ServoChannel(PhidgetServo1_st.get(), 0, log);
        break;
    case 1:
        s.own = cfg_.SERVO2 ? ServoChannel(PhidgetServo2.get(), 0, log) : ServoChannel(PhidgetServo2_st.get(), 0, log);
        break;
    default:
        indicator = 2;
        s.own = cfg_.SERVO3 ? ServoChannel(PhidgetServo3.get(), 0, log) : ServoChannel(PhidgetServo3_st.get(), 0, log);
        break;
    }
    s.multi = ServoChannel(Servos.get(), indicator, log);
    return s;
}

double ServoMidpoint(double min, double max)
{
    const double mid = min + (max - min) / 2;
    // Far-apart limits overflow the difference; the midpoint itself exists.
    return std::isfinite(mid) ? mid : std::midpoint(min, max);
}

// ---- interface kits ----

void BoardRoster::PhidgetInterfaceKit2Attach()
{
    IInterfaceKit& kit = *PhidgetInterfaceKit2;
    LogBoard(kit, true, "");
    Setup(kit, [&] {
        // The request made at open time is lost on a board that was not yet
        // attached, so it is repeated here, where the board can take it.
        kit.SetRatiometric(true);
        for (int i = 0; i < 4; ++i)
            kit.SetSensorChangeTrigger(i, cfg_.CHANGE_TRIGGER_VALUE);
        for (int i = 4; i < 8; ++i)
            kit.SetSensorChangeTrigger(i, 5);
    });
    host_.Send_Server_Message("ZRK_TQ_CONNECTED=1");
}

void BoardRoster::PhidgetInterfaceKit2Detach()
{
    LogBoard(*PhidgetInterfaceKit2, false, "");
    host_.Send_Server_Message("ZRK_TQ_CONNECTED=0");
}

void BoardRoster::PhidgetInterfaceKit1Attach()
{
    IInterfaceKit& kit = *PhidgetInterfaceKit1;
    LogBoard(kit, true, "");
    Setup(kit, [&] {
        kit.SetRatiometric(true);
        for (int i = 0; i < 8; ++i)
            kit.SetSensorChangeTrigger(i, 5);
    });
}

void BoardRoster::PhidgetInterfaceKit1Detach() { LogBoard(*PhidgetInterfaceKit1, false, ""); }

// ---- motor controllers: log only ----

void BoardRoster::PhidgetMotorControl1Attach() { LogBoard(*PhidgetMotorControl1, true, " Speedbrake"); }
void BoardRoster::PhidgetMotorControl1Detach() { LogBoard(*PhidgetMotorControl1, false, " Speedbrake"); }
void BoardRoster::PhidgetMotorControl2Attach() { LogBoard(*PhidgetMotorControl2, true, " Throttles"); }
void BoardRoster::PhidgetMotorControl2Detach() { LogBoard(*PhidgetMotorControl2, false, " Throttles"); }
void BoardRoster::PhidgetMotorControl3Attach() { LogBoard(*PhidgetMotorControl3, true, ""); }
void BoardRoster::PhidgetMotorControl3Detach() { LogBoard(*PhidgetMotorControl3, false, ""); }
void BoardRoster::PhidgetMotorControl4Attach() { LogBoard(*PhidgetMotorControl4, true, " Trim Motor"); }
void BoardRoster::PhidgetMotorControl4Detach() { LogBoard(*PhidgetMotorControl4, false, " Trim Motor"); }
void BoardRoster::PhidgetMotorControl5Attach() { LogBoard(*PhidgetMotorControl5, true, " Single Throttle L"); }
void BoardRoster::PhidgetMotorControl5Detach() { LogBoard(*PhidgetMotorControl5, false, " Single Throttle L"); }
void BoardRoster::PhidgetMotorControl6Attach() { LogBoard(*PhidgetMotorControl6, true, " Single Throttle R"); }
void BoardRoster::PhidgetMotorControl6Detach() { LogBoard(*PhidgetMotorControl6, false, " Single Throttle R"); }

// ---- advanced single servo boards ----

void BoardRoster::PhidgetServo1Attach()
{
    LogBoard(*PhidgetServo1, true, " CPT Trim");
    Setup(*PhidgetServo1, [this] {
        SetupTrimServo(*PhidgetServo1, 0, 1, 180,
                       ServoMidpoint(cfg_.CPT_SERVO_MIN, cfg_.CPT_SERVO_MAX));
    });
}
void BoardRoster::PhidgetServo1Detach() { LogBoard(*PhidgetServo1, false, " CPT Trim"); }

void BoardRoster::PhidgetServo2Attach()
{
    LogBoard(*PhidgetServo2, true, " FO Trim");
    Setup(*PhidgetServo2, [this] {
        SetupTrimServo(*PhidgetServo2, 0, 1, 180,
                       ServoMidpoint(cfg_.FO_SERVO_MIN, cfg_.FO_SERVO_MAX));
    });
}
void BoardRoster::PhidgetServo2Detach() { LogBoard(*PhidgetServo2, false, " FO Trim"); }

void BoardRoster::PhidgetServo3Attach()
{
    LogBoard(*PhidgetServo3, true, " Rudder Trim");
    Setup(*PhidgetServo3, [this] {
        SetupTrimServo(*PhidgetServo3, 0, cfg_.RUDDER_SERVO_MIN, cfg_.RUDDER_SERVO_MAX,
                       ServoMidpoint(cfg_.RUDDER_SERVO_MIN, cfg_.RUDDER_SERVO_MAX));
    });
}
void BoardRoster::PhidgetServo3_Detach() { LogBoard(*PhidgetServo3, false, " Rudder Trim"); }

// ---- simple servo boards: engaged only ----

void BoardRoster::PhidgetServo1_stAttach()
{
    LogBoard(*PhidgetServo1_st, true, "");
    Setup(*PhidgetServo1_st, [this] { PhidgetServo1_st->SetEngaged(0, true); });
}
void BoardRoster::PhidgetServo1_stDetach() { LogBoard(*PhidgetServo1_st, false, ""); }

void BoardRoster::PhidgetServo2_stAttach()
{
    LogBoard(*PhidgetServo2_st, true, "");
    Setup(*PhidgetServo2_st, [this] { PhidgetServo2_st->SetEngaged(0, true); });
}
void BoardRoster::PhidgetServo2_stDetach() { LogBoard(*PhidgetServo2_st, false, ""); }

void BoardRoster::PhidgetServo3_stAttach()
{
    LogBoard(*PhidgetServo3_st, true, " Rudder Trim");
    Setup(*PhidgetServo3_st, [this] { PhidgetServo3_st->SetEngaged(0, true); });
}
void BoardRoster::PhidgetServo3_stDetach() { LogBoard(*PhidgetServo3_st, false, ""); }

// ---- speedbrake lift ----

void BoardRoster::sb_servoAttach()
{
    LogBoard(*sb_servo, true, " Speedbrake");
    Setup(*sb_servo, [this] {
        IAdvancedServo& s = *sb_servo;
        s.SetEngaged(0, true);
        s.SetPositionMin(0, cfg_.SPEEDBRAKE_SERVO_MIN);
        s.SetPositionMax(0, cfg_.SPEEDBRAKE_SERVO_MAX);
        s.SetPosition(0, cfg_.REVERSE_SERVO_DIRECTION_SPEEDBRAKE ? cfg_.SPEEDBRAKE_SERVO_MAX
                                                                 : cfg_.SPEEDBRAKE_SERVO_MIN);
        s.SetSpeedRamping(0, false);
        s.SetVelocityLimit(0, 316);
    });
}
void BoardRoster::sb_servoDetach() { LogBoard(*sb_servo, false, " Speedbrake"); }

void BoardRoster::sb_Servo_stAttach()
{
    LogBoard(*sb_Servo_st, true, "");
    Setup(*sb_Servo_st, [this] { sb_Servo_st->SetEngaged(0, true); });
}
void BoardRoster::sb_Servo_stDetach() { LogBoard(*sb_Servo_st, false, ""); }

// ---- 4-port servo board ----

void BoardRoster::ServosAttach()
{
    LogBoard(*Servos, true, " Multi Servos (Trim/SB)");
    Setup(*Servos, [this] {
        struct Port {
            double min, max, position;
        };
        const int sbMin = cfg_.SPEEDBRAKE_SERVO_MIN;
        const int sbMax = cfg_.SPEEDBRAKE_SERVO_MAX;
        const Port ports[4] = {
            {1, 180, ServoMidpoint(cfg_.CPT_SERVO_MIN, cfg_.CPT_SERVO_MAX)},
            {1, 180, ServoMidpoint(cfg_.FO_SERVO_MIN, cfg_.FO_SERVO_MAX)},
            {cfg_.RUDDER_SERVO_MIN, cfg_.RUDDER_SERVO_MAX,
             ServoMidpoint(cfg_.RUDDER_SERVO_MIN, cfg_.RUDDER_SERVO_MAX)},
            // The lift's midpoint is taken in whole degrees, the half rounded toward zero.
            {double(sbMin), double(sbMax), double(int64_t(sbMin) + (int64_t(sbMax) - sbMin) / 2)},
        };
        IAdvancedServo& s = *Servos;
        for (int port = 0; port < 4; ++port) {
            s.SetEngaged(port, true);
            s.SetPositionMin(port, RequireFinite(ports[port].min, "servo position minimum"));
            s.SetPositionMax(port, RequireFinite(ports[port].max, "servo position maximum"));
            s.SetPosition(port, RequireFinite(ports[port].position, "servo position"));
            s.SetSpeedRamping(port, true);
            s.SetVelocityLimit(port, 300);
        }
    });
}
void BoardRoster::ServosDetach() { LogBoard(*Servos, false, " Multi Servos (Trim/SB)"); }

} // namespace zrk

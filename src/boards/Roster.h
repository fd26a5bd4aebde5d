#pragma once
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "boards/Board.h"
#include "boards/BoardManager.h"
#include "boards/Channels.h"
#include "config/Settings.h"

namespace zrk {

// The rest position of a trim indicator servo: halfway between its limits,
// without overflow for limits far apart.
double ServoMidpoint(double min, double max);

// What the board roster needs from the controller around it.
class RosterHost {
public:
    virtual ~RosterHost() = default;
    virtual void Log(const std::string& text) = 0;
    virtual void Send_Server_Message(const std::string& message) = 0;
};

// The seventeen board components of the quadrant, each with its fixed role,
// how they are opened, and the attach and detach handlers that log each
// board's arrival and departure and put it into its working state.
class BoardRoster {
public:
    BoardRoster(IBoardLibrary& lib, const Settings& settings, RosterHost& host);
    ~BoardRoster();
    BoardRoster(const BoardRoster&) = delete;
    BoardRoster& operator=(const BoardRoster&) = delete;

    // Interface kits: the 888 card, and the second board of the 747.
    std::unique_ptr<IInterfaceKit> PhidgetInterfaceKit2, PhidgetInterfaceKit1;
    // Motor controllers: speedbrake, throttles 1+2, throttles 3+4, trim
    // wheel, single-output throttle 1, single-output throttle 2.
    std::unique_ptr<IMotorControl> PhidgetMotorControl1, PhidgetMotorControl2, PhidgetMotorControl3,
        PhidgetMotorControl4, PhidgetMotorControl5, PhidgetMotorControl6;
    // Trim indicator and speedbrake lift servos, advanced or simple, and
    // the 4-port board that can serve all four roles.
    std::unique_ptr<IAdvancedServo> PhidgetServo1, PhidgetServo2, PhidgetServo3, sb_servo, Servos;
    std::unique_ptr<IServo> PhidgetServo1_st, PhidgetServo2_st, PhidgetServo3_st, sb_Servo_st;

    // The log lines for every board whose serial number is missing, in
    // their fixed order; run after the serial numbers are read.
    void LogMissingSerials();
    // Asks the library to open every configured board. For the 747 the two
    // extra serial numbers must have been read before.
    void OpenBoards(bool is747);
    // The motors of the levers, as the settings wire them. The handles stay
    // valid as long as the roster.
    LeverMotors LeverMotorChannels();
    // The trim wheel's motor, the speedbrake's motor and latch, and the
    // three trim indicators (captain, first officer, rudder).
    MotorChannel TrimMotorChannel();
    SpeedbrakeHardware SpeedbrakeChannels();
    IndicatorServos IndicatorChannels(int indicator);

    // The boards OpenBoards asked for (configured with a serial number),
    // and how many of them report themselves attached now.
    int ConfiguredBoards() const { return int(opened_.size()); }
    int AttachedBoards() const;

    // Checks the configured serials against the list of attached boards,
    // now and on every arrival: a serial that is attached as another kind
    // of board than its role takes is logged once per role and serial (the
    // library pairs a control only with a board of its own kind, so that
    // board is never driven as the role). The manager must outlive the
    // roster, or StopWatchingKinds come first.
    void WatchKinds(IBoardManager& manager);
    void StopWatchingKinds();

    // Stops the lever and switch handlers of both interface kits.
    void RemoveSensorHandlers();
    // Closes every board, in the fixed order; harmless when repeated.
    void CloseAll();

    // The attach and detach family.
    void PhidgetInterfaceKit1Attach();
    void PhidgetInterfaceKit1Detach();
    void PhidgetInterfaceKit2Attach();
    void PhidgetInterfaceKit2Detach();
    void PhidgetMotorControl1Attach();
    void PhidgetMotorControl1Detach();
    void PhidgetMotorControl2Attach();
    void PhidgetMotorControl2Detach();
    void PhidgetMotorControl3Attach();
    void PhidgetMotorControl3Detach();
    void PhidgetMotorControl4Attach();
    void PhidgetMotorControl4Detach();
    void PhidgetMotorControl5Attach();
    void PhidgetMotorControl5Detach();
    void PhidgetMotorControl6Attach();
    void PhidgetMotorControl6Detach();
    void PhidgetServo1Attach();
    void PhidgetServo1Detach();
    void PhidgetServo2Attach();
    void PhidgetServo2Detach();
    void PhidgetServo3Attach();
    void PhidgetServo3_Detach();
    void PhidgetServo1_stAttach();
    void PhidgetServo1_stDetach();
    void PhidgetServo2_stAttach();
    void PhidgetServo2_stDetach();
    void PhidgetServo3_stAttach();
    void PhidgetServo3_stDetach();
    void sb_servoAttach();
    void sb_servoDetach();
    void sb_Servo_stAttach();
    void sb_Servo_stDetach();
    void ServosAttach();
    void ServosDetach();

private:
    void Open(IBoard& board, int serial);
    void OpenIfSet(IBoard& board, int serial);
    // Logs "<device> Connected. Serial #<n><label>" (or Disconnected).
    void LogBoard(IBoard& board, bool attached, const char* label);
    // Runs a board's working-state set-up; a board that vanishes in the
    // middle of it is logged, never fatal.
    template <class Fn> void Setup(IBoard& board, Fn&& fn);
    void SetupTrimServo(IAdvancedServo& s, int port, double min, double max, double position);

    void CheckKinds(const std::vector<AttachedBoard>& boards);

    const Settings& cfg_;
    RosterHost& host_;
    std::vector<IBoard*> opened_;
    IBoardManager* kindManager_ = nullptr;
    int kindWatch_ = 0;
    std::set<std::string> kindLogged_;   // "KEY=serial" already logged
};

} // namespace zrk

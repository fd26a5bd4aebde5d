#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "app/demo/DemoFlight.h"
#include "boards/VirtualBoards.h"
#include "boards/VirtualQuadrant.h"
#include "bridge/PanelBus.h"
#include "config/FileSystem.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {

// The bridge's data library fed by the demo flight.
class DemoPanelBus : public IPanelBus {
public:
    explicit DemoPanelBus(const DemoFlight& flight) : flight_(flight) {}
    void Operation3() override {}
    void Operation11() override {}
    void Operation1(uint8_t* aircraft) override;
    void Operation9(uint8_t* simulator) override;
    void Operation4() override {}
    void Operation12() override {}

private:
    const DemoFlight& flight_;
    AircraftSnapshot aircraft_;
    SimulatorSnapshot simulator_;
};

// The virtual cockpit: a 747 quadrant with every board of the roster
// plugged, its levers, wheel and servos moving on the quadrant's
// mechanics, an aircraft flying the demo flight behind the data library,
// and the in-process simulator. The host runs the controller on these
// (MakePorts), wires the quadrant after FormCreate (Wire), calls Step every
// VirtualQuadrant::kStepMs and hands in every message its built-in bridge
// receives (BridgeReceived).
class DemoCockpit {
public:
    // The boards of the demo quadrant.
    static constexpr int kMainKit = 11001, kSecondKit = 11002;
    static constexpr int kSpeedbrakeMotor = 12001, kThrottleMotors12 = 12002, kThrottleMotors34 = 12003,
                         kTrimMotor = 12004, kThrottle1Single = 12005, kThrottle2Single = 12006;
    static constexpr int kCptServo = 13001, kFoServo = 13002, kRudderServo = 13003, kLatchServo = 13004,
                         kMultiServo = 13005;

    // Lever names on the quadrant: throttle1..4 and speedbrake (motor
    // driven), reverser1..4 and flaps (hand only). Wheel: "trim". Servos:
    // "cpt", "fo", "rudder" (the trim indicators) and "latch".
    static const std::vector<std::string>& LeverNames();

    // A switch of the quadrant: a digital input of an interface kit.
    struct Switch {
        std::string name;    // "fuel1", "stab_cutout_l", "parking_brake", ...
        std::string label;   // what a window shows beside it
        int kitSerial = 0;
        int input = 0;
    };
    static const std::vector<Switch>& Switches();

    // The demo's CONFIG.INI text: the 747 quadrant calibrated.
    static std::string ConfigText();
    // Writes CONFIG.INI into `folder` unless one is there already (a
    // calibration saved in an earlier demo run stays). False with `error`
    // when it cannot be written.
    static bool PrepareFolder(IFileSystem& files, const std::string& folder, std::string& error);

    DemoCockpit(IEventLoop& loop, IClock& clock);
    DemoCockpit(const DemoCockpit&) = delete;
    DemoCockpit& operator=(const DemoCockpit&) = delete;

    // The controller's ports with this cockpit's boards, data library and
    // simulator; the rest from the host. `folder` holds the demo CONFIG.INI.
    Ports MakePorts(IClock& clock, IEventLoop& loop, IProcessEnv& process, IDialogs& dialogs, IFileSystem& files,
                    const std::string& folder, IBridgeSocket& socket, uint16_t bridgePort);

    // Ties levers, wheel and servos to the boards as the controller's
    // settings name them, and sets the levers to their rest positions.
    // Empty on success, else why not.
    std::string Wire(const TForm1& form);

    // Runs `ms` of time: the quadrant's mechanics and the flight; the
    // override flags the controller wrote to the simulator go to the flight.
    void Step(uint64_t ms);

    // ---- for the window ----
    VirtualQuadrant& Quadrant() { return quadrant_; }
    const VirtualQuadrant& Quadrant() const { return quadrant_; }
    VirtualBoardLibrary& Boards() { return boards_; }
    DemoFlight& Flight() { return flight_; }
    const DemoFlight& Flight() const { return flight_; }
    FsuipcEmulator& Simulator() { return simulator_; }
    IPanelBus& PanelBus() { return panelBus_; }

    // A switch's state as its kit holds it (false for an unknown name or a
    // kit not opened yet).
    bool SwitchClosed(const std::string& name) const;
    // Sets a switch; the kit reports the change as the real one does.
    // False for an unknown name or a kit not opened yet.
    bool SetSwitch(const std::string& name, bool closed);
    bool ToggleSwitch(const std::string& name) { return SetSwitch(name, !SwitchClosed(name)); }

    // ---- the built-in bridge ----
    // A message the bridge received ("NAME=VALUE"): kept and shown to the
    // flight.
    void BridgeReceived(const std::string& message);
    // The newest kKeptMessages messages, oldest first.
    static constexpr std::size_t kKeptMessages = 200;
    const std::deque<std::string>& BridgeMessages() const { return messages_; }
    uint64_t BridgeMessageCount() const { return messageCount_; }

    // What the bridge received, one entry per name: its latest message,
    // how many of that name came and the local time the latest came.
    // Ordered by that time, the newest last; at most kSummaryNames names
    // (the one that came longest ago is dropped first).
    struct ReceivedName {
        std::string name;
        std::string message;
        uint64_t count = 0;
        LocalTime last;
    };
    static constexpr std::size_t kSummaryNames = 256;
    const std::vector<ReceivedName>& BridgeSummary() const { return summary_; }

private:
    VirtualBoardState* SwitchKit(const std::string& name, int& input) const;
    // Carries out the hand's moves of the flight due in [from, to).
    void HandActions(double from, double to);

    VirtualBoardLibrary boards_;
    VirtualQuadrant quadrant_{boards_};
    DemoFlight flight_;
    DemoPanelBus panelBus_{flight_};
    FsuipcEmulator simulator_;
    IClock& clock_;
    std::deque<std::string> messages_;
    uint64_t messageCount_ = 0;
    std::vector<ReceivedName> summary_;
    double flightTime_ = 0;   // the flight's time at the last step
};

} // namespace zrk

#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/QuadrantPanel.h"
#include "app/WindowLayout.h"
#include "boards/BoardAssignment.h"
#include "boards/BoardManager.h"
#include "boards/BoardMatch.h"
#include "config/Settings.h"

namespace zrk {

class IBoardLibrary;
class IDialogs;
class IFileSystem;
class IInterfaceKit;
class IMotorControl;
class IServoBase;

// The plain values a control of the Boards window shows: a list's lines
// and its selected line (`value`, -1 for none), a label's or button's
// text, whether a button can be pressed.
using BoardsControlState = QuadrantControlState;

// The "Boards" window as a toolkit-free model: every role of the quadrant
// with how it stands against the boards plugged in, every board found with
// the role it fills, and the builder's actions on them: give the selected
// board to the selected role (only a board of a fitting kind), clear a
// role, identify a board (a motor turns a little, a servo moves a little,
// an interface kit shows its live inputs), and save the serial numbers.
// Changes wait, shown against the boards, until saved; a save writes the
// changed keys of CONFIG.INI only, through the usual atomic save, and the
// roles take effect at the program's next start (the running roster keeps
// every board in the role it opened it in, so that no board is ever
// driven under two roles). Renderers draw the description, show State()
// and forward the actions here.
class BoardsPanel {
public:
    struct Ports {
        IBoardLibrary& library;
        IBoardManager& manager;
        IDialogs& dialogs;
        IFileSystem& files;
        std::string configPath;
        // The settings the program runs on.
        const Settings& settings;
        std::function<void(const std::string&)> log;
    };
    explicit BoardsPanel(Ports ports);
    ~BoardsPanel();
    BoardsPanel(const BoardsPanel&) = delete;
    BoardsPanel& operator=(const BoardsPanel&) = delete;

    static const FormDesign& Design();

    // Brings the states in line with the boards and the pending changes.
    void Refresh();
    // Runs on the controller's main cycle, window shown or not: ends an
    // identify motion when its time is up.
    void Tick(uint32_t nowMs);

    const BoardsControlState& State(std::string_view control) const;
    uint64_t Changes() const { return states_.Changes(); }

    // The user's actions: a line chosen in a list (-1: none), a button
    // pressed. False for a name of no such control or a button that
    // cannot be pressed now.
    bool Select(std::string_view list, int index);
    bool Press(std::string_view button);
    // The window is closed: an identify in progress stops.
    void Closed();

    // What the lists list, in their order.
    const BoardsMatch& Match() const { return match_; }
    // The roles shown (the aircraft type's), in the list's order.
    const std::vector<const BoardRole*>& ShownRoles() const { return roles_; }
    // The changes waiting to be saved.
    const std::vector<SettingChange>& Pending() const { return pending_; }
    // The board an identify drives or reads now; 0 for none.
    int Identifying() const { return identifySerial_; }

    // How long an identify motion lasts, and at what speed and travel.
    static constexpr uint32_t kIdentifyMs = 600;
    static constexpr double kIdentifyVelocity = 15;   // percent
    static constexpr double kIdentifyServoDegrees = 10;

    // The line of a role and of a board in the lists.
    static std::string RoleLine(const RoleMatch& m, bool changed);
    static std::string BoardLine(const AttachedBoard& b, const BoardsMatch& m);

private:
    void Rematch();
    void Set(const std::string& control, BoardsControlState state);
    const RoleMatch* SelectedRole() const;
    const AttachedBoard* SelectedBoard() const;
    void Assign(const AttachedBoard* board);
    void Identify();
    void StopIdentify();
    void Save();
    void Status(std::string text);

    Ports ports_;
    Settings pendingSettings_;
    std::vector<SettingChange> pending_;
    BoardsMatch match_;
    std::vector<const BoardRole*> roles_;
    int selectedRole_ = -1, selectedBoard_ = -1;
    std::string status_;
    int watch_ = 0;
    ControlStates<BoardsControlState> states_;

    // Identify: the control opened for it and what it shows.
    int identifySerial_ = 0;
    std::unique_ptr<IMotorControl> identifyMotor_;
    std::unique_ptr<IServoBase> identifyServo_;
    std::unique_ptr<IInterfaceKit> identifyKit_;
    bool identifyStarted_ = false;
    std::optional<uint32_t> identifyEndsAt_;
    uint32_t nowMs_ = 0;
    std::vector<int> kitSensors_;
    std::vector<int> kitInputs_;
};

} // namespace zrk

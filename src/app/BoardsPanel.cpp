#include "app/BoardsPanel.h"

#include <algorithm>
#include <cstdint>

#include "boards/Board.h"
#include "config/FileSystem.h"
#include "ports/Dialogs.h"

namespace zrk {

namespace {

// The controls of the window.
constexpr const char* kRoleList = "RoleList";
constexpr const char* kRoleDetail = "RoleDetail";
constexpr const char* kBoardList = "BoardList";
constexpr const char* kBoardDetail = "BoardDetail";
constexpr const char* kAssign = "AssignButton";
constexpr const char* kClear = "ClearButton";
constexpr const char* kIdentify = "IdentifyButton";
constexpr const char* kSave = "SaveButton";
constexpr const char* kClose = "CloseButton";
constexpr const char* kStatus = "BoardsStatus";

FormDesign MakeBoardsDesign()
{
    FormDesign f;
    f.name = "Boards";
    f.caption = "Boards";
    f.width = 760;
    f.height = 518;
    f.closeButton = kClose;
    auto add = [&f](ControlKind kind, const char* name, const char* caption, const char* group, Bounds b) {
        ControlDesign c;
        c.kind = kind;
        c.name = name;
        c.caption = caption;
        c.group = group;
        c.bounds = b;
        f.controls.push_back(std::move(c));
    };
    add(ControlKind::Panel, "RolePanel", "Roles", "", {8, 8, 744, 230});
    add(ControlKind::List, kRoleList, "", "RolePanel", {10, 30, 724, 162});
    add(ControlKind::Label, kRoleDetail, "", "RolePanel", {10, 198, 724, 22});
    add(ControlKind::Panel, "BoardPanel", "Boards found", "", {8, 246, 744, 200});
    add(ControlKind::List, kBoardList, "", "BoardPanel", {10, 30, 724, 132});
    add(ControlKind::Label, kBoardDetail, "", "BoardPanel", {10, 168, 724, 22});
    add(ControlKind::Button, kAssign, "Assign to Role", "", {8, 454, 130, 28});
    add(ControlKind::Button, kClear, "Clear Role", "", {146, 454, 110, 28});
    add(ControlKind::Button, kIdentify, "Identify", "", {264, 454, 110, 28});
    add(ControlKind::Button, kSave, "Save", "", {530, 454, 100, 28});
    add(ControlKind::Button, kClose, "Close", "", {642, 454, 110, 28});
    add(ControlKind::Label, kStatus, "", "", {8, 488, 744, 22});
    for (ControlDesign& c : f.controls)
        if (c.kind == ControlKind::Label)
            c.style = LabelStyle::Readout;
    return f;
}

std::string Serial(int serial)
{
    return "#" + std::to_string(serial);
}

bool Due(uint32_t now, uint32_t at)
{
    // Tick counts wrap at 2^32: compared by their difference.
    return int32_t(now - at) >= 0;
}

// A board call that fails (the board has just been unplugged) ends the
// step it was in, nothing more.
template <class Fn> void Try(Fn&& fn)
{
    try {
        fn();
    } catch (const BoardError&) {
    }
}

} // namespace

const FormDesign& BoardsPanel::Design()
{
    static const FormDesign design = MakeBoardsDesign();
    return design;
}

BoardsPanel::BoardsPanel(Ports ports) : ports_(std::move(ports)), pendingSettings_(ports_.settings)
{
    watch_ = ports_.manager.Watch([this](const AttachedBoard&, bool) { Refresh(); });
    if (!ports_.manager.Available())
        status_ = "The board library cannot list its boards: only the configured serial numbers are known";
    Refresh();
}

BoardsPanel::~BoardsPanel()
{
    ports_.manager.Unwatch(watch_);
    StopIdentify();
}

std::string BoardsPanel::RoleLine(const RoleMatch& m, bool changed)
{
    std::string line = std::string(m.role->name) + ": ";
    switch (m.state) {
    case RoleState::Filled: line += Serial(m.serial) + " " + BoardKindName(m.openedAs) + ", attached"; break;
    case RoleState::Missing: line += Serial(m.serial) + " missing (not attached)"; break;
    case RoleState::WrongKind:
        line += Serial(m.serial) + " is " + BoardKindName(m.board ? m.board->kind : std::nullopt) +
                ", not a " + BoardKindName(m.openedAs) + ": wrong kind, not driven";
        break;
    case RoleState::NotUsed:
        line += m.serial > 0 ? Serial(m.serial) + ", not used on this aircraft type" : std::string("not used");
        break;
    }
    if (changed)
        line += "  (changed, not saved)";
    return line;
}

std::string BoardsPanel::BoardLine(const AttachedBoard& b, const BoardsMatch& m)
{
    std::string line = Serial(b.serial) + "  " + BoardKindName(b.kind);
    if (!b.name.empty())
        line += "  " + b.name;
    if (b.version > 0)
        line += " v" + std::to_string(b.version);
    const std::vector<const BoardRole*> roles = m.FilledBy(b.serial);
    line += ": ";
    if (roles.empty()) {
        line += m.WrongKindFor(b.serial).empty() ? "unassigned" : "configured as another kind of board";
    } else {
        for (std::size_t i = 0; i < roles.size(); ++i)
            line += (i ? " + " : "") + std::string(roles[i]->name);
    }
    return line;
}

void BoardsPanel::Rematch()
{
    match_ = MatchBoards(ports_.manager.Boards(), pendingSettings_);
    roles_.clear();
    for (const RoleMatch& m : match_.roles)
        roles_.push_back(m.role);
    if (selectedRole_ >= int(roles_.size()))
        selectedRole_ = -1;
    if (selectedBoard_ >= int(match_.attached.size()))
        selectedBoard_ = -1;
}

void BoardsPanel::Set(const std::string& control, BoardsControlState state)
{
    states_.Set(control, std::move(state));
}

const RoleMatch* BoardsPanel::SelectedRole() const
{
    return selectedRole_ >= 0 && selectedRole_ < int(match_.roles.size()) ? &match_.roles[std::size_t(selectedRole_)]
                                                                           : nullptr;
}

const AttachedBoard* BoardsPanel::SelectedBoard() const
{
    return selectedBoard_ >= 0 && selectedBoard_ < int(match_.attached.size())
               ? &match_.attached[std::size_t(selectedBoard_)]
               : nullptr;
}

void BoardsPanel::Refresh()
{
    // The board chosen stays chosen while the list changes around it.
    const int chosenSerial = SelectedBoard() ? SelectedBoard()->serial : 0;
    Rematch();
    if (chosenSerial) {
        selectedBoard_ = -1;
        for (std::size_t i = 0; i < match_.attached.size(); ++i)
            if (match_.attached[i].serial == chosenSerial)
                selectedBoard_ = int(i);
    }

    BoardsControlState roles;
    for (const RoleMatch& m : match_.roles) {
        const bool changed = std::any_of(pending_.begin(), pending_.end(),
                                         [&m](const SettingChange& c) { return c.key == m.role->key; });
        roles.lines.push_back(RoleLine(m, changed));
    }
    roles.value = selectedRole_;
    Set(kRoleList, std::move(roles));

    BoardsControlState boards;
    for (const AttachedBoard& b : match_.attached)
        boards.lines.push_back(BoardLine(b, match_));
    if (boards.lines.empty())
        boards.enabled = ports_.manager.Available();
    boards.value = selectedBoard_;
    Set(kBoardList, std::move(boards));

    const RoleMatch* role = SelectedRole();
    const AttachedBoard* board = SelectedBoard();
    BoardsControlState detail;
    if (role) {
        detail.text = std::string(role->role->key) + ": " + role->role->purpose + ". Fits: ";
        for (std::size_t i = 0; i < role->role->kinds.size(); ++i)
            detail.text += (i ? ", " : "") + BoardKindName(role->role->kinds[i]);
    }
    Set(kRoleDetail, std::move(detail));

    BoardsControlState live;
    if (identifyKit_) {
        live.text = Serial(identifySerial_) + " inputs";
        for (int v : kitInputs_)
            live.text += v < 0 ? " -" : v ? " 1" : " 0";
        live.text += ", levers";
        for (int v : kitSensors_)
            live.text += v < 0 ? " -" : " " + std::to_string(v);
        if (!identifyKit_->Attached())
            live.text += " (waiting for the board)";
    } else if (identifySerial_) {
        live.text = Serial(identifySerial_) + (identifyStarted_ ? " is moving" : " is being opened");
    }
    Set(kBoardDetail, std::move(live));

    const bool fits = role && board && board->kind && role->role->CanBeFilledBy(*board->kind);
    BoardsControlState assign;
    assign.enabled = fits;
    Set(kAssign, std::move(assign));
    BoardsControlState clear;
    clear.enabled = role && role->serial > 0;
    Set(kClear, std::move(clear));
    BoardsControlState identify;
    identify.enabled = board && board->kind.has_value();
    Set(kIdentify, std::move(identify));
    BoardsControlState save;
    save.enabled = !pending_.empty();
    Set(kSave, std::move(save));
    Set(kClose, {});
    BoardsControlState status;
    status.text = status_;
    Set(kStatus, std::move(status));
}

const BoardsControlState& BoardsPanel::State(std::string_view control) const
{
    return states_.Get(control);
}

bool BoardsPanel::Select(std::string_view list, int index)
{
    if (list == kRoleList)
        selectedRole_ = index >= 0 && index < int(match_.roles.size()) ? index : -1;
    else if (list == kBoardList)
        selectedBoard_ = index >= 0 && index < int(match_.attached.size()) ? index : -1;
    else
        return false;
    Refresh();
    return true;
}

bool BoardsPanel::Press(std::string_view button)
{
    const BoardsControlState& s = State(button);
    if (!states_.Has(button) || !s.enabled)
        return false;
    if (button == kAssign)
        Assign(SelectedBoard());
    else if (button == kClear)
        Assign(nullptr);
    else if (button == kIdentify)
        Identify();
    else if (button == kSave)
        Save();
    else if (button == kClose)
        Closed();
    else
        return false;
    Refresh();
    return true;
}

void BoardsPanel::Status(std::string text)
{
    status_ = std::move(text);
}

void BoardsPanel::Assign(const AttachedBoard* board)
{
    const RoleMatch* m = SelectedRole();
    if (!m)
        return;
    const BoardRole& role = *m->role;
    const std::optional<std::vector<SettingChange>> changes = AssignBoard(role, board, pendingSettings_);
    if (!changes) {
        Status(Serial(board ? board->serial : 0) + " cannot be the " + role.name + ": it is " +
               BoardKindName(board ? board->kind : std::nullopt));
        return;
    }
    ApplySettingChanges(*changes, pendingSettings_);
    for (const SettingChange& c : *changes) {
        auto same = std::find_if(pending_.begin(), pending_.end(), [&c](const SettingChange& p) {
            return p.section == c.section && p.key == c.key;
        });
        if (same != pending_.end())
            *same = c;
        else
            pending_.push_back(c);
    }
    Status(board ? Serial(board->serial) + " is now the " + role.name + " (not saved yet)"
                 : std::string(role.name) + " cleared (not saved yet)");
}

void BoardsPanel::Save()
{
    if (pending_.empty())
        return;
    const DialogAnswer answer = ports_.dialogs.AskYesNoCancel("Save Board Changes ?");
    if (answer != DialogAnswer::Yes)
        return;
    const std::string error = SaveSettingChanges(ports_.files, ports_.configPath, pending_);
    if (!error.empty()) {
        const std::string msg = "Board roles not saved: " + error;
        if (ports_.log)
            ports_.log(msg);
        ports_.dialogs.ShowError(msg);
        Status(msg);
        return;
    }
    // The running roster keeps the boards in the roles it opened them in:
    // opening them again under other roles while their drives run could
    // drive one board as two.
    const std::string msg = "Board roles saved to " + ports_.configPath +
                            "; restart the program to open the boards in their new roles";
    if (ports_.log)
        ports_.log(msg);
    Status(msg);
    pending_.clear();
}

void BoardsPanel::Identify()
{
    const AttachedBoard* board = SelectedBoard();
    if (!board || !board->kind)
        return;
    // A board the running controller has opened in a role is its drives':
    // nothing here moves it or takes it from them.
    const BoardsMatch running = MatchBoards(ports_.manager.Boards(), ports_.settings);
    for (const RoleMatch& m : running.roles) {
        if (m.serial == board->serial && m.state != RoleState::NotUsed) {
            Status(Serial(board->serial) + " is the controller's " + m.role->name +
                   " board: it is not identified from here while the controller drives it");
            return;
        }
    }
    StopIdentify();
    const int serial = board->serial;
    const BoardKind kind = *board->kind;
    if (kind != BoardKind::InterfaceKit) {
        const std::string what = kind == BoardKind::MotorControl
                                     ? "motor 1 of the motor controller " + Serial(serial) +
                                           " turns a little, at low speed, for a moment"
                                     : "servo 1 of the servo board " + Serial(serial) + " moves a little and back";
        if (ports_.dialogs.AskYesNoCancel("Identify: " + what + ". Keep hands clear of it. Go ahead?") !=
            DialogAnswer::Yes) {
            Status(Serial(serial) + " not identified: nothing was moved");
            return;
        }
    }
    identifySerial_ = serial;
    identifyStarted_ = false;
    switch (kind) {
    case BoardKind::InterfaceKit: {
        identifyKit_ = ports_.library.CreateInterfaceKit();
        kitSensors_.assign(8, -1);
        kitInputs_.assign(8, -1);
        identifyKit_->OnSensorChange = [this](int input, int value) {
            if (input >= 0 && input < int(kitSensors_.size()))
                kitSensors_[std::size_t(input)] = value;
            Refresh();
        };
        identifyKit_->OnInputChange = [this](int input, bool state) {
            if (input >= 0 && input < int(kitInputs_.size()))
                kitInputs_[std::size_t(input)] = state ? 1 : 0;
            Refresh();
        };
        identifyKit_->OnAttach = [this] { Refresh(); };
        Try([&] { identifyKit_->Open(serial); });
        Status(Serial(serial) + ": move its levers and switches to see which inputs they are");
        break;
    }
    case BoardKind::MotorControl:
        identifyMotor_ = ports_.library.CreateMotorControl();
        identifyMotor_->OnAttach = [this] {
            Try([this] { identifyMotor_->SetVelocity(0, kIdentifyVelocity); });
            identifyStarted_ = true;
            identifyEndsAt_ = nowMs_ + kIdentifyMs;
            Refresh();
        };
        Try([&] { identifyMotor_->Open(serial); });
        Status(Serial(serial) + ": watch for the motor that turns");
        break;
    case BoardKind::AdvancedServo:
    case BoardKind::Servo:
        if (kind == BoardKind::AdvancedServo)
            identifyServo_ = ports_.library.CreateAdvancedServo();
        else
            identifyServo_ = ports_.library.CreateServo();
        identifyServo_->OnAttach = [this] {
            Try([this] {
                const double at = std::clamp(identifyServo_->Position(0), 20.0, 160.0);
                identifyServo_->SetEngaged(0, true);
                identifyServo_->SetPosition(0, at + kIdentifyServoDegrees);
            });
            identifyStarted_ = true;
            identifyEndsAt_ = nowMs_ + kIdentifyMs;
            Refresh();
        };
        Try([&] { identifyServo_->Open(serial); });
        Status(Serial(serial) + ": watch for the servo that moves");
        break;
    }
}

void BoardsPanel::StopIdentify()
{
    if (identifyMotor_) {
        Try([this] { identifyMotor_->SetVelocity(0, 0); });
        identifyMotor_->OnAttach = nullptr;
        identifyMotor_->Close();
        identifyMotor_.reset();
    }
    if (identifyServo_) {
        Try([this] {
            if (identifyStarted_) {
                // Back where it was; left engaged there, as it was found.
                identifyServo_->SetPosition(0, identifyServo_->Position(0) - kIdentifyServoDegrees);
            }
        });
        identifyServo_->OnAttach = nullptr;
        identifyServo_->Close();
        identifyServo_.reset();
    }
    if (identifyKit_) {
        identifyKit_->OnSensorChange = nullptr;
        identifyKit_->OnInputChange = nullptr;
        identifyKit_->OnAttach = nullptr;
        identifyKit_->Close();
        identifyKit_.reset();
    }
    identifySerial_ = 0;
    identifyStarted_ = false;
    identifyEndsAt_.reset();
}

void BoardsPanel::Tick(uint32_t nowMs)
{
    nowMs_ = nowMs;
    if (identifyEndsAt_ && Due(nowMs, *identifyEndsAt_)) {
        const int serial = identifySerial_;
        StopIdentify();
        Status(Serial(serial) + " identified: it moved and stopped");
        Refresh();
    }
}

void BoardsPanel::Closed()
{
    StopIdentify();
    Refresh();
}

} // namespace zrk

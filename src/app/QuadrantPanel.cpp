#include "app/QuadrantPanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "boards/VirtualBoards.h"
#include "boards/VirtualQuadrant.h"

namespace zrk {

namespace {

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

// Geometry of the window, in pixels at 96 dots per inch.
constexpr int kMargin = 8;           // around and between the panels
constexpr int kInsetX = 10;          // a panel's contents from its left edge
constexpr int kInsetTop = kPanelTitleHeight + 6;
constexpr int kInsetBottom = 12;
constexpr int kColumn = 66;          // one lever's column
constexpr int kKindGap = 8;          // between kinds of levers
constexpr int kLeverHeight = 210;    // the lever's travel and its caption
constexpr int kReadoutWidth = 58, kRowHeight = 20;
constexpr int kDialWidth = 96, kDialStep = 100, kTrimHeight = 150, kWheelWidth = 110;
constexpr int kSwitchWidth = 170, kSwitchStep = 22;
constexpr int kFlightMinWidth = 580;

// The order of the levers in the window: by kind, then by name.
std::vector<std::string> SortedLevers(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return LeverRank(a) != LeverRank(b) ? LeverRank(a) < LeverRank(b) : a < b;
    });
    return names;
}

// The servos the trim panel shows, with their captions.
struct ShownDial {
    const char* key;
    const char* caption;
};
constexpr ShownDial kDials[] = {
    {"cpt", "STAB CPT"}, {"fo", "STAB F/O"}, {"rudder", "RUDDER"}, {"latch", "SB LATCH"}};

// Builds a form's controls in tab order, each panel before what it holds.
class Builder {
public:
    explicit Builder(FormDesign& form) : form_(form) {}

    ControlDesign& Add(ControlKind kind, std::string name, std::string caption, Bounds b)
    {
        ControlDesign c;
        c.kind = kind;
        c.name = std::move(name);
        c.caption = std::move(caption);
        c.group = group_;
        c.bounds = b;
        form_.controls.push_back(std::move(c));
        return form_.controls.back();
    }
    ControlDesign& Panel(std::string name, std::string title, Bounds b)
    {
        group_.clear();
        ControlDesign& p = Add(ControlKind::Panel, name, std::move(title), b);
        group_ = std::move(name);
        return p;
    }
    ControlDesign& Readout(std::string name, Bounds b)
    {
        ControlDesign& l = Add(ControlKind::Label, std::move(name), "", b);
        l.style = LabelStyle::Readout;
        l.align = TextAlign::Center;
        return l;
    }
    // The panel being filled grows to hold what it holds.
    void Fit(int width, int height)
    {
        for (ControlDesign& c : form_.controls)
            if (c.kind == ControlKind::Panel && c.name == group_) {
                c.bounds.width = std::max(c.bounds.width, width);
                c.bounds.height = height;
            }
    }

private:
    FormDesign& form_;
    std::string group_;
};

} // namespace

std::string LeverCaption(const std::string& name)
{
    std::string upper;
    for (char ch : name)
        upper += char(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
    if (StartsWith(name, "throttle") && name.size() > 8)
        return "THR " + name.substr(8);
    if (StartsWith(name, "reverser") && name.size() > 8)
        return "REV " + name.substr(8);
    if (name == "speedbrake")
        return "SPD BRK";
    if (name == "flaps" || name == "flap")
        return "FLAPS";
    return upper;
}

int LeverRank(const std::string& name)
{
    if (StartsWith(name, "throttle"))
        return 0;
    if (StartsWith(name, "reverser"))
        return 1;
    if (name == "speedbrake")
        return 2;
    if (StartsWith(name, "flap"))
        return 3;
    return 4;
}

QuadrantSwitchHook KitSwitch(VirtualBoardLibrary& boards, const std::string& label, int kitSerial, int input)
{
    QuadrantSwitchHook s;
    s.label = label;
    s.closed = [&boards, kitSerial, input] {
        const VirtualBoardState* kit = boards.Find(kitSerial);
        return kit && kit->ValidIndex(input) && kit->input[std::size_t(input)];
    };
    s.set = [&boards, kitSerial, input](bool closed) {
        if (VirtualBoardState* kit = boards.Find(kitSerial))
            kit->Input(input, closed);
    };
    return s;
}

const std::vector<double>& QuadrantPanel::SpeedFactors()
{
    static const std::vector<double> factors{1, 2, 4, 8};
    return factors;
}

std::string QuadrantPanel::SpeedControl(double factor)
{
    return "Speed" + std::to_string(int(std::lround(factor)));
}

QuadrantPanel::QuadrantPanel(VirtualQuadrant& quadrant, QuadrantHooks hooks)
    : quadrant_(quadrant), hooks_(std::move(hooks))
{
    Build();
    Refresh();
}

void QuadrantPanel::Build()
{
    design_.name = "Quadrant";
    design_.caption = "Quadrant";
    Builder b(design_);
    using W = Binding::What;
    int y = kMargin;
    int width = kFlightMinWidth;

    // Flight: the phase and time, Pause, Restart, the speed factors, and
    // what the bridge received.
    const bool flightPanel = bool(hooks_.flight) || bool(hooks_.bridgeMessages);
    std::size_t flightPanelAt = 0;
    if (flightPanel) {
        flightPanelAt = design_.controls.size();
        b.Panel("FlightPanel", "Flight", {kMargin, y, kFlightMinWidth, 0});
        int row = kInsetTop;
        if (hooks_.flight) {
            ControlDesign& phase = b.Add(ControlKind::Label, "FlightPhase", "", {kInsetX, row + 1, 150, 22});
            phase.style = LabelStyle::Heading;
            bindings_["FlightPhase"] = {W::Phase, "", 0, 0};
            b.Readout("FlightTime", {kInsetX + 156, row + 1, 64, 22});
            bindings_["FlightTime"] = {W::Time, "", 0, 0};
            b.Add(ControlKind::Button, "FlightPause", "Pause", {kInsetX + 228, row, 76, 24});
            bindings_["FlightPause"] = {W::Pause, "", 0, 0};
            b.Add(ControlKind::Button, "FlightRestart", "Restart", {kInsetX + 310, row, 76, 24});
            bindings_["FlightRestart"] = {W::Restart, "", 0, 0};
            int x = kInsetX + 400;
            for (double f : SpeedFactors()) {
                char caption[16];
                std::snprintf(caption, sizeof caption, "%d\xC3\x97", int(std::lround(f)));   // "2×"
                b.Add(ControlKind::Toggle, SpeedControl(f), caption, {x, row, 38, 24});
                bindings_[SpeedControl(f)] = {W::Speed, "", 0, f};
                x += 42;
            }
            row += 32;
        }
        if (hooks_.bridgeMessages) {
            b.Add(ControlKind::Label, "BridgeCaption", "Bridge received", {kInsetX, row + 2, 110, 18});
            b.Add(ControlKind::Memo, "BridgeMessages", "", {kInsetX + 116, row, kFlightMinWidth - kInsetX - 116 - 12, 78});
            bindings_["BridgeMessages"] = {W::Messages, "", 0, 0};
            row += 78;
        }
        b.Fit(kFlightMinWidth, row + kInsetBottom);
        y += row + kInsetBottom + kMargin;
    }

    // Levers: one column each, a little space between their kinds.
    const std::size_t leverPanelAt = design_.controls.size();
    b.Panel("LeverPanel", "Levers", {kMargin, y, 0, 0});
    const std::vector<std::string> levers = SortedLevers(quadrant_.Levers());
    int x = kInsetX;
    int lastRank = -1;
    for (const std::string& name : levers) {
        if (lastRank >= 0 && LeverRank(name) != lastRank)
            x += kKindGap;
        lastRank = LeverRank(name);
        ControlDesign& lever = b.Add(ControlKind::Lever, LeverControl(name), LeverCaption(name),
                                     {x + 3, kInsetTop, kColumn - 6, kLeverHeight});
        lever.min = VirtualQuadrant::kMinReading;
        lever.max = VirtualQuadrant::kMaxReading;
        lever.step = 10;
        bindings_[LeverControl(name)] = {W::Lever, name, 0, 0};
        const int cx = x + (kColumn - kReadoutWidth) / 2;
        int row = kInsetTop + kLeverHeight + 4;
        b.Readout(ReadingControl(name), {cx, row, kReadoutWidth, kRowHeight});
        bindings_[ReadingControl(name)] = {W::Reading, name, 0, 0};
        row += kRowHeight + 4;
        const auto wiring = quadrant_.WiringOf(name);
        if (wiring && !wiring->motors.empty()) {
            b.Readout(CurrentControl(name), {cx, row, kReadoutWidth, kRowHeight});
            bindings_[CurrentControl(name)] = {W::Current, name, 0, 0};
        }
        row += kRowHeight + 6;
        b.Add(ControlKind::Shape, HandControl(name), "", {x + (kColumn - 16) / 2, row, 16, 16});
        bindings_[HandControl(name)] = {W::Hand, name, 0, 0};
        row += 16 + 6;
        if (LeverRank(name) == 0) {
            b.Add(ControlKind::Toggle, HoldControl(name), "HOLD", {x + (kColumn - 60) / 2, row, 60, 24});
            bindings_[HoldControl(name)] = {W::Hold, name, 0, 0};
        }
        x += kColumn;
    }
    int leverBottom = kInsetTop + kLeverHeight + 4 + 2 * (kRowHeight + 4) + 2 + 16 + 6 + 24;
    if (levers.empty()) {
        b.Add(ControlKind::Label, "NoLevers", "No lever is wired.", {kInsetX, kInsetTop, 200, kRowHeight});
        x = kInsetX + 200;
        leverBottom = kInsetTop + kRowHeight;
    }
    b.Fit(x + 12, leverBottom + kInsetBottom);
    width = std::max(width, x + 12);
    y += leverBottom + kInsetBottom + kMargin;

    // Trim: the wheel and the needles of the trim indicators and the latch;
    // the switches beside them.
    b.Panel("TrimPanel", "Trim and speedbrake latch", {kMargin, y, 0, 0});
    x = kInsetX;
    const std::vector<std::string> wheels = quadrant_.Wheels();
    if (!wheels.empty()) {
        const std::string wheel =
            std::find(wheels.begin(), wheels.end(), "trim") != wheels.end() ? "trim" : wheels.front();
        b.Add(ControlKind::Wheel, "TrimWheel", "TRIM", {x, kInsetTop, kWheelWidth, kTrimHeight});
        bindings_["TrimWheel"] = {W::Wheel, wheel, 0, 0};
        x += kWheelWidth + 6;
    }
    const std::vector<std::string> servos = quadrant_.Servos();
    const auto has = [&servos](const std::string& n) {
        return std::find(servos.begin(), servos.end(), n) != servos.end();
    };
    for (const ShownDial& d : kDials) {
        // The servo of its own board, else the one on the four-channel board.
        std::string servo;
        if (has(d.key))
            servo = d.key;
        else if (has(std::string("multi-") + d.key))
            servo = std::string("multi-") + d.key;
        b.Add(ControlKind::Dial, DialControl(d.key), d.caption, {x, kInsetTop, kDialWidth, kTrimHeight});
        bindings_[DialControl(d.key)] = {W::Dial, servo, 0, 0};
        x += kDialStep;
    }
    const int trimWidth = x + 8;
    int bottomHeight = kInsetTop + kTrimHeight + kInsetBottom;
    if (!hooks_.switches.empty())
        bottomHeight = std::max(bottomHeight, kInsetTop + int(hooks_.switches.size()) * kSwitchStep + kInsetBottom);
    b.Fit(trimWidth, bottomHeight);
    int bottomWidth = trimWidth;
    if (!hooks_.switches.empty()) {
        b.Panel("SwitchPanel", "Switches", {kMargin + trimWidth + kMargin, y, kSwitchWidth + 22, bottomHeight});
        for (std::size_t i = 0; i < hooks_.switches.size(); ++i) {
            b.Add(ControlKind::CheckBox, SwitchControl(i), hooks_.switches[i].label,
                  {kInsetX, kInsetTop + int(i) * kSwitchStep, kSwitchWidth, 20});
            bindings_[SwitchControl(i)] = {W::Switch, "", i, 0};
        }
        bottomWidth += kMargin + kSwitchWidth + 22;
    }
    width = std::max(width, bottomWidth);
    y += bottomHeight + kMargin;

    // The flight and lever panels take the window's whole width.
    if (flightPanel)
        design_.controls[flightPanelAt].bounds.width = width;
    design_.controls[leverPanelAt].bounds.width = width;
    if (flightPanel)
        for (ControlDesign& c : design_.controls)
            if (c.name == "BridgeMessages")
                c.bounds.width = width - c.bounds.left - 12;
    design_.width = width + 2 * kMargin;
    design_.height = y;
}

void QuadrantPanel::Set(const std::string& control, QuadrantControlState state)
{
    states_.Set(control, std::move(state));
}

double QuadrantPanel::LeverAmps(const std::string& lever) const
{
    double amps = 0;
    if (const auto wiring = quadrant_.WiringOf(lever))
        for (const VirtualQuadrant::MotorOutput& m : wiring->motors)
            amps = std::max(amps, quadrant_.Amps(m));
    return amps;
}

void QuadrantPanel::Refresh()
{
    using W = Binding::What;
    QuadrantFlightState flight;
    if (hooks_.flight)
        flight = hooks_.flight();
    for (const auto& [control, bind] : bindings_) {
        QuadrantControlState s;
        switch (bind.what) {
        case W::None: break;
        case W::Lever:
            s.value = std::clamp(quadrant_.Position(bind.part).value_or(0), 0.0, double(VirtualQuadrant::kMaxReading));
            s.on = quadrant_.Held(bind.part);
            break;
        case W::Reading: s.text = std::to_string(quadrant_.Reading(bind.part).value_or(0)); break;
        case W::Current: {
            char amps[32];
            std::snprintf(amps, sizeof amps, "%.2f A", LeverAmps(bind.part));
            s.text = amps;
            break;
        }
        case W::Hand: s.color = quadrant_.Held(bind.part) ? kLampHandColor : kLampOffColor; break;
        case W::Hold: {
            // Released elsewhere (a restart): the toggle follows.
            s.on = states_.Get(control).on && quadrant_.Held(bind.part);
            break;
        }
        case W::Dial:
            s.on = !bind.part.empty();
            s.value = s.on ? quadrant_.ServoAngle(bind.part).value_or(0) : 0;
            break;
        case W::Wheel: s.value = quadrant_.WheelTurns(bind.part).value_or(0); break;
        case W::Switch: {
            const QuadrantSwitchHook& h = hooks_.switches[bind.index];
            s.on = h.closed && h.closed();
            s.enabled = bool(h.set);
            break;
        }
        case W::Speed:
            s.on = std::abs(bind.factor - flight.speed) < 1e-6;
            s.enabled = bool(hooks_.setSpeed);
            break;
        case W::Pause:
            s.text = flight.paused ? "Resume" : "Pause";
            s.enabled = bool(hooks_.setPaused);
            break;
        case W::Restart: s.enabled = bool(hooks_.restart); break;
        case W::Phase: s.text = flight.paused ? flight.phase + " (paused)" : flight.phase; break;
        case W::Time: {
            const long secs = std::isfinite(flight.timeS) ? long(std::clamp(flight.timeS, 0.0, 1e9)) : 0L;
            char time[32];
            std::snprintf(time, sizeof time, "%ld:%02ld", secs / 60, secs % 60);
            s.text = time;
            break;
        }
        case W::Messages: {
            std::vector<std::string> shown = hooks_.bridgeMessages();
            if (shown.size() > kShownMessages)
                shown.erase(shown.begin(), shown.end() - long(kShownMessages));
            s.lines = std::move(shown);
            break;
        }
        }
        Set(control, std::move(s));
    }
}

const QuadrantControlState& QuadrantPanel::State(std::string_view control) const
{
    return states_.Get(control);
}

const QuadrantPanel::Binding* QuadrantPanel::Bound(std::string_view control) const
{
    const auto it = bindings_.find(control);
    return it == bindings_.end() ? nullptr : &it->second;
}

std::string QuadrantPanel::LeverOf(std::string_view control) const
{
    const Binding* b = Bound(control);
    if (!b)
        return {};
    switch (b->what) {
    case Binding::What::Lever:
    case Binding::What::Reading:
    case Binding::What::Current:
    case Binding::What::Hand:
    case Binding::What::Hold: return b->part;
    default: return {};
    }
}

bool QuadrantPanel::Grab(std::string_view control, double position)
{
    const Binding* b = Bound(control);
    if (!b || b->what != Binding::What::Lever)
        return false;
    // The hand takes the lever (unless it already rests on it) and puts it
    // where the mouse is; the motor now pushes against the hand.
    if (!quadrant_.Held(b->part))
        quadrant_.Hold(b->part);
    quadrant_.Move(b->part, position, 0);
    Refresh();
    return true;
}

bool QuadrantPanel::Drag(std::string_view control, double position)
{
    const Binding* b = Bound(control);
    if (!b || b->what != Binding::What::Lever)
        return false;
    quadrant_.Move(b->part, position, 0);
    Refresh();
    return true;
}

bool QuadrantPanel::LetGo(std::string_view control)
{
    const Binding* b = Bound(control);
    if (!b || b->what != Binding::What::Lever)
        return false;
    // A throttle whose HOLD is on keeps the hand resting on it.
    if (!State(HoldControl(b->part)).on)
        quadrant_.Release(b->part);
    Refresh();
    return true;
}

bool QuadrantPanel::Nudge(std::string_view control, double position)
{
    const Binding* b = Bound(control);
    if (!b || b->what != Binding::What::Lever)
        return false;
    quadrant_.Move(b->part, position, 0);
    Refresh();
    return true;
}

bool QuadrantPanel::SetOn(std::string_view control, bool on)
{
    const Binding* b = Bound(control);
    if (!b)
        return false;
    switch (b->what) {
    case Binding::What::Hold: {
        if (on)
            quadrant_.Hold(b->part);
        else
            quadrant_.Release(b->part);
        QuadrantControlState s = State(control);
        s.on = on;
        Set(std::string(control), std::move(s));
        break;
    }
    case Binding::What::Switch:
        if (hooks_.switches[b->index].set)
            hooks_.switches[b->index].set(on);
        break;
    case Binding::What::Speed:
        // A speed factor is chosen, never unchosen: the flight runs at one.
        if (on && hooks_.setSpeed)
            hooks_.setSpeed(b->factor);
        break;
    default: return false;
    }
    Refresh();
    return true;
}

bool QuadrantPanel::Press(std::string_view control)
{
    const Binding* b = Bound(control);
    if (!b)
        return false;
    switch (b->what) {
    case Binding::What::Pause:
        if (hooks_.setPaused && hooks_.flight)
            hooks_.setPaused(!hooks_.flight().paused);
        break;
    case Binding::What::Restart:
        if (hooks_.restart)
            hooks_.restart();
        break;
    default: return false;
    }
    Refresh();
    return true;
}

} // namespace zrk

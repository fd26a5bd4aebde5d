#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/ControlStates.h"
#include "app/WindowLayout.h"

namespace zrk {

class VirtualBoardLibrary;
class VirtualQuadrant;

// A switch the Quadrant window shows as a toggle.
struct QuadrantSwitchHook {
    std::string label;
    std::function<bool()> closed;
    std::function<void(bool)> set;
};
// A switch on a digital input of a virtual interface kit (shown open while
// no such kit or input exists).
QuadrantSwitchHook KitSwitch(VirtualBoardLibrary& boards, const std::string& label, int kitSerial, int input);

// Where the flight stands, for the window's flight panel.
struct QuadrantFlightState {
    double timeS = 0;
    std::string phase;
    bool paused = false;
    double speed = 1;
};

// What the window shows beside the quadrant itself, and what its buttons
// do. Anything left empty is not shown.
struct QuadrantHooks {
    std::vector<QuadrantSwitchHook> switches;
    std::function<QuadrantFlightState()> flight;
    std::function<void(bool paused)> setPaused;
    std::function<void()> restart;
    std::function<void(double factor)> setSpeed;
    // The built-in bridge's messages to list, oldest first.
    std::function<std::vector<std::string>()> bridgeMessages;
};

// The caption of a lever ("THR 1", "REV 2", "SPD BRK", "FLAPS") and the
// order its kind is shown in: throttles, reversers, speedbrake, flaps.
std::string LeverCaption(const std::string& lever);
int LeverRank(const std::string& lever);

// The plain values one control of the Quadrant window shows. Which fields
// a control uses depends on its kind:
//   Lever     value (0..1000 travel), on (a hand is on it)
//   Toggle    on (pressed)
//   CheckBox  on (closed)
//   Label     text
//   Shape     color (0x00BBGGRR)
//   Wheel     value (turns)
//   Dial      value (degrees), on (a servo is there to show)
//   Memo      lines
//   Button    text (when it changes, as Pause and Resume)
// `enabled` is false for a control that has nothing to act on.
struct QuadrantControlState {
    std::string text;
    double value = 0;
    bool on = false;
    bool enabled = true;
    int color = 0;
    std::vector<std::string> lines;
    bool operator==(const QuadrantControlState&) const = default;
};

// The "Quadrant" window of the virtual cockpit, as a toolkit-free model:
// the window's description (made from what the quadrant has wired and what
// the hooks offer), the values its controls show, and the user's actions.
// Every lever is shown where the quadrant has it, so it moves when its
// motor drives it; grabbing one is a hand moving it (held until let go, so
// a motor fighting the hand stalls). A "HOLD" toggle under each throttle
// rests a hand on it. The trim wheel turns, the trim indicators and the
// speedbrake latch show their servos' arms, the switches are toggles, and
// the flight panel shows the flight's phase with its controls and what the
// built-in bridge received.
//
// Renderers draw the description, show State() after each Refresh() and
// forward the user's actions here; they decide nothing themselves.
class QuadrantPanel {
public:
    QuadrantPanel(VirtualQuadrant& quadrant, QuadrantHooks hooks);

    const FormDesign& Design() const { return design_; }

    // Brings every control's state in line with the models. Renderers
    // call it on their own refresh (kRefreshMs) while the window shows.
    void Refresh();
    static constexpr int kRefreshMs = 33;

    // The state of a control by its name; an empty state for an unknown one.
    const QuadrantControlState& State(std::string_view control) const;
    // Counts the refreshes that changed any state, so that a renderer can
    // skip redrawing when nothing moved.
    uint64_t Changes() const { return states_.Changes(); }

    // The user's actions, by control name. Each refreshes the states and
    // returns false for a name of no such control.
    // A lever: the mouse takes it at `position` (0..1000), drags it, lets go.
    bool Grab(std::string_view lever, double position);
    bool Drag(std::string_view lever, double position);
    bool LetGo(std::string_view lever);
    // A quick push by key or wheel: moved at once and let go at once unless
    // a hand rests on it.
    bool Nudge(std::string_view lever, double position);
    // A toggle (HOLD, a speed factor) or a switch set on or off.
    bool SetOn(std::string_view control, bool on);
    // A button (Pause or Resume, Restart).
    bool Press(std::string_view control);

    // The messages the bridge list shows at most.
    static constexpr std::size_t kShownMessages = 12;
    // The speed-up factors the flight panel offers.
    static const std::vector<double>& SpeedFactors();

    // The control names of a lever's parts, of a dial by the servo it
    // shows ("cpt", "fo", "rudder", "latch"), of a switch by its index and
    // of a speed factor.
    static std::string LeverControl(const std::string& lever) { return "Lever_" + lever; }
    static std::string ReadingControl(const std::string& lever) { return "Reading_" + lever; }
    static std::string CurrentControl(const std::string& lever) { return "Current_" + lever; }
    static std::string HandControl(const std::string& lever) { return "Hand_" + lever; }
    static std::string HoldControl(const std::string& lever) { return "Hold_" + lever; }
    static std::string DialControl(const std::string& shown) { return "Dial_" + shown; }
    static std::string SwitchControl(std::size_t index) { return "Switch" + std::to_string(index + 1); }
    static std::string SpeedControl(double factor);

    // The lever a control of a lever's column stands for; empty for none.
    std::string LeverOf(std::string_view control) const;

    // Lamp colours of the hand lamps.
    static constexpr int kLampOffColor = 0x404040;
    static constexpr int kLampHandColor = 0x0000FF;   // red: a hand is on the lever

private:
    // What a control acts on.
    struct Binding {
        enum class What { None, Lever, Reading, Current, Hand, Hold, Dial, Wheel, Switch, Speed, Pause, Restart,
                          Phase, Time, Messages };
        What what = What::None;
        std::string part;     // lever, servo or wheel name on the quadrant
        std::size_t index = 0;
        double factor = 0;
    };

    void Build();
    void Set(const std::string& control, QuadrantControlState state);
    const Binding* Bound(std::string_view control) const;
    double LeverAmps(const std::string& lever) const;

    VirtualQuadrant& quadrant_;
    QuadrantHooks hooks_;
    FormDesign design_;
    std::map<std::string, Binding, std::less<>> bindings_;
    ControlStates<QuadrantControlState> states_;
};

} // namespace zrk

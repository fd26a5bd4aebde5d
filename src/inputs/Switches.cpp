#include "inputs/Switches.h"

namespace zrk {

namespace {

// The setting that swaps a row's messages.
enum class Swap { None, Fuel1, Fuel2, Fuel3, Fuel4, ParkingBrakeMain, ParkingBrakeSecond, AltnTrim };

// One input: its label and its message for each state, plain and swapped.
// A null message sends nothing.
struct Row {
    int label;
    const char* closed;
    const char* open;
    Swap swap;
    const char* closedSwapped;
    const char* openSwapped;
};

constexpr int kInputs = 8;

#define FUEL(label, name, swap) \
    Row{label, name "=0", name "=1", Swap::swap, name "=1", name "=0"}
#define PLAIN(closed, open) Row{0, closed, open, Swap::None, closed, open}

constexpr Row kMain747[kInputs] = {
    FUEL(46, "ENGINE_L_FUEL_CONTROL_SWITCH", Fuel1),
    FUEL(53, "ENGINE_R_FUEL_CONTROL_SWITCH", Fuel2),
    FUEL(54, "ENGINE_R3_FUEL_CONTROL_SWITCH", Fuel3),
    FUEL(55, "ENGINE_R4_FUEL_CONTROL_SWITCH", Fuel4),
    // The 747's cut-out switches name their closing and opening differently.
    PLAIN("STAB_TRIM_CUTOUT_L_SWITCH=1", "STAB_TRIM_CUTOFF_L=0"),
    PLAIN("STAB_TRIM_CUTOUT_R_SWITCH=1", "STAB_TRIM_CUTOFF_R=0"),
    PLAIN("MF=567", nullptr),
    PLAIN("MF=563", nullptr),
};

constexpr Row kMainTwin[kInputs] = {
    FUEL(46, "ENGINE_L_FUEL_CONTROL_SWITCH", Fuel1),
    FUEL(53, "ENGINE_R_FUEL_CONTROL_SWITCH", Fuel2),
    PLAIN("STAB_TRIM_CUTOFF_L=1", "STAB_TRIM_CUTOFF_L=0"),
    PLAIN("STAB_TRIM_CUTOFF_R=1", "STAB_TRIM_CUTOFF_R=0"),
    PLAIN("MF=567", nullptr),
    PLAIN("MF=563", nullptr),
    // The alternate trim rocker: one direction per input, 0 on release.
    Row{0, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=1", "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0", Swap::AltnTrim,
        "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=2", "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0"},
    Row{0, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=2", "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0", Swap::AltnTrim,
        "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=1", "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0"},
};

// Input 3 of the 777/737 main card when it carries a parking brake lever.
constexpr Row kMainTwinParkingBrake{58, "PARKING_BRAKE=1", "PARKING_BRAKE=0", Swap::ParkingBrakeMain,
                                    "PARKING_BRAKE=0", "PARKING_BRAKE=1"};

// The second board's only switch, the 747's parking brake, closed when
// released by default.
constexpr int kSecondParkingBrakeInput = 7;
constexpr Row kSecondParkingBrake{58, "PARKING_BRAKE=0", "PARKING_BRAKE=1", Swap::ParkingBrakeSecond,
                                  "PARKING_BRAKE=1", "PARKING_BRAKE=0"};

#undef FUEL
#undef PLAIN

bool Swapped(const SwitchSettings& s, Swap swap)
{
    switch (swap) {
    case Swap::None: return false;
    case Swap::Fuel1: return s.reverseFuelCutoff[0];
    case Swap::Fuel2: return s.reverseFuelCutoff[1];
    case Swap::Fuel3: return s.reverseFuelCutoff[2];
    case Swap::Fuel4: return s.reverseFuelCutoff[3];
    case Swap::ParkingBrakeMain: return s.reverseParkingBrakeMain;
    case Swap::ParkingBrakeSecond: return s.reverseParkingBrakeSecond;
    case Swap::AltnTrim: return s.reverseAltnTrim;
    }
    return false;
}

const Row* FindRow(const SwitchSettings& s, InterfaceCard card, bool is747, int index)
{
    if (index < 0 || index >= kInputs)
        return nullptr;
    if (card == InterfaceCard::Second)
        return index == kSecondParkingBrakeInput ? &kSecondParkingBrake : nullptr;
    if (is747)
        return &kMain747[index];
    if (index == 3 && s.parkingBrakeOnMain)
        return &kMainTwinParkingBrake;
    return &kMainTwin[index];
}

} // namespace

SwitchSettings SwitchSettingsOf(const Settings& cfg)
{
    SwitchSettings s;
    s.reverseFuelCutoff = {cfg.REVERSE_FUEL_CUTOFF_1, cfg.REVERSE_FUEL_CUTOFF_2, cfg.REVERSE_FUEL_CUTOFF_3,
                           cfg.REVERSE_FUEL_CUTOFF_4};
    s.reverseParkingBrakeSecond = cfg.SWITCHES_REVERSE_PARKING_BRAKE;
    s.parkingBrakeOnMain = cfg.PARKING_BRAKE;
    s.reverseParkingBrakeMain = cfg.USER_REVERSE_PARKING_BRAKE;
    s.reverseAltnTrim = cfg.REVERSE_ALTN_TRIM;
    return s;
}

std::optional<SwitchReport> SwitchChange(const SwitchSettings& s, InterfaceCard card, bool is747, int index,
                                         bool closed)
{
    const Row* row = FindRow(s, card, is747, index);
    if (!row)
        return std::nullopt;
    const bool swapped = Swapped(s, row->swap);
    const char* message = closed ? (swapped ? row->closedSwapped : row->closed)
                                 : (swapped ? row->openSwapped : row->open);
    if (!message)
        return std::nullopt;
    SwitchReport r;
    r.label = row->label;
    if (row->label != 0)
        r.labelColor = closed ? kSwitchClosedColor : kSwitchOpenColor;
    r.message = message;
    return r;
}

} // namespace zrk

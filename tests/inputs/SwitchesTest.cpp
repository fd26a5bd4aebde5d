#include <gtest/gtest.h>

#include <climits>

#include "inputs/Switches.h"

namespace zrk {
namespace {

constexpr int kRed = 0x0000FF;
constexpr int kGrey = 0x808080;
constexpr bool kClosed = true;
constexpr bool kOpen = false;

SwitchSettings FuelSwapped(int n)
{
    SwitchSettings s;
    s.reverseFuelCutoff[std::size_t(n - 1)] = true;
    return s;
}
SwitchSettings ParkingBrakeOnMain(bool reversed)
{
    SwitchSettings s;
    s.parkingBrakeOnMain = true;
    s.reverseParkingBrakeMain = reversed;
    return s;
}

// One event and what it must show and send; a null message sends nothing.
struct Case {
    const char* what;
    SwitchSettings settings;
    InterfaceCard card;
    bool is747;
    int index;
    bool closed;
    const char* message;
    int label;
    int color;
};

void Check(const Case& c)
{
    const auto r = SwitchChange(c.settings, c.card, c.is747, c.index, c.closed);
    SCOPED_TRACE(std::string(c.what) + ", input " + std::to_string(c.index) + (c.closed ? " closed" : " open"));
    if (!c.message) {
        EXPECT_FALSE(r.has_value()) << r->message;
        return;
    }
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->message, c.message);
    EXPECT_EQ(r->label, c.label);
    if (c.label != 0) {
        EXPECT_EQ(r->labelColor, c.color);
    }
}

constexpr auto Main = InterfaceCard::Main;
constexpr auto Second = InterfaceCard::Second;

TEST(Switches, MainCardOfThe747)
{
    const SwitchSettings d;
    const Case cases[] = {
        {"fuel 1", d, Main, true, 0, kClosed, "ENGINE_L_FUEL_CONTROL_SWITCH=0", 46, kRed},
        {"fuel 1", d, Main, true, 0, kOpen, "ENGINE_L_FUEL_CONTROL_SWITCH=1", 46, kGrey},
        {"fuel 2", d, Main, true, 1, kClosed, "ENGINE_R_FUEL_CONTROL_SWITCH=0", 53, kRed},
        {"fuel 2", d, Main, true, 1, kOpen, "ENGINE_R_FUEL_CONTROL_SWITCH=1", 53, kGrey},
        {"fuel 3", d, Main, true, 2, kClosed, "ENGINE_R3_FUEL_CONTROL_SWITCH=0", 54, kRed},
        {"fuel 3", d, Main, true, 2, kOpen, "ENGINE_R3_FUEL_CONTROL_SWITCH=1", 54, kGrey},
        {"fuel 4", d, Main, true, 3, kClosed, "ENGINE_R4_FUEL_CONTROL_SWITCH=0", 55, kRed},
        {"fuel 4", d, Main, true, 3, kOpen, "ENGINE_R4_FUEL_CONTROL_SWITCH=1", 55, kGrey},
        {"cut-out L", d, Main, true, 4, kClosed, "STAB_TRIM_CUTOUT_L_SWITCH=1", 0, 0},
        {"cut-out L", d, Main, true, 4, kOpen, "STAB_TRIM_CUTOFF_L=0", 0, 0},
        {"cut-out R", d, Main, true, 5, kClosed, "STAB_TRIM_CUTOUT_R_SWITCH=1", 0, 0},
        {"cut-out R", d, Main, true, 5, kOpen, "STAB_TRIM_CUTOFF_R=0", 0, 0},
        {"button", d, Main, true, 6, kClosed, "MF=567", 0, 0},
        {"button released", d, Main, true, 6, kOpen, nullptr, 0, 0},
        {"button", d, Main, true, 7, kClosed, "MF=563", 0, 0},
        {"button released", d, Main, true, 7, kOpen, nullptr, 0, 0},
        // Each swap setting swaps its own switch's messages, never the colours.
        {"fuel 1 swapped", FuelSwapped(1), Main, true, 0, kClosed, "ENGINE_L_FUEL_CONTROL_SWITCH=1", 46, kRed},
        {"fuel 1 swapped", FuelSwapped(1), Main, true, 0, kOpen, "ENGINE_L_FUEL_CONTROL_SWITCH=0", 46, kGrey},
        {"fuel 2 swapped", FuelSwapped(2), Main, true, 1, kClosed, "ENGINE_R_FUEL_CONTROL_SWITCH=1", 53, kRed},
        {"fuel 2 swapped", FuelSwapped(2), Main, true, 1, kOpen, "ENGINE_R_FUEL_CONTROL_SWITCH=0", 53, kGrey},
        {"fuel 3 swapped", FuelSwapped(3), Main, true, 2, kClosed, "ENGINE_R3_FUEL_CONTROL_SWITCH=1", 54, kRed},
        {"fuel 3 swapped", FuelSwapped(3), Main, true, 2, kOpen, "ENGINE_R3_FUEL_CONTROL_SWITCH=0", 54, kGrey},
        {"fuel 4 swapped", FuelSwapped(4), Main, true, 3, kClosed, "ENGINE_R4_FUEL_CONTROL_SWITCH=1", 55, kRed},
        {"fuel 4 swapped", FuelSwapped(4), Main, true, 3, kOpen, "ENGINE_R4_FUEL_CONTROL_SWITCH=0", 55, kGrey},
        {"fuel 1 swapped, switch 2", FuelSwapped(1), Main, true, 1, kClosed, "ENGINE_R_FUEL_CONTROL_SWITCH=0", 53,
         kRed},
        {"fuel 3 swapped, switch 4", FuelSwapped(3), Main, true, 3, kClosed, "ENGINE_R4_FUEL_CONTROL_SWITCH=0", 55,
         kRed},
        // The main card's parking brake lever is a 777/737 fitting.
        {"parking brake set", ParkingBrakeOnMain(false), Main, true, 3, kClosed, "ENGINE_R4_FUEL_CONTROL_SWITCH=0",
         55, kRed},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Switches, MainCardOfThe777And737)
{
    const SwitchSettings d;
    SwitchSettings altn;
    altn.reverseAltnTrim = true;
    SwitchSettings reverseWithoutLever;
    reverseWithoutLever.reverseParkingBrakeMain = true;
    const Case cases[] = {
        {"fuel 1", d, Main, false, 0, kClosed, "ENGINE_L_FUEL_CONTROL_SWITCH=0", 46, kRed},
        {"fuel 1", d, Main, false, 0, kOpen, "ENGINE_L_FUEL_CONTROL_SWITCH=1", 46, kGrey},
        {"fuel 2", d, Main, false, 1, kClosed, "ENGINE_R_FUEL_CONTROL_SWITCH=0", 53, kRed},
        {"fuel 2", d, Main, false, 1, kOpen, "ENGINE_R_FUEL_CONTROL_SWITCH=1", 53, kGrey},
        {"cut-out L", d, Main, false, 2, kClosed, "STAB_TRIM_CUTOFF_L=1", 0, 0},
        {"cut-out L", d, Main, false, 2, kOpen, "STAB_TRIM_CUTOFF_L=0", 0, 0},
        {"cut-out R", d, Main, false, 3, kClosed, "STAB_TRIM_CUTOFF_R=1", 0, 0},
        {"cut-out R", d, Main, false, 3, kOpen, "STAB_TRIM_CUTOFF_R=0", 0, 0},
        {"button", d, Main, false, 4, kClosed, "MF=567", 0, 0},
        {"button released", d, Main, false, 4, kOpen, nullptr, 0, 0},
        {"button", d, Main, false, 5, kClosed, "MF=563", 0, 0},
        {"button released", d, Main, false, 5, kOpen, nullptr, 0, 0},
        {"alternate trim", d, Main, false, 6, kClosed, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=1", 0, 0},
        {"alternate trim", d, Main, false, 6, kOpen, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0", 0, 0},
        {"alternate trim", d, Main, false, 7, kClosed, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=2", 0, 0},
        {"alternate trim", d, Main, false, 7, kOpen, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0", 0, 0},
        // Reversed alternate trim swaps the directions; the release stays 0.
        {"alternate trim reversed", altn, Main, false, 6, kClosed, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=2", 0, 0},
        {"alternate trim reversed", altn, Main, false, 6, kOpen, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0", 0, 0},
        {"alternate trim reversed", altn, Main, false, 7, kClosed, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=1", 0, 0},
        {"alternate trim reversed", altn, Main, false, 7, kOpen, "ELEVATOR_ALT_TRIM_MOVE_CONTINUOUS=0", 0, 0},
        // Input 3 as a parking brake lever, in either sense.
        {"parking brake", ParkingBrakeOnMain(false), Main, false, 3, kClosed, "PARKING_BRAKE=1", 58, kRed},
        {"parking brake", ParkingBrakeOnMain(false), Main, false, 3, kOpen, "PARKING_BRAKE=0", 58, kGrey},
        {"parking brake reversed", ParkingBrakeOnMain(true), Main, false, 3, kClosed, "PARKING_BRAKE=0", 58, kRed},
        {"parking brake reversed", ParkingBrakeOnMain(true), Main, false, 3, kOpen, "PARKING_BRAKE=1", 58, kGrey},
        {"reverse without the lever", reverseWithoutLever, Main, false, 3, kClosed, "STAB_TRIM_CUTOFF_R=1", 0, 0},
        {"parking brake, input 2", ParkingBrakeOnMain(false), Main, false, 2, kClosed, "STAB_TRIM_CUTOFF_L=1", 0, 0},
        // Fuel swaps.
        {"fuel 1 swapped", FuelSwapped(1), Main, false, 0, kClosed, "ENGINE_L_FUEL_CONTROL_SWITCH=1", 46, kRed},
        {"fuel 1 swapped", FuelSwapped(1), Main, false, 0, kOpen, "ENGINE_L_FUEL_CONTROL_SWITCH=0", 46, kGrey},
        {"fuel 2 swapped", FuelSwapped(2), Main, false, 1, kClosed, "ENGINE_R_FUEL_CONTROL_SWITCH=1", 53, kRed},
        {"fuel 2 swapped", FuelSwapped(2), Main, false, 1, kOpen, "ENGINE_R_FUEL_CONTROL_SWITCH=0", 53, kGrey},
        {"fuel 2 swapped, switch 1", FuelSwapped(2), Main, false, 0, kOpen, "ENGINE_L_FUEL_CONTROL_SWITCH=1", 46,
         kGrey},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Switches, SecondBoardCarriesOnlyTheParkingBrake)
{
    const SwitchSettings d;
    SwitchSettings reversed;
    reversed.reverseParkingBrakeSecond = true;
    // The main card's reverse setting belongs to the main card's lever.
    const SwitchSettings mainReversed = ParkingBrakeOnMain(true);
    const Case cases[] = {
        {"parking brake", d, Second, true, 7, kClosed, "PARKING_BRAKE=0", 58, kRed},
        {"parking brake", d, Second, true, 7, kOpen, "PARKING_BRAKE=1", 58, kGrey},
        {"parking brake reversed", reversed, Second, true, 7, kClosed, "PARKING_BRAKE=1", 58, kRed},
        {"parking brake reversed", reversed, Second, true, 7, kOpen, "PARKING_BRAKE=0", 58, kGrey},
        {"main card's reverse", mainReversed, Second, true, 7, kClosed, "PARKING_BRAKE=0", 58, kRed},
        // The handler does not test the aircraft type.
        {"on a 777", d, Second, false, 7, kClosed, "PARKING_BRAKE=0", 58, kRed},
    };
    for (const Case& c : cases)
        Check(c);
    for (int index = 0; index < 7; ++index)
        for (bool closed : {kClosed, kOpen})
            Check({"unused input", d, Second, true, index, closed, nullptr, 0, 0});
}

TEST(Switches, InputsOutsideTheBoardSendNothing)
{
    SwitchSettings every;
    every.reverseFuelCutoff = {true, true, true, true};
    every.parkingBrakeOnMain = every.reverseParkingBrakeMain = true;
    every.reverseParkingBrakeSecond = every.reverseAltnTrim = true;
    for (int index : {-1, 8, 9, 1000, INT_MIN, INT_MAX})
        for (InterfaceCard card : {Main, Second})
            for (bool is747 : {false, true})
                for (bool closed : {kClosed, kOpen}) {
                    EXPECT_FALSE(SwitchChange(SwitchSettings{}, card, is747, index, closed)) << index;
                    EXPECT_FALSE(SwitchChange(every, card, is747, index, closed)) << index;
                }
}

TEST(Switches, SettingsComeFromTheirOwnKeys)
{
    // The two REVERSE_PARKING_BRAKE keys live in different sections and
    // serve different boards.
    Settings cfg;
    LoadDefaults(cfg);
    cfg.REVERSE_FUEL_CUTOFF_3 = true;
    cfg.SWITCHES_REVERSE_PARKING_BRAKE = true;
    cfg.PARKING_BRAKE = true;
    cfg.REVERSE_ALTN_TRIM = true;
    const SwitchSettings s = SwitchSettingsOf(cfg);
    EXPECT_EQ(s.reverseFuelCutoff, (std::array<bool, 4>{false, false, true, false}));
    EXPECT_TRUE(s.reverseParkingBrakeSecond);
    EXPECT_FALSE(s.reverseParkingBrakeMain);
    EXPECT_TRUE(s.parkingBrakeOnMain);
    EXPECT_TRUE(s.reverseAltnTrim);
}

} // namespace
} // namespace zrk

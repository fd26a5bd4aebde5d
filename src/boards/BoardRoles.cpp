#include "boards/BoardRoles.h"

#include <variant>

namespace zrk {

namespace {

constexpr std::string_view kSerialSection = "PHIDGETS_SERIAL_NUMBERS";
constexpr std::string_view kServoTypeSection = "SERVO_TYPE_ADVANCED";

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        if (up(a[i]) != up(b[i]))
            return false;
    }
    return true;
}

using K = BoardKind;

// What each role's board does, as the roster opens and sets it up
// (Roster.cpp). Which section the key is in, how it is read and for which
// aircraft come from the settings table.
struct Description {
    const char* key;
    const char* name;
    const char* purpose;
    std::vector<BoardKind> kinds;
    const char* servoTypeKey;
    const char* sharesBoardWith;
};

const Description kDescriptions[] = {
    {"MOTOR_TRIM", "Trim wheel motor", "drives the trim wheel's motor", {K::MotorControl}, nullptr,
     "MOTOR1_SPEEDBRAKE"},
    {"INTERFACE1", "Main interface card (888)",
     "reads the quadrant's levers and switches (on the 747 the speedbrake and flap levers are on the second card)",
     {K::InterfaceKit},
     nullptr, nullptr},
    {"SERVO1_CPT_TRIM", "Captain's trim indicator", "moves the captain's stabilizer trim indicator",
     {K::AdvancedServo, K::Servo}, "SERVO1", nullptr},
    {"SERVO2_FO_TRIM", "First officer's trim indicator", "moves the first officer's stabilizer trim indicator",
     {K::AdvancedServo, K::Servo}, "SERVO2", nullptr},
    {"SERVO3_RUDDER_TRIM", "Rudder trim indicator", "moves the rudder trim indicator",
     {K::AdvancedServo, K::Servo}, "SERVO3", nullptr},
    {"SERVO4_SPEEDBRAKE", "Speedbrake lift servo", "lifts the speedbrake lever out of its down detent",
     {K::AdvancedServo, K::Servo}, "SERVO4", nullptr},
    {"MOTOR1_SPEEDBRAKE", "Speedbrake motor", "drives the speedbrake lever's motor", {K::MotorControl}, nullptr,
     "MOTOR_TRIM"},
    {"MOTOR2_THROTTLES_1_2", "Throttle motors 1+2", "drives the motors of throttle levers 1 and 2",
     {K::MotorControl}, nullptr, nullptr},
    {"MOTOR_THROTTLE_1_SINGLE", "Throttle 1 motor (single output)",
     "drives throttle lever 1's motor from a board of its own", {K::MotorControl}, nullptr, nullptr},
    {"MOTOR_THROTTLE_2_SINGLE", "Throttle 2 motor (single output)",
     "drives throttle lever 2's motor from a board of its own", {K::MotorControl}, nullptr, nullptr},
    {"MULTI_SERVOS", "4-port servo board",
     "moves the captain's, first officer's and rudder trim indicators and the speedbrake lift from one board",
     {K::AdvancedServo}, nullptr, nullptr},
    {"INTERFACE1_PBRAKE_STAB", "Second interface card (747)",
     "reads the 747's speedbrake and flap levers and its parking brake", {K::InterfaceKit}, nullptr, nullptr},
    {"MOTOR3_THROTTLES_3_4", "Throttle motors 3+4", "drives the motors of the 747's throttle levers 3 and 4",
     {K::MotorControl}, nullptr, nullptr},
};

std::vector<BoardRole> MakeRoles()
{
    std::vector<BoardRole> roles;
    for (const SettingDef& def : SettingsTable()) {
        if (def.section != kSerialSection)
            continue;
        for (const Description& d : kDescriptions)
            if (SameName(d.key, def.key) && std::holds_alternative<int Settings::*>(def.field))
                roles.push_back(BoardRole{d.key, d.name, d.purpose, d.kinds, d.servoTypeKey, d.sharesBoardWith, &def});
    }
    return roles;
}

const SettingDef* ServoTypeSetting(const char* key)
{
    for (const SettingDef& def : SettingsTable())
        if (def.section == kServoTypeSection && SameName(def.key, key))
            return &def;
    return nullptr;
}

} // namespace

Aircraft AircraftOf(const Settings& s)
{
    return s.TYPE == "747" ? Aircraft::B747 : s.TYPE == "737" ? Aircraft::B737 : Aircraft::B777;
}

int BoardRole::Serial(const Settings& s) const
{
    return s.*std::get<int Settings::*>(setting->field);
}

bool BoardRole::UsedOn(Aircraft aircraft) const
{
    return setting->group != LoadGroup::Board747 || aircraft == Aircraft::B747;
}

BoardKind BoardRole::OpenedAs(const Settings& s) const
{
    if (servoTypeKey)
        if (const SettingDef* type = ServoTypeSetting(servoTypeKey))
            if (auto* flag = std::get_if<bool Settings::*>(&type->field))
                return s.**flag ? BoardKind::AdvancedServo : BoardKind::Servo;
    return kinds.front();
}

bool BoardRole::CanBeFilledBy(BoardKind kind) const
{
    for (BoardKind k : kinds)
        if (k == kind)
            return true;
    return false;
}

const std::vector<BoardRole>& BoardRoles()
{
    static const std::vector<BoardRole> roles = MakeRoles();
    return roles;
}

const BoardRole* FindBoardRole(std::string_view key)
{
    for (const BoardRole& r : BoardRoles())
        if (SameName(r.key, key))
            return &r;
    return nullptr;
}

} // namespace zrk

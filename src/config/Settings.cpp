#include "config/Settings.h"

#include <algorithm>
#include <limits>
#include <type_traits>

#include "config/Convert.h"
#include "config/IniFile.h"

namespace zrk {

namespace {

using T = SettingType;
using G = LoadGroup;

constexpr int kNoMin = std::numeric_limits<int>::min();
constexpr int kNoMax = std::numeric_limits<int>::max();

// One row per key: group, section, key, type, default, field, save order.
#define ROW(group, section, key, type, def, save) \
    SettingDef{G::group, section, #key, T::type, def, &Settings::key, save, kNoMin, kNoMax}
// An Int key with a range its value must stay in.
#define ROWR(group, section, key, def, save, lo, hi) \
    SettingDef{G::group, section, #key, T::Int, def, &Settings::key, save, lo, hi}
// A key that also occurs in another section: its field carries the section.
#define ROWF(group, section, key, field, type, def, save) \
    SettingDef{G::group, section, key, T::type, def, &Settings::field, save, kNoMin, kNoMax}

const char* const kSer = "PHIDGETS_SERIAL_NUMBERS";

const std::vector<SettingDef> kTable = {
    ROW(Aircraft, "AIRCRAFT", TYPE, Text, "777", 1),
    ROW(Log, "LOG", FSUIPC_DATA, Bool, "0", 0),

    ROW(Serials, kSer, MOTOR_TRIM, Int, "0", 0),
    ROW(Serials, kSer, INTERFACE1, Int, "0", 0),
    ROW(Serials, kSer, SERVO1_CPT_TRIM, Int, "0", 0),
    ROW(Serials, kSer, SERVO2_FO_TRIM, Int, "0", 0),
    ROW(Serials, kSer, SERVO3_RUDDER_TRIM, Int, "0", 0),
    ROW(Serials, kSer, SERVO4_SPEEDBRAKE, Int, "0", 0),
    ROW(Serials, kSer, MOTOR1_SPEEDBRAKE, Int, "0", 0),
    ROW(Serials, kSer, MOTOR2_THROTTLES_1_2, Int, "0", 0),
    ROW(Serials, kSer, MOTOR_THROTTLE_1_SINGLE, Int, "0", 0),
    ROW(Serials, kSer, MOTOR_THROTTLE_2_SINGLE, Int, "0", 0),
    ROW(Serials, kSer, MULTI_SERVOS, Int, "0", 0),
    ROW(Serials, kSer, REMOTE_888_CARD, Bool, "0", 0),
    ROW(Serials, kSer, REMOTE_IP, Text, "?", 0),
    ROW(Serials, kSer, REMOTE_PORT, Int, "5001", 0),

    ROW(Main, "SERVO_TYPE_ADVANCED", SERVO1, Bool, "0", 0),
    ROW(Main, "SERVO_TYPE_ADVANCED", SERVO2, Bool, "0", 0),
    ROW(Main, "SERVO_TYPE_ADVANCED", SERVO3, Bool, "0", 0),
    ROW(Main, "SERVO_TYPE_ADVANCED", SERVO4, Bool, "0", 0),

    ROW(Main, "SWITCHES", REVERSE_FUEL_CUTOFF_1, Bool, "0", 0),
    ROW(Main, "SWITCHES", REVERSE_FUEL_CUTOFF_2, Bool, "0", 0),
    ROW(Main, "SWITCHES", REVERSE_FUEL_CUTOFF_3, Bool, "0", 0),
    ROW(Main, "SWITCHES", REVERSE_FUEL_CUTOFF_4, Bool, "0", 0),
    ROWF(Main, "SWITCHES", "REVERSE_PARKING_BRAKE", SWITCHES_REVERSE_PARKING_BRAKE, Bool, "0", 0),

    ROW(Main, "INPUT_MAPPING", THROTTLE_1_INPUT_CHANNEL, Int, "0", 0),
    ROW(Main, "INPUT_MAPPING", THROTTLE_2_INPUT_CHANNEL, Int, "1", 0),
    ROW(Main, "INPUT_MAPPING", THROTTLE_3_INPUT_CHANNEL, Int, "2", 0),
    ROW(Main, "INPUT_MAPPING", THROTTLE_4_INPUT_CHANNEL, Int, "3", 0),
    ROW(Main, "INPUT_MAPPING", REVERSER_1_INPUT_CHANNEL, Int, "4", 0),
    ROW(Main, "INPUT_MAPPING", REVERSER_2_INPUT_CHANNEL, Int, "5", 0),
    ROW(Main, "INPUT_MAPPING", REVERSER_3_INPUT_CHANNEL, Int, "6", 0),
    ROW(Main, "INPUT_MAPPING", REVERSER_4_INPUT_CHANNEL, Int, "7", 0),
    ROW(Main, "INPUT_MAPPING", SPEEDBRAKE_INPUT_CHANNEL, Int, "6", 0),
    ROW(Main, "INPUT_MAPPING", FLAPS_INPUT_CHANNEL, Int, "7", 0),

    ROW(Main, "MOTORS", REVERSE_MOTOR_DIRECTION_1, Bool, "0", 0),
    ROW(Main, "MOTORS", REVERSE_MOTOR_DIRECTION_2, Bool, "0", 0),
    ROW(Main, "MOTORS", REVERSE_MOTOR_DIRECTION_3, Bool, "0", 0),
    ROW(Main, "MOTORS", REVERSE_MOTOR_DIRECTION_4, Bool, "0", 0),
    ROW(Main, "MOTORS", REVERSE_MOTOR_DIRECTION_SPEEDBRAKE, Bool, "0", 0),
    ROW(Main, "MOTORS", THROTTLE_1_MOTOR_CHANNEL, Int, "1", 0),
    ROW(Main, "MOTORS", THROTTLE_2_MOTOR_CHANNEL, Int, "0", 0),
    ROW(Main, "MOTORS", THROTTLE_3_MOTOR_CHANNEL, Int, "1", 0),
    ROW(Main, "MOTORS", THROTTLE_4_MOTOR_CHANNEL, Int, "0", 0),
    ROW(Main, "MOTORS", SPEEDBRAKE_MOTOR_CHANNEL, Int, "0", 0),
    ROW(Main, "MOTORS", DEFAULT_TOGA_SPEED, Int, "50", 0),
    ROW(Main, "MOTORS", DEFAULT_SPD_SPEED, Int, "20", 0),
    ROW(Main, "MOTORS", MIN_MOTOR_SPEED_L, Int, "7", 0),
    ROW(Main, "MOTORS", MAX_MOTOR_SPEED_L, Int, "100", 0),

    ROWF(Main, "FINE_TUNING", "NULL_ZONE", FINE_TUNING_NULL_ZONE, Int, "0", 0),
    ROW(Main, "FINE_TUNING", THROTTLE_1_SPEED_ADJUST, Int, "0", 0),
    ROW(Main, "FINE_TUNING", THROTTLE_2_SPEED_ADJUST, Int, "0", 0),
    ROW(Main, "FINE_TUNING", THROTTLE_3_SPEED_ADJUST, Int, "0", 0),
    ROW(Main, "FINE_TUNING", THROTTLE_4_SPEED_ADJUST, Int, "0", 0),
    ROW(Main, "FINE_TUNING", SPEED_SCALE, PlainReal, "0.5", 0),

    ROWF(Main, "TRIM", "REVERSE_MOTOR_DIRECTION", TRIM_REVERSE_MOTOR_DIRECTION, Bool, "0", 38),
    ROWF(Main, "TRIM", "NULL_ZONE", TRIM_NULL_ZONE, Real, "0.04", 39),
    ROW(Main, "TRIM", MOTOR_SPEED_MAX, Int, "60", 40),
    ROW(Main, "TRIM", MOTOR_ACCELERATION, Int, "100", 41),
    ROW(Main, "TRIM", PID_P, Text, "5000", 43),
    ROW(Main, "TRIM", PID_I, Text, "3", 44),
    ROW(Main, "TRIM", PID_D, Text, "300", 45),
    ROW(Main, "TRIM", CPT_SERVO_MAX, Real, "180", 0),
    ROW(Main, "TRIM", CPT_SERVO_MIN, Real, "1", 0),
    ROW(Main, "TRIM", REVERSE_CPT_DIRECTION, Bool, "0", 0),
    ROW(Main, "TRIM", FO_SERVO_MAX, Real, "180", 0),
    ROW(Main, "TRIM", FO_SERVO_MIN, Real, "1", 0),
    ROW(Main, "TRIM", REVERSE_FO_DIRECTION, Bool, "0", 0),
    ROW(Main, "TRIM", RUDDER_SERVO_MAX, Real, "180", 0),
    ROW(Main, "TRIM", RUDDER_SERVO_MIN, Real, "1", 0),
    ROW(Main, "TRIM", REVERSE_RUDDER_DIRECTION, Bool, "0", 0),
    ROW(Main, "TRIM", MOTOR_NUMBER, Int, "0", 0),
    ROW(Main, "TRIM", REVERSE_ALTN_TRIM, Bool, "0", 0),
    ROW(Main, "TRIM", TRIM_TIME_DELAY_BETWEEN_MOTION, Int, "2000", 42),

    ROWF(Main, "FLAPS", "REVERSE_INPUT_DIRECTION", FLAPS_REVERSE_INPUT_DIRECTION, Bool, "0", 0),
    ROW(Main, "FLAPS", FLAP_UP, Int, "0", 2),
    ROW(Main, "FLAPS", FLAP_1, Int, "0", 3),
    ROW(Main, "FLAPS", FLAP_2, Int, "0", 4),
    ROW(Main, "FLAPS", FLAP_5, Int, "0", 5),
    ROW(Main, "FLAPS", FLAP_10, Int, "0", 7),
    ROW(Main, "FLAPS", FLAP_15, Int, "0", 6),
    ROW(Main, "FLAPS", FLAP_17, Int, "0", 8),
    ROW(Main, "FLAPS", FLAP_18, Int, "0", 9),
    ROW(Main, "FLAPS", FLAP_20, Int, "0", 10),
    ROW(Main, "FLAPS", FLAP_25, Int, "0", 11),
    ROW(Main, "FLAPS", FLAP_30, Int, "0", 12),
    ROW(Main, "FLAPS", FLAP_40, Int, "0", 13),
    ROW(Main, "FLAPS", FLAPS_NULLZONE, Int, "30", 0),

    ROW(Main, "THROTTLES", THROTTLE_1_IDLE, Int, "0", 14),
    ROW(Main, "THROTTLES", THROTTLE_1_FULL, Int, "0", 15),
    ROW(Main, "THROTTLES", THROTTLE_2_IDLE, Int, "0", 16),
    ROW(Main, "THROTTLES", THROTTLE_2_FULL, Int, "0", 17),
    ROW(Main, "THROTTLES", THROTTLE_3_IDLE, Int, "0", 18),
    ROW(Main, "THROTTLES", THROTTLE_3_FULL, Int, "0", 19),
    ROW(Main, "THROTTLES", THROTTLE_4_IDLE, Int, "0", 20),
    ROW(Main, "THROTTLES", THROTTLE_4_FULL, Int, "0", 21),
    ROW(Main, "THROTTLES", THROTTLE_1_NULL_ZONE, Int, "0", 0),
    ROW(Main, "THROTTLES", THROTTLE_2_NULL_ZONE, Int, "0", 0),
    ROW(Main, "THROTTLES", THROTTLE_3_NULL_ZONE, Int, "0", 0),
    ROW(Main, "THROTTLES", THROTTLE_4_NULL_ZONE, Int, "0", 0),
    ROW(Main, "THROTTLES", REVERSE_INPUT_DIRECTION_THROTTLE1, Bool, "0", 0),
    ROW(Main, "THROTTLES", REVERSE_INPUT_DIRECTION_THROTTLE2, Bool, "0", 0),
    ROW(Main, "THROTTLES", REVERSE_INPUT_DIRECTION_THROTTLE3, Bool, "0", 0),
    ROW(Main, "THROTTLES", REVERSE_INPUT_DIRECTION_THROTTLE4, Bool, "0", 0),
    ROW(Main, "THROTTLES", THROTTLE1_OVERRIDE_CURRENT, PlainReal, "0.28", 0),
    ROW(Main, "THROTTLES", THROTTLE2_OVERRIDE_CURRENT, PlainReal, "0.28", 0),
    ROW(Main, "THROTTLES", THROTTLE3_OVERRIDE_CURRENT, PlainReal, "0.28", 0),
    ROW(Main, "THROTTLES", THROTTLE4_OVERRIDE_CURRENT, PlainReal, "0.28", 0),
    ROW(Main, "THROTTLES", ENABLE_MANUAL_OVERRIDE, Bool, "0", 37),
    ROW(Main, "THROTTLES", CHANGE_TRIGGER_VALUE, Int, "5", 0),
    ROW(Main, "THROTTLES", IDLE_TIMEOUT, Int, "14000", 0),

    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_SERVO_MAX, Int, "180", 0),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_SERVO_MIN, Int, "1", 0),
    ROW(Main, "SPEEDBRAKE", REVERSE_SERVO_DIRECTION_SPEEDBRAKE, Bool, "0", 0),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_INSTALLED, Bool, "1", 0),
    ROWF(Main, "SPEEDBRAKE", "REVERSE_INPUT_DIRECTION", SPEEDBRAKE_REVERSE_INPUT_DIRECTION, Bool, "0", 0),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_DN, Int, "0", 22),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_ARM, Int, "0", 23),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_UP, Int, "0", 24),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_MOTOR_SPEED, Int, "100", 0),
    ROW(Main, "SPEEDBRAKE", SPEEDBRAKE_MAX_DEPLOY_TIME, Int, "4000", 0),
    ROW(Main, "SPEEDBRAKE", MAX_INFLIGHT_SPOILER, Int, "16383", 0),

    ROW(Main, "REVERSERS", REVERSER_1_OFF, Int, "0", 25),
    ROW(Main, "REVERSERS", REVERSER_1_IDLE, Int, "0", 26),
    ROW(Main, "REVERSERS", REVERSER_1_FULL, Int, "0", 27),
    ROW(Main, "REVERSERS", REVERSER_2_OFF, Int, "0", 28),
    ROW(Main, "REVERSERS", REVERSER_2_IDLE, Int, "0", 29),
    ROW(Main, "REVERSERS", REVERSER_2_FULL, Int, "0", 30),
    ROW(Main, "REVERSERS", REVERSER_3_OFF, Int, "0", 31),
    ROW(Main, "REVERSERS", REVERSER_3_IDLE, Int, "0", 32),
    ROW(Main, "REVERSERS", REVERSER_3_FULL, Int, "0", 33),
    ROW(Main, "REVERSERS", REVERSER_4_OFF, Int, "0", 34),
    ROW(Main, "REVERSERS", REVERSER_4_IDLE, Int, "0", 35),
    ROW(Main, "REVERSERS", REVERSER_4_FULL, Int, "0", 36),
    ROW(Main, "REVERSERS", REVERSER_1_NULL_ZONE, Int, "0", 0),
    ROW(Main, "REVERSERS", REVERSER_2_NULL_ZONE, Int, "0", 0),
    ROW(Main, "REVERSERS", REVERSER_3_NULL_ZONE, Int, "0", 0),
    ROW(Main, "REVERSERS", REVERSER_4_NULL_ZONE, Int, "0", 0),
    // A magnitude: a negative value would turn reverse thrust into forward
    // thrust, and the simulator's lever stops at 16383.
    ROWR(Main, "REVERSERS", FULL_REVERSE_VALUE, "5900", 0, 0, 16383),

    ROW(Main, "USER", PARKING_BRAKE, Bool, "0", 0),
    ROWF(Main, "USER", "REVERSE_PARKING_BRAKE", USER_REVERSE_PARKING_BRAKE, Bool, "0", 0),

    ROW(Board747, kSer, INTERFACE1_PBRAKE_STAB, Int, "0", 0),
    ROW(Board747, kSer, MOTOR3_THROTTLES_3_4, Int, "0", 0),

    ROW(StartUp, "SETTINGS", START_MINIMIZED, Bool, "0", 0),
};

#undef ROW
#undef ROWR
#undef ROWF

int ToInt(const std::string& text, const char* def)
{
    if (auto v = ParseInt(text))
        return *v;
    return ParseInt(def).value_or(0);
}

void Apply(const SettingDef& d, const std::string& text, Settings& s)
{
    std::visit(
        [&](auto member) {
            using M = std::remove_cvref_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<M, int>)
                s.*member = ToInt(text, d.defaultText);
            else if constexpr (std::is_same_v<M, bool>)
                s.*member = ToInt(text, d.defaultText) != 0;
            else if constexpr (std::is_same_v<M, double>)
                s.*member = SafeStrToFloat(text);
            else
                s.*member = text;
        },
        d.field);
}

// Settings read through one key into two fields.
void ApplyDerived(LoadGroup group, Settings& s)
{
    if (group == LoadGroup::Main) {
        s.MIN_MOTOR_SPEED_R = s.MIN_MOTOR_SPEED_L;
        s.MAX_MOTOR_SPEED_R = s.MAX_MOTOR_SPEED_L;
    }
}

} // namespace

const std::vector<SettingDef>& SettingsTable()
{
    return kTable;
}

void LoadSettings(const IniFile& ini, LoadGroup group, Settings& s, std::vector<std::string>* corrections)
{
    for (const SettingDef& d : kTable) {
        if (d.group != group)
            continue;
        const std::optional<std::string> text = ini.Read(d.section, d.key);
        Apply(d, text ? *text : std::string(d.defaultText), s);
        if (auto* member = std::get_if<int Settings::*>(&d.field)) {
            int& v = s.**member;
            if (v < d.minValue || v > d.maxValue) {
                const int was = v;
                v = v < d.minValue ? d.minValue : d.maxValue;
                if (corrections)
                    corrections->push_back(std::string("CONFIG.INI [") + d.section + "] " + d.key + "="
                                           + SafeIntToStr(was) + " is outside " + SafeIntToStr(d.minValue)
                                           + ".." + SafeIntToStr(d.maxValue) + " - using "
                                           + SafeIntToStr(v));
            }
        }
    }
    ApplyDerived(group, s);
}

void LoadDefaults(Settings& s)
{
    const IniFile empty;
    for (LoadGroup g : {LoadGroup::Aircraft, LoadGroup::Log, LoadGroup::Serials, LoadGroup::Main,
                        LoadGroup::Board747, LoadGroup::StartUp})
        LoadSettings(empty, g, s);
}

std::string SettingText(const SettingDef& d, const Settings& s)
{
    return std::visit(
        [&](auto member) -> std::string {
            using M = std::remove_cvref_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<M, int>)
                return SafeIntToStr(s.*member);
            else if constexpr (std::is_same_v<M, bool>)
                return s.*member ? "1" : "0";
            else if constexpr (std::is_same_v<M, double>)
                return SafeFloatToStr(s.*member);
            else
                return s.*member;
        },
        d.field);
}

void StoreSavedSettings(const Settings& s, IniFile& ini)
{
    std::vector<const SettingDef*> saved;
    for (const SettingDef& d : kTable)
        if (d.saveOrder > 0)
            saved.push_back(&d);
    std::sort(saved.begin(), saved.end(),
              [](const SettingDef* a, const SettingDef* b) { return a->saveOrder < b->saveOrder; });
    for (const SettingDef* d : saved)
        ini.Write(d->section, d->key, SettingText(*d, s));
}

} // namespace zrk

#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace zrk {

class IniFile;

// Every setting of CONFIG.INI, one field per key, named by the key. A key
// that occurs in two sections carries its section as prefix
// (TRIM_NULL_ZONE is [TRIM] NULL_ZONE). The initial values here are only
// placeholders: loading sets every field, from the file or from its default.
struct Settings {
    // [AIRCRAFT]
    std::string TYPE;
    // [LOG]
    bool FSUIPC_DATA = false;
    // [PHIDGETS_SERIAL_NUMBERS]
    int MOTOR_TRIM = 0, INTERFACE1 = 0, SERVO1_CPT_TRIM = 0, SERVO2_FO_TRIM = 0,
        SERVO3_RUDDER_TRIM = 0, SERVO4_SPEEDBRAKE = 0, MOTOR1_SPEEDBRAKE = 0,
        MOTOR2_THROTTLES_1_2 = 0, MOTOR_THROTTLE_1_SINGLE = 0, MOTOR_THROTTLE_2_SINGLE = 0,
        MULTI_SERVOS = 0;
    bool REMOTE_888_CARD = false;
    std::string REMOTE_IP;
    int REMOTE_PORT = 0;
    int INTERFACE1_PBRAKE_STAB = 0, MOTOR3_THROTTLES_3_4 = 0;   // read for the 747 only
    // [SERVO_TYPE_ADVANCED]
    bool SERVO1 = false, SERVO2 = false, SERVO3 = false, SERVO4 = false;
    // [SWITCHES]
    bool REVERSE_FUEL_CUTOFF_1 = false, REVERSE_FUEL_CUTOFF_2 = false,
         REVERSE_FUEL_CUTOFF_3 = false, REVERSE_FUEL_CUTOFF_4 = false;
    bool SWITCHES_REVERSE_PARKING_BRAKE = false;
    // [INPUT_MAPPING]
    int THROTTLE_1_INPUT_CHANNEL = 0, THROTTLE_2_INPUT_CHANNEL = 0, THROTTLE_3_INPUT_CHANNEL = 0,
        THROTTLE_4_INPUT_CHANNEL = 0, REVERSER_1_INPUT_CHANNEL = 0, REVERSER_2_INPUT_CHANNEL = 0,
        REVERSER_3_INPUT_CHANNEL = 0, REVERSER_4_INPUT_CHANNEL = 0, SPEEDBRAKE_INPUT_CHANNEL = 0,
        FLAPS_INPUT_CHANNEL = 0;
    // [MOTORS]
    bool REVERSE_MOTOR_DIRECTION_1 = false, REVERSE_MOTOR_DIRECTION_2 = false,
         REVERSE_MOTOR_DIRECTION_3 = false, REVERSE_MOTOR_DIRECTION_4 = false,
         REVERSE_MOTOR_DIRECTION_SPEEDBRAKE = false;
    int THROTTLE_1_MOTOR_CHANNEL = 0, THROTTLE_2_MOTOR_CHANNEL = 0, THROTTLE_3_MOTOR_CHANNEL = 0,
        THROTTLE_4_MOTOR_CHANNEL = 0, SPEEDBRAKE_MOTOR_CHANNEL = 0;
    int DEFAULT_TOGA_SPEED = 0, DEFAULT_SPD_SPEED = 0;
    // One key each sets both the left and the right limit.
    int MIN_MOTOR_SPEED_L = 0, MIN_MOTOR_SPEED_R = 0, MAX_MOTOR_SPEED_L = 0, MAX_MOTOR_SPEED_R = 0;
    // [FINE_TUNING]
    int FINE_TUNING_NULL_ZONE = 0;
    int THROTTLE_1_SPEED_ADJUST = 0, THROTTLE_2_SPEED_ADJUST = 0, THROTTLE_3_SPEED_ADJUST = 0,
        THROTTLE_4_SPEED_ADJUST = 0;
    double SPEED_SCALE = 0;
    // [TRIM]
    bool TRIM_REVERSE_MOTOR_DIRECTION = false;
    double TRIM_NULL_ZONE = 0;
    int MOTOR_SPEED_MAX = 0, MOTOR_ACCELERATION = 0;
    std::string PID_P, PID_I, PID_D;
    double CPT_SERVO_MAX = 0, CPT_SERVO_MIN = 0;
    bool REVERSE_CPT_DIRECTION = false;
    double FO_SERVO_MAX = 0, FO_SERVO_MIN = 0;
    bool REVERSE_FO_DIRECTION = false;
    double RUDDER_SERVO_MAX = 0, RUDDER_SERVO_MIN = 0;
    bool REVERSE_RUDDER_DIRECTION = false;
    int MOTOR_NUMBER = 0;
    bool REVERSE_ALTN_TRIM = false;
    int TRIM_TIME_DELAY_BETWEEN_MOTION = 0;
    // [FLAPS]
    bool FLAPS_REVERSE_INPUT_DIRECTION = false;
    int FLAP_UP = 0, FLAP_1 = 0, FLAP_2 = 0, FLAP_5 = 0, FLAP_10 = 0, FLAP_15 = 0, FLAP_17 = 0,
        FLAP_18 = 0, FLAP_20 = 0, FLAP_25 = 0, FLAP_30 = 0, FLAP_40 = 0;
    int FLAPS_NULLZONE = 0;
    // [THROTTLES]
    int THROTTLE_1_IDLE = 0, THROTTLE_1_FULL = 0, THROTTLE_2_IDLE = 0, THROTTLE_2_FULL = 0,
        THROTTLE_3_IDLE = 0, THROTTLE_3_FULL = 0, THROTTLE_4_IDLE = 0, THROTTLE_4_FULL = 0;
    int THROTTLE_1_NULL_ZONE = 0, THROTTLE_2_NULL_ZONE = 0, THROTTLE_3_NULL_ZONE = 0,
        THROTTLE_4_NULL_ZONE = 0;
    bool REVERSE_INPUT_DIRECTION_THROTTLE1 = false, REVERSE_INPUT_DIRECTION_THROTTLE2 = false,
         REVERSE_INPUT_DIRECTION_THROTTLE3 = false, REVERSE_INPUT_DIRECTION_THROTTLE4 = false;
    double THROTTLE1_OVERRIDE_CURRENT = 0, THROTTLE2_OVERRIDE_CURRENT = 0,
           THROTTLE3_OVERRIDE_CURRENT = 0, THROTTLE4_OVERRIDE_CURRENT = 0;
    bool ENABLE_MANUAL_OVERRIDE = false;
    int CHANGE_TRIGGER_VALUE = 0;
    int IDLE_TIMEOUT = 0;
    // [SPEEDBRAKE]
    int SPEEDBRAKE_SERVO_MAX = 0, SPEEDBRAKE_SERVO_MIN = 0;
    bool REVERSE_SERVO_DIRECTION_SPEEDBRAKE = false;
    bool SPEEDBRAKE_INSTALLED = false;
    bool SPEEDBRAKE_REVERSE_INPUT_DIRECTION = false;
    int SPEEDBRAKE_DN = 0, SPEEDBRAKE_ARM = 0, SPEEDBRAKE_UP = 0;
    int SPEEDBRAKE_MOTOR_SPEED = 0, SPEEDBRAKE_MAX_DEPLOY_TIME = 0, MAX_INFLIGHT_SPOILER = 0;
    // [REVERSERS]
    int REVERSER_1_OFF = 0, REVERSER_1_IDLE = 0, REVERSER_1_FULL = 0,
        REVERSER_2_OFF = 0, REVERSER_2_IDLE = 0, REVERSER_2_FULL = 0,
        REVERSER_3_OFF = 0, REVERSER_3_IDLE = 0, REVERSER_3_FULL = 0,
        REVERSER_4_OFF = 0, REVERSER_4_IDLE = 0, REVERSER_4_FULL = 0;
    int REVERSER_1_NULL_ZONE = 0, REVERSER_2_NULL_ZONE = 0, REVERSER_3_NULL_ZONE = 0,
        REVERSER_4_NULL_ZONE = 0;
    int FULL_REVERSE_VALUE = 0;
    // [USER]
    bool PARKING_BRAKE = false;
    bool USER_REVERSE_PARKING_BRAKE = false;
    // [SETTINGS]
    bool START_MINIMIZED = false;
};

// When a setting is read during start-up.
enum class LoadGroup {
    Aircraft,   // [AIRCRAFT] TYPE, first of all
    Log,        // [LOG] FSUIPC_DATA, before the serial numbers
    Serials,    // board serial numbers and remote mode
    Main,       // everything else read by FormCreate
    Board747,   // read while opening the boards, for the 747 only
    StartUp,    // read by the deferred start
};

enum class SettingType {
    Int,        // decimal integer; not an integer gives the default
    Bool,       // integer, 0 = false; written as "1" / "0"
    Real,       // tolerant: text that is no number gives 0
    PlainReal,  // plain conversion; malformed text also gives 0
    Text,       // as it stands
};

using SettingField = std::variant<int Settings::*, bool Settings::*, double Settings::*, std::string Settings::*>;

struct SettingDef {
    LoadGroup group;
    const char* section;
    const char* key;
    SettingType type;
    const char* defaultText;   // the value taken when the key is missing
    SettingField field;
    int saveOrder;             // position in the saved subset, 0 = never saved
    // The accepted range of an Int setting. A value outside it is brought
    // to the nearer end, and the load reports the correction.
    int minValue;
    int maxValue;
};

// Every key, in the order start-up reads them.
const std::vector<SettingDef>& SettingsTable();

// Reads the keys of one group into `s`; missing or malformed values take
// their defaults. A value outside its setting's range is brought into it,
// with a line for the log added to `corrections` when given.
void LoadSettings(const IniFile& ini, LoadGroup group, Settings& s,
                  std::vector<std::string>* corrections = nullptr);
// Sets every field to its default.
void LoadDefaults(Settings& s);
// Writes the saved subset, in its order, into `ini`.
void StoreSavedSettings(const Settings& s, IniFile& ini);
// The text a setting is saved as.
std::string SettingText(const SettingDef& def, const Settings& s);

} // namespace zrk

#include "config/LeverSettings.h"

namespace zrk {

ThrottleSettings Throttle(const Settings& c, int n)
{
    switch (n) {
    case 2:
        return {c.THROTTLE_2_IDLE, c.THROTTLE_2_FULL, c.THROTTLE_2_NULL_ZONE, c.THROTTLE_2_INPUT_CHANNEL,
                c.THROTTLE_2_MOTOR_CHANNEL, c.THROTTLE_2_SPEED_ADJUST, c.REVERSE_MOTOR_DIRECTION_2,
                c.THROTTLE2_OVERRIDE_CURRENT};
    case 3:
        return {c.THROTTLE_3_IDLE, c.THROTTLE_3_FULL, c.THROTTLE_3_NULL_ZONE, c.THROTTLE_3_INPUT_CHANNEL,
                c.THROTTLE_3_MOTOR_CHANNEL, c.THROTTLE_3_SPEED_ADJUST, c.REVERSE_MOTOR_DIRECTION_3,
                c.THROTTLE3_OVERRIDE_CURRENT};
    case 4:
        return {c.THROTTLE_4_IDLE, c.THROTTLE_4_FULL, c.THROTTLE_4_NULL_ZONE, c.THROTTLE_4_INPUT_CHANNEL,
                c.THROTTLE_4_MOTOR_CHANNEL, c.THROTTLE_4_SPEED_ADJUST, c.REVERSE_MOTOR_DIRECTION_4,
                c.THROTTLE4_OVERRIDE_CURRENT};
    default:
        return {c.THROTTLE_1_IDLE, c.THROTTLE_1_FULL, c.THROTTLE_1_NULL_ZONE, c.THROTTLE_1_INPUT_CHANNEL,
                c.THROTTLE_1_MOTOR_CHANNEL, c.THROTTLE_1_SPEED_ADJUST, c.REVERSE_MOTOR_DIRECTION_1,
                c.THROTTLE1_OVERRIDE_CURRENT};
    }
}

ReverserSettings Reverser(const Settings& c, int n)
{
    switch (n) {
    case 2:
        return {c.REVERSER_2_OFF, c.REVERSER_2_IDLE, c.REVERSER_2_FULL, c.REVERSER_2_NULL_ZONE,
                c.REVERSER_2_INPUT_CHANNEL};
    case 3:
        return {c.REVERSER_3_OFF, c.REVERSER_3_IDLE, c.REVERSER_3_FULL, c.REVERSER_3_NULL_ZONE,
                c.REVERSER_3_INPUT_CHANNEL};
    case 4:
        return {c.REVERSER_4_OFF, c.REVERSER_4_IDLE, c.REVERSER_4_FULL, c.REVERSER_4_NULL_ZONE,
                c.REVERSER_4_INPUT_CHANNEL};
    default:
        return {c.REVERSER_1_OFF, c.REVERSER_1_IDLE, c.REVERSER_1_FULL, c.REVERSER_1_NULL_ZONE,
                c.REVERSER_1_INPUT_CHANNEL};
    }
}

} // namespace zrk

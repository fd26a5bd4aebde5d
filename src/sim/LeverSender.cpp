#include "sim/LeverSender.h"

namespace zrk {

namespace {

// Simulator offsets of the lever commands.
constexpr uint32_t kEngine1Lever = 0x088C, kEngine2Lever = 0x0924;
constexpr uint32_t kEngine3Lever = 0x09BC, kEngine4Lever = 0x0A54;
constexpr uint32_t kSpeedbrakeArm = 0x0BCC, kSpeedbrakePosition = 0x0BD0;
constexpr uint32_t kThrottle1Command = 0x52FA, kThrottle2Command = 0x52FC;
constexpr uint32_t kOverrideFlag1 = 0x53FA;   // .. 0x53FD for throttle 4

} // namespace

void LeverSender::SendEngineThrottle(int n, FPCuser& fsuipc, int32_t& result)
{
    int16_t& engineLever = n == 1 ? engine_l_throttle_pos : engine_r_throttle_pos;
    const uint32_t leverOffset = n == 1 ? kEngine1Lever : kEngine2Lever;
    const int16_t value = send.throttle[std::size_t(n - 1)];
    if (value >= 0) {
        // A forward command must not leave the simulator's own lever in
        // reverse: read it, and reset it to 0 when it is.
        engineLever = 0;
        fsuipc.QueueRead(leverOffset, 2, &engineLever, result);
        fsuipc.ProcessQueue(result);
        if (engineLever < 0) {
            const int16_t zero = 0;
            fsuipc.QueueWrite(leverOffset, 2, &zero, result);
            fsuipc.ProcessQueue(result);
        }
    }
    fsuipc.QueueWrite(n == 1 ? kThrottle1Command : kThrottle2Command, 2, &value, result);
}

void LeverSender::Send(const LeverCommands& commands, FPCuser& fsuipc, int32_t& result, const LogValueFn& logValue)
{
    send = commands;
    if (send == sent)
        return;
    const auto log = [&](const char* label, int value) {
        if (logValue)
            logValue(label, value);
    };

    static const char* const kOverrideLabel[4] = {"Throttle 1 Override = ", "Throttle 2 Override = ",
                                                  "Throttle 3 Override = ", "Throttle 4 Override = "};
    for (std::size_t i = 0; i < 4; ++i) {
        if (send.override[i] == sent.override[i])
            continue;
        log(kOverrideLabel[i], send.override[i]);
        fsuipc.QueueWrite(kOverrideFlag1 + uint32_t(i), 1, &send.override[i], result);
    }
    static const char* const kValueLabel[4] = {"Throttle 1 Value = ", "Throttle 2 Value = ",
                                               "Throttle 3 Value = ", "Throttle 4 Value = "};
    for (int n = 1; n <= 4; ++n) {
        const std::size_t i = std::size_t(n - 1);
        if (send.throttle[i] == sent.throttle[i])
            continue;
        log(kValueLabel[i], send.throttle[i]);
        if (n <= 2)
            SendEngineThrottle(n, fsuipc, result);
        else
            fsuipc.QueueWrite(n == 3 ? kEngine3Lever : kEngine4Lever, 2, &send.throttle[i], result);
    }
    // The speedbrake offsets are 32 bits wide.
    const int32_t arm = send.spoilerArm;
    if (send.spoiler != sent.spoiler) {
        log("Speedbrake Value = ", send.spoiler);
        // The armed value 4800 is carried by the arm offset alone.
        if (send.spoiler != 4800) {
            const int32_t value = send.spoiler;
            if (send.spoilerArm != 1)
                fsuipc.QueueWrite(kSpeedbrakePosition, 4, &value, result);
            fsuipc.QueueWrite(kSpeedbrakeArm, 4, &arm, result);
        }
    }
    if (send.spoilerArm != sent.spoilerArm) {
        log("Speedbrake Arm Value = ", send.spoilerArm);
        fsuipc.QueueWrite(kSpeedbrakeArm, 4, &arm, result);
    }
    fsuipc.ProcessQueue(result);
    sent = send;
}

} // namespace zrk

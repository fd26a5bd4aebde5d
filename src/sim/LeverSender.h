#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "sim/FPCuser.h"

namespace zrk {

// The lever commands of one tick, as they go to the simulator.
struct LeverCommands {
    std::array<int16_t, 4> throttle{};
    int16_t spoilerArm = 0, spoiler = 0;
    std::array<uint8_t, 4> override{};
    bool operator==(const LeverCommands&) const = default;
};

// Makes the simulator traffic change-driven: each tick, only the values
// that differ from those last sent are written, in their fixed order, and
// a tick in which nothing changed exchanges nothing.
class LeverSender {
public:
    // Called with a label and a value before each changed item is queued,
    // when value logging is on.
    using LogValueFn = std::function<void(const char* label, int value)>;

    // Takes `commands` for sending and writes what changed, with at most
    // five exchanges: two engine-lever reads, two resets and the last one.
    // The result codes go to `result`; afterwards everything counts as sent.
    void Send(const LeverCommands& commands, FPCuser& fsuipc, int32_t& result, const LogValueFn& logValue);

    // Taken for sending in the last tick, and as last sent.
    LeverCommands send, sent;
    // The simulator's engine 1 and 2 throttle levers, as last read.
    int16_t engine_l_throttle_pos = 0, engine_r_throttle_pos = 0;

private:
    void SendEngineThrottle(int n, FPCuser& fsuipc, int32_t& result);
};

} // namespace zrk

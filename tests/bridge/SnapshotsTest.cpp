#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bridge/PanelBuses.h"
#include "bridge/Snapshots.h"

namespace zrk {
namespace {

template <class Record, class T>
struct Field {
    const char* name;
    std::size_t offset;
    T (Record::*get)() const;
    void (Record::*set)(T);
};
#define FIELD(R, name, offset) {#name, offset, &R::name, &R::set_##name}

// Little-endian `bytes` at each field's offset read as `value`, and setting
// `value` writes exactly those bytes and nothing else.
template <class Record, class T>
void CheckFields(std::initializer_list<Field<Record, T>> fields, T value, std::vector<uint8_t> bytes)
{
    ASSERT_EQ(bytes.size(), sizeof(T));
    for (const auto& f : fields) {
        Record raw, set;
        std::memcpy(raw.data() + f.offset, bytes.data(), bytes.size());
        EXPECT_EQ((raw.*f.get)(), value) << f.name;
        (set.*f.set)(value);
        EXPECT_TRUE(set == raw) << f.name;
    }
}

using A = AircraftSnapshot;
using S = SimulatorSnapshot;

TEST(Snapshots, AircraftFieldsSitAtTheirOffsets)
{
    CheckFields<A, uint8_t>(
        {FIELD(A, fuel_control_light_1, 65), FIELD(A, fuel_control_light_2, 73),
         FIELD(A, fuel_control_light_3, 81), FIELD(A, fuel_control_light_4, 89),
         FIELD(A, speedbrake_arm_cmd, 141), FIELD(A, speedbrake_reverse_deploy_enable, 142),
         FIELD(A, on_ground, 420), FIELD(A, autothrottle_mode, 453),
         FIELD(A, at_ref_select_a, 1757), FIELD(A, trim_slow_flag_1, 1775),
         FIELD(A, trim_slow_flag_2, 1776), FIELD(A, trim_slow_flag_3, 1777),
         FIELD(A, trim_slow_flag_4, 1778), FIELD(A, at_engaged_left, 1784),
         FIELD(A, at_engaged_right, 1785), FIELD(A, mcp_autothrottle_engaged, 1786),
         FIELD(A, at_ref_select_b, 2189), FIELD(A, motors_inhibit, 3196),
         FIELD(A, engine_fire_1, 8544), FIELD(A, engine_fire_2, 8545),
         FIELD(A, tq_connected_seen, 8885), FIELD(A, speedbrake_auto_inhibit, 8903),
         FIELD(A, at_override_left, 8974), FIELD(A, at_override_right, 8975),
         FIELD(A, reverser_lockout_1, 9014), FIELD(A, reverser_lockout_2, 9015),
         FIELD(A, trim_hold, 16709), FIELD(A, trim_track_inhibit, 16710),
         FIELD(A, trim_track_request, 16716)},
        uint8_t{0xA7}, {0xA7});

    const std::initializer_list<Field<A, int32_t>> ints = {
        FIELD(A, trim_speed_select, 5), FIELD(A, parking_brake_light, 13),
        FIELD(A, at_idle_ref_alt, 4763), FIELD(A, at_full_left, 4775),
        FIELD(A, at_full_right, 17364)};
    CheckFields<A, int32_t>(ints, 0x12345678, {0x78, 0x56, 0x34, 0x12});
    CheckFields<A, int32_t>(ints, -2, {0xFE, 0xFF, 0xFF, 0xFF});

    const std::initializer_list<Field<A, double>> reals = {
        FIELD(A, at_idle_ref, 437), FIELD(A, at_command_left, 16354),
        FIELD(A, at_command_right, 16362)};
    // 1234.5 is 0x40934A0000000000; -0.1 is 0xBFB999999999999A.
    CheckFields<A, double>(reals, 1234.5, {0, 0, 0, 0, 0, 0x4A, 0x93, 0x40});
    CheckFields<A, double>(reals, -0.1, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0xBF});
}

TEST(Snapshots, SimulatorFieldsSitAtTheirOffsets)
{
    CheckFields<S, int32_t>({FIELD(S, sim_throttle_1, 33), FIELD(S, sim_throttle_2, 37),
                             FIELD(S, sim_throttle_3, 41), FIELD(S, sim_throttle_4, 45),
                             FIELD(S, auto_deploy_gate, 753)},
                            -16384, {0x00, 0xC0, 0xFF, 0xFF});
    CheckFields<S, int16_t>({FIELD(S, stab_trim_value, 741), FIELD(S, rudder_trim_value, 751)},
                            int16_t{-5040}, {0x50, 0xEC});
    CheckFields<S, double>({FIELD(S, speed_value, 541)}, 85.0, {0, 0, 0, 0, 0, 0x40, 0x55, 0x40});
    CheckFields<S, uint8_t>({FIELD(S, altn_trim_motion, 1170)}, uint8_t{2}, {2});
}

TEST(Snapshots, EachTickStartsFromZeroFilledBuffers)
{
    // A library that fills only part of the aircraft buffer.
    struct PartialBus : BuiltInPanelBus {
        bool zeroFilled = true;
        void Operation1(uint8_t* p) override
        {
            for (std::size_t i = 0; i < kAircraftSnapshotSize; ++i)
                zeroFilled = zeroFilled && p[i] == 0;
            p[420] = 1;
        }
    } bus;
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    aircraft.set_autothrottle_mode(9);   // left over from the last tick
    simulator.set_speed_value(120.0);
    CopySnapshots(bus, aircraft, simulator);
    EXPECT_TRUE(bus.zeroFilled);
    EXPECT_EQ(aircraft.on_ground(), 1);
    EXPECT_EQ(aircraft.autothrottle_mode(), 0);
    EXPECT_TRUE(simulator == SimulatorSnapshot{});
}

TEST(Snapshots, EachTickTakesFreshCopiesDroppingLocalChanges)
{
    VirtualPanelBus bus;
    bus.aircraft.set_autothrottle_mode(3);
    bus.simulator.set_stab_trim_value(-1260);
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    CopySnapshots(bus, aircraft, simulator);
    aircraft.set_autothrottle_mode(1);   // the mode-3 hold, say
    simulator.set_stab_trim_value(0);
    CopySnapshots(bus, aircraft, simulator);
    EXPECT_EQ(aircraft.autothrottle_mode(), 3);
    EXPECT_EQ(simulator.stab_trim_value(), -1260);
    EXPECT_EQ(bus.operations, (std::vector<int>{1, 9, 1, 9}));
}

} // namespace
} // namespace zrk

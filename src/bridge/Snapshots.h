#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "bridge/LittleEndian.h"
#include "bridge/PanelBus.h"

namespace zrk {

// A packed record of the bridge's data library: fields at any byte offset,
// little-endian, two's complement integers, IEEE 754 doubles.
template <std::size_t N>
class PackedRecord {
public:
    static constexpr std::size_t kSize = N;
    static constexpr std::size_t size() { return N; }
    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    void Clear() { bytes_.fill(0); }
    bool operator==(const PackedRecord&) const = default;

protected:
    template <class T, std::size_t Offset>
    T Get() const
    {
        static_assert(Offset + sizeof(T) <= N, "field outside the record");
        return LoadLittleEndian<T>(bytes_.data() + Offset);
    }
    template <class T, std::size_t Offset>
    void Set(T value)
    {
        static_assert(Offset + sizeof(T) <= N, "field outside the record");
        StoreLittleEndian<T>(bytes_.data() + Offset, value);
    }

private:
    std::array<uint8_t, N> bytes_{};
};

// A getter and a setter for the field `name` of type `type` at `offset`.
#define ZRK_SNAPSHOT_FIELD(type, name, offset)                   \
    type name() const { return Get<type, offset>(); }            \
    void set_##name(type value) { Set<type, offset>(value); }

// The aircraft record (operation 1 of the library). Only the fields the
// controller uses are named; an all-zero record reads as airborne,
// autothrottle off, no lamp lit and no trim request.
class AircraftSnapshot : public PackedRecord<kAircraftSnapshotSize> {
public:
    ZRK_SNAPSHOT_FIELD(int32_t, trim_speed_select, 5)
    ZRK_SNAPSHOT_FIELD(int32_t, parking_brake_light, 13)
    ZRK_SNAPSHOT_FIELD(uint8_t, fuel_control_light_1, 65)
    ZRK_SNAPSHOT_FIELD(uint8_t, fuel_control_light_2, 73)
    ZRK_SNAPSHOT_FIELD(uint8_t, fuel_control_light_3, 81)
    ZRK_SNAPSHOT_FIELD(uint8_t, fuel_control_light_4, 89)
    ZRK_SNAPSHOT_FIELD(uint8_t, speedbrake_arm_cmd, 141)
    ZRK_SNAPSHOT_FIELD(uint8_t, speedbrake_reverse_deploy_enable, 142)
    ZRK_SNAPSHOT_FIELD(uint8_t, on_ground, 420)
    ZRK_SNAPSHOT_FIELD(double, at_idle_ref, 437)
    ZRK_SNAPSHOT_FIELD(uint8_t, autothrottle_mode, 453)
    ZRK_SNAPSHOT_FIELD(uint8_t, at_ref_select_a, 1757)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_slow_flag_1, 1775)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_slow_flag_2, 1776)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_slow_flag_3, 1777)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_slow_flag_4, 1778)
    ZRK_SNAPSHOT_FIELD(uint8_t, at_engaged_left, 1784)
    ZRK_SNAPSHOT_FIELD(uint8_t, at_engaged_right, 1785)
    ZRK_SNAPSHOT_FIELD(uint8_t, mcp_autothrottle_engaged, 1786)
    ZRK_SNAPSHOT_FIELD(uint8_t, at_ref_select_b, 2189)
    ZRK_SNAPSHOT_FIELD(uint8_t, motors_inhibit, 3196)
    ZRK_SNAPSHOT_FIELD(int32_t, at_idle_ref_alt, 4763)
    ZRK_SNAPSHOT_FIELD(int32_t, at_full_left, 4775)
    ZRK_SNAPSHOT_FIELD(uint8_t, engine_fire_1, 8544)
    ZRK_SNAPSHOT_FIELD(uint8_t, engine_fire_2, 8545)
    ZRK_SNAPSHOT_FIELD(uint8_t, tq_connected_seen, 8885)
    ZRK_SNAPSHOT_FIELD(uint8_t, speedbrake_auto_inhibit, 8903)
    ZRK_SNAPSHOT_FIELD(uint8_t, at_override_left, 8974)
    ZRK_SNAPSHOT_FIELD(uint8_t, at_override_right, 8975)
    ZRK_SNAPSHOT_FIELD(uint8_t, reverser_lockout_1, 9014)
    ZRK_SNAPSHOT_FIELD(uint8_t, reverser_lockout_2, 9015)
    ZRK_SNAPSHOT_FIELD(double, at_command_left, 16354)
    ZRK_SNAPSHOT_FIELD(double, at_command_right, 16362)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_hold, 16709)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_track_inhibit, 16710)
    ZRK_SNAPSHOT_FIELD(uint8_t, trim_track_request, 16716)
    ZRK_SNAPSHOT_FIELD(int32_t, at_full_right, 17364)
};

// The simulator record (operation 9 of the library).
class SimulatorSnapshot : public PackedRecord<kSimulatorSnapshotSize> {
public:
    // Throttle positions 0 .. 16383.
    ZRK_SNAPSHOT_FIELD(int32_t, sim_throttle_1, 33)
    ZRK_SNAPSHOT_FIELD(int32_t, sim_throttle_2, 37)
    ZRK_SNAPSHOT_FIELD(int32_t, sim_throttle_3, 41)
    ZRK_SNAPSHOT_FIELD(int32_t, sim_throttle_4, 45)
    ZRK_SNAPSHOT_FIELD(double, speed_value, 541)
    ZRK_SNAPSHOT_FIELD(int16_t, stab_trim_value, 741)
    ZRK_SNAPSHOT_FIELD(int16_t, rudder_trim_value, 751)
    ZRK_SNAPSHOT_FIELD(int32_t, auto_deploy_gate, 753)
    ZRK_SNAPSHOT_FIELD(uint8_t, altn_trim_motion, 1170)
};

#undef ZRK_SNAPSHOT_FIELD

// Takes fresh copies of both records from the library (operation 1, then
// operation 9), each read into a zero-filled buffer, so whatever the
// library leaves untouched arrives as zero. Replaces the whole of both
// snapshots, dropping any change made to the previous copies.
void CopySnapshots(IPanelBus& bus, AircraftSnapshot& aircraft, SimulatorSnapshot& simulator);

} // namespace zrk

#pragma once
#include <cstddef>
#include <cstdint>

namespace zrk {

inline constexpr std::size_t kAircraftSnapshotSize = 18207;
inline constexpr std::size_t kSimulatorSnapshotSize = 1984;

// The bridge's data library, used through six numbered operations.
class IPanelBus {
public:
    virtual ~IPanelBus() = default;
    // Operations 3 and 11: open the use of the library, at start-up.
    virtual void Operation3() = 0;
    virtual void Operation11() = 0;
    // Operation 1: fills an 18207-byte buffer with the aircraft record.
    virtual void Operation1(uint8_t* aircraft) = 0;
    // Operation 9: fills a 1984-byte buffer with the simulator record.
    virtual void Operation9(uint8_t* simulator) = 0;
    // Operations 4 and 12: end the use of the library, at shutdown.
    virtual void Operation4() = 0;
    virtual void Operation12() = 0;
};

} // namespace zrk

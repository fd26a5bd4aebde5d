#pragma once
#include <cstddef>
#include <vector>

#include "bridge/PanelBus.h"
#include "bridge/Snapshots.h"

namespace zrk {

// The library when no bridge is installed: every operation does nothing,
// so both records stay all zero.
class BuiltInPanelBus : public IPanelBus {
public:
    void Operation3() override {}
    void Operation11() override {}
    void Operation1(uint8_t* /*aircraft*/) override {}
    void Operation9(uint8_t* /*simulator*/) override {}
    void Operation4() override {}
    void Operation12() override {}
};

// A library whose records a test sets; it keeps the order of the
// operations called.
class VirtualPanelBus : public IPanelBus {
public:
    // The records operations 1 and 9 hand out.
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    // The numbers of the operations called, in order: the newest
    // kKeptOperations at least (two a cycle would otherwise grow without
    // end on a long run).
    static constexpr std::size_t kKeptOperations = 4096;
    std::vector<int> operations;

    void Operation3() override { Record(3); }
    void Operation11() override { Record(11); }
    void Operation1(uint8_t* buffer) override;
    void Operation9(uint8_t* buffer) override;
    void Operation4() override { Record(4); }
    void Operation12() override { Record(12); }

private:
    void Record(int operation);
};

} // namespace zrk

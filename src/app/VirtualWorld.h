#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/TForm1.h"
#include "app/TestHost.h"
#include "app/VirtualDialogs.h"
#include "app/VirtualProcessEnv.h"
#include "boards/VirtualBoards.h"
#include "boards/VirtualQuadrant.h"
#include "bridge/PanelBuses.h"
#include "bridge/VirtualBridgeSocket.h"
#include "config/MemoryFileSystem.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {

// Everything outside the controller, virtual: the clock and event loop,
// processes, dialogs, files, boards, the bridge's socket (which accepts
// every connection) and data library, and the simulator. Tests, the
// scenario runner and the benchmarks run the real controller inside it.
struct VirtualWorld {
    explicit VirtualWorld(uint64_t startMs = 1'000'000) : host(startMs) {}

    Ports MakePorts(const std::string& exeFolder)
    {
        return Ports{host, host, process, dialogs, files, boards, exeFolder, socket, panelBus, sim};
    }

    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBoardLibrary boards{host};
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    VirtualPanelBus panelBus;
    FsuipcEmulator sim{&host};
    // The quadrant's mechanics: still until turned on.
    VirtualQuadrant quadrant{boards};

    // The levers move with time from now on, stepped every 8 ms like the
    // boards' own reports; `afterStep` runs after each step (traces).
    void QuadrantOn(std::function<void()> afterStep = {})
    {
        host.SetPeriodicStep(VirtualQuadrant::kStepMs, [this, afterStep](uint64_t ms) {
            quadrant.Advance(ms);
            if (afterStep)
                afterStep();
        });
    }
    void QuadrantOff() { host.SetPeriodicStep(0, {}); }
};

} // namespace zrk

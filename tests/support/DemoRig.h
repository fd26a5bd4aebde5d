#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/TestHost.h"
#include "app/VirtualDialogs.h"
#include "app/VirtualProcessEnv.h"
#include "app/demo/DemoCockpit.h"
#include "bridge/UpdateRecord.h"
#include "bridge/VirtualBridgeSocket.h"
#include "config/MemoryFileSystem.h"

namespace zrk::test {

constexpr const char* kFolder = "/opt/zrk/demo";

// The controller run on the demo cockpit as the Qt host runs it, on
// virtual time.
struct DemoRig {
    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    DemoCockpit cockpit{host, host};
    std::unique_ptr<TForm1> form;
    uint64_t start = 0;

    // `wrap` may stand between the controller and the cockpit's ports (a
    // session recorder).
    explicit DemoRig(std::function<Ports(const Ports&)> wrap = {})
    {
        process.bridgeRunning = true;
        socket.recordSent = false;
        socket.onSent = [this](const uint8_t* data, std::size_t size) {
            if (size == kRecordSize)
                cockpit.BridgeReceived(RecordText(data));
        };
        std::string error;
        EXPECT_TRUE(DemoCockpit::PrepareFolder(files, kFolder, error)) << error;
        const Ports ports = cockpit.MakePorts(host, host, process, dialogs, files, kFolder, socket, 698);
        form = std::make_unique<TForm1>(wrap ? wrap(ports) : ports);
        host.Bind(form.get());
        form->FormCreate();
        EXPECT_EQ(cockpit.Wire(*form), "");
        host.SetPeriodicStep(VirtualQuadrant::kStepMs, [this](uint64_t ms) { cockpit.Step(ms); });
        start = host.NowMs();
    }
    ~DemoRig() { form->FormDestroy(); }

    // Runs until the flight's time reaches `t` seconds (first loop).
    void RunTo(double t)
    {
        while (cockpit.Flight().Loops() == 0 && cockpit.Flight().TimeS() < t)
            host.RunFor(8);
    }
    double Lever(const char* name) const { return *cockpit.Quadrant().Position(name); }
    std::optional<std::string> LastFlapMessage() const
    {
        std::optional<std::string> last;
        for (const std::string& m : cockpit.BridgeMessages())
            if (m.rfind("COMMANDED_FLAP_POSITION=", 0) == 0)
                last = m.substr(24);
        return last;
    }
};

} // namespace zrk::test

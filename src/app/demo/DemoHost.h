#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zrk {

class DemoCockpit;
class TForm1;

// What a program's host does around the virtual cockpit, the same with any
// window system: it hands the built-in bridge's messages to the cockpit,
// wires the cockpit to the controller and steps it on the real clock.

// The built-in bridge's receiver: every message goes to the cockpit; when
// `print` is given (headless), a message is also printed through it when it
// differs from the last one of its name, so that the connection's heartbeat
// does not drown the rest. At most 256 names are remembered. Copies share
// what was printed: a bridge may call its receiver through a copy.
class DemoBridgeReceiver {
public:
    DemoBridgeReceiver(DemoCockpit& cockpit, std::function<void(const std::string&)> print)
        : cockpit_(cockpit), print_(std::move(print))
    {
    }
    void operator()(const std::string& message);

private:
    DemoCockpit& cockpit_;
    std::function<void(const std::string&)> print_;
    std::shared_ptr<std::map<std::string, std::string>> lastByName_ =
        std::make_shared<std::map<std::string, std::string>>();
};

// After FormCreate: wires the cockpit's quadrant from the settings just read
// and logs where the demo keeps its settings and where its bridge listens,
// and the flight's phases from then on.
void StartDemoCockpit(DemoCockpit& cockpit, TForm1& form, const std::string& folder, uint16_t bridgePort);

// Steps the cockpit by the real time passed since its last step, read from
// `nowMs` (a monotonic clock in milliseconds; the steady clock unless
// given). A stall (a suspended process, a modal loop elsewhere) is not made
// up for in one jump: one step covers 250 ms at most.
class DemoStepper {
public:
    explicit DemoStepper(DemoCockpit& cockpit, std::function<uint64_t()> nowMs = {});
    void Tick();

private:
    DemoCockpit& cockpit_;
    std::function<uint64_t()> nowMs_;
    uint64_t lastMs_ = 0;
};

// Lines reported before the controller's log exists (by the board library
// as it loads, by the bridge's data library) wait for it: Attach hands them
// on in order, and every line after that goes straight to the log.
class EarlyLog {
public:
    void operator()(const std::string& line);
    void Attach(TForm1& form);

private:
    TForm1* form_ = nullptr;
    std::vector<std::string> waiting_;
};

} // namespace zrk

#include "app/demo/DemoHost.h"

#include <algorithm>

#include "app/TForm1.h"
#include "app/demo/CycleStats.h"
#include "app/demo/DemoCockpit.h"

namespace zrk {

void DemoBridgeReceiver::operator()(const std::string& message)
{
    cockpit_.BridgeReceived(message);
    if (!print_)
        return;
    const std::string name = message.substr(0, message.find('='));
    std::map<std::string, std::string>& last = *lastByName_;
    auto it = last.find(name);
    if (it != last.end() && it->second == message)
        return;
    if (last.size() >= 256)
        last.clear();
    last[name] = message;
    print_("Bridge received " + message);
}

void StartDemoCockpit(DemoCockpit& cockpit, TForm1& form, const std::string& folder, uint16_t bridgePort)
{
    const std::string error = cockpit.Wire(form);
    if (!error.empty())
        form.Log("Demo quadrant: " + error);
    form.Log("Demo cockpit: settings in " + folder + ", built-in bridge on 127.0.0.1:" + std::to_string(bridgePort));
    cockpit.Flight().onPhase = [&form](const std::string& line) { form.Log(line); };
}

DemoStepper::DemoStepper(DemoCockpit& cockpit, std::function<uint64_t()> nowMs)
    : cockpit_(cockpit), nowMs_(std::move(nowMs))
{
    if (!nowMs_)
        nowMs_ = [] { return SteadyClockUs() / 1000; };
    lastMs_ = nowMs_();
}

void DemoStepper::Tick()
{
    const uint64_t now = nowMs_();
    const uint64_t elapsed = std::min<uint64_t>(now - lastMs_, 250);
    lastMs_ = now;
    if (elapsed > 0)
        cockpit_.Step(elapsed);
}

void EarlyLog::operator()(const std::string& line)
{
    if (form_)
        form_->Log(line);
    else
        waiting_.push_back(line);
}

void EarlyLog::Attach(TForm1& form)
{
    form_ = &form;
    for (const std::string& line : waiting_)
        form.Log(line);
    waiting_.clear();
}

} // namespace zrk

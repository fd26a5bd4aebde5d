#include "app/demo/DemoQuadrant.h"

#include <algorithm>
#include <cstdio>

#include "app/demo/DemoCockpit.h"

namespace zrk {

QuadrantHooks DemoQuadrantHooks(DemoCockpit& cockpit)
{
    QuadrantHooks h;
    for (const DemoCockpit::Switch& s : DemoCockpit::Switches()) {
        QuadrantSwitchHook q;
        q.label = s.label;
        const std::string name = s.name;
        q.closed = [&cockpit, name] { return cockpit.SwitchClosed(name); };
        q.set = [&cockpit, name](bool closed) { cockpit.SetSwitch(name, closed); };
        h.switches.push_back(std::move(q));
    }
    h.flight = [&cockpit] {
        const DemoFlight& f = cockpit.Flight();
        return QuadrantFlightState{f.TimeS(), f.PhaseName(), f.Paused(), f.Speed()};
    };
    h.setPaused = [&cockpit](bool paused) { cockpit.Flight().SetPaused(paused); };
    h.restart = [&cockpit] { cockpit.Flight().Restart(); };
    h.setSpeed = [&cockpit](double factor) { cockpit.Flight().SetSpeed(factor); };
    h.bridgeMessages = [&cockpit] {
        const auto& all = cockpit.BridgeSummary();
        const std::size_t n = std::min(all.size(), QuadrantPanel::kShownMessages);
        std::vector<std::string> lines;
        for (auto it = all.end() - long(n); it != all.end(); ++it) {
            char when[16];
            std::snprintf(when, sizeof when, "%02d:%02d:%02d", it->last.hour, it->last.minute, it->last.second);
            lines.push_back(it->message + "  x" + std::to_string(it->count) + "  " + when);
        }
        return lines;
    };
    return h;
}

} // namespace zrk

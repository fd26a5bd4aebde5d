// The "Quadrant" window on the demo cockpit: its quadrant, its switches,
// its flight and its built-in bridge.
#include <algorithm>
#include <cstdio>

#include "app/demo/DemoCockpit.h"
#include "ui/QuadrantWindow.h"

namespace zrk {

namespace {

QuadrantWindowHooks HooksOf(DemoCockpit& cockpit)
{
    QuadrantWindowHooks h;
    for (const DemoCockpit::Switch& s : DemoCockpit::Switches()) {
        QuadrantSwitch q;
        q.label = QString::fromStdString(s.label);
        const std::string name = s.name;
        q.closed = [&cockpit, name] { return cockpit.SwitchClosed(name); };
        q.set = [&cockpit, name](bool closed) { cockpit.SetSwitch(name, closed); };
        h.switches.push_back(std::move(q));
    }
    h.flight = [&cockpit] {
        const DemoFlight& f = cockpit.Flight();
        return QuadrantFlight{f.TimeS(), QString::fromLatin1(f.PhaseName()), f.Paused(), f.Speed()};
    };
    h.setPaused = [&cockpit](bool paused) { cockpit.Flight().SetPaused(paused); };
    h.restart = [&cockpit] { cockpit.Flight().Restart(); };
    h.setSpeed = [&cockpit](double factor) { cockpit.Flight().SetSpeed(factor); };
    // Each name once, with its latest value, how often it came and when
    // it last came: the heartbeat of a connection does not push the rest
    // out of sight.
    h.bridgeMessages = [&cockpit] {
        const auto& all = cockpit.BridgeSummary();
        const std::size_t n = std::min(all.size(), QuadrantWindow::kShownMessages);
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

} // namespace

QuadrantWindow::QuadrantWindow(DemoCockpit& cockpit, QWidget* parent)
    : QuadrantWindow(cockpit.Quadrant(), HooksOf(cockpit), parent)
{
}

} // namespace zrk

// Speed of the controller's hot paths on virtual boards and the emulated
// simulator. Run: build/zrk-tq-bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "app/Scenario.h"
#include "app/VirtualWorld.h"
#include "config/DefaultConfig.h"
#include "config/IniFile.h"

namespace {

using namespace zrk;

// A calibrated quadrant with the main card attached and the simulator linked.
struct Bench : VirtualWorld {
    std::unique_ptr<TForm1> form;

    Bench()
    {
        IniFile ini = IniFile::Parse(DefaultConfigText());
        ini.Write("PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100");
        for (int n = 1; n <= 4; ++n) {
            ini.Write("THROTTLES", "THROTTLE_" + std::to_string(n) + "_IDLE", "100");
            ini.Write("THROTTLES", "THROTTLE_" + std::to_string(n) + "_FULL", "900");
        }
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_ARM", "300");
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_UP", "800");
        files.Put("/b/CONFIG.INI", ini.Text());
        socket.recordSent = false;
        sim.recordWrites = false;
        panelBus.aircraft.set_tq_connected_seen(1);
        panelBus.aircraft.set_on_ground(1);
        boards.Plug(BoardKind::InterfaceKit, 100);
        form = std::make_unique<TForm1>(MakePorts("/b"));
        host.Bind(form.get());
        form->FormCreate();
        host.RunFor(500);
        panelBus.operations.clear();
    }

    // One main cycle; the data library's call record is kept short.
    void Tick()
    {
        form->mainTimer();
        if (panelBus.operations.size() > 100000)
            panelBus.operations.clear();
    }
};

void BM_QuietTick(benchmark::State& state)
{
    Bench b;
    for (auto _ : state) {
        b.Tick();
    }
}
BENCHMARK(BM_QuietTick);

void BM_BusyTick(benchmark::State& state)
{
    Bench b;
    int16_t v = 0;
    for (auto _ : state) {
        // All ten values change: four override flags, four throttles, the
        // speedbrake arm and value.
        ++v;
        for (int n = 1; n <= 4; ++n) {
            b.form->ThrottleOut(n) = int16_t((v + n) & 0x3FFF);
            b.form->throttle_override[std::size_t(n - 1)] = uint8_t(v & 1);
        }
        b.form->spoiler_arm_out = int16_t(v & 1);
        b.form->spoiler_out = int16_t(5000 + (v & 0xFFF));
        b.Tick();
    }
}
BENCHMARK(BM_BusyTick);

void BM_LeverEvents(benchmark::State& state)
{
    Bench b;
    int pos = 0;
    for (auto _ : state) {
        pos = (pos + 7) % 1001;
        b.form->PhidgetInterfaceKit2SensorChange(pos & 3, pos);
        b.form->PhidgetInterfaceKit2SensorChange(6, pos);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_LeverEvents);

// One hour of controller time: levers moving every second, the bridge and
// simulator exchanging. Reports virtual time over wall time.
void BM_ScenarioHour(benchmark::State& state)
{
    std::string text = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n[THROTTLES]\n"
                       "THROTTLE_1_IDLE=100\nTHROTTLE_1_FULL=900\n@scenario\n0 plug kit 100\n";
    for (int s = 2; s < 3600; ++s)
        text += std::to_string(s * 1000) + " sensor 100 0 " + std::to_string(100 + (s * 37) % 800) + "\n";
    text += "3600000 end\n";
    double ratio = 0;
    for (auto _ : state) {
        ScenarioRunner runner;
        runner.trace = false;
        const auto start = std::chrono::steady_clock::now();
        runner.Run(text, nullptr);
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        ratio = double(runner.ElapsedMs()) / wall;
    }
    state.counters["virtual_over_wall"] = ratio;
}
BENCHMARK(BM_ScenarioHour)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();

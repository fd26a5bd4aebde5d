// Speed of the controller's hot paths on virtual boards and the emulated
// simulator. Run: build/zrk-tq-bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/ChartsPanel.h"
#include "app/Scenario.h"
#include "app/record/SessionRecorder.h"
#include "app/VirtualWorld.h"
#include "app/demo/DemoCockpit.h"
#include "bridge/UpdateRecord.h"
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

// A 747 quadrant with every lever motor board attached, the autothrottle
// driving all four levers and override detection on.
struct DrivenBench : VirtualWorld {
    std::unique_ptr<TForm1> form;

    DrivenBench()
    {
        IniFile ini = IniFile::Parse(DefaultConfigText());
        const char* s = "PHIDGETS_SERIAL_NUMBERS";
        ini.Write("AIRCRAFT", "TYPE", "747");
        ini.Write(s, "INTERFACE1", "100");
        ini.Write(s, "INTERFACE1_PBRAKE_STAB", "101");
        ini.Write(s, "MOTOR1_SPEEDBRAKE", "201");
        ini.Write(s, "MOTOR2_THROTTLES_1_2", "202");
        ini.Write(s, "MOTOR3_THROTTLES_3_4", "203");
        ini.Write(s, "MOTOR_THROTTLE_1_SINGLE", "205");
        ini.Write(s, "MOTOR_THROTTLE_2_SINGLE", "206");
        ini.Write("THROTTLES", "ENABLE_MANUAL_OVERRIDE", "1");
        for (int n = 1; n <= 4; ++n) {
            ini.Write("THROTTLES", "THROTTLE_" + std::to_string(n) + "_IDLE", n <= 2 ? "100" : "900");
            ini.Write("THROTTLES", "THROTTLE_" + std::to_string(n) + "_FULL", n <= 2 ? "900" : "100");
        }
        files.Put("/b/CONFIG.INI", ini.Text());
        socket.recordSent = false;
        sim.recordWrites = false;
        AircraftSnapshot& a = panelBus.aircraft;
        a.set_tq_connected_seen(1);
        a.set_on_ground(1);
        a.set_autothrottle_mode(1);
        a.set_at_engaged_left(1);
        a.set_at_engaged_right(1);
        a.set_at_full_left(100);
        a.set_at_full_right(100);
        a.set_at_command_left(90);
        a.set_at_command_right(90);
        boards.Plug(BoardKind::InterfaceKit, 100);
        boards.Plug(BoardKind::InterfaceKit, 101);
        for (int serial : {201, 202, 203, 205, 206})
            boards.Plug(BoardKind::MotorControl, serial);
        form = std::make_unique<TForm1>(MakePorts("/b"));
        host.Bind(form.get());
        form->FormCreate();
        host.RunFor(500);
        for (int serial : {202, 203})
            for (double& c : boards.Find(serial)->current)
                c = 0.1;
        ClearRecords();
    }
    void ClearRecords()
    {
        panelBus.operations.clear();
        for (VirtualBoardState* b : boards.Controls())
            b->ClearCommands();
    }
};

void BM_DrivenTick(benchmark::State& state)
{
    DrivenBench b;
    int pos = 0;
    for (auto _ : state) {
        // The levers never arrive: every motor is commanded each tick.
        pos = (pos + 1) % 400;
        for (int n = 1; n <= 4; ++n)
            b.form->TrackBar(n).Position = n <= 2 ? 100 + pos : 900 - pos;
        b.form->mainTimer();
        if (b.panelBus.operations.size() > 100000)
            b.ClearRecords();
    }
}
BENCHMARK(BM_DrivenTick);

// Every drive at work: levers driven with override detection, the trim
// wheel tracking a moving trim, the speedbrake deploying, and the five
// servos (three indicators, the latch, the four-channel board) moving.
struct FullBusyBench {
    DrivenBench b;
    int16_t trim = 0;
    int pos = 0;

    FullBusyBench()
    {
        const char* s = "PHIDGETS_SERIAL_NUMBERS";
        // The trim wheel, speedbrake latch and indicator boards.
        b.boards.Plug(BoardKind::MotorControl, 204);
        for (int serial : {301, 302, 303, 304, 305})
            b.boards.Plug(BoardKind::AdvancedServo, serial);
        IniFile ini = IniFile::Parse(b.files.Files().at("/b/CONFIG.INI"));
        ini.Write(s, "MOTOR_TRIM", "204");
        ini.Write(s, "SERVO1_CPT_TRIM", "301");
        ini.Write(s, "SERVO2_FO_TRIM", "302");
        ini.Write(s, "SERVO3_RUDDER_TRIM", "303");
        ini.Write(s, "SERVO4_SPEEDBRAKE", "304");
        ini.Write(s, "MULTI_SERVOS", "305");
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_INSTALLED", "1");
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_DN", "100");
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_ARM", "300");
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_UP", "800");
        ini.Write("SPEEDBRAKE", "SPEEDBRAKE_MAX_DEPLOY_TIME", "2000000000");
        // A fresh controller on the richer quadrant.
        b.form->FormClose();
        b.form->FormDestroy();
        b.files.Put("/b/CONFIG.INI", ini.Text());
        b.form = std::make_unique<TForm1>(b.MakePorts("/b"));
        b.host.Bind(b.form.get());
        b.form->FormCreate();
        b.host.RunFor(500);
        b.panelBus.aircraft.set_trim_track_request(1);
        b.form->Button7Click();   // deploy, never arriving
    }
    void Tick()
    {
        pos = (pos + 1) % 400;
        for (int n = 1; n <= 4; ++n)
            b.form->TrackBar(n).Position = n <= 2 ? 100 + pos : 900 - pos;
        b.form->TrackBar(9).Position = 400;
        trim = int16_t((trim + 37) % 16000);
        b.panelBus.simulator.set_stab_trim_value(trim);
        b.panelBus.simulator.set_rudder_trim_value(int16_t(trim - 8000));
        b.form->mainTimer();
        // The boards' command records are the rig's, not the controller's:
        // kept short so that they cost the same all run long.
        if (b.boards.Find(204)->commands.size() > 100000)
            b.ClearRecords();
    }
};

// Arg 0: the Charts window closed; 1: open and recording every tick.
void BM_FullBusyTick(benchmark::State& state)
{
    FullBusyBench f;
    if (state.range(0) == 1)
        f.b.form->OpenCharts();
    for (auto _ : state)
        f.Tick();
    // Proof that the drives were at work.
    f.b.ClearRecords();
    f.Tick();
    state.counters["trim_cmds"] = double(f.b.boards.Find(204)->commands.size());
    state.counters["latch_cmds"] = double(f.b.boards.Find(304)->commands.size());
    state.counters["cpt_cmds"] = double(f.b.boards.Find(301)->commands.size());
    if (const ChartsPanel* charts = f.b.form->Charts())
        state.counters["chart_samples"] = double(charts->Recorder().Size());
}
BENCHMARK(BM_FullBusyTick)->ArgName("charts")->Arg(0)->Arg(1);

// What recording for the Charts window adds to the full busy tick: the
// same controller alternates blocks of ticks with the window closed and
// open, so that both figures come from the same run, cache and clock
// state. The counters give the nanoseconds per tick of each, and the
// difference.
void BM_ChartsRecordingCost(benchmark::State& state)
{
    FullBusyBench f;
    using Clock = std::chrono::steady_clock;
    constexpr int kBlock = 2000;
    double offNs = 0, onNs = 0;
    long blocks = 0;
    for (auto _ : state) {
        f.b.form->CloseCharts();
        auto t0 = Clock::now();
        for (int i = 0; i < kBlock; ++i)
            f.Tick();
        auto t1 = Clock::now();
        f.b.form->OpenCharts();
        auto t1b = Clock::now();
        for (int i = 0; i < kBlock; ++i)
            f.Tick();
        auto t2 = Clock::now();
        offNs += double(std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count());
        onNs += double(std::chrono::duration_cast<std::chrono::nanoseconds>(t2 - t1b).count());
        ++blocks;
    }
    const double ticks = double(blocks) * kBlock;
    state.counters["closed_ns"] = offNs / ticks;
    state.counters["open_ns"] = onNs / ticks;
    state.counters["difference_ns"] = (onNs - offNs) / ticks;
}
BENCHMARK(BM_ChartsRecordingCost)->Iterations(20)->Unit(benchmark::kMillisecond);

long ResidentKb()
{
    long kb = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        long pages = 0, resident = 0;
        if (std::fscanf(f, "%ld %ld", &pages, &resident) == 2)
            kb = resident * 4;
        std::fclose(f);
    }
    return kb;
}

// Ten minutes of virtual time in which each of the eight inputs of the main
// card changes 1000 times a second, while every lever is driven. Reports
// the wall time per tick (events included), the largest number of
// simulator exchanges in one tick and the growth of resident memory over
// the last nine minutes.
void BM_EventStorm(benchmark::State& state)
{
    for (auto _ : state) {
        DrivenBench b;
        VirtualBoardState* kit = b.boards.Find(100);
        int maxExchanges = 0;
        long rssAfterFirstMinute = 0;
        const int ticks = 10 * 60 * 10;
        const auto start = std::chrono::steady_clock::now();
        for (int t = 0; t < ticks; ++t) {
            for (int e = 0; e < 100; ++e)
                for (int i = 0; i < 8; ++i)
                    kit->Sensor(i, (t * 100 + e * 13 + i * 101) % 1001);
            const int before = b.sim.Exchanges();
            b.host.RunFor(100);
            maxExchanges = std::max(maxExchanges, b.sim.Exchanges() - before);
            if (t == 600)
                rssAfterFirstMinute = ResidentKb();
        }
        const double wall = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        state.counters["us_per_tick"] = wall / ticks;
        state.counters["max_exchanges_per_tick"] = maxExchanges;
        state.counters["rss_growth_kb"] = double(ResidentKb() - rssAfterFirstMinute);
    }
}
BENCHMARK(BM_EventStorm)->Unit(benchmark::kMillisecond)->Iterations(1);

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

// A day of the demo cockpit's looping flight on virtual time: the whole
// controller against the virtual quadrant, the flight and the simulator.
// Reports the loops flown, the main cycles run against those the day
// should hold (drift), resident memory growth from the first hour and from
// the twelfth to the end (the log fills to its 5000 lines in the first
// hours), and the log lines after start-up other than the flight's own:
// its phases and the latch servo's position, logged by the controller in
// each cycle of a speedbrake deploy. Those are printed, the first ten.
// The virtual cockpit's world, as the program's demo builds it: its
// settings folder, a bridge that takes the controller's records, and the
// cockpit behind the boards and the data library.
struct DemoWorld {
    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    DemoCockpit cockpit{host, host};

    DemoWorld()
    {
        process.bridgeRunning = true;
        socket.recordSent = false;
        socket.onSent = [this](const uint8_t* data, std::size_t size) {
            if (size == kRecordSize)
                cockpit.BridgeReceived(RecordText(data));
        };
        std::string error;
        DemoCockpit::PrepareFolder(files, "/demo", error);
    }
    Ports MakePorts() { return cockpit.MakePorts(host, host, process, dialogs, files, "/demo", socket, 698); }
};

void BM_DemoSoakDay(benchmark::State& state)
{
    // Counts the main cycles on the way to the controller.
    struct CountingSink : ITimerSink {
        explicit CountingSink(ITimerSink& inner) : inner(inner) {}
        void OnTimer(TimerId id) override
        {
            if (id == TimerId::Main)
                ++cycles;
            inner.OnTimer(id);
        }
        ITimerSink& inner;
        uint64_t cycles = 0;
    };
    for (auto _ : state) {
        DemoWorld w;
        TestHost& host = w.host;
        DemoCockpit& cockpit = w.cockpit;
        TForm1 form(w.MakePorts());
        CountingSink sink(form);
        host.Bind(&sink);
        bool started = false;
        uint64_t otherLines = 0, flightLines = 0;
        form.Memo1.OnLine = [&](const std::string& line) {
            if (line.find("Demo flight: ") != std::string::npos || line.find(" : SB Servo Position") != std::string::npos) {
                ++flightLines;
            } else if (started) {
                if (++otherLines <= 10)
                    std::fprintf(stderr, "soak: unexpected log line: %s\n", line.c_str());
            }
        };
        form.FormCreate();
        cockpit.Wire(form);
        cockpit.Flight().onPhase = [&form](const std::string& line) { form.Log(line); };
        host.SetPeriodicStep(VirtualQuadrant::kStepMs, [&cockpit](uint64_t ms) { cockpit.Step(ms); });

        constexpr uint64_t kHourMs = 3600'000;
        host.RunFor(10'000);   // start-up: boards attach, the bridge connects
        started = true;
        const uint64_t cycles0 = sink.cycles;
        const uint64_t t0 = host.NowMs();
        long rssFirstHour = 0, rssHalfDay = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int hour = 0; hour < 24; ++hour) {
            host.RunFor(kHourMs);
            if (hour == 0)
                rssFirstHour = ResidentKb();
            if (hour == 11)
                rssHalfDay = ResidentKb();
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double interval = host.TimerInterval(TimerId::Main);
        const double expected = double(host.NowMs() - t0) / interval;
        state.counters["loops"] = double(cockpit.Flight().Loops());
        state.counters["main_cycles"] = double(sink.cycles - cycles0);
        state.counters["cycle_drift"] = double(sink.cycles - cycles0) - expected;
        state.counters["rss_growth_kb"] = double(ResidentKb() - rssFirstHour);
        state.counters["rss_growth_last_12h_kb"] = double(ResidentKb() - rssHalfDay);
        state.counters["rss_kb"] = double(ResidentKb());
        state.counters["flight_lines"] = double(flightLines);
        state.counters["other_lines"] = double(otherLines);
        state.counters["wall_s"] = wall;
        form.FormDestroy();
    }
}
BENCHMARK(BM_DemoSoakDay)->Unit(benchmark::kSecond)->Iterations(1);

// An hour of the virtual cockpit with the session recorder between the
// controller and its ports (arg 1, 2) or without it (arg 0): the wall time
// per main cycle, and for a recording its size after the hour and per
// cycle. Arg 0 and 1: the flight repeats all hour long, levers, trim and
// speedbrake always moving (a busy hour). Arg 2: the flight paused at the
// gate (a quiet hour: the controller running, nothing moving).
void BM_DemoHourRecorded(benchmark::State& state)
{
    const bool record = state.range(0) >= 1;
    const bool quiet = state.range(0) == 2;
    uint64_t cycles = 0, bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        DemoWorld w;
        TestHost& host = w.host;
        DemoCockpit& cockpit = w.cockpit;
        MemoryRecordingSink sink;
        const Ports ports = w.MakePorts();
        std::unique_ptr<SessionRecorder> recorder;
        if (record)
            recorder = std::make_unique<SessionRecorder>(ports, sink);
        TForm1 form(recorder ? recorder->RecordingPorts() : ports);
        host.Bind(&form);
        form.FormCreate();
        cockpit.Wire(form);
        cockpit.Flight().SetPaused(quiet);
        host.SetPeriodicStep(VirtualQuadrant::kStepMs, [&cockpit](uint64_t ms) { cockpit.Step(ms); });
        const auto t0 = std::chrono::steady_clock::now();
        host.RunFor(3600ull * 1000);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        form.FormClose();
        form.FormDestroy();
        if (recorder)
            recorder->Flush();
        cycles += 36000;
        bytes = sink.bytes.size();
    }
    state.counters["us_per_cycle"] = seconds * 1e6 / double(cycles);
    if (record) {
        state.counters["file_MB_per_hour"] = double(bytes) / (1 << 20);
        state.counters["bytes_per_cycle"] = double(bytes) / 36000.0;
    }
}
BENCHMARK(BM_DemoHourRecorded)->ArgName("record")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();

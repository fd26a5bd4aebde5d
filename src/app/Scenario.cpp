#include "app/Scenario.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "app/VirtualWorld.h"
#include "bridge/LittleEndian.h"
#include "bridge/UpdateRecord.h"
#include "config/Convert.h"

namespace zrk {

namespace {
// A value as a board really received it; unlike the settings' text form,
// a value that is no finite number shows as such.
std::string TraceNumber(double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    return SafeFloatToStr(v);
}

constexpr const char* kExeFolder = "/scenario";
constexpr uint64_t kStartMs = 10'000'000;

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

bool ToInt64(const std::string& s, int64_t& v)
{
    const char* b = s.data();
    const char* e = b + s.size();
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        b += 2;
        base = 16;
    }
    auto r = std::from_chars(b, e, v, base);
    return r.ec == std::errc() && r.ptr == e;
}

bool ToDouble(const std::string& s, double& v)
{
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string Rest(const std::string& line, std::size_t words)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < words; ++i) {
        pos = line.find_first_not_of(" \t", pos);
        pos = line.find_first_of(" \t", pos);
        if (pos == std::string::npos)
            return {};
    }
    pos = line.find_first_not_of(" \t", pos);
    return pos == std::string::npos ? std::string() : line.substr(pos);
}

} // namespace

struct ScenarioRunner::Impl : VirtualWorld {
    Impl() : VirtualWorld(kStartMs) {}

    std::unique_ptr<TForm1> form;
    std::function<void(const std::string&)> out;
    bool trace = true;

    void Emit(const std::string& what)
    {
        if (!trace || !out)
            return;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%9llu ", static_cast<unsigned long long>(host.NowMs() - kStartMs));
        out(stamp + what);
    }

    void Hook()
    {
        socket.recordSent = false;
        socket.onSent = [this](const uint8_t* data, std::size_t size) {
            if (size == kRecordSize)
                Emit("bridge " + RecordText(data));
            else
                Emit("bridge " + std::to_string(size) + " bytes");
        };
        sim.recordWrites = true;
        sim.afterServe = [this](uint8_t*, std::size_t) {
            for (const FsuipcWrite& w : sim.Writes())
                Emit("fsuipc " + w.Text().substr(std::strlen("FSUIPC ")));
            sim.ClearWrites();
        };
        boards.onCommand = [this](const VirtualBoardState& b, const BoardCommand& c) {
            Emit("board " + std::to_string(b.attached() ? b.deviceSerial : b.openedSerial()) + " "
                 + BoardCommandName(c.op) + "[" + std::to_string(c.index) + "]=" + TraceNumber(c.value));
        };
    }

    std::string Stimulus(const std::vector<std::string>& w, const std::string& line);
};

ScenarioRunner::ScenarioRunner() : impl_(std::make_unique<Impl>()) {}
ScenarioRunner::~ScenarioRunner() = default;

uint64_t ScenarioRunner::ElapsedMs() const
{
    return impl_->host.NowMs() - kStartMs;
}

std::string ScenarioRunner::Impl::Stimulus(const std::vector<std::string>& w, const std::string& line)
{
    const std::string& cmd = w[1];
    auto need = [&](std::size_t n) { return w.size() >= n + 2; };
    auto integer = [&](std::size_t i, int64_t& v) { return i < w.size() && ToInt64(w[i], v); };
    int64_t a = 0, b = 0, c = 0;

    if (cmd == "plug") {
        static const std::map<std::string, BoardKind> kinds = {{"kit", BoardKind::InterfaceKit},
                                                               {"motor", BoardKind::MotorControl},
                                                               {"advservo", BoardKind::AdvancedServo},
                                                               {"servo", BoardKind::Servo}};
        auto k = need(2) ? kinds.find(w[2]) : kinds.end();
        if (k == kinds.end() || !integer(3, a))
            return "plug takes a kind (kit, motor, advservo, servo) and a serial number";
        boards.Plug(k->second, int(a), Rest(line, 4));
    } else if (cmd == "unplug") {
        if (!integer(2, a))
            return "unplug takes a serial number";
        boards.Unplug(int(a));
    } else if (cmd == "sensor" || cmd == "input") {
        if (!integer(2, a) || !integer(3, b) || !integer(4, c))
            return cmd + " takes a serial number, an input index and a value";
        VirtualBoardState* s = boards.Find(int(a));
        if (!s)
            return "no board opened with serial " + w[2];
        if (cmd == "sensor")
            s->Sensor(int(b), int(c));
        else
            s->Input(int(b), c != 0);
    } else if (cmd == "current") {
        double amps = 0;
        if (!integer(2, a) || !integer(3, b) || w.size() < 5 || !ToDouble(w[4], amps))
            return "current takes a serial number, a motor index and amperes";
        VirtualBoardState* s = boards.Find(int(a));
        if (!s || !s->ValidIndex(int(b)))
            return "no such board or motor";
        s->current[std::size_t(b)] = amps;
    } else if (cmd == "aircraft" || cmd == "simulator") {
        // aircraft TYPE OFFSET VALUE, TYPE one of u8 i16 i32 f64
        if (w.size() < 5 || !ToInt64(w[3], a))
            return cmd + " takes a type (u8, i16, i32, f64), an offset and a value";
        uint8_t* base = cmd == "aircraft" ? panelBus.aircraft.data() : panelBus.simulator.data();
        const std::size_t size = cmd == "aircraft" ? panelBus.aircraft.size() : panelBus.simulator.size();
        const std::size_t width = w[2] == "u8" ? 1 : w[2] == "i16" ? 2 : w[2] == "i32" ? 4 : w[2] == "f64" ? 8 : 0;
        if (width == 0)
            return "unknown field type " + w[2];
        if (a < 0 || std::size_t(a) + width > size)
            return "offset " + w[3] + " lies outside the record";
        uint8_t* p = base + a;
        if (width == 8) {
            double v = 0;
            if (!ToDouble(w[4], v))
                return "not a number: " + w[4];
            StoreLittleEndian<double>(p, v);
        } else {
            if (!ToInt64(w[4], b))
                return "not an integer: " + w[4];
            if (width == 1)
                StoreLittleEndian<uint8_t>(p, uint8_t(b));
            else if (width == 2)
                StoreLittleEndian<int16_t>(p, int16_t(b));
            else
                StoreLittleEndian<int32_t>(p, int32_t(b));
        }
    } else if (cmd == "fsuipc") {
        // fsuipc OFFSET SIZE VALUE: the simulator's own offset space
        if (!integer(2, a) || !integer(3, b) || !integer(4, c) || (b != 1 && b != 2 && b != 4))
            return "fsuipc takes an offset, a size (1, 2, 4) and a value";
        if (b == 1)
            sim.Poke<uint8_t>(uint32_t(a), uint8_t(c));
        else if (b == 2)
            sim.Poke<int16_t>(uint32_t(a), int16_t(c));
        else
            sim.Poke<int32_t>(uint32_t(a), int32_t(c));
    } else if (cmd == "bridge") {
        const std::string message = Rest(line, 2);
        if (!socket.DeliverMessage(message))
            Emit("note bridge record not delivered: not connected");
    } else if (cmd == "bridge-close") {
        socket.PeerClose();
    } else if (cmd == "bridge-listen") {
        if (!integer(2, a))
            return "bridge-listen takes 0 or 1";
        socket.SetListening(a != 0);
    } else if (cmd == "answer") {
        if (!need(1))
            return "answer takes yes, no or cancel";
        dialogs.answers.push_back(w[2] == "yes" ? DialogAnswer::Yes : w[2] == "cancel" ? DialogAnswer::Cancel
                                                                                       : DialogAnswer::No);
    } else if (cmd == "click") {
        if (!need(1))
            return "click takes a control";
        const std::string& what = w[2];
        if (what == "Button10") {
            form->Button10Click();
        } else if (what == "close") {
            if (form->FormCloseQuery()) {
                form->FormClose();
                host.Terminate();
            }
        } else if ((what == "aircraft_type" || what == "mode") && integer(3, a)) {
            (what == "mode" ? form->mode : form->aircraft_type).ItemIndex = int(a);
            form->aircraft_typeClick();
        } else {
            return "unknown control " + what;
        }
    } else if (cmd == "trackbar") {
        if (!integer(2, a) || !integer(3, b) || a < 1 || a > 12)
            return "trackbar takes a number 1..12 and a position";
        form->TrackBar(int(a)).Position = int(b);
    } else if (cmd == "end") {
        // Time has been advanced to here; nothing else.
    } else {
        return "unknown stimulus " + cmd;
    }
    return {};
}

std::string ScenarioRunner::Run(const std::string& text, const std::function<void(const std::string&)>& out)
{
    Impl& m = *impl_;
    m.out = out;
    m.trace = trace;

    // Split into the configuration and the stimuli.
    std::string config;
    std::vector<std::pair<int, std::string>> steps;
    enum { None, Config, Steps } part = None;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "@config") {
            part = Config;
            continue;
        }
        if (line == "@scenario") {
            part = Steps;
            continue;
        }
        if (part == Config) {
            config += line + "\r\n";
        } else {
            const std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == '#')
                continue;
            if (part != Steps)
                return "line " + std::to_string(number) + ": stimuli go after @scenario";
            steps.emplace_back(number, line);
        }
    }

    m.files.Put(std::string(kExeFolder) + "/CONFIG.INI", config);
    m.Hook();
    m.form = std::make_unique<TForm1>(m.MakePorts(kExeFolder));
    m.host.Bind(m.form.get());
    m.form->Memo1.OnLine = [&m](const std::string& l) { m.Emit("log " + l); };
    m.form->FormCreate();

    uint64_t last = 0;
    std::string error;
    for (const auto& [lineNumber, stepLine] : steps) {
        const std::vector<std::string> w = Words(stepLine);
        int64_t at = 0;
        if (w.size() < 2 || !ToInt64(w[0], at) || at < 0) {
            error = "line " + std::to_string(lineNumber) + ": a stimulus is a time in ms and a command";
            break;
        }
        if (uint64_t(at) < last) {
            error = "line " + std::to_string(lineNumber) + ": times must not go backwards";
            break;
        }
        last = uint64_t(at);
        m.host.RunUntil(kStartMs + last);
        if (m.host.Terminated())
            break;
        error = m.Stimulus(w, stepLine);
        if (!error.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + error;
            break;
        }
        m.host.RunPending();
        if (m.host.Terminated())
            break;
    }
    if (m.host.Terminated())
        m.Emit("note the controller ended");
    m.form->FormDestroy();
    return error;
}

} // namespace zrk

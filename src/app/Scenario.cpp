#include "app/Scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "app/BoardsPanel.h"
#include "app/VirtualWorld.h"
#include "boards/VirtualQuadrant.h"
#include "bridge/LittleEndian.h"
#include "bridge/UpdateRecord.h"
#include "config/Convert.h"
#include "config/TextEncoding.h"
#include "config/TrimTuning.h"

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

// What a stimulus may say; docs/scenario-format.md lists the same limits.
constexpr int64_t kMinSerial = 1;
constexpr int64_t kMaxSerial = 2'147'483'647;
constexpr int64_t kMaxSensorValue = 1000;     // ratiometric analog inputs
constexpr double kMaxAmps = 100.0;
constexpr int64_t kMaxFsuipcOffset = 0xFFFF;
constexpr int64_t kMaxLabel = 99;   // the window's labels Label1 .. Label99

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

bool IsTime(const std::string& s, uint64_t& t)
{
    int64_t v = 0;
    if (!ToInt64(s, v) || v < 0 || uint64_t(v) > ScenarioRunner::kMaxRunMs)
        return false;
    t = uint64_t(v);
    return true;
}

// "LO..HI", two integers with LO <= HI.
bool IsRange(const std::string& s, int64_t& lo, int64_t& hi)
{
    const std::size_t dots = s.find("..");
    return dots != std::string::npos && ToInt64(s.substr(0, dots), lo) && ToInt64(s.substr(dots + 2), hi)
           && lo <= hi;
}

std::string RangeText(int64_t lo, int64_t hi) { return std::to_string(lo) + ".." + std::to_string(hi); }

// A lever name as the quadrant stimuli take it.
bool IsLeverName(const std::string& s)
{
    if (s.empty() || s.size() > 32)
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

// What a part of the quadrant reads, as its expectations take it: a lever's
// reading (raw counts), a wheel's angle and a servo arm's angle (whole
// degrees). Nothing when no such part is wired.
enum class PartKind { Lever, Wheel, Servo };

const char* PartName(PartKind kind)
{
    switch (kind) {
    case PartKind::Lever: return "lever";
    case PartKind::Wheel: return "wheel";
    case PartKind::Servo: return "servo";
    }
    return "?";
}

// Whole degrees of an angle; 0 for one that is no number.
int Degrees(double angle)
{
    if (!std::isfinite(angle))
        return 0;
    return int(std::lround(std::clamp(angle, -2e9, 2e9)));
}

std::optional<double> PartValue(const VirtualQuadrant& q, PartKind kind, const std::string& name)
{
    switch (kind) {
    case PartKind::Lever: return q.Position(name);
    case PartKind::Wheel: {
        const std::optional<double> turns = q.WheelTurns(name);
        return turns ? std::optional<double>(*turns * 360.0) : std::nullopt;
    }
    case PartKind::Servo: return q.ServoAngle(name);
    }
    return std::nullopt;
}

int PartReading(PartKind kind, double value) { return kind == PartKind::Lever ? LeverReading(value) : Degrees(value); }

// What a scenario file claims in its "# expect" comment lines, checked as
// the run goes, so that nothing of the trace needs keeping:
//   # expect: LINE              a trace line, exactly; these in file order
//   # expect-never: [T0..T1] TEXT   no trace line (within T0..T1) holds TEXT
//   # expect-lever: ...         a lever of the quadrant, at every step
//   # expect-wheel:, # expect-servo:   the same for a wheel or a servo
class Expectations {
public:
    // Takes one comment line. False when it is no expectation; `error` says
    // what is wrong with a malformed one.
    bool Parse(int number, const std::string& line, std::string& error);

    // A trace line: its time, the whole line and the part after the time.
    void Line(uint64_t t, const std::string& stamped, const std::string& what);
    // A step of the quadrant at time `t`; `note` adds a trace line.
    void Step(uint64_t t, const VirtualQuadrant& q, const std::function<void(const std::string&)>& note);
    // The run ended at `t`: the first unmet expectation ("line N: ..."), or
    // nothing.
    std::string Finish(uint64_t t);

    bool TraceNeeded() const { return !lines_.empty() || !nevers_.empty(); }

private:
    struct TraceLine {
        int number = 0;
        std::string text;
    };
    struct Never {
        int number = 0;
        uint64_t from = 0, to = ScenarioRunner::kMaxRunMs;
        std::string text;
        std::string seen;   // the first offending line
    };
    struct Lever {
        int number = 0;
        PartKind kind = PartKind::Lever;
        std::string name;
        int64_t lo = 0, hi = 0;
        bool reaches = false;   // else: stays within the range from..to
        uint64_t from = 0, to = 0;
        bool withoutReversing = false;
        std::optional<uint64_t> until;   // reaches ..., then stays until
        // Progress.
        bool sampled = false;
        std::optional<uint64_t> arrived;
        std::optional<double> lastPosition;
        int direction = 0;   // +1 rising toward the range, -1 falling
        std::string failure;
    };
    bool ParseLever(Lever& e, const std::vector<std::string>& w, std::string& error);

    std::vector<TraceLine> lines_;
    std::size_t nextLine_ = 0;
    std::vector<Never> nevers_;
    std::vector<Lever> levers_;
};

bool Expectations::Parse(int number, const std::string& line, std::string& error)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, 8, "# expect") != 0)
        return false;
    const std::string rest = line.substr(first + 8);
    auto body = [&](const char* prefix) {
        const std::size_t n = std::strlen(prefix);
        return rest.compare(0, n, prefix) == 0 ? std::optional<std::string>(rest.substr(n)) : std::nullopt;
    };
    if (const auto text = body(": ")) {
        lines_.push_back({number, *text});
        return true;
    }
    if (const auto text = body("-never: ")) {
        Never e;
        e.number = number;
        std::string t = *text;
        const std::size_t space = t.find(' ');
        int64_t lo = 0, hi = 0;
        if (space != std::string::npos && IsRange(t.substr(0, space), lo, hi)) {
            if (lo < 0 || uint64_t(hi) > ScenarioRunner::kMaxRunMs) {
                error = "expect-never: times " + t.substr(0, space) + " outside the longest run";
                return true;
            }
            e.from = uint64_t(lo);
            e.to = uint64_t(hi);
            t = t.substr(space + 1);
        }
        if (t.empty()) {
            error = "expect-never: takes the text no trace line may hold";
            return true;
        }
        e.text = t;
        nevers_.push_back(e);
        return true;
    }
    for (PartKind kind : {PartKind::Lever, PartKind::Wheel, PartKind::Servo}) {
        const auto text = body(("-" + std::string(PartName(kind)) + ": ").c_str());
        if (!text)
            continue;
        Lever e;
        e.number = number;
        e.kind = kind;
        std::string words = *text;
        std::replace(words.begin(), words.end(), ',', ' ');   // "..., then stays" reads naturally
        if (ParseLever(e, Words(words), error))
            levers_.push_back(e);
        return true;
    }
    if (rest.empty() || rest[0] == ':' || rest[0] == '-') {
        error = "unknown expectation form (expect:, expect-never:, expect-lever:, expect-wheel:, expect-servo:)";
        return true;
    }
    return false;   // an ordinary comment ("# expected ...")
}

bool Expectations::ParseLever(Lever& e, const std::vector<std::string>& w, std::string& error)
{
    const std::string usage = "expect-" + std::string(PartName(e.kind))
                              + ": takes NAME in LO..HI from T0 to T1, NAME in LO..HI at T, or "
                                "NAME reaches LO..HI [from T0] by T1 [without reversing] [then stays until T2]";
    std::size_t i = 0;
    auto word = [&](const char* expected) {
        if (i < w.size() && w[i] == expected) {
            ++i;
            return true;
        }
        return false;
    };
    auto time = [&](uint64_t& t) { return i < w.size() && IsTime(w[i++], t); };
    if (w.size() < 3 || !IsLeverName(w[0]) || !IsRange(w[2], e.lo, e.hi)) {
        error = usage;
        return false;
    }
    e.name = w[0];
    i = 3;
    bool ok = true;
    if (w[1] == "in") {
        if (word("at")) {
            ok = time(e.from);
            // The first step at or after T.
            e.to = e.from + VirtualQuadrant::kStepMs - 1;
        } else {
            ok = word("from") && time(e.from) && word("to") && time(e.to) && e.from <= e.to;
        }
    } else if (w[1] == "reaches") {
        e.reaches = true;
        if (word("from"))
            ok = time(e.from);
        ok = ok && word("by") && time(e.to) && e.from <= e.to;
        if (ok && word("without"))
            ok = word("reversing"), e.withoutReversing = true;
        if (ok && word("then")) {
            uint64_t until = 0;
            ok = word("stays") && word("until") && time(until);
            e.until = until;
        }
    } else {
        ok = false;
    }
    if (!ok || i != w.size()) {
        error = usage;
        return false;
    }
    return true;
}

void Expectations::Line(uint64_t t, const std::string& stamped, const std::string& what)
{
    if (nextLine_ < lines_.size() && stamped == lines_[nextLine_].text)
        ++nextLine_;
    for (Never& e : nevers_)
        if (e.seen.empty() && t >= e.from && t <= e.to && what.find(e.text) != std::string::npos)
            e.seen = stamped;
}

void Expectations::Step(uint64_t t, const VirtualQuadrant& q, const std::function<void(const std::string&)>& note)
{
    for (Lever& e : levers_) {
        if (!e.failure.empty() || t < e.from)
            continue;
        const std::optional<double> position = PartValue(q, e.kind, e.name);
        if (!position)
            continue;
        const int reading = PartReading(e.kind, *position);
        const bool inside = reading >= e.lo && reading <= e.hi;
        const std::string at = " at " + std::to_string(t) + " (reading " + std::to_string(reading) + ")";
        if (!e.reaches) {
            if (t > e.to)
                continue;
            e.sampled = true;
            if (!inside)
                e.failure = e.name + " outside " + RangeText(e.lo, e.hi) + at;
            continue;
        }
        if (!e.arrived) {
            if (!e.sampled)
                e.direction = reading < e.lo ? 1 : -1;
            e.sampled = true;
            if (e.withoutReversing && e.lastPosition && (*position - *e.lastPosition) * e.direction < -1e-9) {
                e.failure = e.name + " reversed before reaching " + RangeText(e.lo, e.hi) + at;
                continue;
            }
            e.lastPosition = *position;
            if (inside) {
                e.arrived = t;
                note("note " + std::string(PartName(e.kind)) + " " + e.name + " reached " + RangeText(e.lo, e.hi));
            } else if (t > e.to) {
                e.failure = e.name + " not within " + RangeText(e.lo, e.hi) + " by " + std::to_string(e.to) + at;
            }
            continue;
        }
        if (e.until && t <= *e.until && !inside)
            e.failure = e.name + " left " + RangeText(e.lo, e.hi) + " after reaching it" + at;
    }
}

std::string Expectations::Finish(uint64_t t)
{
    // Of the unmet ones, the first in the file.
    std::map<int, std::string> unmet;
    auto fail = [&](int number, const std::string& what) { unmet.emplace(number, what); };
    for (const Never& e : nevers_)
        if (!e.seen.empty())
            fail(e.number, "a trace line holds \"" + e.text + "\": " + e.seen);
    for (const Lever& e : levers_) {
        const uint64_t end = e.reaches && e.until ? *e.until : e.to;
        if (!e.failure.empty())
            fail(e.number, e.failure);
        else if (t < end)
            fail(e.number, "the run ended at " + std::to_string(t) + ", before " + std::to_string(end));
        else if (!e.sampled)
            fail(e.number, "no step of the quadrant showed " + std::string(PartName(e.kind)) + " " + e.name
                               + " from " + std::to_string(e.from) + " to " + std::to_string(e.to));
        else if (e.reaches && !e.arrived)
            fail(e.number, e.name + " never reached " + RangeText(e.lo, e.hi));
    }
    if (nextLine_ < lines_.size())
        fail(lines_[nextLine_].number, "expected trace line not seen"
                                           + std::string(nextLine_ > 0 ? " after the one before" : "") + ": "
                                           + lines_[nextLine_].text);
    if (unmet.empty())
        return {};
    return "line " + std::to_string(unmet.begin()->first) + ": " + unmet.begin()->second;
}

} // namespace

struct ScenarioRunner::Impl : VirtualWorld {
    Impl() : VirtualWorld(kStartMs) {}

    std::unique_ptr<TForm1> form;
    std::function<void(const std::string&)> out;
    bool trace = true;
    Expectations expect;
    // The quadrant's parts in the trace: every `leverTraceMs` (0: never),
    // each when changed since its last line; the levers always, the wheels
    // and the servos when asked for.
    uint64_t leverTraceMs = 0;
    uint64_t leverTraceDue = 0;
    bool traceLevers = true, traceWheels = false, traceServos = false;
    std::map<std::string, int> leverTraced, wheelTraced, servoTraced;

    uint64_t Elapsed() const { return host.NowMs() - kStartMs; }

    void Emit(const std::string& what)
    {
        const bool show = trace && out;
        if (!show && !expect.TraceNeeded())
            return;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%9llu ", static_cast<unsigned long long>(Elapsed()));
        const std::string line = stamp + what;
        expect.Line(Elapsed(), line, what);
        if (show)
            out(line);
    }

    static std::string BoardSerial(const VirtualBoardState& b)
    {
        return std::to_string(b.deviceSerial != 0 ? b.deviceSerial : b.openedSerial());
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
        // A command repeated with the same value is no news: a velocity
        // sent every cycle shows once, and again when it changes.
        boards.onCommand = [this](const VirtualBoardState& b, const BoardCommand& c, bool repeated) {
            if (!repeated)
                Emit("board " + BoardSerial(b) + " " + BoardCommandName(c.op) + "[" + std::to_string(c.index)
                     + "]=" + TraceNumber(c.value));
        };
        boards.onClose = [this](const VirtualBoardState& b) { Emit("board " + BoardSerial(b) + " closed"); };
    }

    // After each step of the quadrant: lever expectations and traces.
    void AfterQuadrantStep()
    {
        const uint64_t t = Elapsed();
        expect.Step(t, quadrant, [this](const std::string& note) { Emit(note); });
        if (leverTraceMs == 0 || t < leverTraceDue)
            return;
        while (leverTraceDue <= t)
            leverTraceDue += leverTraceMs;
        auto traceParts = [&](PartKind kind, const std::vector<std::string>& names,
                              std::map<std::string, int>& traced) {
            for (const std::string& name : names) {
                const int reading = PartReading(kind, *PartValue(quadrant, kind, name));
                auto it = traced.find(name);
                if (it != traced.end() && it->second == reading)
                    continue;
                traced[name] = reading;
                Emit(std::string(PartName(kind)) + " " + name + " " + std::to_string(reading));
            }
        };
        if (traceLevers)
            traceParts(PartKind::Lever, quadrant.Levers(), leverTraced);
        if (traceWheels)
            traceParts(PartKind::Wheel, quadrant.Wheels(), wheelTraced);
        if (traceServos)
            traceParts(PartKind::Servo, quadrant.Servos(), servoTraced);
    }

    void QuadrantOn()
    {
        if (!host.PeriodicStepOn())
            VirtualWorld::QuadrantOn([this] { AfterQuadrantStep(); });
    }

    std::string Stimulus(const std::vector<std::string>& w, const std::string& line);
    std::string QuadrantStimulus(const std::vector<std::string>& w);
    std::string BoardsStimulus(const std::vector<std::string>& w);

    // The current CONFIG.INI into the trace, one line per text line, in
    // UTF-8 whatever the file's encoding.
    void PrintConfig()
    {
        const FileRead file = files.Read(form->ConfigPath(), kMaxSettingsFileBytes);
        if (file.status != FileRead::Status::Read) {
            Emit("note CONFIG.INI " + (file.status == FileRead::Status::Missing ? std::string("missing")
                                                                                 : "refused: " + file.problem));
            return;
        }
        const std::string text = DecodeText(file.bytes).text;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string l = text.substr(start, end - start);
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            Emit(l.empty() ? std::string("config") : "config " + l);
            start = end + 1;
        }
    }

    // Every recorder of the virtual world keeps only its newest entries, so
    // a day's run needs no clearing as it goes.
    void RunUntil(uint64_t ms) { host.RunUntil(ms); }
};

std::string ScenarioRunner::Impl::BoardsStimulus(const std::vector<std::string>& w)
{
    // boards open | show | select role KEY | select board SERIAL | assign |
    // clear | identify | save | close: the Boards window, as its model.
    static const char* const kUsage =
        "boards takes open, show, select role KEY, select board SERIAL, assign, clear, identify, save or close";
    if (w.size() < 3)
        return kUsage;
    const std::string& what = w[2];
    if (what == "open") {
        if (w.size() != 3)
            return kUsage;
        form->OpenBoards();
        return {};
    }
    BoardsPanel* panel = form->Boards();
    if (!panel)
        return "the Boards window is not open (boards open first)";
    if (what == "show") {
        if (w.size() != 3)
            return kUsage;
        for (const std::string& line : panel->State("RoleList").lines)
            Emit("note boards role " + line);
        for (const std::string& line : panel->State("BoardList").lines)
            Emit("note boards board " + line);
        if (!panel->State("BoardsStatus").text.empty())
            Emit("note boards status " + panel->State("BoardsStatus").text);
        return {};
    }
    if (what == "select") {
        if (w.size() != 5 || (w[3] != "role" && w[3] != "board"))
            return kUsage;
        if (w[3] == "role") {
            const auto& roles = panel->ShownRoles();
            for (std::size_t i = 0; i < roles.size(); ++i)
                if (w[4] == roles[i]->key) {
                    panel->Select("RoleList", int(i));
                    return {};
                }
            return "no role " + w[4] + " in the Boards window";
        }
        int64_t serial = 0;
        if (!ToInt64(w[4], serial))
            return "select board takes a serial number";
        const auto& boards = panel->Match().attached;
        for (std::size_t i = 0; i < boards.size(); ++i)
            if (boards[i].serial == serial) {
                panel->Select("BoardList", int(i));
                return {};
            }
        return "no board " + w[4] + " in the Boards window";
    }
    static const std::map<std::string, const char*> buttons = {{"assign", "AssignButton"},
                                                                {"clear", "ClearButton"},
                                                                {"identify", "IdentifyButton"},
                                                                {"save", "SaveButton"}};
    if (w.size() != 3)
        return kUsage;
    if (what == "close") {
        form->CloseBoards();
        return {};
    }
    const auto button = buttons.find(what);
    if (button == buttons.end())
        return kUsage;
    if (!panel->Press(button->second))
        Emit(std::string("note boards ") + what + " not possible now");
    else if (!panel->State("BoardsStatus").text.empty())
        Emit("note boards status " + panel->State("BoardsStatus").text);
    return {};
}

std::string ScenarioRunner::Impl::QuadrantStimulus(const std::vector<std::string>& w)
{
    const std::string& cmd = w[1];
    auto integer = [&](std::size_t i, int64_t& v) { return i < w.size() && ToInt64(w[i], v); };
    auto lever = [&](std::string& error) -> const std::string* {
        if (w.size() < 3 || !IsLeverName(w[2])) {
            error = cmd + " takes a lever name";
            return nullptr;
        }
        if (!quadrant.Has(w[2])) {
            error = "no lever " + w[2] + " is wired";
            return nullptr;
        }
        return &w[2];
    };
    std::string error;
    if (cmd == "hold" || cmd == "release") {
        const std::string* name = lever(error);
        if (!name)
            return error;
        if (cmd == "hold")
            quadrant.Hold(*name);
        else
            quadrant.Release(*name);
        return {};
    }
    if (cmd == "move") {
        const std::string* name = lever(error);
        if (!name)
            return error;
        int64_t position = 0, ms = 0;
        if (!integer(3, position) || !integer(4, ms) || w.size() != 5)
            return "move takes a lever, a position and a time span in ms";
        if (position < VirtualQuadrant::kMinReading || position > VirtualQuadrant::kMaxReading)
            return "position " + w[3] + " out of range " + RangeText(0, VirtualQuadrant::kMaxReading);
        if (ms < 0 || uint64_t(ms) > ScenarioRunner::kMaxRunMs)
            return "time span " + w[4] + " out of range " + RangeText(0, int64_t(ScenarioRunner::kMaxRunMs));
        quadrant.Move(*name, double(position), uint64_t(ms));
        return {};
    }

    // quadrant on | off | wire ... | wheel ... | servo ... | trace MS [WHAT]...
    const std::string sub = w.size() > 2 ? w[2] : std::string();
    if (sub == "on" && w.size() == 3) {
        const Settings& c = form->cfg;
        const auto levers = ConfiguredLevers(c, form->aircraft_type.ItemIndex == 2);
        if (levers.empty())
            return "quadrant on: CONFIG.INI names no interface kit for the levers (INTERFACE1)";
        for (const auto& [name, wiring] : levers)
            if (!quadrant.Wire(name, wiring))
                return "quadrant on: lever " + name + " is wired to an input or output outside 0..7";
        for (const auto& [name, motor] : ConfiguredWheels(c))
            if (!quadrant.WireWheel(name, motor))
                return "quadrant on: wheel " + name + " is wired to a motor output outside 0..7";
        for (const auto& [name, servo] : ConfiguredServos(c))
            quadrant.WireServo(name, servo);   // outputs 0..3: always valid
        QuadrantOn();
        return {};
    }
    if (sub == "wheel" || sub == "servo") {
        // quadrant wheel NAME MOTOR OUTPUT, quadrant servo NAME BOARD OUTPUT
        int64_t serial = 0, output = 0;
        if (w.size() != 6 || !IsLeverName(w[3]) || !integer(4, serial) || !integer(5, output))
            return "quadrant " + sub + " takes a name, a board serial and an output";
        if (serial < kMinSerial || serial > kMaxSerial)
            return "serial number " + w[4] + " out of range " + RangeText(kMinSerial, kMaxSerial);
        if (output < 0 || output >= VirtualBoardState::kChannels)
            return "output index " + w[5] + " out of range " + RangeText(0, VirtualBoardState::kChannels - 1);
        if (sub == "wheel")
            quadrant.WireWheel(w[3], {int(serial), int(output)});
        else
            quadrant.WireServo(w[3], {int(serial), int(output)});
        QuadrantOn();
        return {};
    }
    if (sub == "off" && w.size() == 3) {
        QuadrantOff();
        return {};
    }
    if (sub == "trace") {
        int64_t ms = 0;
        if (!integer(3, ms) || ms < 0 || uint64_t(ms) > ScenarioRunner::kMaxRunMs)
            return "quadrant trace takes an interval in ms (0 for none)";
        // The parts to trace; the levers when none is named.
        bool levers = w.size() == 4, wheels = false, servos = false;
        for (std::size_t i = 4; i < w.size(); ++i) {
            if (w[i] != "levers" && w[i] != "wheels" && w[i] != "servos")
                return "quadrant trace takes levers, wheels or servos after its interval, not " + w[i];
            (w[i] == "levers" ? levers : w[i] == "wheels" ? wheels : servos) = true;
        }
        leverTraceMs = uint64_t(ms);
        leverTraceDue = Elapsed();
        traceLevers = levers;
        traceWheels = wheels;
        traceServos = servos;
        leverTraced.clear();
        wheelTraced.clear();
        servoTraced.clear();
        return {};
    }
    if (sub == "wire") {
        // quadrant wire LEVER KIT INPUT [MOTOR OUTPUT]...
        const char* const usage = "quadrant wire takes a lever name, a kit serial and input, then motor serials "
                                  "and outputs in pairs";
        int64_t kit = 0, input = 0;
        if (w.size() < 6 || w.size() % 2 != 0 || !IsLeverName(w[3]) || !integer(4, kit) || !integer(5, input))
            return usage;
        if (kit < kMinSerial || kit > kMaxSerial)
            return "serial number " + w[4] + " out of range " + RangeText(kMinSerial, kMaxSerial);
        if (input < 0 || input >= VirtualBoardState::kChannels)
            return "input index " + w[5] + " out of range " + RangeText(0, VirtualBoardState::kChannels - 1);
        VirtualQuadrant::Wiring wiring{int(kit), int(input), {}};
        for (std::size_t i = 6; i + 1 < w.size(); i += 2) {
            int64_t serial = 0, output = 0;
            if (!integer(i, serial) || !integer(i + 1, output))
                return usage;
            if (serial < kMinSerial || serial > kMaxSerial)
                return "serial number " + w[i] + " out of range " + RangeText(kMinSerial, kMaxSerial);
            if (output < 0 || output >= VirtualBoardState::kChannels)
                return "motor index " + w[i + 1] + " out of range " + RangeText(0, VirtualBoardState::kChannels - 1);
            wiring.motors.push_back({int(serial), int(output)});
        }
        quadrant.Wire(w[3], wiring);
        QuadrantOn();
        return {};
    }
    return "quadrant takes on, off, wire, wheel, servo or trace";
}

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
    auto range = [](int64_t lo, int64_t hi) { return std::to_string(lo) + ".." + std::to_string(hi); };
    // A value that fits a field of `bytes` bytes, read as signed or unsigned.
    auto fits = [](int64_t v, std::size_t bytes) {
        const int64_t span = int64_t(1) << (8 * bytes);
        return v >= -span / 2 && v < span;
    };
    auto fitsText = [&](std::size_t bytes) {
        const int64_t span = int64_t(1) << (8 * bytes);
        return range(-span / 2, span - 1);
    };
    auto serial = [&](std::size_t i, int64_t& v, std::string& error) {
        if (!integer(i, v))
            return false;
        if (v < kMinSerial || v > kMaxSerial)
            error = "serial number " + w[i] + " out of range " + range(kMinSerial, kMaxSerial);
        return true;
    };
    int64_t a = 0, b = 0, c = 0;
    std::string error;

    if (cmd == "plug") {
        static const std::map<std::string, BoardKind> kinds = {{"kit", BoardKind::InterfaceKit},
                                                               {"motor", BoardKind::MotorControl},
                                                               {"advservo", BoardKind::AdvancedServo},
                                                               {"servo", BoardKind::Servo}};
        auto k = need(2) ? kinds.find(w[2]) : kinds.end();
        if (k == kinds.end() || !serial(3, a, error))
            return "plug takes a kind (kit, motor, advservo, servo) and a serial number";
        if (!error.empty())
            return error;
        boards.Plug(k->second, int(a), Rest(line, 4));
    } else if (cmd == "unplug") {
        if (!serial(2, a, error))
            return "unplug takes a serial number";
        if (!error.empty())
            return error;
        boards.Unplug(int(a));
    } else if (cmd == "sensor" || cmd == "input") {
        if (!integer(2, a) || !integer(3, b) || !integer(4, c))
            return cmd + " takes a serial number, an input index and a value";
        if (b < 0 || b >= VirtualBoardState::kChannels)
            return "input index " + w[3] + " out of range " + range(0, VirtualBoardState::kChannels - 1);
        if (cmd == "sensor" && (c < 0 || c > kMaxSensorValue))
            return "sensor value " + w[4] + " out of range " + range(0, kMaxSensorValue);
        if (cmd == "input" && c != 0 && c != 1)
            return "input state " + w[4] + " is neither 0 nor 1";
        VirtualBoardState* s = (a >= kMinSerial && a <= kMaxSerial) ? boards.Find(int(a)) : nullptr;
        if (!s)
            return "no board opened with serial " + w[2];
        if (s->kind() != BoardKind::InterfaceKit)
            return "board " + w[2] + " is not an interface kit";
        if (cmd == "sensor") {
            // A lever of the quadrant is put there, and runs on from there.
            quadrant.SetReading(int(a), int(b), int(c));
            s->Sensor(int(b), int(c));
        }
        else
            s->Input(int(b), c != 0);
    } else if (cmd == "current") {
        double amps = 0;
        if (!integer(2, a) || !integer(3, b) || w.size() < 5 || !ToDouble(w[4], amps))
            return "current takes a serial number, a motor index and amperes";
        if (!(amps >= 0 && amps <= kMaxAmps))
            return "current " + w[4] + " out of range 0.." + std::to_string(int(kMaxAmps)) + " A";
        VirtualBoardState* s = (a >= kMinSerial && a <= kMaxSerial) ? boards.Find(int(a)) : nullptr;
        if (!s || s->kind() != BoardKind::MotorControl || b < 0 || b >= VirtualBoardState::kChannels)
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
            // Any double, infinities and NaN included: the library may hand
            // such data over too.
            double v = 0;
            if (!ToDouble(w[4], v))
                return "not a number: " + w[4];
            StoreLittleEndian<double>(p, v);
        } else {
            if (!ToInt64(w[4], b))
                return "not an integer: " + w[4];
            if (!fits(b, width))
                return "value " + w[4] + " does not fit a " + w[2] + " field (" + fitsText(width) + ")";
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
        if (a < 0 || a > kMaxFsuipcOffset || a + b - 1 > kMaxFsuipcOffset)
            return "offset " + w[2] + " with size " + w[3] + " lies outside the offset space 0x0000..0xFFFF";
        if (!fits(c, std::size_t(b)))
            return "value " + w[4] + " does not fit " + w[3] + " bytes (" + fitsText(std::size_t(b)) + ")";
        if (b == 1)
            sim.Poke<uint8_t>(uint32_t(a), uint8_t(c));
        else if (b == 2)
            sim.Poke<int16_t>(uint32_t(a), int16_t(c));
        else
            sim.Poke<int32_t>(uint32_t(a), int32_t(c));
    } else if (cmd == "bridge") {
        const std::string message = Rest(line, 2);
        const std::size_t eq = message.find('=');
        const std::size_t nameLength = eq == std::string::npos ? message.size() : eq;
        const std::size_t valueLength = eq == std::string::npos ? 0 : message.size() - eq - 1;
        if (nameLength > kNameCapacity || valueLength > kValueCapacity)
            return "a bridge record holds a name of up to " + std::to_string(kNameCapacity)
                   + " bytes and a value of up to " + std::to_string(kValueCapacity);
        if (!socket.DeliverMessage(message))
            Emit("note bridge record not delivered: not connected");
    } else if (cmd == "bridge-close") {
        socket.PeerClose();
    } else if (cmd == "bridge-listen") {
        if (!integer(2, a) || (a != 0 && a != 1))
            return "bridge-listen takes 0 or 1";
        socket.SetListening(a != 0);
    } else if (cmd == "answer") {
        static const std::map<std::string, DialogAnswer> answers = {
            {"yes", DialogAnswer::Yes}, {"no", DialogAnswer::No}, {"cancel", DialogAnswer::Cancel}};
        auto answer = need(1) ? answers.find(w[2]) : answers.end();
        if (answer == answers.end())
            return "answer takes yes, no or cancel";
        dialogs.answers.push_back(answer->second);
    } else if (cmd == "click") {
        if (!need(1))
            return "click takes a control";
        const std::string& what = w[2];
        if (what == "aircraft_type" || what == "mode") {
            // A selector set to an item.
            if (!integer(3, a) || w.size() != 4)
                return "click " + what + " takes an item number";
            const RadioGroupModel& group = what == "mode" ? form->mode : form->aircraft_type;
            const int64_t last = int64_t(group.Items.size()) - 1;
            if (a < 0 || a > last)
                return what + " item " + w[3] + " out of range " + range(0, last);
            form->SelectRadio(what, int(a));
        } else if (w.size() != 3) {
            return "click takes one control (or aircraft_type N, mode N)";
        } else if (what == "close") {
            if (form->FormCloseQuery()) {
                form->FormClose();
                host.Terminate();
            }
        } else if (!form->Click(what)) {
            // Any button the window shows: the main window's, and those of
            // an open calibration dialog ("Form4.Button8").
            return "unknown or hidden control " + what;
        }
    } else if (cmd == "trackbar") {
        if (!integer(2, a) || !integer(3, b) || a < 1 || a > 12)
            return "trackbar takes a number 1..12 and a position";
        const TrackBarModel& bar = form->TrackBar(int(a));
        if (b < bar.Min || b > bar.Max)
            return "position " + w[3] + " out of range " + range(bar.Min, bar.Max) + " of track bar " + w[2];
        // A user's drag: the slider's change handler runs.
        if (!form->SetTrackBar(int(a), int(b)))
            return "track bar " + w[2] + " is hidden";
    } else if (cmd == "updown") {
        const TuningControl* control = need(1) ? FindTuningControl(w[2]) : nullptr;
        if (!control || !integer(3, a) || w.size() != 4)
            return "updown takes UpDown1, UpDown2, UpDown3, UpDown5 or UpDown6 and a position";
        if (a < control->min || a > control->max)
            return "position " + w[3] + " out of range " + range(control->min, control->max) + " of " + w[2];
        form->SetUpDown(w[2], int(a));
    } else if (cmd == "edit") {
        if (!need(1) || (w[2] != "p_pid_p" && w[2] != "p_pid_i" && w[2] != "p_pid_d"))
            return "edit takes p_pid_p, p_pid_i or p_pid_d and a text";
        // The rest of the line, as typed.
        const std::string text = Rest(line, 3);
        if (text.size() > TForm1::kMaxEditText)
            return "edit text of " + std::to_string(text.size()) + " characters; the box holds "
                   + std::to_string(TForm1::kMaxEditText);
        form->SetEdit(w[2], text);
    } else if (cmd == "check") {
        if (w.size() != 4 || w[2] != "manual_override" || !integer(3, a) || (a != 0 && a != 1))
            return "check takes manual_override and 0 or 1";
        form->SetCheck(w[2], a != 0);
    } else if (cmd == "print-config") {
        if (w.size() != 2)
            return "print-config takes nothing";
        PrintConfig();
    } else if (cmd == "show") {
        // show CONTROL...: what the window shows now, as notes.
        if (!need(1))
            return "show takes the controls to show (Label1 .. Label99, Shape1, Shape2)";
        std::vector<std::string> notes;
        for (std::size_t i = 2; i < w.size(); ++i) {
            const std::string& name = w[i];
            int64_t n = 0;
            if (name == "Shape1" || name == "Shape2") {
                const ShapeModel& shape = name == "Shape1" ? form->Shape1 : form->Shape2;
                notes.push_back("note " + name + " " + std::to_string(shape.BrushColor));
            } else if (name.rfind("Label", 0) == 0 && ToInt64(name.substr(5), n) && n >= 1 && n <= kMaxLabel) {
                const LabelModel& label = form->Label(int(n));
                notes.push_back("note " + name + " " + label.Caption + (label.Visible ? "" : " (hidden)"));
            } else {
                return "unknown control " + name + " (show takes Label1 .. Label" + std::to_string(kMaxLabel)
                       + ", Shape1, Shape2)";
            }
        }
        for (const std::string& note : notes)
            Emit(note);
    } else if (cmd == "quadrant" || cmd == "hold" || cmd == "release" || cmd == "move") {
        return QuadrantStimulus(w);
    } else if (cmd == "boards") {
        return BoardsStimulus(w);
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
            std::string error;
            if (m.expect.Parse(number, line, error)) {
                if (!error.empty())
                    return "line " + std::to_string(number) + ": " + error;
                continue;
            }
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
        if (uint64_t(at) > ScenarioRunner::kMaxRunMs) {
            error = "line " + std::to_string(lineNumber) + ": time " + w[0] + " lies beyond the longest run, "
                    + std::to_string(ScenarioRunner::kMaxRunMs) + " ms (24 hours)";
            break;
        }
        if (uint64_t(at) < last) {
            error = "line " + std::to_string(lineNumber) + ": times must not go backwards";
            break;
        }
        last = uint64_t(at);
        m.RunUntil(kStartMs + last);
        if (m.host.Terminated())
            break;
        const std::size_t questions = m.dialogs.questions.size(), errors = m.dialogs.errors.size();
        const int writes = m.files.WriteCount();
        error = m.Stimulus(w, stepLine);
        if (!error.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + error;
            break;
        }
        // What a click shows the user, and a saved file.
        for (std::size_t i = questions; i < m.dialogs.questions.size(); ++i)
            m.Emit("note question " + m.dialogs.questions[i]);
        for (std::size_t i = errors; i < m.dialogs.errors.size(); ++i)
            m.Emit("note error " + m.dialogs.errors[i]);
        if (m.files.WriteCount() != writes)
            m.Emit("note CONFIG.INI written");
        m.host.RunPending();
        if (m.host.Terminated())
            break;
    }
    if (m.host.Terminated())
        m.Emit("note the controller ended");
    m.form->FormDestroy();
    if (error.empty() && check)
        error = m.expect.Finish(m.Elapsed());
    return error;
}

} // namespace zrk

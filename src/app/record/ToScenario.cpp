// A recording turned into a scenario file: the events that came from
// outside, as the scenario runner's stimuli at their times, so that a fault
// a builder recorded becomes a regression test.
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "app/record/SessionReplay.h"
#include "app/record/Tape.h"
#include "bridge/PanelBus.h"
#include "bridge/UpdateRecord.h"

namespace zrk {

namespace {

using K = TapeEntry::Kind;

const char* KindWord(int kind)
{
    static const char* const kWords[] = {"kit", "motor", "advservo", "servo"};
    return kind >= 0 && kind < 4 ? kWords[kind] : "kit";
}

std::string Amps(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", std::isfinite(v) ? std::clamp(v, 0.0, 100.0) : 0.0);
    return buf;
}

struct Board {
    int kind = 0;
    int serial = 0;
    std::string name;
    std::map<int, double> current;
    bool plugPending = false;   // attached in this event: plugged once its identity is known
};

} // namespace

std::string RecordingToScenario(std::string_view file, std::string& error)
{
    error = TapeReader::Validate(file);
    if (!error.empty())
        return {};
    TapeReader reader(file);
    TapeEntry e;
    std::string settings;
    std::vector<Board> boards;
    std::string aircraft(kAircraftSnapshotSize, '\0'), simulator(kSimulatorSnapshotSize, '\0');
    std::string received;   // bridge bytes not yet a whole record
    uint32_t start = 0, tick = 0;
    bool started = false;
    // One event's lines; an answer goes before the action that asked.
    std::vector<std::string> answers, lines, out;
    std::string time;
    const auto flush = [&] {
        for (Board& b : boards)
            if (b.plugPending && b.serial > 0) {
                std::string plug = std::string("plug ") + KindWord(b.kind) + " " + std::to_string(b.serial);
                if (!b.name.empty() && b.name.find_first_of("\r\n") == std::string::npos)
                    plug += " " + b.name;
                lines.insert(lines.begin(), plug);
                b.plugPending = false;
            }
        for (auto* group : {&answers, &lines})
            for (const std::string& l : *group)
                out.push_back(time + " " + l);
        answers.clear();
        lines.clear();
    };
    const auto board = [&](uint32_t n) -> Board& {
        if (n >= boards.size())
            boards.resize(std::size_t(n) + 1);
        return boards[n];
    };
    const auto records = [&](const std::string& diff, std::string& record, const char* which) {
        std::string next = record;
        if (!ApplyTapeDiff(next, diff) || next.size() != record.size())
            return;
        for (std::size_t i = 0; i < next.size(); ++i)
            if (next[i] != record[i])
                lines.push_back(std::string(which) + " u8 " + std::to_string(i) + " " + std::to_string(uint8_t(next[i])));
        record = next;
    };

    while (reader.Next(e)) {
        if (e.kind == K::Keyframe) {
            if (e.code == TapeCode::kStart && !started) {
                start = tick = e.tick;
                started = true;
            } else if (e.code == TapeCode::kSettings && settings.empty()) {
                settings = e.bytes;
            }
            continue;
        }
        if (e.kind == K::Dispatch) {
            flush();
            tick = e.tick;
            time = std::to_string(std::min<uint32_t>(uint32_t(tick - start), 86400000u));
            const auto serialOf = [&] { return std::to_string(board(e.object).serial); };
            switch (e.code) {
            case TapeCode::kBoardAttach: board(e.object).plugPending = true; break;
            case TapeCode::kBoardDetach: lines.push_back("unplug " + serialOf()); break;
            case TapeCode::kSensorChange:
                lines.push_back("sensor " + serialOf() + " " + std::to_string(e.index) + " "
                                + std::to_string(std::clamp(int(e.number), 0, 1000)));
                break;
            case TapeCode::kInputChange:
                lines.push_back("input " + serialOf() + " " + std::to_string(e.index) + (e.number != 0 ? " 1" : " 0"));
                break;
            case TapeCode::kSocketClosed: lines.push_back("bridge-close"); break;
            case TapeCode::kAction: {
                std::string a = e.bytes;
                if (a.rfind("radio ", 0) == 0)
                    a = "click " + a.substr(6);
                if (a.find_first_of("\r\n") == std::string::npos)
                    lines.push_back(a);
                break;
            }
            case TapeCode::kLifecycle:
                if (e.index == 1)
                    lines.push_back("click close");
                break;
            default: break;
            }
            continue;
        }
        if (e.kind != K::Read)
            continue;
        switch (e.code) {
        case TapeCode::kBoardMade: board(e.object).kind = e.index; break;
        case TapeCode::kBoardSerial: board(e.object).serial = int(e.number); break;
        case TapeCode::kBoardName: board(e.object).name = e.bytes; break;
        case TapeCode::kBoardCurrent: {
            Board& b = board(e.object);
            const auto it = b.current.find(e.index);
            if (b.serial > 0 && e.index >= 0 && e.index <= 7 && (it == b.current.end() || it->second != e.number)) {
                b.current[e.index] = e.number;
                lines.push_back("current " + std::to_string(b.serial) + " " + std::to_string(e.index) + " "
                                + Amps(e.number));
            }
            break;
        }
        case TapeCode::kSocketReceive:
            received += e.bytes;
            while (received.size() >= kRecordSize) {
                const std::string text = RecordText(reinterpret_cast<const uint8_t*>(received.data()));
                received.erase(0, kRecordSize);
                if (text.find('=') != std::string::npos && text.find_first_of("\r\n") == std::string::npos)
                    lines.push_back("bridge " + text);
            }
            break;
        case TapeCode::kAircraftRecord: records(e.bytes, aircraft, "aircraft"); break;
        case TapeCode::kSimulatorRecord: records(e.bytes, simulator, "simulator"); break;
        case TapeCode::kAnswer: {
            static const char* const kAnswers[] = {"yes", "no", "cancel"};
            answers.push_back(std::string("answer ") + kAnswers[std::clamp(int(e.number), 0, 2)]);
            break;
        }
        case TapeCode::kFileRead:
            if (settings.empty() && e.hasBytes)
                settings = e.bytes;
            break;
        default: break;
        }
    }
    flush();

    std::string text = "# From a recording: the events that came into the controller, at their times.\n@config\n";
    std::size_t at = 0;
    while (at < settings.size()) {
        std::size_t end = settings.find('\n', at);
        if (end == std::string::npos)
            end = settings.size();
        std::string line = settings.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        text += line + "\n";
        at = end + 1;
    }
    text += "@scenario\n";
    for (const std::string& l : out)
        text += l + "\n";
    text += std::to_string(std::min<uint32_t>(uint32_t(tick - start), 86400000u)) + " end\n";
    return text;
}

} // namespace zrk

#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zrk {

struct ReplayOptions {
    // Compare every output the controller makes with the recorded one.
    bool check = false;
    // Stop once the recording's events pass this many milliseconds from
    // its start.
    std::optional<uint64_t> untilMs;
    // One line per effect, as the scenario runner prints them.
    std::function<void(const std::string&)> trace;
};

struct ReplayReport {
    // Why the file cannot be replayed; empty when it could.
    std::string error;
    // With check: the first difference, with its time; empty when none.
    std::string difference;
    bool startDropped = false;   // the recording's oldest part was dropped
    uint64_t events = 0;         // events handed to the controller
    uint64_t outputsCompared = 0;
    uint64_t elapsedMs = 0;      // from the recording's start to its last event replayed
};

// Replays a recording (SessionRecorder) through the same controller on
// virtual time: every recorded event handed over at its time, every value
// read from outside answered as it was, and, with `check`, every output
// compared with the recorded one; the first difference ends the replay.
// A file that is not a whole recording is refused before anything runs.
ReplayReport ReplaySession(std::string_view file, const ReplayOptions& options);

// A scenario file (docs/scenario-format.md) from a recording: its settings
// and, as stimuli at their times, the boards plugged and unplugged, their
// inputs and motor currents, the bridge's records, connection and data
// records, the answers and the user's actions. Empty with `error` set for
// a file that is not a whole recording.
std::string RecordingToScenario(std::string_view file, std::string& error);

} // namespace zrk

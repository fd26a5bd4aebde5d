#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zrk {

// Runs the whole controller on virtual time from a plain-text scenario: the
// CONFIG.INI text, then time-stamped stimuli (boards, sensors, switches,
// aircraft data, bridge records, clicks). Every observable effect becomes
// one trace line with its virtual time: messages to the bridge, writes to
// the simulator, board commands and log lines. The format is described in
// docs/scenario-format.md.
class ScenarioRunner {
public:
    ScenarioRunner();
    ~ScenarioRunner();

    // Parses and runs; trace lines go to `out` as they happen. Returns an
    // empty string, or the first error ("line 12: ...").
    std::string Run(const std::string& text, const std::function<void(const std::string&)>& out);

    // The latest time a stimulus may have: a day of controller time. Beyond
    // it lies no sensible run, only a typing mistake that would keep the
    // runner busy for hours.
    static constexpr uint64_t kMaxRunMs = 24ull * 60 * 60 * 1000;

    // Whether trace lines are produced at all (benchmarks turn them off).
    bool trace = true;
    // Whether the file's "# expect" lines are checked: Run then returns the
    // first one the run did not meet ("line 3: ..."), once the run is over.
    bool check = false;
    // Virtual milliseconds run, when Run returns.
    uint64_t ElapsedMs() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zrk

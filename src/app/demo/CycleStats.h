#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zrk {

// The periods between successive runs of a cycle: median, 99th percentile
// and maximum, in bounded memory however long the program runs (a
// histogram of 50 µs bins up to 2 s; longer periods count in the last bin,
// the maximum stays exact).
class CycleStats {
public:
    static constexpr uint64_t kBinUs = 50;
    static constexpr std::size_t kBins = 40000;

    CycleStats() : bins_(kBins + 1, 0) {}

    // One run of the cycle at `nowUs` (a monotonic clock, microseconds).
    void Tick(uint64_t nowUs);

    uint64_t Periods() const { return count_; }
    // The quantile `q` (0..1) in milliseconds, the middle of its bin; 0
    // without periods.
    double QuantileMs(double q) const;
    double MaxMs() const { return double(maxUs_) / 1000.0; }
    // "Main cycle period over N cycles: median ... ms, p99 ... ms, max ... ms".
    std::string Report(const std::string& name) const;

private:
    std::vector<uint64_t> bins_;
    uint64_t count_ = 0;
    uint64_t maxUs_ = 0;
    uint64_t lastUs_ = 0;
    bool started_ = false;
};

// The process's monotonic clock in microseconds, for the hosts' measures
// taken on real time.
uint64_t SteadyClockUs();

} // namespace zrk

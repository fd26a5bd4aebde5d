#include "app/demo/CycleStats.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace zrk {

void CycleStats::Tick(uint64_t nowUs)
{
    if (started_ && nowUs >= lastUs_) {
        const uint64_t period = nowUs - lastUs_;
        ++bins_[std::size_t(std::min<uint64_t>(period / kBinUs, kBins))];
        ++count_;
        maxUs_ = std::max(maxUs_, period);
    }
    started_ = true;
    lastUs_ = nowUs;
}

double CycleStats::QuantileMs(double q) const
{
    if (count_ == 0 || !(q >= 0))
        return 0;
    // The smallest bin that holds at least q of the periods.
    const auto rank = uint64_t(std::ceil(std::min(q, 1.0) * double(count_)));
    uint64_t seen = 0;
    for (std::size_t i = 0; i < bins_.size(); ++i) {
        seen += bins_[i];
        if (seen >= std::max<uint64_t>(rank, 1)) {
            if (i == kBins)   // beyond the histogram: only the maximum is known
                return MaxMs();
            const double middleUs = double(i) * double(kBinUs) + double(kBinUs) / 2;
            return std::min(middleUs, double(maxUs_)) / 1000.0;
        }
    }
    return MaxMs();
}

std::string CycleStats::Report(const std::string& name) const
{
    const auto ms = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", v);
        return std::string(text);
    };
    return name + " period over " + std::to_string(count_) + " cycles: median " + ms(QuantileMs(0.5)) +
           " ms, p99 " + ms(QuantileMs(0.99)) + " ms, max " + ms(MaxMs()) + " ms";
}

uint64_t SteadyClockUs()
{
    return uint64_t(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

} // namespace zrk

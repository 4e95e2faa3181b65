#include "engine/PhaseIncrementTable.h"

#include "engine/RateCache.h"

#include <cmath>
#include <limits>

namespace halvane {

namespace {

double ValidRate(double sampleRate) {
    return std::isfinite(sampleRate) && sampleRate > 0.0 ? sampleRate : 0.0;
}

} // namespace

PhaseIncrementTable::PhaseIncrementTable(double sampleRate)
    : sampleRate_(ValidRate(sampleRate)), entries_() {
    if (sampleRate_ == 0.0)
        return;
    // 2^31 is exact as a double: anything at or above it is held at INT32_MAX
    // instead of being converted, which would be undefined.
    const double limit = 2147483648.0;
    for (int32_t i = 0; i < kSize; ++i) {
        const double increment = PitchToHz(i) * 268435456.0 / sampleRate_;
        entries_[static_cast<std::size_t>(i)] = increment < limit
                                                    ? static_cast<int32_t>(increment)
                                                    : std::numeric_limits<int32_t>::max();
    }
}

std::shared_ptr<const PhaseIncrementTable> PhaseIncrementTable::ForSampleRate(double sampleRate) {
    return RateCache<PhaseIncrementTable>::Get(ValidRate(sampleRate));
}

} // namespace halvane

#include "engine/PhaseIncrementTable.h"

#include <cmath>
#include <limits>
#include <map>
#include <mutex>

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
    static std::mutex mutex;
    // Weak references: a table lives as long as some instance uses it, so a host
    // stepping through many rates does not pile tables up.
    static std::map<double, std::weak_ptr<const PhaseIncrementTable>> cache;

    const double rate = ValidRate(sampleRate);
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = cache.begin(); it != cache.end();) {
        if (it->second.expired())
            it = cache.erase(it);
        else
            ++it;
    }
    std::weak_ptr<const PhaseIncrementTable>& slot = cache[rate];
    std::shared_ptr<const PhaseIncrementTable> table = slot.lock();
    if (!table) {
        table.reset(new PhaseIncrementTable(rate));
        slot = table;
    }
    return table;
}

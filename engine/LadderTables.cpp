#include "engine/LadderTables.h"

#include <cmath>
#include <map>
#include <mutex>

namespace {

constexpr double kTwoPi = 6.283185307179586;

double ResonanceCeiling(double hz) {
    if (hz < 500.0)
        return 4.1;
    if (hz > 2000.0)
        return 4.005;
    return 4.1 - (hz - 500.0) * 0.09499999999999975 / 1500.0;
}

} // namespace

double LadderTables::UsableRate(double sampleRate) {
    return std::isfinite(sampleRate) && sampleRate >= 1.0 ? sampleRate : 44100.0;
}

LadderTables::LadderTables(double sampleRate) : sampleRate_(UsableRate(sampleRate)), entries_() {
    for (int32_t i = 0; i < kSize; ++i) {
        const double hz = PitchToHz(i);
        Entry& e = entries_[static_cast<std::size_t>(i)];
        e.w = kTwoPi * hz / sampleRate_;
        e.kmax = ResonanceCeiling(hz);
        e.g = e.w / (e.w + 2.0);
        e.t = (e.w - 2.0) / (e.w + 2.0);
    }
}

std::shared_ptr<const LadderTables> LadderTables::ForSampleRate(double sampleRate) {
    static std::mutex mutex;
    // Weak references: tables live as long as some filter uses them, so a host
    // stepping through many rates does not pile them up.
    static std::map<double, std::weak_ptr<const LadderTables>> cache;

    const double rate = UsableRate(sampleRate);
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = cache.begin(); it != cache.end();) {
        if (it->second.expired())
            it = cache.erase(it);
        else
            ++it;
    }
    std::weak_ptr<const LadderTables>& slot = cache[rate];
    std::shared_ptr<const LadderTables> tables = slot.lock();
    if (!tables) {
        tables.reset(new LadderTables(rate));
        slot = tables;
    }
    return tables;
}

#include "engine/LadderTables.h"

#include "engine/RateCache.h"

#include <cmath>

namespace halvane {

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
    return RateCache<LadderTables>::Get(UsableRate(sampleRate));
}

} // namespace halvane

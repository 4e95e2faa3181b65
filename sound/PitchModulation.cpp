#include "sound/PitchModulation.h"

#include <cmath>

namespace halvane {

namespace {

constexpr double kUnitsPerSemitone = 128.0;

// Toward zero into pitch units. A shift beyond the 32-bit range gives the lowest
// pitch (the voices hold their pitch within the tables); a shift that is not a
// number at all (a bad parameter somewhere) moves nothing.
int32_t TruncateToPitch(double units) {
    if (std::isnan(units))
        return 0;
    if (units > -2147483649.0 && units < 2147483648.0)
        return static_cast<int32_t>(units);
    return INT32_MIN;
}

} // namespace

PitchModulation::PitchModulation() {
    Reset();
}

void PitchModulation::Reset() {
    bend_ = 0.0;
    wheel_ = 0.0;
    // The delay envelope only ever decays: a phrase start jumps it to 1 within a few
    // ticks and the vibrato then fades in as it falls. It is stepped once per tick.
    delayEnvelope_.SetAttack(0.0);
    delayEnvelope_.SetSustain(0.0);
    delayEnvelope_.SetRelease(0.0);
    delayEnvelope_.SetTimeBase(Envelope::kControlTimeBase);
}

int32_t PitchModulation::StepVibratoAndOffset() {
    // Always stepped, so the vibrato keeps its phase while nothing uses it.
    vibratoLfo_.Step();
    const double bipolar = vibratoLfo_.Bipolar();

    double modulation = 0.0;
    if (vibratoOn_) {
        delayEnvelope_.Step();
        modulation = vibratoDepth_ * bipolar * (1.0 - delayEnvelope_.Value());
    }
    if (wheel_ > 0.0) {
        if (trill_) {
            // A square jump up for the upper half of the cycle.
            if (bipolar > 0.0)
                modulation += wheel_ * wheelDepth_;
        } else {
            modulation += wheel_ * wheelDepth_ * bipolar;
        }
    }
    return TruncateToPitch((bend_ * bendRange_ + (modulation + totalTune_)) * kUnitsPerSemitone);
}

} // namespace halvane

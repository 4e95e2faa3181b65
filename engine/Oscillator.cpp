#include "engine/Oscillator.h"

namespace halvane {

namespace {

// Converts a pulse width in 0..1 of the half period into the phase offset.
int32_t WidthToOffset(double width) {
    return static_cast<int32_t>(width * static_cast<double>(Oscillator::kSquareOffset));
}

// The table level by its definition: a repeated multiplication, not a
// logarithm, because the rounding of the products decides the borderline steps
// (a step of 2 lands on level 3).
int LevelByProducts(int32_t step) {
    double t = static_cast<double>(step);
    int level = 0;
    while (t > 1.0 && level < SawTables::kLevels - 1) {
        t *= 0.7071067811865476;
        ++level;
    }
    return level;
}

// Rounding is monotonic, so the level never falls as the step grows: each
// level begins at one step, found once by bisection over the definition.
struct LevelStarts {
    int32_t first[SawTables::kLevels];

    LevelStarts() {
        first[0] = INT32_MIN;
        for (int level = 1; level < SawTables::kLevels; ++level) {
            int64_t low = 0, high = INT32_MAX; // LevelByProducts(high) is the last level
            while (low < high) {
                const int64_t mid = (low + high) / 2;
                if (LevelByProducts(static_cast<int32_t>(mid)) >= level)
                    high = mid;
                else
                    low = mid + 1;
            }
            first[level] = static_cast<int32_t>(low);
        }
    }
};

const LevelStarts& Starts() {
    static const LevelStarts starts;
    return starts;
}

} // namespace

Oscillator::Oscillator() {
    // The level starts are ready before any control update needs them.
    Starts();
    const SawTables& saw = SawTables::Instance();
    for (const double*& table : tables_)
        table = saw.Level(0);
}

int Oscillator::LevelForStep(int32_t step) {
    // Five comparisons instead of up to 21 multiplications, four oscillators
    // and three footages a voice every control block.
    const int32_t* first = Starts().first;
    int low = 0, high = SawTables::kLevels - 1;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (first[mid] <= step)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

void Oscillator::Update(int32_t pitch, const PhaseIncrementTable& table) {
    // In 64 bits, so that extreme pitches and detunes hold at the table's ends
    // instead of wrapping around.
    const int64_t index = static_cast<int64_t>(pitch) + detune_ - kOctaveDown;
    increment_ =
        table[index < 0 ? 0 : (index > kMaxPitch ? kMaxPitch : static_cast<int32_t>(index))];

    if (pwm_ && pwmSource_) {
        const double lfo = *pwmSource_;
        const double d = (1.0 - lfo) * width_ + lfo;
        // Outside 0..1 (and for a NaN from the source) the pulse falls silent.
        widthOffset_ = d >= 0.0 && d <= 1.0 ? WidthToOffset(d) : 0;
    } else {
        // Held to 0..1, so that no width can overflow the offset; NaN silences.
        const double w = width_ >= 0.0 ? (width_ <= 1.0 ? width_ : 1.0) : 0.0;
        widthOffset_ = WidthToOffset(w);
    }

    // Most oscillators hold their pitch from one control block to the next.
    if (increment_ == levelsIncrement_)
        return;
    levelsIncrement_ = increment_;
    const int32_t* first = Starts().first;
    for (int footage = 0; footage < kFootages; ++footage) {
        // Footage f reads 2^f table entries per phase entry: its table step is the
        // increment over 2^(16 - f).
        const int32_t step = increment_ >> (16 - footage);
        // Vibrato and bends move the step every control block but seldom out of
        // its level: two comparisons keep the level the oscillator has.
        const int held = levels_[footage];
        if (first[held] <= step && (held == SawTables::kLevels - 1 || step < first[held + 1]))
            continue;
        levels_[footage] = LevelForStep(step);
        tables_[footage] = SawTables::Instance().Level(levels_[footage]);
    }
}

} // namespace halvane

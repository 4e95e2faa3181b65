#pragma once
// Band-limited sawtooth wavetables shared by every oscillator of the process.

#include <cstddef>
#include <vector>

namespace halvane {

class SawTables {
public:
    static constexpr int kLevels = 22, kSize = 4096;

    // Built on first use (the first voice constructed), once per process; the
    // initialisation is thread-safe and the tables never change afterwards.
    static const SawTables& Instance();

    // Level i (clamped to 0..kLevels-1): kSize samples of one falling-ramp period
    // holding Harmonics(i) harmonics. All levels sit in one contiguous block, level
    // after level.
    const double* Level(int i) const {
        return data_.data() +
               static_cast<std::size_t>(i < 0 ? 0 : (i >= kLevels ? kLevels - 1 : i)) *
                   static_cast<std::size_t>(kSize);
    }

    // Harmonics of level i: 2048 / sqrt(2)^i rounded, 2048, 1448, 1024, ... 2, 1. Each
    // level is half an octave duller than the one before.
    static constexpr int Harmonics(int i) {
        double divisor = 1.0;
        for (int n = 0; n < i && n < kLevels - 1; ++n)
            divisor *= 1.4142135623730951;
        return static_cast<int>(2048.0 / divisor + 0.5);
    }

    SawTables(const SawTables&) = delete;
    SawTables& operator=(const SawTables&) = delete;

private:
    SawTables();

    std::vector<double> data_;
};

} // namespace halvane

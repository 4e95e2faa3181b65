#include "sound/OutputMix.h"

#include "engine/Bowing.h"
#include "engine/BrassSection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvane {

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.141592653589793;
constexpr int kBlock = 44;
enum { kSynthe, kBrass, kStrings };

// The global stages as the engine owns them, at 44100 Hz.
struct Rig {
    BrassSection brass;
    Bowing bowing;
    OutputMix mix{brass, bowing};
    double out[OutputMix::kChannels] = {};

    Rig() {
        brass.SetSampleRate(kRate);
        brass.SetCutoff(1.0);
        bowing.SetSampleRate(kRate);
        mix.SetSampleRate(kRate);
    }
    // One sample, with the control ticks where a control block begins.
    void Run(long n, double synth, double brassSum, double strings) {
        const int i = static_cast<int>(n % kBlock);
        if (i == 0) {
            brass.ControlTick();
            mix.ControlTickStrings();
            mix.ControlTickFlanger();
        }
        mix.Process(synth, brassSum, strings, i, out);
    }
};

double Sine(double hz, long n) {
    return std::sin(2.0 * kPi * hz * static_cast<double>(n) / kRate);
}

// Peak of the strings left channel over the second half of a second of a sine.
double StringsPeak(Rig& rig, double hz) {
    double peak = 0.0;
    for (long n = 0; n < 44100; ++n) {
        rig.Run(n, 0.0, 0.0, Sine(hz, n));
        if (n > 22050)
            peak = std::max(peak, std::abs(rig.out[OutputMix::kStringsL]));
    }
    return peak;
}

} // namespace

TEST(OutputMix, DefaultsSoundOnlyTheSynthe) {
    Rig rig;
    rig.brass.Trigger();
    for (long n = 0; n < 500; ++n) {
        rig.Run(n, 1.0, 1.0, 1.0);
        EXPECT_EQ(rig.out[OutputMix::kSynthL], 0.5);
        EXPECT_EQ(rig.out[OutputMix::kSynthR], 0.5);
        EXPECT_EQ(rig.out[OutputMix::kTotalL], 0.5);
        EXPECT_EQ(rig.out[OutputMix::kTotalR], 0.5);
        for (int c = OutputMix::kBrassL; c < OutputMix::kChannels; ++c)
            ASSERT_EQ(rig.out[c], 0.0) << c;
    }
    // Brass off: its envelope moved only with the control ticks (12 of them).
    Envelope ticksOnly;
    ticksOnly.SetSampleRate(kRate);
    ticksOnly.Trigger();
    for (int t = 0; t < 12; ++t)
        ticksOnly.Step();
    EXPECT_EQ(rig.brass.Env().Value(), ticksOnly.Value());
}

TEST(OutputMix, TotalGainActsOnTheTotalsOnly) {
    Rig rig;
    rig.mix.SetSectionOn(kBrass, true);
    rig.mix.SetSectionOn(kStrings, true);
    rig.mix.SetSynthePan(0.3);
    rig.brass.Env().SetSustain(1.0);
    rig.brass.Trigger();
    rig.mix.SetTotalVolume(0.0);
    for (long n = 0; n < 2000; ++n) {
        rig.Run(n, Sine(300.0, n), 1.0, Sine(200.0, n));
        ASSERT_EQ(rig.out[OutputMix::kTotalL], 0.0);
        ASSERT_EQ(rig.out[OutputMix::kTotalR], 0.0);
    }
    for (int c = OutputMix::kSynthL; c < OutputMix::kChannels; ++c)
        EXPECT_NE(rig.out[c], 0.0) << c;

    rig.mix.SetTotalVolume(0.8);
    for (long n = 2000; n < 2100; ++n) {
        rig.Run(n, Sine(300.0, n), 1.0, Sine(200.0, n));
        const double* o = rig.out;
        ASSERT_EQ(o[OutputMix::kTotalL], (o[2] + o[4] + o[6]) * 1.6);
        ASSERT_EQ(o[OutputMix::kTotalR], (o[3] + o[5] + o[7]) * 1.6);
        ASSERT_NEAR(o[OutputMix::kSynthL] / 0.7, o[OutputMix::kSynthR] / 0.3, 1e-12);
    }
}

TEST(OutputMix, PanLawsOfBrassAndStrings) {
    Rig rig;
    rig.mix.SetBrassFootages(true, true);
    rig.mix.SetBrassPan(0.5);
    EXPECT_EQ(rig.mix.BrassGain(0), 0.25);
    EXPECT_EQ(rig.mix.BrassGain(1), 0.25);
    EXPECT_EQ(rig.brass.GainLeft(), 0.25);
    EXPECT_EQ(rig.brass.GainRight(), 0.25);
    rig.mix.SetBrassFootages(false, true);
    rig.mix.SetBrassPan(0.2);
    EXPECT_DOUBLE_EQ(rig.brass.GainLeft(), 0.8);
    EXPECT_DOUBLE_EQ(rig.brass.GainRight(), 0.2);
    rig.brass.SetGains(9.0, 9.0);
    rig.mix.SetSampleRate(48000.0); // the mix hands its gains over again
    EXPECT_DOUBLE_EQ(rig.brass.GainLeft(), 0.8);

    rig.mix.SetStringsPan(0.3);
    rig.mix.SetStringsFootages(true, true, true);
    EXPECT_DOUBLE_EQ(rig.mix.StringsGain(0), 0.7 / 3.0);
    EXPECT_DOUBLE_EQ(rig.mix.StringsGain(1), 0.1);
    rig.mix.SetStringsFootages(true, false, true);
    EXPECT_DOUBLE_EQ(rig.mix.StringsGain(0), 0.35);

    // No footage: the section is silent whatever the voices send.
    rig.mix.SetStringsFootages(false, false, false);
    rig.mix.SetSectionOn(kStrings, true);
    for (long n = 0; n < 1000; ++n) {
        rig.Run(n, 0.0, 0.0, Sine(440.0, n));
        ASSERT_EQ(rig.out[OutputMix::kStringsL], 0.0);
        ASSERT_EQ(rig.out[OutputMix::kStringsR], 0.0);
        ASSERT_EQ(rig.out[OutputMix::kTotalL], 0.0);
    }
}

TEST(OutputMix, FlangerFeedsTheTotalsOnlyWhileASendIsOn) {
    Rig rig;
    rig.mix.SetTotalVolume(0.7);
    rig.mix.SetFlangerSend(kSynthe, true);
    // Without sweep the line's delay does not depend on its LFO's phase, so a fresh
    // line with the same settings is an exact reference for the wet signal.
    DelayLine reference;
    reference.Prepare(kRate, 0.004);
    reference.SetFilterCutoff(8000.0);
    reference.SetManual(0.6);
    reference.SetFeedback(0.5);
    rig.mix.SetFlangerManual(0.6);
    rig.mix.SetFlangerFeedback(0.5);
    rig.mix.SetFlangerIntensity(0.0);
    EXPECT_EQ(rig.mix.Flanger().Stages(), 176);

    double wetPeak = 0.0;
    long n = 0;
    for (; n < 4410; ++n) {
        if (n % kBlock == 0)
            reference.ControlUpdate();
        const double s = Sine(500.0, n);
        rig.Run(n, s, 0.0, 0.0);
        double l = 0.5 * s, r = 0.5 * s;
        reference.ProcessStereo(l, r);
        ASSERT_EQ(rig.out[OutputMix::kSynthL], 0.5 * s); // dry on its own channels
        ASSERT_EQ(rig.out[OutputMix::kTotalL], (0.5 * s + l) * 1.4);
        ASSERT_EQ(rig.out[OutputMix::kTotalR], (0.5 * s + r) * 1.4);
        wetPeak = std::max(wetPeak, std::abs(l));
    }
    EXPECT_GT(wetPeak, 0.3);

    // All sends off: the line stands still and the totals are dry, although it
    // holds sound.
    rig.mix.SetFlangerSend(kSynthe, false);
    EXPECT_FALSE(rig.mix.FlangerActive());
    const double phase = rig.mix.Flanger().Lfo().Phase();
    for (; n < 8820; ++n) {
        const double s = Sine(500.0, n);
        rig.Run(n, s, 0.0, 0.0);
        ASSERT_EQ(rig.out[OutputMix::kTotalL], 0.5 * s * 1.4);
        ASSERT_EQ(rig.out[OutputMix::kTotalR], 0.5 * s * 1.4);
    }
    EXPECT_EQ(rig.mix.Flanger().Lfo().Phase(), phase);

    // Turned on again it resumes with what it held: wet sound with silent input.
    rig.mix.SetFlangerSend(kBrass, true);
    rig.Run(n, 0.0, 0.0, 0.0);
    EXPECT_NE(rig.out[OutputMix::kTotalL], 0.0);
    EXPECT_EQ(rig.out[OutputMix::kBrassL], 0.0);
}

TEST(OutputMix, EachSendCarriesOnlyItsOwnSection) {
    for (int send = 0; send < 3; ++send) {
        Rig rig;
        rig.brass.Env().SetSustain(1.0);
        if (send != kBrass) // the shut envelope also mutes the filter's settling
            rig.brass.Trigger();
        for (int s = 0; s < 3; ++s)
            rig.mix.SetSectionOn(s, true);
        rig.mix.SetFlangerSend(send, true);
        // Every section sounds except the one that is sent: the flanger hears nothing.
        double wet = 0.0;
        for (long n = 0; n < 3000; ++n) {
            const double x = Sine(700.0, n);
            rig.Run(n, send == kSynthe ? 0.0 : x, send == kBrass ? 0.0 : x,
                    send == kStrings ? 0.0 : x);
            const double* o = rig.out;
            wet = std::max(wet, std::abs(o[OutputMix::kTotalL] - (o[2] + o[4] + o[6])));
        }
        EXPECT_LT(wet, 1e-9) << send;
    }
}

TEST(OutputMix, MonoStringsDifferOnlyByPanStereoStringsDoNot) {
    for (bool stereo : {false, true}) {
        Rig rig;
        rig.mix.SetSectionOn(kStrings, true);
        rig.mix.SetStringsStereo(stereo);
        rig.mix.SetStringsPan(0.3);
        rig.mix.SetStringsVibratoDepth(0.5);
        rig.mix.SetBowingOn(true);
        rig.mix.SetEqHigh(3.0);
        rig.mix.SetEqLow(-4.0);
        rig.bowing.Trigger();
        double largestDifference = 0.0;
        for (long n = 0; n < 20000; ++n) {
            rig.Run(n, 0.0, 0.0, Sine(330.0, n) + 0.3 * Sine(1210.0, n));
            const double l = rig.out[OutputMix::kStringsL] / 0.7;
            const double r = rig.out[OutputMix::kStringsR] / 0.3;
            largestDifference = std::max(largestDifference, std::abs(l - r));
        }
        if (stereo)
            EXPECT_GT(largestDifference, 0.05);
        else
            EXPECT_LT(largestDifference, 1e-12);
    }
}

TEST(OutputMix, EqualiserShelvesOnlyWhenGainIsSet) {
    Rig rig;
    rig.mix.SetSectionOn(kStrings, true);
    rig.mix.SetStringsVibratoOn(false);
    rig.mix.SetEnsembleOn(false);
    for (long n = 0; n < 5000; ++n) {
        const double x = Sine(5000.0, n) + 0.5 * Sine(60.0, n);
        rig.Run(n, 0.0, 0.0, x);
        ASSERT_NEAR(rig.out[OutputMix::kStringsL], 0.5 * x, 1e-12);
        ASSERT_EQ(rig.out[OutputMix::kStringsR], rig.out[OutputMix::kStringsL]);
    }
    // +12 dB is a factor 3.98 far from the corner on the shelf's own side.
    const double lift = std::pow(10.0, 12.0 / 20.0);
    rig.mix.SetEqLow(12.0);
    EXPECT_NEAR(StringsPeak(rig, 40.0), 0.5 * lift, 0.02 * lift);
    EXPECT_NEAR(StringsPeak(rig, 12000.0), 0.5, 0.02);
    rig.mix.SetEqLow(0.0);
    rig.mix.SetEqHigh(12.0);
    EXPECT_NEAR(StringsPeak(rig, 40.0), 0.5, 0.01);
    EXPECT_NEAR(StringsPeak(rig, 15000.0), 0.5 * lift, 0.03 * lift);
}

TEST(OutputMix, StringsVibratoLineDelaysTheSection) {
    for (bool vibrato : {false, true}) {
        Rig rig;
        rig.mix.SetSectionOn(kStrings, true);
        rig.mix.SetEnsembleOn(false);
        rig.mix.SetStringsVibratoOn(vibrato);
        rig.mix.SetStringsVibratoDepth(0.0);
        long peakAt = -1;
        double peak = 0.0;
        for (long n = 0; n < 400; ++n) {
            rig.Run(n, 0.0, 0.0, n == 0 ? 1.0 : 0.0);
            if (std::abs(rig.out[OutputMix::kStringsL]) > peak) {
                peak = std::abs(rig.out[OutputMix::kStringsL]);
                peakAt = n;
            }
        }
        // Without depth the clock step rests at the manual position 0.5: 88 stages
        // passed at 0.125 + 0.875 * 0.5 of a sample each, plus the few samples the
        // interpolation histories and the band-limiting filters add.
        const double delay = vibrato ? 88 * (0.125 + 0.875 * 0.5) + 3.0 : 0.0;
        EXPECT_NEAR(static_cast<double>(peakAt), delay, 3.0) << vibrato;
    }
}

TEST(OutputMix, StringsTickDrivesVibratoDepthAndEnsemble) {
    Rig rig;
    rig.mix.SetStringsVibratoDepth(0.6);
    rig.mix.TriggerStringsVibratoDelay();
    const double ensemblePhase = rig.mix.GetEnsemble().Lfo1().Phase();
    rig.mix.ControlTickStrings(); // section off: nothing moves
    EXPECT_EQ(rig.mix.StringsVibratoEnvelope().Value(), 0.0);
    EXPECT_EQ(rig.mix.GetEnsemble().Lfo1().Phase(), ensemblePhase);

    rig.mix.SetSectionOn(kStrings, true);
    rig.mix.ControlTickStrings();
    const double a = std::pow(10.0, 2.3) * std::log(10.0) / 1000.0;
    EXPECT_DOUBLE_EQ(rig.mix.StringsVibrato().Intensity(), (1.0 - 10.0 / 9.0 * a) * 0.6);
    EXPECT_NE(rig.mix.GetEnsemble().Lfo1().Phase(), ensemblePhase);

    rig.mix.SetStringsVibratoOn(false);
    const double held = rig.mix.StringsVibratoEnvelope().Value();
    rig.mix.ControlTickStrings();
    EXPECT_EQ(rig.mix.StringsVibratoEnvelope().Value(), held);
}

TEST(OutputMix, NewRateRebuildsStagesAndKeepsParameters) {
    Rig rig;
    rig.mix.SetEqHigh(6.0);
    rig.mix.SetEqLow(-3.0);
    rig.mix.SetStringsStereo(true);
    rig.mix.SetEnsembleDepth(1, 0.04);
    rig.mix.SetEnsembleLfoIncrement(0, 0.02);
    rig.mix.TriggerStringsVibratoDelay();
    rig.mix.SetSampleRate(48000.0);

    for (int side = 0; side < 2; ++side) {
        const ShelvingFilter& high = rig.mix.EqHigh(side);
        const ShelvingFilter& low = rig.mix.EqLow(side);
        EXPECT_FALSE(high.LowShelf());
        EXPECT_EQ(high.Corner(), 1800.0);
        EXPECT_EQ(high.Gain(), 6.0);
        EXPECT_EQ(high.SampleRate(), 48000.0);
        EXPECT_TRUE(low.LowShelf());
        EXPECT_EQ(low.Corner(), 600.0);
        EXPECT_EQ(low.Gain(), -3.0);
    }
    EXPECT_EQ(rig.mix.StringsVibrato().Stages(), 96);
    EXPECT_EQ(rig.mix.StringsVibrato().Manual(), 0.5);
    EXPECT_EQ(rig.mix.Flanger().Stages(), 192);
    EXPECT_DOUBLE_EQ(rig.mix.Flanger().InputFilter(1).Cutoff(), 2.0 * kPi * 8000.0 / 48000.0);
    EXPECT_DOUBLE_EQ(rig.mix.StringsVibrato().OutputFilter(0).Cutoff(),
                     2.0 * kPi * 8000.0 / 48000.0);
    EXPECT_FALSE(rig.mix.StringsVibratoEnvelope().Running());
    EXPECT_EQ(rig.mix.StringsVibratoEnvelope().TimeBase(), Envelope::kControlTimeBase);

    const Ensemble& ensemble = rig.mix.GetEnsemble();
    EXPECT_EQ(ensemble.SampleRate(), 48000.0);
    EXPECT_EQ(ensemble.Depth(0), 0.015);
    EXPECT_EQ(ensemble.Depth(1), 0.04);
    EXPECT_EQ(ensemble.Lfo1().Increment(), 0.02);
    EXPECT_EQ(ensemble.Lfo2().Increment(), 0.00056);
    EXPECT_TRUE(ensemble.Stereo());
}

TEST(OutputMix, FullFeedbackWithFullScaleInputStaysBounded) {
    Rig rig;
    rig.mix.SetFlangerSend(kSynthe, true);
    rig.mix.SetFlangerFeedback(1.0);
    rig.mix.SetFlangerIntensity(1.0);
    rig.mix.SetFlangerManual(0.0);
    rig.mix.SetFlangerSpeed(2.0 * 3.0 / 1000.0);
    rig.mix.SetFlangerStereo(true);
    double peak = 0.0;
    for (long n = 0; n < 2 * 44100; ++n) {
        rig.Run(n, (n / 50) % 2 ? 2.0 : -2.0, 0.0, 0.0);
        peak = std::max(peak, std::abs(rig.out[OutputMix::kTotalL]));
    }
    // Dry 1 plus a line holding at most input + 3 of clipped feedback.
    EXPECT_LT(peak, 8.0);
    EXPECT_GT(peak, 1.0);
}

TEST(OutputMix, BadSumsNeverReachTheOutputs) {
    const double inf = std::numeric_limits<double>::infinity();
    const double sums[] = {std::nan(""), inf, -inf, 1e308, -1e308, 0.5};
    for (bool stereo : {false, true}) {
        Rig rig;
        for (int s = 0; s < 3; ++s) {
            rig.mix.SetSectionOn(s, true);
            rig.mix.SetFlangerSend(s, true);
        }
        rig.mix.SetStringsStereo(stereo);
        rig.mix.SetFlangerFeedback(1.0);
        rig.mix.SetFlangerIntensity(1.0);
        rig.mix.SetStringsVibratoDepth(1.0);
        rig.mix.SetBowingOn(true);
        rig.mix.SetEqHigh(12.0);
        rig.mix.SetEqLow(12.0);
        rig.mix.SetTotalVolume(1.0);
        rig.brass.Env().SetSustain(1.0);
        rig.brass.Trigger();
        rig.bowing.Trigger();
        for (long n = 0; n < 20000; ++n) {
            rig.Run(n, sums[n % 6], sums[(n + 2) % 6], sums[(n + 4) % 6]);
            for (double o : rig.out)
                ASSERT_TRUE(std::isfinite(o)) << n;
        }
        // The stages are still alive afterwards.
        double strings = 0.0, brass = 0.0;
        for (long n = 20000; n < 30000; ++n) {
            rig.Run(n, 0.0, Sine(200.0, n), Sine(200.0, n));
            strings = std::max(strings, std::abs(rig.out[OutputMix::kStringsL]));
            brass = std::max(brass, std::abs(rig.out[OutputMix::kBrassL]));
        }
        EXPECT_GT(strings, 0.1);
        EXPECT_GT(brass, 0.1);
    }
}

} // namespace halvane

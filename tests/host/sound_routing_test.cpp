// The eight output channels as a host receives them: which section reaches which
// pair, the flanger sends, the total gain and the pan laws, checked sample by
// sample against the mixing rules (sections dry on their own pairs, totals =
// (sections + flanger) x 2 x "Total Volume"). Then every parameter at its
// extremes, and values that are no numbers at all: the channels carry nothing
// but finite, bounded samples.

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/Instrument.h"
#include "support/Measure.h"

namespace halvane {

using namespace hosttest;
using vsthost::Host;
using vsthost::MidiMessage;

namespace {

enum Section { kSynthe, kBrass, kStrings };
const char* const kOutputNames[] = {"Output Synthe", "Output Brass", "Output Strings"};
const char* const kSendNames[] = {"Flanger Synthe", "Flanger Brass", "Flanger Strings"};

// Every render here is exactly as long as asked, whatever the host block size,
// so renders compare sample by sample.
class SoundRoutingTest : public InstrumentTest {};

// ---------------------------------------------------------------------------
// The routing matrix: the three section switches, the three sends and both
// stereo switches, every combination. One case renders the eight send
// combinations of one setting of the other five switches, the first of them
// (no send) being the dry reference for the other seven.

struct Group {
    bool section[3];
    bool stereoEnsemble;
    bool stereoFlanger;
};

Group GroupFor(int index) {
    return Group{{(index & 1) != 0, (index & 2) != 0, (index & 4) != 0},
                 (index & 8) != 0,
                 (index & 16) != 0};
}

constexpr int kFrames = 4096;

Streams RenderRouting(const Group& g, const bool send[3]) {
    Instrument instrument(Framing::kExact);
    // Fast strings, so all three sections sound within the render.
    instrument.Set("Strings Attack", "0");
    for (int s = 0; s < 3; ++s) {
        instrument.Switch(kOutputNames[s], g.section[s]);
        instrument.Switch(kSendNames[s], send[s]);
    }
    instrument.Switch("Stereo Ensemble", g.stereoEnsemble);
    instrument.Switch("Stereo Flanger", g.stereoFlanger);
    instrument.Chord({48, 55, 64});
    return instrument.Render(kFrames);
}

class RoutingMatrix : public SoundRoutingTest, public ::testing::WithParamInterface<int> {};

TEST_P(RoutingMatrix, SectionsStayDryAndTotalsAreSectionsPlusFlanger) {
    const Group g = GroupFor(GetParam());
    const bool none[3] = {false, false, false};
    const Streams dry = RenderRouting(g, none);

    for (int sends = 0; sends < 8; ++sends) {
        const bool send[3] = {(sends & 1) != 0, (sends & 2) != 0, (sends & 4) != 0};
        SCOPED_TRACE("sends " + std::to_string(sends));
        const Streams s = sends == 0 ? dry : RenderRouting(g, send);

        // A section's pair is silent exactly when its switch is off.
        for (int section = 0; section < 3; ++section) {
            for (int side = 0; side < 2; ++side) {
                const double peak = Peak(s[kSynthL + 2 * section + side]);
                if (g.section[section])
                    EXPECT_GT(peak, 0.01) << kOutputNames[section] << " side " << side;
                else
                    EXPECT_EQ(peak, 0.0) << kOutputNames[section] << " side " << side;
            }
        }

        // The sends never reach the section channels: identical to the dry render.
        for (int c = kSynthL; c <= kStringsR; ++c)
            EXPECT_EQ(Peak(Difference(s[c], dry[c])), 0.0) << "channel " << c;

        // Totals: (synth + brass + strings) x 2 x 0.5, plus the flanger when a
        // send is on. Its input is the sum of the sent sections, so it is heard
        // only when one of them sounds.
        bool fed = false;
        for (int section = 0; section < 3; ++section)
            fed = fed || (send[section] && g.section[section]);
        for (int side = 0; side < 2; ++side) {
            const std::vector<double> wet = Wet(s, side, 1.0);
            if (sends == 0)
                EXPECT_EQ(Peak(wet), 0.0) << "side " << side;
            else if (fed)
                EXPECT_GT(Rms(wet, kFrames / 2), 1e-3) << "side " << side;
            else
                EXPECT_LT(Peak(wet), 1e-9) << "side " << side;
        }

        // A mono send (every section centred, the strings mono) gives identical
        // flanger outputs unless "Stereo Flanger" gives each side its own sweep.
        const bool stereoSend = send[kStrings] && g.section[kStrings] && g.stereoEnsemble;
        if (fed && !stereoSend) {
            const double apart = Rms(Difference(Wet(s, 0, 1.0), Wet(s, 1, 1.0)), kFrames / 2);
            // (Rounding of the different dry sides is all that may remain.)
            if (g.stereoFlanger)
                EXPECT_GT(apart, 1e-4);
            else
                EXPECT_LT(apart, 1e-12);
        }

        // Centred strings: the pair is identical in mono, not in stereo.
        if (g.section[kStrings]) {
            const double apart = Peak(Difference(s[kStringsL], s[kStringsR]));
            if (g.stereoEnsemble)
                EXPECT_GT(apart, 1e-3);
            else
                EXPECT_EQ(apart, 0.0);
        }
    }
}

std::string GroupName(const ::testing::TestParamInfo<int>& info) {
    const Group g = GroupFor(info.param);
    std::string name;
    name += g.section[kSynthe] ? "Synthe" : "";
    name += g.section[kBrass] ? "Brass" : "";
    name += g.section[kStrings] ? "Strings" : "";
    if (name.empty())
        name = "Silent";
    name += g.stereoEnsemble ? "_StereoEnsemble" : "_MonoEnsemble";
    name += g.stereoFlanger ? "_StereoFlanger" : "_MonoFlanger";
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllSwitches, RoutingMatrix, ::testing::Range(0, 32), GroupName);

// ---------------------------------------------------------------------------
// Flanger, total gain and pans.

TEST_F(SoundRoutingTest, FlangerAddsNothingOnceEverySendIsOffEvenAfterItHeldSound) {
    Instrument instrument(Framing::kExact);
    instrument.Set("Flanger Feedback", "0.9");
    instrument.Switch("Flanger Synthe", true);
    instrument.Chord({48, 60});
    const Streams before = instrument.Render(8192);
    ASSERT_GT(Rms(Wet(before, 0, 1.0), 4096), 1e-3) << "the flanger holds sound";

    instrument.Switch("Flanger Synthe", false);
    const Streams after = instrument.Render(8192);
    for (int side = 0; side < 2; ++side)
        EXPECT_EQ(Peak(Wet(after, side, 1.0)), 0.0) << "side " << side;
    EXPECT_GT(Peak(after[kSynthL]), 0.05);
}

TEST_F(SoundRoutingTest, TotalVolumeScalesOnlyTheTotals) {
    Streams at[3];
    const char* const volumes[] = {"0.5", "0.2", "0"};
    for (int v = 0; v < 3; ++v) {
        Instrument instrument(Framing::kExact);
        instrument.Switch("Output Brass", true);
        instrument.Switch("Output Strings", true);
        instrument.Set("Total Volume", volumes[v]);
        instrument.Chord({50, 62});
        at[v] = instrument.Render(4096);
    }
    // 0.5 passes the mix at unity gain, 0.2 at 0.4, and 0 silences the totals.
    const double gains[] = {1.0, 0.4, 0.0};
    for (int v = 0; v < 3; ++v) {
        SCOPED_TRACE(volumes[v]);
        for (int side = 0; side < 2; ++side)
            EXPECT_LT(Peak(Wet(at[v], side, gains[v])), 1e-12);
        for (int c = kSynthL; c <= kStringsR; ++c)
            EXPECT_EQ(Peak(Difference(at[v][c], at[0][c])), 0.0) << "channel " << c;
    }
    EXPECT_EQ(Peak(at[2][kTotalL]), 0.0);
    EXPECT_EQ(Peak(at[2][kTotalR]), 0.0);
    EXPECT_GT(Peak(at[2][kSynthL]), 0.05);
}

TEST_F(SoundRoutingTest, SynthePanIsLinear) {
    for (const char* pan : {"0", "1", "0.25"}) {
        SCOPED_TRACE(pan);
        Instrument instrument(Framing::kExact);
        instrument.Set("Pan Synthe", pan);
        instrument.Chord({57});
        const Streams s = instrument.Render(4096);
        const double p = std::stod(pan);
        ASSERT_GT(Peak(s[kSynthL]) + Peak(s[kSynthR]), 0.05);
        // Left = sum x (1 - p), right = sum x p.
        for (std::size_t n = 0; n < s[kSynthL].size(); ++n)
            ASSERT_NEAR(s[kSynthL][n] * p, s[kSynthR][n] * (1.0 - p), 1e-12) << n;
        if (p == 0.0) {
            EXPECT_EQ(Peak(s[kSynthR]), 0.0);
        }
        if (p == 1.0) {
            EXPECT_EQ(Peak(s[kSynthL]), 0.0);
        }
    }
}

// Every stage after the voices is linear here (no resonance), so a set of
// footages sounds as the sum of each footage alone, times the section gain:
// brass halved with both footages, strings divided by the number sounding.
Streams WithFootages(int section, int mask) {
    const char* const brass[] = {"Brass 16'", "Brass 8'"};
    const char* const strings[] = {"Strings 16'", "Strings 8'", "Strings 4'"};
    Instrument instrument(Framing::kExact);
    instrument.Switch("Output Synthe", false);
    instrument.Switch(kOutputNames[section], true);
    instrument.Set("Strings Attack", "0");
    for (int f = 0; f < (section == kBrass ? 2 : 3); ++f)
        instrument.Switch(section == kBrass ? brass[f] : strings[f], (mask >> f & 1) != 0);
    instrument.Chord({52});
    return instrument.Render(8192);
}

TEST_F(SoundRoutingTest, FootagesShareTheSectionGain) {
    for (int section : {kBrass, kStrings}) {
        const int footages = section == kBrass ? 2 : 3;
        std::vector<Streams> alone;
        for (int f = 0; f < footages; ++f)
            alone.push_back(WithFootages(section, 1 << f));
        for (int mask = 3; mask < (1 << footages); ++mask) {
            const Streams together = WithFootages(section, mask);
            int count = 0;
            for (int f = 0; f < footages; ++f)
                count += mask >> f & 1;
            if (count < 2)
                continue;
            SCOPED_TRACE(std::string(kOutputNames[section]) + " footages " + std::to_string(mask));
            for (int side = 0; side < 2; ++side) {
                const int c = kBrassL + 2 * (section - kBrass) + side;
                ASSERT_GT(Peak(together[c]), 0.02);
                for (std::size_t n = 1024; n < together[c].size(); ++n) {
                    double sum = 0.0;
                    for (int f = 0; f < footages; ++f)
                        sum += (mask >> f & 1) ? alone[f][c][n] : 0.0;
                    ASSERT_NEAR(together[c][n], sum / count, 1e-9) << n;
                }
            }
        }
    }
}

TEST_F(SoundRoutingTest, StringsWithoutFootageAreSilent) {
    Instrument instrument(Framing::kExact);
    instrument.Switch("Output Synthe", false);
    instrument.Switch("Output Strings", true);
    instrument.Set("Strings Attack", "0");
    for (const char* footage : {"Strings 16'", "Strings 8'", "Strings 4'"})
        instrument.Switch(footage, false);
    instrument.Chord({48, 60, 72});
    const Streams s = instrument.Render(8192);
    for (int c : {kStringsL, kStringsR, kTotalL, kTotalR})
        EXPECT_EQ(Peak(s[c]), 0.0) << "channel " << c;
}

TEST_F(SoundRoutingTest, MonoStringsDifferOnlyByTheirPanGains) {
    for (bool stereo : {false, true}) {
        SCOPED_TRACE(stereo ? "stereo" : "mono");
        Instrument instrument(Framing::kExact);
        instrument.Switch("Output Synthe", false);
        instrument.Switch("Output Strings", true);
        instrument.Set("Strings Attack", "0");
        instrument.Set("Pan Strings", "0.3");
        // Every stage of the left path shapes the sound, so a right side that
        // skipped one would show.
        instrument.Apply("Strings EQ High=6|Strings EQ Low=-6|Strings Bowing=Off|"
                         "Strings Bowing Level=1|Strings Vibrato Intensity=0.5");
        instrument.Switch("Stereo Ensemble", stereo);
        instrument.Chord({55, 67});
        const Streams s = instrument.Render(8192);
        ASSERT_GT(Peak(s[kStringsL]), 0.01);
        // Left = t x 0.7, right = t x 0.3 for the same t in mono.
        double worst = 0.0;
        for (std::size_t n = 0; n < s[kStringsL].size(); ++n)
            worst = std::fmax(worst, std::fabs(s[kStringsL][n] * 0.3 - s[kStringsR][n] * 0.7));
        if (stereo)
            EXPECT_GT(worst, 1e-3);
        else
            EXPECT_LT(worst, 1e-12);
    }
}

// ---------------------------------------------------------------------------
// The host's block size: events keep their sample and every sample is stepped
// once, so the same performance renders the same, block by block or at once.

TEST_F(SoundRoutingTest, EveryChannelIsTheSameWhateverTheHostBlockSize) {
    std::vector<Timed> play;
    for (int k = 0; k < 4; ++k) {
        play.push_back({0.013 * k, NoteOn(48 + 5 * k, 60 + 20 * k)});
        play.push_back({0.25 + 0.031 * k, NoteOff(48 + 5 * k)});
    }
    // Bend acts from the control update that takes it over: on a control block
    // boundary (44 samples) that is its own sample whatever the host's blocks.
    play.push_back({44 * 120 / 44100.0, MidiMessage{0, 0xE0, 0, 80}});
    play.push_back({0.3, NoteOn(72)});
    Streams reference;
    for (int block : {4096, 1000, 256, 64, 7, 1}) {
        SCOPED_TRACE("block " + std::to_string(block));
        Instrument instrument(Framing::kExact, block);
        instrument.Apply("Output Brass=On|Output Strings=On|Strings Bowing=Off|"
                         "Flanger Strings=On|Stereo Ensemble=On|Vib. Delay=1|"
                         "VCA Attack=0.2|VCA Release=0.3|VCF EG Intensity=3000|"
                         "VCF Cutoff=0.5|VCF Decay=0.3|Brass Attack=0.25|Brass Release=0.3|"
                         "Brass EG Intensity=4000|Brass Cutoff=0.4|VCO 1 Wave=Pulse Width Mod");
        const Streams s = instrument.Play(play, 0.6);
        if (reference.empty()) {
            reference = s;
            continue;
        }
        for (int c = 0; c < 8; ++c)
            ASSERT_EQ(Peak(Difference(s[c], reference[c])), 0.0) << "channel " << c;
    }
    EXPECT_GT(Peak(reference[kBrassL]), 0.01);
    EXPECT_GT(Peak(reference[kStringsR]), 0.01);
}

// ---------------------------------------------------------------------------
// Extremes: nothing but finite, bounded samples on any channel, whatever the
// parameters hold, and values that are no numbers at all change nothing.

// At the default levels. With every level parameter at its top the mix may be
// up to 2 ("Volume ..." 1) x 2 ("Total Volume" 1) x 3.16 ("VCA Attenuator" +10 dB)
// times louder.
constexpr double kBound = 64.0;
constexpr double kLoudBound = kBound * 2.0 * 2.0 * 3.2;

void ExpectSane(const Streams& s, const std::string& what, double bound = kBound) {
    for (std::size_t c = 0; c < s.size(); ++c) {
        for (std::size_t n = 0; n < s[c].size(); ++n) {
            const double v = s[c][n];
            ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < bound)
                << what << ": channel " << c << " sample " << n << " = " << v;
        }
    }
}

std::vector<Timed> FullChord(int first, int count) {
    std::vector<Timed> chord;
    for (int k = 0; k < count; ++k)
        chord.push_back({0.0, NoteOn(first + k, 127)});
    return chord;
}

class Extremes : public SoundRoutingTest {};

// Every section and stage on, the flanger fed by all three at full feedback.
const char* const kEverythingOn =
    "Trident Mode=Off|Output Synthe=On|Output Brass=On|Output Strings=On|Flanger Synthe=On|"
    "Flanger Brass=On|Flanger Strings=On|Flanger Feedback=1|Strings Bowing=Off";

TEST_F(Extremes, EachParameterAtBothEndsWithEverythingOn) {
    Instrument instrument(Framing::kExact);
    instrument.Apply(kEverythingOn);
    Host& host = instrument.host();
    ExpectSane(instrument.Play(FullChord(40, 12), 0.1), "start");
    for (int i = 0; i < host.NumParams(); ++i) {
        const std::string name = host.ParamName(i);
        const float before = host.GetParameter(i);
        for (float end : {0.0f, 1.0f}) {
            host.SetParameter(i, end);
            // Sections and the voice count are what make the others audible
            // ("Trident Mode" silences at every change).
            if (name.rfind("Output", 0) == 0 || name == "Trident Mode")
                instrument.Play(FullChord(40, 12), 0.0);
            ExpectSane(instrument.Play({}, 0.03), name + " at " + std::to_string(end), kLoudBound);
        }
        host.SetParameter(i, before);
        instrument.Play(FullChord(40, 12), 0.0);
        const Streams s = instrument.Play({}, 0.02);
        ExpectSane(s, name + " back");
        EXPECT_GT(Rms(s[kTotalL]) + Rms(s[kTotalR]), 1e-3) << "silent after " << name;
    }
}

TEST_F(Extremes, RandomEndsOfEveryParameterAtOnce) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 12; ++round) {
        Instrument instrument(Framing::kExact);
        Host& host = instrument.host();
        for (int i = 0; i < host.NumParams(); ++i)
            host.SetParameter(i, static_cast<float>(random() & 1));
        // Whatever the rest holds, every section sounds at its loudest.
        instrument.Apply("Trident Mode=Off|Range Synthe=Both|Range Brass=Both|Range Strings=Both|"
                         "Output Synthe=On|Output Brass=On|Output Strings=On|Volume Synthe=1|"
                         "Volume Brass=1|Volume Strings=1|Total Volume=1|VCA Attack=0|"
                         "VCA Sustain=1|Brass Attack=0|Brass Sustain=1|Strings Attack=0|"
                         "VCO 1 PW/PWM=0|Brass Trigger Select=Off|Strings 8'=On");
        std::vector<Timed> play = FullChord(30, 20);
        play.push_back({0.05, MidiMessage{0, 0xE0, 127, 127}});
        play.push_back({0.05, MidiMessage{0, 0xB0, 1, 127}});
        const Streams out = instrument.Play(play, 0.5);
        ExpectSane(out, "round " + std::to_string(round), kLoudBound);
        // (Every pan may sit at one side.)
        EXPECT_GT(Rms(out[kTotalL], At(0.25), At(0.5)) + Rms(out[kTotalR], At(0.25), At(0.5)), 1e-3)
            << "round " << round;
    }
}

// NaN leaves a parameter as it was; infinities and huge values hold at the ends
// of its range. Either way the sound goes on, finite.
TEST_F(Extremes, ValuesBeyondTheRangeOrNoNumbersAtAll) {
    const float weird[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(), 1e30f, -1e30f};
    Instrument instrument(Framing::kExact);
    instrument.Apply(kEverythingOn);
    Host& host = instrument.host();
    instrument.Play(FullChord(40, 12), 0.05);
    for (float w : weird) {
        for (int i = 0; i < host.NumParams(); ++i) {
            const float before = host.GetParameter(i);
            host.SetParameter(i, w);
            const float back = host.GetParameter(i);
            if (std::isnan(w))
                EXPECT_EQ(back, before) << host.ParamName(i);
            else
                EXPECT_EQ(back, w > 0.0f ? 1.0f : 0.0f) << host.ParamName(i);
        }
        if (!std::isnan(w))
            instrument.Play(FullChord(40, 12), 0.0);
        ExpectSane(instrument.Play({}, 0.05), "value " + std::to_string(w), kLoudBound);
    }
}

// Sixty-four keys at full velocity in all three sections, everything through
// the flanger at full feedback, for seconds on end.
TEST_F(Extremes, SixtyFourVoiceChordsAtFullFeedbackStayBounded) {
    Instrument instrument(Framing::kExact);
    instrument.Apply(kEverythingOn);
    instrument.Apply("VCF Resonance=1|Brass Resonance=1|Flanger Intensity=1|Flanger Manual=1");
    std::vector<Timed> play = FullChord(32, 64);
    for (int k = 0; k < 64; ++k)
        play.push_back({1.5, NoteOff(32 + k)});
    for (const Timed& t : FullChord(33, 64))
        play.push_back({1.6, t.message});
    const Streams s = instrument.Play(play, 3.0);
    ExpectSane(s, "64 voices");
    EXPECT_GT(Rms(s[kTotalL], At(2.0), At(3.0)), 0.01);
}

} // namespace

} // namespace halvane

// The built-in bank as a player meets it: every program sounds at a sane level,
// and every name tells the truth about its sound.

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "support/PluginFixture.h"

namespace halvane {

using namespace vst;
using vsthost::Host;
using vsthost::MidiMessage;

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

class BankProgram {
public:
    explicit BankProgram(int program) {
        hosttest::IsolateSettings();
        host_ = hosttest::MakeHost(); // a fresh instance: each program starts from silence
        host_->Start(kRate, kBlock);
        host_->Dispatch(effSetProgram, 0, program);
    }
    Host& host() { return *host_; }
    std::string Name() {
        return host_->ProgramNameIndexed(static_cast<int>(host_->Dispatch(effGetProgram)));
    }
    std::string Shows(const char* param) { return host_->ParamDisplay(host_->FindParam(param)); }
    double Value(const char* param) { return std::stod(Shows(param)); }
    // Plays the notes for seconds and returns every output channel.
    std::vector<std::vector<float>> Play(std::vector<int> notes, double seconds, int wheel = 0) {
        host_->SendMidi({{0, 0xB0, 1, static_cast<uint8_t>(wheel)}});
        std::vector<MidiMessage> on;
        for (int n : notes)
            on.push_back({0, 0x90, static_cast<uint8_t>(n), 100});
        host_->SendMidi(on);
        std::vector<std::vector<float>> out(8);
        for (int b = 0; b < static_cast<int>(seconds * kRate) / kBlock; ++b) {
            host_->Process(kBlock);
            for (std::size_t c = 0; c < 8; ++c)
                out[c].insert(out[c].end(), host_->Outputs()[c].begin(), host_->Outputs()[c].end());
        }
        return out;
    }

private:
    std::unique_ptr<Host> host_;
};

double Db(double v) {
    return 20.0 * std::log10(v + 1e-12);
}

double PeakDb(const std::vector<float>& x, std::size_t from = 0) {
    double peak = 0.0;
    for (std::size_t i = from; i < x.size(); ++i)
        peak = std::fmax(peak, std::fabs(static_cast<double>(x[i])));
    return Db(peak);
}

// M_PI is POSIX, not standard C++, and strict mingw builds leave it out.
constexpr double kPi = 3.14159265358979323846;

// Energy of x near frequency f (a Goertzel filter over the last n samples).
double EnergyAt(const std::vector<float>& x, double f, std::size_t n) {
    const double w = 2.0 * kPi * f / kRate;
    double s1 = 0.0, s2 = 0.0;
    for (std::size_t i = x.size() - n; i < x.size(); ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / n);
        const double s = static_cast<double>(x[i]) * window + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
}

bool Has(const std::string& name, const char* word) {
    return name.find(word) != std::string::npos;
}

// A middle-C chord peaks between about -24 and -1 dBFS on the total outputs.
TEST(BuiltInBank, EveryProgramSoundsAtASaneLevel) {
    for (int p = 0; p < 64; ++p) {
        BankProgram program(p);
        const auto out = program.Play({60, 64, 67}, 3.0);
        const double db = std::fmax(PeakDb(out[0]), PeakDb(out[1]));
        EXPECT_GT(db, -25.0) << program.Name();
        EXPECT_LT(db, -0.9) << program.Name();
    }
}

TEST(BuiltInBank, NamesTellTheTruth) {
    for (int p = 0; p < 63; ++p) {
        BankProgram program(p);
        const std::string name = program.Name();
        const bool strings = program.Shows("Output Strings") == "On";
        const bool brass = program.Shows("Output Brass") == "On";
        const bool synthe = program.Shows("Output Synthe") == "On";
        const bool flanged = program.Shows("Flanger Synthe") == "On" ||
                             program.Shows("Flanger Brass") == "On" ||
                             program.Shows("Flanger Strings") == "On";
        EXPECT_TRUE(strings ||
                    !(Has(name, "Strings") || Has(name, "Quintum") || Has(name, "Ensemble")))
            << name;
        EXPECT_TRUE(brass || !Has(name, "Brass")) << name;
        EXPECT_TRUE(flanged || !(Has(name, "Flange") || Has(name, "Phasors"))) << name;
        EXPECT_TRUE(program.Shows("VCO 1 Octave") == "16'" || !Has(name, "Bass")) << name;
        // A fifth: seven semitones of section detune.
        EXPECT_TRUE(program.Value("Detune Brass") == 1.0 ||
                    program.Value("Detune Strings") == 1.0 || !Has(name, "Quint"))
            << name;
        // Pads are slow: every section in use takes a few tenths of a second to swell.
        if (Has(name, "Pad")) {
            EXPECT_TRUE(!synthe || program.Value("VCA Attack") >= 0.35) << name;
            EXPECT_TRUE(!strings || program.Value("Strings Attack") >= 0.35) << name;
            EXPECT_TRUE(!brass || program.Value("Brass Attack") >= 0.35) << name;
        }
        // Plucks and percussion are short: held, they die away within a second
        // and a half.
        if (Has(name, "Percussion") || Has(name, "Pings") || Has(name, "Plinker") ||
            Has(name, "Tickly") || Has(name, "Cemballoon") || Has(name, "Volley")) {
            const std::vector<float> left = program.Play({60}, 1.5)[0];
            EXPECT_LT(PeakDb(left, left.size() - 4410), PeakDb(left) - 30.0) << name;
        }
    }
}

TEST(BuiltInBank, RisingAnswersTheModulationWheel) {
    // With the wheel up, C4 trills up a fifth: G4 appears, which no harmonic of
    // C4 (or of the C3 an octave below) holds.
    const double c4 = 440.0 * std::pow(2.0, -9.0 / 12.0);
    const double g4 = c4 * std::pow(2.0, 7.0 / 12.0);
    BankProgram still(7);
    ASSERT_EQ(still.Name(), "Rising (use Mod Wheel)");
    const std::vector<float> plain = still.Play({60}, 2.0, 0)[0];
    BankProgram moved(7);
    const std::vector<float> wheel = moved.Play({60}, 2.0, 127)[0];
    const std::size_t n = 32768;
    const double plainRatio = EnergyAt(plain, g4, n) / EnergyAt(plain, c4, n);
    const double wheelRatio = EnergyAt(wheel, g4, n) / EnergyAt(wheel, c4, n);
    EXPECT_LT(plainRatio, 0.01);
    EXPECT_GT(wheelRatio, 0.1);
}

TEST(BuiltInBank, FunkySplitPlaysBassBelowAndBrassAbove) {
    enum { kSynthL = 2, kBrassL = 4 };
    BankProgram low(17);
    ASSERT_EQ(low.Name(), "Split: Funky Split!");
    const auto bass = low.Play({40}, 1.0);
    EXPECT_GT(PeakDb(bass[kSynthL]), -40.0);
    EXPECT_LT(PeakDb(bass[kBrassL]), -200.0);
    BankProgram high(17);
    const auto brass = high.Play({72}, 1.0);
    EXPECT_GT(PeakDb(brass[kBrassL]), -40.0);
    EXPECT_LT(PeakDb(brass[kSynthL]), -200.0);
}

} // namespace

} // namespace halvane

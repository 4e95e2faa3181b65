#pragma once
// One instance of the built plug-in played as a host plays it: started at 44100
// Hz on the "Init" program, parameters set by name and text, timed MIDI, the
// eight output channels rendered in double precision so that the mix is seen
// unrounded.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace halvane {

namespace hosttest {

// The plug-in's eight outputs, in order.
enum Channel { kTotalL, kTotalR, kSynthL, kSynthR, kBrassL, kBrassR, kStringsL, kStringsR };

using Signal = std::vector<double>;
using Streams = std::vector<Signal>; // one Signal per output channel

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

// A MIDI message due at a time from the start of a render.
struct Timed {
    double seconds;
    vsthost::MidiMessage message;
};

vsthost::MidiMessage NoteOn(int note, int velocity = 100);
vsthost::MidiMessage NoteOff(int note);

// How Play turns seconds into samples.
enum class Framing {
    // Whole host blocks until the length is reached (the render may run up to a
    // block longer); event times truncated to their sample.
    kWholeBlocks,
    // Exactly the length rounded to the nearest sample, the last block cut
    // short; event times rounded to the nearest sample.
    kExact,
};

class Instrument {
public:
    explicit Instrument(Framing framing = Framing::kWholeBlocks, int block = kBlock);

    vsthost::Host& host() { return *host_; }

    // As a host does on a running instance: suspend, new rate, resume.
    void SwitchRate(double rate);

    void Set(const std::string& name, const std::string& text);
    void Switch(const std::string& name, bool on) { Set(name, on ? "On" : "Off"); }
    // "Name=Value|Name=Value"
    void Apply(const std::string& settings);

    // Keys for the next block, at its first sample.
    void Key(int note, bool down);
    void Chord(std::initializer_list<int> notes);

    // The events at their samples (sorted by time first, equal times keeping
    // their order); what falls beyond the end goes with the next block.
    Streams Play(std::vector<Timed> events, double seconds);
    // frames samples without events (with kWholeBlocks, up to whole blocks).
    Streams Render(long frames) { return PlayFrames({}, frames); }

private:
    Streams PlayFrames(std::vector<Timed> events, long frames);
    long SampleOf(double seconds) const;

    std::unique_ptr<vsthost::Host> host_;
    Framing framing_;
    int block_;
    double rate_ = kRate;
};

// Isolates the settings of every test from the user's and from each other.
class InstrumentTest : public ::testing::Test {
protected:
    void SetUp() override;
};

} // namespace hosttest

} // namespace halvane

#include "support/Instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "support/PluginFixture.h"

namespace halvane {

namespace hosttest {

using vsthost::Host;
using vsthost::MidiMessage;

MidiMessage NoteOn(int note, int velocity) {
    return MidiMessage{0, 0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)};
}

MidiMessage NoteOff(int note) {
    return MidiMessage{0, 0x80, static_cast<uint8_t>(note), 0};
}

Instrument::Instrument(Framing framing, int block)
    : host_(MakeHost()), framing_(framing), block_(block) {
    host_->Start(kRate, block);
    const int init = host_->FindProgram("Init");
    EXPECT_GE(init, 0);
    if (init >= 0)
        host_->Dispatch(vst::effSetProgram, 0, init);
}

void Instrument::SwitchRate(double rate) {
    rate_ = rate;
    host_->Suspend();
    host_->Dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    host_->Resume();
}

void Instrument::Set(const std::string& name, const std::string& text) {
    const int index = host_->FindParam(name);
    ASSERT_GE(index, 0) << name;
    ASSERT_TRUE(host_->SetParamFromText(index, text)) << name << " = " << text;
}

void Instrument::Apply(const std::string& settings) {
    std::size_t at = 0;
    while (at < settings.size()) {
        std::size_t end = settings.find('|', at);
        if (end == std::string::npos)
            end = settings.size();
        const std::string item = settings.substr(at, end - at);
        const std::size_t eq = item.find('=');
        ASSERT_NE(eq, std::string::npos) << item;
        Set(item.substr(0, eq), item.substr(eq + 1));
        at = end + 1;
    }
}

void Instrument::Key(int note, bool down) {
    host_->SendMidi({down ? NoteOn(note) : NoteOff(note)});
}

void Instrument::Chord(std::initializer_list<int> notes) {
    std::vector<MidiMessage> on;
    for (int note : notes)
        on.push_back(NoteOn(note));
    host_->SendMidi(on);
}

Streams Instrument::Play(std::vector<Timed> events, double seconds) {
    std::stable_sort(events.begin(), events.end(),
                     [](const Timed& a, const Timed& b) { return a.seconds < b.seconds; });
    return PlayFrames(std::move(events), SampleOf(seconds));
}

long Instrument::SampleOf(double seconds) const {
    return framing_ == Framing::kExact ? std::lround(seconds * rate_)
                                       : static_cast<long>(seconds * rate_);
}

Streams Instrument::PlayFrames(std::vector<Timed> events, long frames) {
    Streams out(8);
    std::size_t next = 0;
    for (long start = 0; start < frames; start += block_) {
        const long length =
            framing_ == Framing::kExact ? std::min<long>(block_, frames - start) : block_;
        std::vector<MidiMessage> due;
        for (; next < events.size(); ++next) {
            const long at = SampleOf(events[next].seconds);
            if (at >= start + length)
                break;
            MidiMessage m = events[next].message;
            m.offset = static_cast<int32_t>(at > start ? at - start : 0);
            due.push_back(m);
        }
        if (!due.empty())
            host_->SendMidi(due);
        host_->Process(static_cast<int>(length), Host::Precision::kDouble);
        for (std::size_t c = 0; c < 8; ++c)
            out[c].insert(out[c].end(), host_->OutputsDouble()[c].begin(),
                          host_->OutputsDouble()[c].begin() + length);
    }
    std::vector<MidiMessage> later;
    for (; next < events.size(); ++next)
        later.push_back(events[next].message);
    if (!later.empty())
        host_->SendMidi(later);
    return out;
}

void InstrumentTest::SetUp() {
    IsolateSettings();
}

} // namespace hosttest

} // namespace halvane

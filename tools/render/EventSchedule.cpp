#include "tools/render/EventSchedule.h"

#include <algorithm>
#include <array>

namespace halvane {

namespace {

constexpr double kDefaultBpm = 120.0;
constexpr uint8_t kSustain = 64;
constexpr uint8_t kAllSoundOff = 120;
constexpr uint8_t kAllNotesOff = 123;

} // namespace

void EventSchedule::Build(const MidiFile& file, double sampleRate) {
    events_.clear();
    tempo_.clear();
    next_ = 0;
    releasedAtEnd_ = 0;

    // Note-ons not yet answered by a note-off, per channel and key, and pedals down.
    std::array<std::array<int, 128>, 16> held{};
    std::array<bool, 16> pedal{};
    events_.reserve(file.events.size());
    for (const MidiFileEvent& e : file.events) {
        events_.push_back({file.SampleOf(e, sampleRate), e.status, e.data1, e.data2});
        const int kind = e.status >> 4;
        const std::size_t channel = e.status & 0x0F;
        const std::size_t key = e.data1 & 0x7F;
        if (kind == 0x9 && e.data2 != 0) {
            ++held[channel][key];
        } else if (kind == 0x8 || kind == 0x9) {
            held[channel][key] = std::max(held[channel][key] - 1, 0);
        } else if (kind == 0xB && e.data1 == kSustain) {
            pedal[channel] = e.data2 != 0;
        } else if (kind == 0xB && (e.data1 == kAllNotesOff || e.data1 == kAllSoundOff)) {
            held[channel].fill(0);
        }
    }
    // Positions follow ticks, so this only guards the order promised to plug-ins.
    std::stable_sort(
        events_.begin(), events_.end(),
        [](const ScheduledEvent& a, const ScheduledEvent& b) { return a.sample < b.sample; });

    endSample_ = file.TickToSample(file.endTick, sampleRate);
    if (!events_.empty())
        endSample_ = std::max(endSample_, events_.back().sample);
    for (std::size_t channel = 0; channel < held.size(); ++channel) {
        for (std::size_t key = 0; key < 128; ++key) {
            for (int n = 0; n < held[channel][key]; ++n) {
                events_.push_back({endSample_, static_cast<uint8_t>(0x80 | channel),
                                   static_cast<uint8_t>(key), 0});
                ++releasedAtEnd_;
            }
        }
    }
    for (std::size_t channel = 0; channel < pedal.size(); ++channel)
        if (pedal[channel])
            events_.push_back({endSample_, static_cast<uint8_t>(0xB0 | channel), kSustain, 0});

    if (file.ticksPerQuarter > 0) {
        for (const TempoSegment& segment : file.tempoMap) {
            const double secondsPerQuarter =
                file.ticksPerQuarter * segment.numerator / segment.denominator;
            if (secondsPerQuarter > 0.0)
                tempo_.push_back(
                    {file.TickToSample(segment.tick, sampleRate), 60.0 / secondsPerQuarter});
        }
    }
}

double EventSchedule::TempoAt(uint64_t sample) const {
    const auto after = std::upper_bound(
        tempo_.begin(), tempo_.end(), sample,
        [](uint64_t position, const TempoPoint& point) { return position < point.sample; });
    return after == tempo_.begin() ? kDefaultBpm : std::prev(after)->bpm;
}

void EventSchedule::TakeBlock(uint64_t start, int frames, std::vector<vsthost::MidiMessage>& out) {
    out.clear();
    while (next_ < events_.size() && events_[next_].sample < start)
        ++next_;
    const uint64_t end = start + static_cast<uint64_t>(std::max(frames, 0));
    while (next_ < events_.size() && events_[next_].sample < end) {
        const ScheduledEvent& e = events_[next_++];
        out.push_back({static_cast<int32_t>(e.sample - start), e.status, e.data1, e.data2});
    }
}

} // namespace halvane

#include "tools/render/SmfReader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace halvane {

namespace {

constexpr uint32_t kDefaultMicrosecondsPerQuarter = 500000; // 120 BPM
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr int kMaxVlqBytes = 4;

uint32_t ReadBigEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

std::string HexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

// Chunk ids come straight from the file; anything unprintable is shown as '?'.
std::string ChunkName(const uint8_t* id) {
    std::string name;
    for (int i = 0; i < 4; ++i)
        name += (id[i] >= 0x20 && id[i] < 0x7F) ? static_cast<char>(id[i]) : '?';
    return name;
}

struct TempoChange {
    uint64_t tick;
    uint32_t microsecondsPerQuarter;
};

// Parses the body of one MTrk chunk. `base` is the chunk body's offset in the file,
// used only for messages.
class TrackParser {
public:
    TrackParser(const uint8_t* data, std::size_t size, std::size_t base, int track)
        : data_(data), size_(size), base_(base), track_(track) {}

    bool Parse(std::vector<MidiFileEvent>& events, std::vector<TempoChange>& tempos,
               uint64_t& endTick, std::string& error) {
        uint64_t tick = 0;
        // Kept across meta and SysEx events: a data byte there can only mean the last
        // channel status, and some writers rely on it.
        uint8_t running = 0;
        while (pos_ < size_) {
            uint32_t delta = 0;
            if (!ReadVlq(delta, error))
                return false;
            tick += delta;
            if (pos_ >= size_)
                return Fail("track ends after a delta time, without an event", error);
            const uint8_t lead = data_[pos_];
            if (lead == 0xFF) {
                bool endOfTrack = false;
                if (!ParseMeta(tick, tempos, endOfTrack, error))
                    return false;
                if (endOfTrack)
                    break; // whatever follows End of Track inside the chunk is not part of it
            } else if (lead == 0xF0 || lead == 0xF7) {
                ++pos_;
                uint32_t length = 0;
                if (!ReadVlq(length, error))
                    return false;
                if (length > size_ - pos_)
                    return Fail("SysEx length " + std::to_string(length) +
                                    " runs past the end of the track",
                                error);
                pos_ += length;
            } else if (lead >= 0xF0) {
                return Fail("status byte " + HexByte(lead) + " is not allowed in a MIDI file",
                            error);
            } else {
                uint8_t status = running;
                if (lead & 0x80) {
                    status = lead;
                    running = lead;
                    ++pos_;
                } else if (running == 0) {
                    return Fail("running status without a previous status byte", error);
                }
                const std::size_t count = ((status & 0xE0) == 0xC0) ? 1 : 2;
                if (size_ - pos_ < count)
                    return Fail("channel message " + HexByte(status) + " is cut off", error);
                MidiFileEvent event;
                event.tick = tick;
                event.status = status;
                event.track = static_cast<uint16_t>(track_);
                uint8_t* bytes[2] = {&event.data1, &event.data2};
                for (std::size_t i = 0; i < count; ++i) {
                    if (data_[pos_] & 0x80)
                        return Fail("data byte " + HexByte(data_[pos_]) + " of channel message " +
                                        HexByte(status) + " is not below 0x80",
                                    error);
                    *bytes[i] = data_[pos_++];
                }
                events.push_back(event);
            }
        }
        endTick = tick;
        return true;
    }

private:
    bool Fail(const std::string& what, std::string& error) const {
        error = "track " + std::to_string(track_ + 1) + ", byte " + std::to_string(base_ + pos_) +
                ": " + what;
        return false;
    }

    bool ReadVlq(uint32_t& value, std::string& error) {
        value = 0;
        for (int i = 0; i < kMaxVlqBytes; ++i) {
            if (pos_ >= size_)
                return Fail("variable-length quantity is cut off", error);
            const uint8_t byte = data_[pos_++];
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                return true;
        }
        return Fail("variable-length quantity longer than 4 bytes", error);
    }

    bool ParseMeta(uint64_t tick, std::vector<TempoChange>& tempos, bool& endOfTrack,
                   std::string& error) {
        ++pos_; // 0xFF
        if (pos_ >= size_)
            return Fail("meta event without a type", error);
        const uint8_t type = data_[pos_++];
        uint32_t length = 0;
        if (!ReadVlq(length, error))
            return false;
        if (length > size_ - pos_)
            return Fail("meta event " + HexByte(type) + " length " + std::to_string(length) +
                            " runs past the end of the track",
                        error);
        if (type == 0x51) {
            if (length != 3)
                return Fail("tempo event with " + std::to_string(length) +
                                " data bytes instead of 3",
                            error);
            const uint32_t tempo = ReadBigEndian(data_ + pos_, 3);
            if (tempo == 0)
                return Fail("tempo of 0 microseconds per quarter note", error);
            tempos.push_back({tick, tempo});
        } else if (type == 0x2F) {
            endOfTrack = true;
        }
        pos_ += length;
        return true;
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t base_;
    int track_;
    std::size_t pos_ = 0;
};

bool ParseDivision(uint16_t division, MidiFile& out, std::string& error) {
    if (division & 0x8000) {
        const int frames = -static_cast<int>(static_cast<int8_t>(division >> 8));
        const int ticks = division & 0xFF;
        if (frames != 24 && frames != 25 && frames != 29 && frames != 30) {
            error = "SMPTE division with " + std::to_string(frames) +
                    " frames per second (expected 24, 25, 29 or 30)";
            return false;
        }
        if (ticks == 0) {
            error = "SMPTE division with 0 ticks per frame";
            return false;
        }
        out.smpteFramesPerSecond = frames;
        out.ticksPerFrame = ticks;
        return true;
    }
    if (division == 0) {
        error = "division of 0 ticks per quarter note";
        return false;
    }
    out.ticksPerQuarter = division;
    return true;
}

void BuildTempoMap(std::vector<TempoChange>& tempos, MidiFile& out) {
    if (out.ticksPerQuarter == 0) {
        // Time code: every tick has the same length and tempo events do not apply.
        // "29" is the 29.97 drop-frame rate, 30000/1001 frames per second.
        TempoSegment segment;
        if (out.smpteFramesPerSecond == 29) {
            segment.numerator = 1001.0;
            segment.denominator = 30000.0 * out.ticksPerFrame;
        } else {
            segment.numerator = 1.0;
            segment.denominator = static_cast<double>(out.smpteFramesPerSecond) * out.ticksPerFrame;
        }
        out.tempoMap.push_back(segment);
        return;
    }
    const double denominator = static_cast<double>(out.ticksPerQuarter) * 1e6;
    TempoSegment first;
    first.numerator = kDefaultMicrosecondsPerQuarter;
    first.denominator = denominator;
    out.tempoMap.push_back(first);
    // Tempo events may sit in any track; at one tick the last one in track order wins.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    for (const TempoChange& change : tempos) {
        TempoSegment& last = out.tempoMap.back();
        if (change.tick == last.tick) {
            last.numerator = change.microsecondsPerQuarter;
            continue;
        }
        TempoSegment next;
        next.tick = change.tick;
        next.seconds = last.seconds + static_cast<double>(change.tick - last.tick) *
                                          last.numerator / last.denominator;
        next.numerator = change.microsecondsPerQuarter;
        next.denominator = denominator;
        out.tempoMap.push_back(next);
    }
}

bool ParseInto(const uint8_t* data, std::size_t size, MidiFile& out, std::string& error) {
    if (size == 0) {
        error = "file is empty";
        return false;
    }
    if (size < kChunkHeaderBytes || std::memcmp(data, "MThd", 4) != 0) {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const uint32_t headerLength = ReadBigEndian(data + 4, 4);
    if (headerLength < 6) {
        error = "header chunk too short (" + std::to_string(headerLength) + " bytes)";
        return false;
    }
    if (headerLength > size - kChunkHeaderBytes) {
        error = "header chunk runs past the end of the file";
        return false;
    }
    const uint8_t* header = data + kChunkHeaderBytes;
    const int format = static_cast<int>(ReadBigEndian(header, 2));
    const int tracks = static_cast<int>(ReadBigEndian(header + 2, 2));
    if (format == 2) {
        error = "format 2 (independent sequences) is not supported; only formats 0 and 1";
        return false;
    }
    if (format > 2) {
        error = "unknown format " + std::to_string(format);
        return false;
    }
    if (tracks == 0) {
        error = "file holds no tracks";
        return false;
    }
    if (format == 0 && tracks != 1) {
        error = "format 0 file announces " + std::to_string(tracks) + " tracks instead of 1";
        return false;
    }
    out.format = format;
    if (!ParseDivision(static_cast<uint16_t>(ReadBigEndian(header + 4, 2)), out, error))
        return false;

    std::size_t pos = kChunkHeaderBytes + headerLength;
    // Every track needs at least a chunk header, so a count the file cannot hold is a
    // lie we can refuse before trusting it.
    const std::size_t room = (size - pos) / kChunkHeaderBytes;
    if (static_cast<std::size_t>(tracks) > room) {
        error = "header announces " + std::to_string(tracks) +
                " tracks but the file has room for at most " + std::to_string(room);
        return false;
    }

    std::vector<TempoChange> tempos;
    int read = 0;
    while (read < tracks) {
        if (size - pos < kChunkHeaderBytes) {
            error = "file ends after " + std::to_string(read) + " of " + std::to_string(tracks) +
                    " tracks";
            return false;
        }
        const uint8_t* chunk = data + pos;
        const uint32_t length = ReadBigEndian(chunk + 4, 4);
        const std::size_t body = pos + kChunkHeaderBytes;
        if (length > size - body) {
            error = "chunk '" + ChunkName(chunk) + "' at byte " + std::to_string(pos) + " claims " +
                    std::to_string(length) + " bytes but only " + std::to_string(size - body) +
                    " remain";
            return false;
        }
        if (std::memcmp(chunk, "MTrk", 4) == 0) {
            uint64_t endTick = 0;
            TrackParser parser(data + body, length, body, read);
            if (!parser.Parse(out.events, tempos, endTick, error))
                return false;
            out.endTick = std::max(out.endTick, endTick);
            ++read;
        }
        // Chunks of other kinds are skipped, as readers are meant to.
        pos = body + length;
    }
    out.trackCount = read;

    BuildTempoMap(tempos, out);
    // Tracks were appended in order and each in file order, so a stable sort by tick
    // gives the merge order we promise.
    std::stable_sort(
        out.events.begin(), out.events.end(),
        [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
    for (MidiFileEvent& event : out.events)
        event.seconds = out.TickToSeconds(event.tick);
    out.duration = out.TickToSeconds(out.endTick);
    return true;
}

} // namespace

double MidiFile::TickToSeconds(uint64_t tick) const {
    if (tempoMap.empty())
        return 0.0;
    auto next = std::upper_bound(tempoMap.begin(), tempoMap.end(), tick,
                                 [](uint64_t t, const TempoSegment& s) { return t < s.tick; });
    const TempoSegment& segment = (next == tempoMap.begin()) ? tempoMap.front() : *(next - 1);
    if (tick < segment.tick)
        return segment.seconds;
    return segment.seconds +
           static_cast<double>(tick - segment.tick) * segment.numerator / segment.denominator;
}

uint64_t MidiFile::TickToSample(uint64_t tick, double sampleRate) const {
    return SecondsToSamples(TickToSeconds(tick), sampleRate);
}

uint64_t SecondsToSamples(double seconds, double sampleRate) {
    const double position = std::floor(seconds * sampleRate + 0.5);
    if (!(position > 0.0))
        return 0; // also NaN
    if (position >= 9.2e18)
        return UINT64_C(9200000000000000000);
    return static_cast<uint64_t>(position);
}

bool ParseMidi(const uint8_t* data, std::size_t size, MidiFile& out, std::string& error) {
    out = MidiFile();
    if (data == nullptr && size != 0) {
        error = "no data";
        return false;
    }
    if (!ParseInto(data, size, out, error)) {
        out = MidiFile();
        return false;
    }
    return true;
}

bool ReadMidiFile(const std::string& path, MidiFile& out, std::string& error) {
    out = MidiFile();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a directory";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // Read one byte past the limit, so an oversized file is noticed without its size
    // having to be known up front (pipes have none).
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    bool failed = false;
    while (bytes.size() <= kMaxMidiFileBytes) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (got < sizeof buffer) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = path + ": " + std::strerror(readErrno);
        return false;
    }
    if (bytes.size() > kMaxMidiFileBytes) {
        error = path + ": too large for a MIDI file (over " +
                std::to_string(kMaxMidiFileBytes / (1024 * 1024)) + " MiB)";
        return false;
    }
    std::string parseError;
    if (!ParseMidi(bytes.data(), bytes.size(), out, parseError)) {
        error = path + ": " + parseError;
        return false;
    }
    return true;
}

} // namespace halvane

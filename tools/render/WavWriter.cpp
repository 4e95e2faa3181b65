#include "tools/render/WavWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace halvane {

namespace {

// RIFF counts sizes in 32 bits; leave room for the header chunks libsndfile adds
// (fmt, fact, PEAK) so the whole file stays addressable.
constexpr uint64_t kMaxWaveDataBytes = UINT64_C(0xFFFFFFFF) - 65536;

// Integer samples are handed to libsndfile as 32-bit values whose top bits are kept,
// so the conversion below decides the rounding and clipping, not the library.
constexpr std::size_t kChunkFrames = 4096;

int SubFormat(SampleFormat format) {
    switch (format) {
    case SampleFormat::Int16:
        return SF_FORMAT_PCM_16;
    case SampleFormat::Int24:
        return SF_FORMAT_PCM_24;
    case SampleFormat::Float32:
        break;
    }
    return SF_FORMAT_FLOAT;
}

// Rounds to the nearest step of a `bits`-bit sample, clips to its range and returns
// it scaled to the full 32-bit range.
int ToInt32(float sample, int bits) {
    const double full = std::ldexp(1.0, bits - 1);
    double value = static_cast<double>(sample);
    if (std::isnan(value))
        return 0;
    value = std::nearbyint(value * full);
    value = std::clamp(value, -full, full - 1.0);
    return static_cast<int>(value) * (1 << (32 - bits));
}

} // namespace

int BytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::Int16:
        return 2;
    case SampleFormat::Int24:
        return 3;
    case SampleFormat::Float32:
        break;
    }
    return 4;
}

WavWriter::WavWriter() = default;

WavWriter::~WavWriter() {
    Close();
}

bool WavWriter::NeedsRf64(int channels, SampleFormat format, uint64_t frames) {
    const uint64_t frameBytes = static_cast<uint64_t>(std::max(channels, 1)) *
                                static_cast<uint64_t>(BytesPerSample(format));
    return frames > kMaxWaveDataBytes / frameBytes;
}

bool WavWriter::Open(const std::string& path, int channels, int sampleRate, SampleFormat format,
                     std::string& error, uint64_t expectedFrames) {
    Close();
    error_.clear();
    failed_ = false;
    framesWritten_ = 0;
    if (channels < 1 || channels > kMaxChannels) {
        error = path + ": cannot write " + std::to_string(channels) + " channels (1 to " +
                std::to_string(kMaxChannels) + ")";
        return false;
    }
    if (sampleRate <= 0) {
        error = path + ": invalid sample rate " + std::to_string(sampleRate);
        return false;
    }
    rf64_ = NeedsRf64(channels, format, expectedFrames);
    int container = channels > 2 ? SF_FORMAT_WAVEX : SF_FORMAT_WAV;
    if (rf64_)
        container = SF_FORMAT_RF64;
    SF_INFO info = {};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = container | SubFormat(format);
    if (!sf_format_check(&info)) {
        error = path + ": libsndfile cannot write this format";
        return false;
    }
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (rf64_)
        sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    file_ = file;
    path_ = path;
    channels_ = channels;
    format_ = format;
    if (format != SampleFormat::Float32)
        scratch_.assign(kChunkFrames * static_cast<std::size_t>(channels), 0);
    return true;
}

bool WavWriter::Fail(const std::string& what) {
    error_ = path_ + ": " + what;
    failed_ = true;
    return false;
}

bool WavWriter::Write(const float* interleaved, std::size_t frames) {
    if (file_ == nullptr) {
        error_ = "no file open";
        return false;
    }
    if (failed_)
        return false; // the file already misses samples; appending more would hide that
    if (frames == 0)
        return true;
    if (interleaved == nullptr)
        return Fail("no samples to write");
    if (!rf64_ && NeedsRf64(channels_, format_, framesWritten_ + frames))
        return Fail("output would exceed the 4 GiB limit of a WAV file");
    if (format_ != SampleFormat::Float32)
        return WriteIntegers(interleaved, frames);
    const sf_count_t written = sf_writef_float(file_, interleaved, static_cast<sf_count_t>(frames));
    if (written > 0)
        framesWritten_ += static_cast<uint64_t>(written);
    if (written != static_cast<sf_count_t>(frames))
        return Fail(sf_strerror(file_));
    return true;
}

bool WavWriter::WriteIntegers(const float* interleaved, std::size_t frames) {
    const int bits = format_ == SampleFormat::Int16 ? 16 : 24;
    const std::size_t channels = static_cast<std::size_t>(channels_);
    while (frames > 0) {
        const std::size_t chunk = std::min(frames, kChunkFrames);
        const std::size_t samples = chunk * channels;
        for (std::size_t i = 0; i < samples; ++i)
            scratch_[i] = ToInt32(interleaved[i], bits);
        const sf_count_t written =
            sf_writef_int(file_, scratch_.data(), static_cast<sf_count_t>(chunk));
        if (written > 0)
            framesWritten_ += static_cast<uint64_t>(written);
        if (written != static_cast<sf_count_t>(chunk))
            return Fail(sf_strerror(file_));
        interleaved += samples;
        frames -= chunk;
    }
    return true;
}

bool WavWriter::Close() {
    if (file_ == nullptr)
        return !failed_;
    const int result = sf_close(file_);
    file_ = nullptr;
    if (result != 0 && !failed_)
        Fail(sf_error_number(result));
    return !failed_;
}

} // namespace halvane

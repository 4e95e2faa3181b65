#pragma once
// WAV output of the command-line renderer, on libsndfile. Takes interleaved float
// frames and writes them as 32-bit float, 16-bit or 24-bit PCM.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE

namespace halvane {

enum class SampleFormat { Float32, Int16, Int24 };

// Bytes one sample takes in the file.
int BytesPerSample(SampleFormat format);

class WavWriter {
public:
    static constexpr int kMaxChannels = 64;

    WavWriter();
    ~WavWriter(); // closes an open file
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or replaces) the file. Mono and stereo are plain WAVE, more channels
    // WAVE_FORMAT_EXTENSIBLE. `expectedFrames` is a hint of the final length: when it
    // would not fit the 4 GiB limit of RIFF, the file is RF64 (written as plain WAVE
    // all the same when it turns out small enough). Any file already open is closed.
    bool Open(const std::string& path, int channels, int sampleRate, SampleFormat format,
              std::string& error, uint64_t expectedFrames = 0);

    // Writes `frames` frames of `channels` interleaved samples. Float files take the
    // values as they are, including overs and non-finite values; integer files clip
    // to the format's range, round to nearest and write NaN as 0, with full scale at
    // 2^(bits - 1), the scale libsndfile reads back as 1.0. Fails (and sets Error())
    // on a write error or when a plain WAVE file would grow past 4 GiB.
    bool Write(const float* interleaved, std::size_t frames);

    // Finishes the header and closes. True when nothing failed since Open.
    bool Close();

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Error() const { return error_; }
    uint64_t FramesWritten() const { return framesWritten_; }
    int Channels() const { return channels_; }

    // Whether a file of this shape needs RF64 to stay valid.
    static bool NeedsRf64(int channels, SampleFormat format, uint64_t frames);

private:
    bool WriteIntegers(const float* interleaved, std::size_t frames);
    bool Fail(const std::string& what);

    sf_private_tag* file_ = nullptr;
    std::string path_;
    std::string error_;
    int channels_ = 0;
    SampleFormat format_ = SampleFormat::Float32;
    bool rf64_ = false;
    bool failed_ = false;
    uint64_t framesWritten_ = 0;
    std::vector<int> scratch_; // integer samples on their way to libsndfile
};

} // namespace halvane

#include "tools/render/WavWriter.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace halvane {

namespace {

std::string TempPath(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "wav_writer";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// A whole file read back through libsndfile, as floats and as 32-bit integers.
struct ReadBack {
    SF_INFO info = {};
    std::vector<float> floats;
    std::vector<int> ints;
};

ReadBack Read(const std::string& path) {
    ReadBack back;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &back.info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr)
        return back;
    const std::size_t samples = static_cast<std::size_t>(back.info.frames * back.info.channels);
    back.floats.resize(samples);
    back.ints.resize(samples);
    EXPECT_EQ(sf_readf_float(file, back.floats.data(), back.info.frames), back.info.frames);
    sf_seek(file, 0, SEEK_SET);
    EXPECT_EQ(sf_readf_int(file, back.ints.data(), back.info.frames), back.info.frames);
    sf_close(file);
    return back;
}

// The integer a `bits`-bit file must hold for x: nearest step of 2^-(bits-1),
// clipped to the format's range, NaN as 0.
long long Quantised(float x, int bits) {
    const double full = std::ldexp(1.0, bits - 1);
    if (std::isnan(x))
        return 0;
    const double v = std::nearbyint(static_cast<double>(x) * full);
    if (v >= full)
        return static_cast<long long>(full) - 1;
    if (v < -full)
        return -static_cast<long long>(full);
    return static_cast<long long>(v);
}

} // namespace

TEST(WavWriter, FloatStereoKeepsEveryValueAcrossWrites) {
    const std::string path = TempPath("float.wav");
    const std::vector<float> first = {0.0f, 1.0f, -1.0f, 0.25f, 1.5f, -2.0f};
    const std::vector<float> second = {1e-30f, -3.75e-4f, 7.0f, -0.0f};
    WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, 2, 48000, SampleFormat::Float32, error)) << error;
    ASSERT_TRUE(writer.Write(first.data(), 3));
    ASSERT_TRUE(writer.Write(second.data(), 2));
    ASSERT_TRUE(writer.Write(nullptr, 0));
    EXPECT_EQ(writer.FramesWritten(), 5u);
    ASSERT_TRUE(writer.Close());
    EXPECT_FALSE(writer.IsOpen());

    const ReadBack back = Read(path);
    EXPECT_EQ(back.info.channels, 2);
    EXPECT_EQ(back.info.samplerate, 48000);
    EXPECT_EQ(back.info.frames, 5);
    EXPECT_EQ(back.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::vector<float> all = first;
    all.insert(all.end(), second.begin(), second.end());
    ASSERT_EQ(back.floats.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(back.floats[i], all[i]) << "sample " << i; // overs are not clipped
}

TEST(WavWriter, IntegerFormatsRoundToNearestClipAndSilenceNan) {
    const float lsb16 = 1.0f / 32768.0f;
    const std::vector<float> input = {0.0f,
                                      0.5f,
                                      -0.5f,
                                      1.0f, // one step short of 2^15: clips to 32767
                                      -1.0f,
                                      1.5f,
                                      -1.5f,
                                      std::numeric_limits<float>::quiet_NaN(),
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      0.49f * lsb16,
                                      0.51f * lsb16,
                                      -0.51f * lsb16,
                                      1000.25f * lsb16,
                                      0.123456789f};
    for (const auto& [format, bits, sfFormat] :
         {std::tuple{SampleFormat::Int16, 16, SF_FORMAT_PCM_16},
          std::tuple{SampleFormat::Int24, 24, SF_FORMAT_PCM_24}}) {
        const std::string path = TempPath("int" + std::to_string(bits) + ".wav");
        WavWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(path, 1, 44100, format, error)) << error;
        ASSERT_TRUE(writer.Write(input.data(), input.size()));
        ASSERT_TRUE(writer.Close());

        const ReadBack back = Read(path);
        EXPECT_EQ(back.info.format, SF_FORMAT_WAV | sfFormat);
        EXPECT_EQ(back.info.channels, 1);
        ASSERT_EQ(back.ints.size(), input.size());
        for (std::size_t i = 0; i < input.size(); ++i) {
            // libsndfile returns integer samples scaled to the full 32-bit range.
            const long long stored = back.ints[i] / (1LL << (32 - bits));
            EXPECT_EQ(stored, Quantised(input[i], bits)) << bits << " bit, sample " << i;
        }
        // Full scale is 2^(bits-1), the scale libsndfile reads back as 1.0: values on
        // the grid come back as themselves, others within half a step.
        for (std::size_t i = 0; i < input.size(); ++i)
            EXPECT_EQ(back.floats[i],
                      static_cast<float>(
                          std::ldexp(static_cast<double>(Quantised(input[i], bits)), 1 - bits)))
                << bits << " bit, sample " << i;
        EXPECT_EQ(back.floats[1], 0.5f);
        EXPECT_NEAR(static_cast<double>(back.floats[14]), static_cast<double>(input[14]),
                    std::ldexp(0.5, 1 - bits));
    }
}

TEST(WavWriter, EightChannelsAreExtensibleAndKeepTheirOrderOverLongWrites) {
    // 10000 frames cross the writer's internal conversion chunks several times; each
    // channel carries a sine of its own frequency, so any slip of the interleaving shows.
    const std::string path = TempPath("eight.wav");
    const int channels = 8;
    const std::size_t frames = 10000;
    std::vector<float> input(frames * channels);
    auto value = [](std::size_t frame, int channel) {
        const double pi = 3.14159265358979323846;
        return static_cast<float>(
            0.9 * std::sin(2.0 * pi * (channel + 1) * 0.001 * static_cast<double>(frame)));
    };
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            input[f * channels + c] = value(f, c);

    WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, channels, 96000, SampleFormat::Int24, error)) << error;
    ASSERT_TRUE(writer.Write(input.data(), frames));
    ASSERT_TRUE(writer.Close());

    const ReadBack back = Read(path);
    EXPECT_EQ(back.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAVEX);
    EXPECT_EQ(back.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
    EXPECT_EQ(back.info.channels, channels);
    EXPECT_EQ(back.info.samplerate, 96000);
    ASSERT_EQ(back.info.frames, static_cast<sf_count_t>(frames));
    const double halfStep = std::ldexp(1.0, -24);
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            ASSERT_NEAR(static_cast<double>(back.floats[f * channels + c]),
                        static_cast<double>(value(f, c)), halfStep * 1.01)
                << "frame " << f << ", channel " << c;
}

TEST(WavWriter, LongFilesAreRf64WhenTheyCouldPassTheRiffLimit) {
    // 4 GiB of stereo float is 2^29 frames; a little less still fits a plain RIFF.
    EXPECT_TRUE(WavWriter::NeedsRf64(2, SampleFormat::Float32, UINT64_C(1) << 29));
    EXPECT_FALSE(WavWriter::NeedsRf64(2, SampleFormat::Float32, 500000000));
    EXPECT_TRUE(WavWriter::NeedsRf64(8, SampleFormat::Int24, 180000000));
    EXPECT_FALSE(WavWriter::NeedsRf64(1, SampleFormat::Int16, 2000000000));
    EXPECT_TRUE(WavWriter::NeedsRf64(8, SampleFormat::Float32, UINT64_MAX));

    // Announced long but ending short: still a valid file with the samples in it.
    const std::string path = TempPath("rf64.wav");
    WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, 2, 44100, SampleFormat::Float32, error, UINT64_C(1) << 30))
        << error;
    const float samples[4] = {0.5f, -0.5f, 0.25f, -0.25f};
    ASSERT_TRUE(writer.Write(samples, 2));
    ASSERT_TRUE(writer.Close());
    const ReadBack back = Read(path);
    EXPECT_EQ(back.info.channels, 2);
    ASSERT_EQ(back.info.frames, 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(back.floats[i], samples[i]);
}

TEST(WavWriter, RefusesBadRequestsWithAMessage) {
    WavWriter writer;
    std::string error;
    const std::string path = TempPath("bad.wav");
    EXPECT_FALSE(writer.Open(path, 0, 44100, SampleFormat::Float32, error));
    EXPECT_NE(error.find("0 channels"), std::string::npos) << error;
    EXPECT_FALSE(writer.Open(path, WavWriter::kMaxChannels + 1, 44100, SampleFormat::Int16, error));
    EXPECT_FALSE(writer.Open(path, 2, 0, SampleFormat::Int16, error));
    EXPECT_NE(error.find("sample rate"), std::string::npos) << error;

    const std::string unreachable = TempPath("no-such-folder") + "/x/out.wav";
    EXPECT_FALSE(writer.Open(unreachable, 2, 44100, SampleFormat::Float32, error));
    EXPECT_EQ(error.rfind(unreachable + ": ", 0), 0u) << error;
    EXPECT_FALSE(writer.IsOpen());

    const float frame[2] = {0.0f, 0.0f};
    EXPECT_FALSE(writer.Write(frame, 1)); // nothing open
    EXPECT_FALSE(writer.Error().empty());

    // Reopening closes the first file properly.
    ASSERT_TRUE(writer.Open(TempPath("first.wav"), 2, 44100, SampleFormat::Int16, error));
    ASSERT_TRUE(writer.Write(frame, 1));
    ASSERT_TRUE(writer.Open(TempPath("second.wav"), 1, 22050, SampleFormat::Int16, error));
    EXPECT_EQ(writer.FramesWritten(), 0u);
    EXPECT_EQ(Read(TempPath("first.wav")).info.frames, 1);
    EXPECT_TRUE(writer.Close());
}

} // namespace halvane

#pragma once
// The WAV files of one render, in the layout the command line asks for: the first
// stereo pair, every output in one file, or one stereo file per output pair. Each
// file is written under a temporary name and takes its real name only when the
// whole render succeeded, so a failed render leaves no half-written file behind.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/render/RenderOptions.h"
#include "tools/render/RenderStatus.h"
#include "tools/vsthost/VstHost.h"

namespace halvane {

class OutputFiles {
public:
    OutputFiles();
    ~OutputFiles(); // removes files not finished
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Creates the files for the plug-in's outputs. `channelNames` receives the name
    // of every channel written, in file order; `expectedFrames` is the longest the
    // render can get (it decides whether a file needs RF64).
    RenderStatus Open(const RenderOptions& options, vsthost::Host& host,
                      std::vector<std::string>& channelNames, uint64_t expectedFrames,
                      std::string& error);

    // The plug-in's channels that go to some file, in file order.
    const std::vector<int>& Written() const { return written_; }

    // Appends `frames` frames of the plug-in's output buffers (one per channel).
    bool Write(const std::vector<std::vector<float>>& buffers, int frames, std::string& error);

    // Completes every file and gives it its real name; `names` receives them.
    RenderStatus Finish(std::vector<std::string>& names, std::string& error);

private:
    struct File;
    void Abandon();

    std::vector<std::unique_ptr<File>> files_;
    std::vector<int> written_;
};

// File names of the split layout: one per stereo pair, named after the pair's
// output labels ("Synth L" and "Synth R" give "Synth"); a pair without labels is
// named by its channel numbers, and a name used twice gets the pair number added.
std::vector<std::string> PairNames(const std::vector<std::string>& outputLabels);

} // namespace halvane

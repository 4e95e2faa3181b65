#include "tools/render/OutputFiles.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "tools/render/WavWriter.h"

namespace halvane {

// One WAV file being written: some of the plug-in's channels, interleaved.
struct OutputFiles::File {
    std::string path;
    std::string partPath; // empty once the file has its real name
    std::vector<int> channels;
    WavWriter writer;
    std::vector<float> interleaved;
};

namespace {

std::string StripSide(std::string label) {
    while (!label.empty() && label.back() == ' ')
        label.pop_back();
    for (const char* suffix : {" L", " R", " Left", " Right", " left", " right"}) {
        const std::string s = suffix;
        if (label.size() > s.size() && label.compare(label.size() - s.size(), s.size(), s) == 0)
            return label.substr(0, label.size() - s.size());
    }
    return label;
}

RenderStatus Fail(RenderStatus status, const std::string& what, std::string& error) {
    error = what;
    return status;
}

// The writer names the file it writes, which is the temporary one.
std::string Unpart(std::string text, const std::string& partPath) {
    const std::string prefix = partPath + ": ";
    if (text.compare(0, prefix.size(), prefix) == 0)
        text.erase(0, prefix.size());
    return text;
}

} // namespace

std::vector<std::string> PairNames(const std::vector<std::string>& outputLabels) {
    std::vector<std::string> names;
    std::set<std::string> used;
    const std::size_t count = outputLabels.size();
    for (std::size_t i = 0; i < count; i += 2) {
        std::string name = StripSide(outputLabels[i]);
        if (name.empty())
            name = i + 1 < count ? "ch" + std::to_string(i + 1) + "-" + std::to_string(i + 2)
                                 : "ch" + std::to_string(i + 1);
        if (used.count(name) != 0)
            name += "-" + std::to_string(i / 2 + 1);
        used.insert(name);
        names.push_back(name);
    }
    return names;
}

OutputFiles::OutputFiles() = default;

OutputFiles::~OutputFiles() {
    Abandon();
}

RenderStatus OutputFiles::Open(const RenderOptions& options, vsthost::Host& host,
                               std::vector<std::string>& channelNames, uint64_t expectedFrames,
                               std::string& error) {
    const int count = host.NumOutputs();
    std::vector<std::string> labels;
    for (int i = 0; i < count; ++i)
        labels.push_back(host.OutputLabel(i));
    std::vector<std::vector<int>> groups;
    std::vector<std::string> paths;
    if (options.outputs == OutputLayout::Total) {
        groups.push_back(count >= 2 ? std::vector<int>{0, 1} : std::vector<int>{0});
        paths.push_back(options.outputPath);
    } else if (!options.split) {
        std::vector<int> all;
        for (int i = 0; i < count; ++i)
            all.push_back(i);
        groups.push_back(all);
        paths.push_back(options.outputPath);
    } else {
        const std::vector<std::string> names = PairNames(labels);
        for (int i = 0; i < count; i += 2) {
            groups.push_back(i + 1 < count ? std::vector<int>{i, i + 1} : std::vector<int>{i});
            paths.push_back(
                PairOutputPath(options.outputPath, names[static_cast<std::size_t>(i / 2)]));
        }
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        auto file = std::make_unique<File>();
        file->path = paths[g];
        file->partPath = paths[g] + ".part";
        file->channels = groups[g];
        std::error_code code;
        if (std::filesystem::is_directory(file->path, code))
            return Fail(RenderStatus::Output, file->path + ": is a folder", error);
        std::string why;
        if (!file->writer.Open(file->partPath, static_cast<int>(file->channels.size()),
                               options.sampleRate, options.format, why, expectedFrames))
            return Fail(RenderStatus::Output,
                        file->path + ": cannot write: " + Unpart(why, file->partPath), error);
        file->interleaved.assign(
            static_cast<std::size_t>(options.blockSize) * file->channels.size(), 0.0f);
        for (int c : file->channels) {
            const std::string& label = labels[static_cast<std::size_t>(c)];
            channelNames.push_back(label.empty() ? "ch" + std::to_string(c + 1) : label);
            written_.push_back(c);
        }
        files_.push_back(std::move(file));
    }
    return RenderStatus::Ok;
}

bool OutputFiles::Write(const std::vector<std::vector<float>>& buffers, int frames,
                        std::string& error) {
    for (auto& file : files_) {
        const std::size_t width = file->channels.size();
        for (std::size_t k = 0; k < width; ++k) {
            const float* source = buffers[static_cast<std::size_t>(file->channels[k])].data();
            for (int i = 0; i < frames; ++i)
                file->interleaved[static_cast<std::size_t>(i) * width + k] = source[i];
        }
        if (!file->writer.Write(file->interleaved.data(), static_cast<std::size_t>(frames))) {
            error = file->path + ": " + Unpart(file->writer.Error(), file->partPath);
            return false;
        }
    }
    return true;
}

RenderStatus OutputFiles::Finish(std::vector<std::string>& names, std::string& error) {
    for (auto& file : files_) {
        if (!file->writer.Close())
            return Fail(RenderStatus::Output,
                        file->path + ": " + Unpart(file->writer.Error(), file->partPath), error);
    }
    for (auto& file : files_) {
        std::error_code code;
        std::filesystem::rename(file->partPath, file->path, code);
        if (code)
            return Fail(RenderStatus::Output, file->path + ": " + code.message(), error);
        names.push_back(file->path);
        file->partPath.clear();
    }
    return RenderStatus::Ok;
}

void OutputFiles::Abandon() {
    for (auto& file : files_) {
        file->writer.Close();
        if (!file->partPath.empty()) {
            std::error_code code;
            std::filesystem::remove(file->partPath, code);
            file->partPath.clear();
        }
    }
}

} // namespace halvane

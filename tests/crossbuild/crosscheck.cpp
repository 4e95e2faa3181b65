// Compares two builds of the plug-in (Linux and Windows, 64 and 32 bits) that
// cannot run in one process: each build writes what it renders and the state
// chunks it saves into a shared folder, and each checks the other's files.
//
//   halvane-crosscheck PLUGIN write DIR TAG    render and save as TAG
//   halvane-crosscheck PLUGIN check DIR OTHER  compare with OTHER's files
//
// check fails when a sample of any of the eight outputs differs by more than
// 1e-9 from OTHER's render, when OTHER saved other bank or program chunks than
// this build does after the same steps, or when OTHER's chunks do not load here
// into the state this build's own chunks give (the chunk format is the same on
// every platform and width).

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace halvane {

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kBlock = 256;
constexpr int kBlocks = 240; // about 1.4 s
constexpr double kTolerance = 1e-9;
constexpr int kProgram = 5;

using Bytes = std::vector<uint8_t>;

bool WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    char chunk[65536];
    bytes.clear();
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    return true;
}

std::unique_ptr<vsthost::Host> Make(const std::string& plugin) {
    std::string error;
    auto library = vsthost::PluginLibrary::Open(plugin, error);
    std::unique_ptr<vsthost::Host> host;
    if (library)
        host = vsthost::Host::Create(library, error);
    if (!host)
        std::fprintf(stderr, "crosscheck: %s\n", error.c_str());
    return host;
}

// A program with every section, the flanger and the ensemble, then a phrase
// with chords, overlapping notes, pitch bend, the wheel and the pedal at
// offsets inside blocks. Returns the eight outputs interleaved per sample.
std::vector<double> Render(vsthost::Host& host) {
    host.Start(kSampleRate, kBlock);
    host.Dispatch(vst::effSetProgram, 0, kProgram);
    const int cutoff = host.FindParam("VCF Cutoff");
    if (cutoff >= 0)
        host.SetParameter(cutoff, 0.62f);

    struct Event {
        int at; // sample from the start
        uint8_t status, data1, data2;
    };
    const std::vector<Event> events = {
        {100, 0x90, 48, 100}, {100, 0x90, 55, 90},    {4000, 0x90, 64, 110},  {9000, 0xB0, 1, 90},
        {12000, 0xE0, 0, 80}, {15000, 0x90, 67, 70},  {20000, 0xB0, 64, 127}, {22000, 0x80, 48, 0},
        {26000, 0xE0, 0, 64}, {30000, 0x90, 72, 127}, {34567, 0x80, 55, 0},   {38000, 0xB0, 64, 0},
        {41000, 0x80, 64, 0}, {45000, 0x80, 67, 0},   {48000, 0x80, 72, 0},
    };
    const int outputs = host.NumOutputs();
    std::vector<double> render;
    render.reserve(static_cast<std::size_t>(kBlock * kBlocks * outputs));
    std::size_t next = 0;
    for (int block = 0; block < kBlocks; ++block) {
        const int start = block * kBlock;
        std::vector<vsthost::MidiMessage> midi;
        while (next < events.size() && events[next].at < start + kBlock) {
            const Event& e = events[next++];
            midi.push_back({e.at - start, e.status, e.data1, e.data2});
        }
        if (!midi.empty())
            host.SendMidi(midi);
        host.Process(kBlock, vsthost::Host::Precision::kDouble);
        const auto& out = host.OutputsDouble();
        for (int i = 0; i < kBlock; ++i)
            for (int c = 0; c < outputs; ++c)
                render.push_back(out[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)]);
    }
    return render;
}

int Write(const std::string& plugin, const std::string& dir, const std::string& tag) {
    auto host = Make(plugin);
    if (!host)
        return 1;
    const std::vector<double> render = Render(*host);
    const Bytes bank = host->GetChunk(true);
    const Bytes program = host->GetChunk(false);
    if (bank.empty() || program.empty()) {
        std::fprintf(stderr, "crosscheck: the plug-in gave no state chunk\n");
        return 1;
    }
    if (!WriteFile(dir + "/render-" + tag + ".f64", render.data(),
                   render.size() * sizeof(double)) ||
        !WriteFile(dir + "/bank-" + tag + ".bin", bank.data(), bank.size()) ||
        !WriteFile(dir + "/program-" + tag + ".bin", program.data(), program.size())) {
        std::fprintf(stderr, "crosscheck: cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("crosscheck %s: wrote %zu samples and chunks of %zu and %zu bytes\n", tag.c_str(),
                render.size(), bank.size(), program.size());
    return 0;
}

// What a fresh instance on the program the chunks were saved from saves again
// after loading a chunk; empty when the chunk does not load.
Bytes Reloaded(const std::string& plugin, const Bytes& chunk, bool isBank) {
    auto host = Make(plugin);
    if (!host)
        return {};
    host->Start(kSampleRate, kBlock);
    host->Dispatch(vst::effSetProgram, 0, kProgram);
    if (!host->SetChunk(chunk, isBank))
        return {};
    return host->GetChunk(isBank);
}

// The other build saved the same bytes as this one, and its chunk loads here
// into the same state as this build's own.
bool ChunkTravels(const std::string& plugin, const Bytes& theirs, const Bytes& mine, bool isBank,
                  const char* what) {
    bool ok = true;
    if (theirs != mine) {
        std::printf("crosscheck: the other build saved a different %s chunk\n", what);
        ok = false;
    }
    const Bytes fromTheirs = Reloaded(plugin, theirs, isBank);
    if (fromTheirs.empty()) {
        std::printf("crosscheck: the other build's %s chunk does not load\n", what);
        return false;
    }
    if (fromTheirs != Reloaded(plugin, mine, isBank)) {
        std::printf("crosscheck: the other build's %s chunk loads differently\n", what);
        ok = false;
    }
    return ok;
}

int Check(const std::string& plugin, const std::string& dir, const std::string& other) {
    Bytes renderBytes, bank, program;
    if (!ReadFile(dir + "/render-" + other + ".f64", renderBytes) ||
        !ReadFile(dir + "/bank-" + other + ".bin", bank) ||
        !ReadFile(dir + "/program-" + other + ".bin", program)) {
        std::fprintf(stderr, "crosscheck: %s holds no files of %s\n", dir.c_str(), other.c_str());
        return 1;
    }
    auto host = Make(plugin);
    if (!host)
        return 1;
    const std::vector<double> mine = Render(*host);
    const Bytes myBank = host->GetChunk(true);
    const Bytes myProgram = host->GetChunk(false);
    std::vector<double> theirs(renderBytes.size() / sizeof(double));
    std::memcpy(theirs.data(), renderBytes.data(), theirs.size() * sizeof(double));
    bool ok = true;
    if (theirs.size() != mine.size()) {
        std::printf("crosscheck: %zu samples here, %zu from %s\n", mine.size(), theirs.size(),
                    other.c_str());
        return 1;
    }
    double largest = 0.0, peak = 0.0;
    std::size_t where = 0;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const double difference = std::fabs(mine[i] - theirs[i]);
        peak = std::fmax(peak, std::fabs(theirs[i]));
        if (!(difference <= largest)) { // NaN counts as the largest
            largest = difference;
            where = i;
        }
    }
    std::printf("crosscheck against %s: largest difference %.3g (sample %zu, channel %zu) "
                "over %zu samples, peak %.3f\n",
                other.c_str(), largest, where / 8, where % 8, mine.size(), peak);
    if (!(largest <= kTolerance)) {
        std::printf("crosscheck: more than %g apart\n", kTolerance);
        ok = false;
    }
    if (peak < 0.01) {
        std::printf("crosscheck: the render is silent\n");
        ok = false;
    }
    ok = ChunkTravels(plugin, bank, myBank, true, "bank") && ok;
    ok = ChunkTravels(plugin, program, myProgram, false, "program") && ok;
    std::printf("crosscheck against %s: %s\n", other.c_str(), ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}

} // namespace

} // namespace halvane

using namespace halvane;

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[2], "write") != 0 && std::strcmp(argv[2], "check") != 0)) {
        std::fprintf(stderr, "usage: %s PLUGIN write DIR TAG | PLUGIN check DIR OTHER\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[2], "write") == 0)
        return Write(argv[1], argv[3], argv[4]);
    return Check(argv[1], argv[3], argv[4]);
}

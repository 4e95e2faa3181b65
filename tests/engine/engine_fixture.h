#pragma once
// An engine at a known sample rate with every parameter at its default, fed
// through the same MIDI queue and channel layout the plug-in uses.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Engine.h"
#include "plugin/MidiQueue.h"
#include "plugin/PlugParam.h"
#include "sound/ParamIds.h"
#include "sound/ParamTable.h"

namespace halvane {

namespace enginetest {

// One host block through the queue, as the plug-in renders it.
inline int RenderQueue(Engine& engine, MidiQueue& midi, double** outputs, int frames) {
    const int due = frames > 0 ? midi.CountBefore(frames) : 0;
    const int taken = engine.Render(midi.Data(), due, outputs, frames);
    if (frames > 0)
        midi.Consume(taken, frames);
    return taken;
}

struct EngineRig {
    explicit EngineRig(double rate = 44100.0) : engine(std::make_unique<Engine>()) {
        InitHalvaneParams(params, kNumParams);
        engine->SetControllers(&controllers);
        engine->Reset(rate);
        for (int i = 0; i < kNumParams; ++i)
            engine->SetParameter(i, params[i].Value());
    }

    void Set(int index, double value) { engine->SetParameter(index, value); }

    // Links a controller to a parameter, as MIDI learn does.
    void Learn(int controller, int param) {
        double values[ControllerTable::kValues];
        for (int v = 0; v < ControllerTable::kValues; ++v)
            values[v] = params[param].ValueFromNormalized(v / 127.0);
        controllers.Link(controller, param, values);
    }

    void Midi(int32_t offset, int status, int data1, int data2) {
        MidiEvent e;
        e.offset = offset;
        e.status = static_cast<uint8_t>(status);
        e.data1 = static_cast<uint8_t>(data1);
        e.data2 = static_cast<uint8_t>(data2);
        midi.Add(e);
    }

    // Renders frames into out (resized), all eight channels.
    void Render(int frames) {
        for (auto& c : out)
            c.assign(static_cast<std::size_t>(frames > 0 ? frames : 0), 0.0);
        double* pointers[Engine::kOutputs];
        for (int c = 0; c < Engine::kOutputs; ++c)
            pointers[c] = out[static_cast<std::size_t>(c)].data();
        RenderQueue(*engine, midi, pointers, frames);
    }

    // Renders frames in host blocks of blockSize and appends every channel.
    std::vector<std::vector<double>> RenderLong(int frames, int blockSize = 256) {
        std::vector<std::vector<double>> all(Engine::kOutputs);
        for (int done = 0; done < frames; done += blockSize) {
            const int n = frames - done < blockSize ? frames - done : blockSize;
            Render(n);
            for (int c = 0; c < Engine::kOutputs; ++c)
                all[static_cast<std::size_t>(c)].insert(all[static_cast<std::size_t>(c)].end(),
                                                        out[static_cast<std::size_t>(c)].begin(),
                                                        out[static_cast<std::size_t>(c)].end());
        }
        return all;
    }

    int ActiveVoices() const {
        int n = 0;
        for (int v = 0; v < Engine::kMaxVoices; ++v)
            n += engine->VoiceAt(v).Active();
        return n;
    }

    ControllerTable controllers;
    std::unique_ptr<Engine> engine;
    PlugParam params[kNumParams];
    MidiQueue midi;
    std::vector<std::vector<double>> out = std::vector<std::vector<double>>(Engine::kOutputs);
};

// Frequency of a periodic signal from its rising zero crossings, placed between
// samples by linear interpolation; skip ignores the start (attack, filter settle).
inline double ZeroCrossingFrequency(const std::vector<double>& x, double rate,
                                    std::size_t skip = 0) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t n = skip + 1; n < x.size(); ++n) {
        if (x[n - 1] < 0.0 && x[n] >= 0.0) {
            last = static_cast<double>(n - 1) + x[n - 1] / (x[n - 1] - x[n]);
            if (first < 0.0)
                first = last;
            ++crossings;
        }
    }
    return crossings > 1 ? rate * (crossings - 1) / (last - first) : 0.0;
}

inline double Peak(const std::vector<double>& x, std::size_t from = 0,
                   std::size_t to = static_cast<std::size_t>(-1)) {
    double peak = 0.0;
    for (std::size_t n = from; n < x.size() && n < to; ++n)
        peak = std::fmax(peak, std::fabs(x[n]));
    return peak;
}

inline bool AllFinite(const std::vector<std::vector<double>>& channels) {
    for (const auto& c : channels)
        for (double v : c)
            if (!std::isfinite(v))
                return false;
    return true;
}

} // namespace enginetest

} // namespace halvane

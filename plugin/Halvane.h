#pragma once
// The instrument: three sections on one keyboard, eight output channels.

#include "shell/Synth.h"

class Halvane : public Synth {
public:
    static constexpr const char* kStateKey = "Halvane_1.1.3";
    static constexpr int kStateKeyLength = 13;
    static constexpr int kNumPrograms = 64;
    static constexpr int kNumOutputs = 8;

    explicit Halvane(vst::HostCallback host);
    ~Halvane() override;

    void InitParamTable() override;
    bool WriteState(ChunkBuffer& chunk) override;
    int ReadState(const ChunkBuffer& chunk, int pos) override;
};

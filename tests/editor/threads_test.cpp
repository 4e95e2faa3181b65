// The editor thread paints and handles the mouse while a host thread automates
// parameters and the audio thread applies learned controllers. Run under
// ThreadSanitizer (scripts/test.sh builds this test alone in build-tsan/).

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sound/ParamIds.h"
#include "support/EditorFixture.h"

namespace halvane {

using namespace editortest;

TEST_F(EditorTest, AutomationLearnedControllersAndTheEditorRunTogether) {
    plug->SetSampleRate(44100.0);
    plug->ResetEngine();
    plug->Activate(true);
    constexpr int kController = 20;
    plug->SetControllerMapping(kController, ParamId::kVcfResonance);
    IControl* resonance = ControlOf(ParamId::kVcfResonance);
    IControl* cutoff = ControlOf(ParamId::kVcfCutoff);
    IControl* brass = ControlOf(ParamId::kBrass16);

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<double> buffer(128);
        std::vector<double*> outs(8, buffer.data());
        for (int i = 0; !stop.load(); ++i) {
            plug->HandleMidiMessage(MidiEvent{0, 0xB0, kController, uint8_t(i % 128)});
            if (i % 16 == 0)
                plug->HandleMidiMessage(MidiEvent{0, 0x90, uint8_t(40 + i % 30), 90});
            plug->RenderBlock(nullptr, outs.data(), 128);
            blocks.fetch_add(1);
        }
    });
    std::thread automation([&] {
        vst::AEffect* e = plug->GetAEffect();
        for (int i = 0; !stop.load(); ++i) {
            e->setParameter(e, i % kNumParams, float(i % 101) / 100.0f);
            e->setParameter(e, ParamId::kDetuneBrass, (i & 1) ? 0.5f : 0.9f);
            e->setParameter(e, ParamId::kTridentMode, (i & 2) ? 0.0f : 1.0f);
        }
    });

    for (int round = 0; round < 60; ++round) {
        ui->Drag(Cx(cutoff), Cy(cutoff), Cx(cutoff), Cy(cutoff) - 20);
        ui->Wheel(Cx(resonance), Cy(resonance), IMouseMod(), 1.0);
        ui->Click(Cx(brass), Cy(brass));
        ui->MouseMove(10, 10, IMouseMod());
        plug->Idle();
        ui->Tick();
    }
    while (blocks.load() < 50)
        std::this_thread::yield();
    stop.store(true);
    audio.join();
    automation.join();

    // Whatever the last writer was, control and parameter agree once all is quiet.
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kVcfResonance, 0.5f);
    EXPECT_DOUBLE_EQ(resonance->GetValue(), 0.5);
    ui->Tick();
    ui->Tick();
    IRect dirty;
    EXPECT_FALSE(gui->IsDirty(dirty));
}

} // namespace halvane

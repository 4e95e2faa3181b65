// The plug-in as a host sees it through the VST 2.4 binding: the effect record,
// the dispatcher's answers, texts, pins, parameters and bad input.

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "support/PluginFixture.h"

namespace halvane {

using namespace vst;
using hosttest::PluginTest;

// A plug-in scanner creates an instance, asks a few questions and never closes
// it. The instance must stay harmless; it is kept reachable here (a global with
// external linkage, so it is not optimised away) so the leak checker of the
// sanitizer build does not count it.
AEffect* gAbandonedScanInstance = nullptr;

namespace {

constexpr char kSentinel = '#';

// A host buffer pre-filled with a sentinel, to see exactly what was written.
struct HostBuffer {
    char text[256];
    HostBuffer() { std::memset(text, kSentinel, sizeof(text)); }
    bool Untouched() const {
        for (char c : text)
            if (c != kSentinel)
                return false;
        return true;
    }
    // Bytes written including the terminator.
    std::size_t Written() const {
        std::size_t n = 0;
        while (n < sizeof(text) && text[n] != kSentinel)
            ++n;
        return n;
    }
};

TEST_F(PluginTest, EffectRecordIsFilledAsHostsExpect) {
    AEffect* e = effect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 64);
    EXPECT_EQ(e->numParams, 93);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 8);
    EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks |
                            effFlagsIsSynth | effFlagsCanDoubleReplacing)
        << "the editor is attached during construction; no mono flag without a 1-input setup";
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->uniqueID, FourCC('H', 'a', 'l', '3'));
    EXPECT_EQ(e->version, 10104);
    EXPECT_NE(e->object, nullptr);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->user, nullptr);
}

TEST_F(PluginTest, FixedAnswersOfTheDispatcher) {
    EXPECT_EQ(host->Dispatch(effGetPlugCategory), kPlugCategSynth) << "asked before effOpen";
    host->Start(44100.0, 512);
    EXPECT_EQ(host->Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host->Dispatch(effGetVendorVersion), 10104);
    EXPECT_EQ(host->Dispatch(effIdentify), FourCC('N', 'v', 'E', 'f'));
    EXPECT_EQ(host->Dispatch(effCanBeAutomated, 92), 1);
    EXPECT_EQ(host->Dispatch(effCanBeAutomated, 500), 1);
    EXPECT_EQ(host->Dispatch(effGetTailSize), 0);
    EXPECT_EQ(host->Dispatch(effProcessVarIo), 0);
    EXPECT_EQ(host->Dispatch(effGetProgram), 0);
    EXPECT_EQ(host->Dispatch(12345), 0) << "unknown opcodes answer 0";
    EXPECT_EQ(host->Dispatch(effEditGetRect), 0) << "nowhere to store the rectangle";
    EXPECT_EQ(host->Dispatch(effEditOpen), 0) << "no parent window";

    MidiKeyName key{};
    key.thisKeyNumber = 60;
    std::strcpy(key.keyName, "C4");
    EXPECT_EQ(host->Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_STREQ(key.keyName, "") << "the key name is emptied";
    EXPECT_EQ(host->Dispatch(effGetMidiKeyName), 0);

    EXPECT_EQ(effect()->dispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0)
        << "a null effect answers 0";
}

TEST_F(PluginTest, NamesAndVendorTexts) {
    EXPECT_EQ(host->EffectName(), "Halvane");
    EXPECT_EQ(host->VendorString(), "Kelpmoor Music");
    HostBuffer product;
    EXPECT_EQ(host->Dispatch(effGetProductString, 0, 0, product.text), 1);
    EXPECT_EQ(product.Written(), 1u) << "the product name is empty";
    EXPECT_EQ(host->Dispatch(effGetEffectName), 0);
    EXPECT_EQ(host->Dispatch(effGetVendorString), 0);
    EXPECT_EQ(host->Dispatch(effGetProductString), 0);
}

TEST_F(PluginTest, CanDoAnswers) {
    auto canDo = [this](const char* text) {
        std::string copy(text);
        return host->Dispatch(effCanDo, 0, 0, copy.data());
    };
    EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(canDo("sendVstEvents"), 1);
    EXPECT_EQ(canDo("sendVstMidiEvent"), 1);
    EXPECT_EQ(canDo("receiveVstEvents"), 1);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<intptr_t>(0xBEEF0000u));
    EXPECT_EQ(canDo("hasCockosViewAsConfig"), static_cast<intptr_t>(0xBEEF0000u));
    EXPECT_EQ(canDo("ReceiveVstEvents"), 0) << "texts are compared case-sensitively";
    EXPECT_EQ(canDo("offline"), 0);
    EXPECT_EQ(canDo(""), 0);
    EXPECT_EQ(host->Dispatch(effCanDo), 0);
}

TEST_F(PluginTest, OutputPinsAreLabelledStereoPairs) {
    const char* labels[] = {"Total L", "Total R", "Synth L",   "Synth R",
                            "Brass L", "Brass R", "Strings L", "Strings R"};
    for (int i = 0; i < 8; ++i) {
        VstPinProperties pin{};
        ASSERT_EQ(host->Dispatch(effGetOutputProperties, i, 0, &pin), 1);
        EXPECT_STREQ(pin.label, labels[i]);
        EXPECT_EQ(pin.flags, i % 2 == 0 ? kVstPinIsActive | kVstPinIsStereo : kVstPinIsActive) << i;
    }
    VstPinProperties untouched;
    std::memset(&untouched, 0x5A, sizeof(untouched));
    VstPinProperties pin = untouched;
    EXPECT_EQ(host->Dispatch(effGetOutputProperties, 8, 0, &pin), 0);
    EXPECT_EQ(host->Dispatch(effGetOutputProperties, -1, 0, &pin), 0);
    EXPECT_EQ(host->Dispatch(effGetInputProperties, 0, 0, &pin), 0) << "no inputs";
    EXPECT_EQ(std::memcmp(&pin, &untouched, sizeof(pin)), 0) << "nothing written";
    EXPECT_EQ(host->Dispatch(effGetOutputProperties, 0, 0, nullptr), 1);
}

TEST_F(PluginTest, SpeakerArrangementsDescribeNoInputsAndEightOutputs) {
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(host->Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out),
              1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in->type, kSpeakerArrEmpty);
    EXPECT_EQ(in->numChannels, 0);
    EXPECT_EQ(out->type, kSpeakerArrUserDefined);
    EXPECT_EQ(out->numChannels, 8);
    EXPECT_EQ(host->Dispatch(effGetSpeakerArrangement), 1) << "null pointers are skipped";
}

TEST_F(PluginTest, ProgramNamesAndIndexes) {
    HostBuffer name;
    EXPECT_EQ(host->Dispatch(effGetProgramNameIndexed, 64, 0, name.text), 0);
    EXPECT_EQ(name.Written(), 1u) << "out of range writes the empty name";
    EXPECT_EQ(host->Dispatch(effGetProgramNameIndexed, -1, 0, name.text), 0);
    EXPECT_EQ(host->Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
    for (int i = 0; i < 64; ++i)
        EXPECT_FALSE(host->ProgramNameIndexed(i).empty()) << i;

    host->Dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(host->Dispatch(effGetProgram), 5);
    host->Dispatch(effSetProgram, 0, 64);
    EXPECT_EQ(host->Dispatch(effGetProgram), 5) << "an invalid program changes nothing";
    host->Dispatch(effSetProgram, 0, std::numeric_limits<intptr_t>::max());
    EXPECT_EQ(host->Dispatch(effGetProgram), 5);

    std::string renamed = "My Lead";
    host->Dispatch(effSetProgramName, 0, 0, renamed.data());
    EXPECT_EQ(host->ProgramName(), "My Lead");
    EXPECT_EQ(host->ProgramNameIndexed(5), "My Lead");

    // A long name is kept, but a host only ever receives 24 characters of it.
    std::string longName(100, 'x');
    host->Dispatch(effSetProgramName, 0, 0, longName.data());
    HostBuffer copied;
    host->Dispatch(effGetProgramName, 0, 0, copied.text);
    EXPECT_EQ(copied.Written(), 25u);
    HostBuffer indexed;
    EXPECT_EQ(host->Dispatch(effGetProgramNameIndexed, 5, 0, indexed.text), 1);
    EXPECT_EQ(indexed.Written(), 25u);
}

TEST_F(PluginTest, ParameterTextsAreBoundedAndInvalidIndexesWriteNothing) {
    EXPECT_EQ(host->ParamName(0), "Trident Mode");
    EXPECT_EQ(host->ParamName(92), "Ens.3 Amount");
    EXPECT_EQ(host->ParamLabel(10), "Hz");
    EXPECT_EQ(host->ParamDisplay(10), "0.80");
    EXPECT_EQ(host->ParamLabel(0), "") << "a list entry with a text has no label";
    EXPECT_EQ(host->ParamDisplay(68), "-6.0");
    for (int i = 0; i < 93; ++i) {
        HostBuffer name, label, display;
        host->Dispatch(effGetParamName, i, 0, name.text);
        host->Dispatch(effGetParamLabel, i, 0, label.text);
        host->Dispatch(effGetParamDisplay, i, 0, display.text);
        EXPECT_LE(name.Written(), 32u);
        EXPECT_LE(label.Written(), 32u);
        EXPECT_LE(display.Written(), 32u);
    }
    for (int opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        for (int index : {-1, 93, std::numeric_limits<int>::max()}) {
            HostBuffer buffer;
            EXPECT_EQ(host->Dispatch(opcode, index, 0, buffer.text), 0);
            EXPECT_TRUE(buffer.Untouched()) << opcode << " " << index;
        }
        EXPECT_EQ(host->Dispatch(opcode, 0, 0, nullptr), 0);
    }
}

TEST_F(PluginTest, NormalisedValuesGoBothWays) {
    host->SetParameter(6, 0.5f); // "Split Key", 0..127
    EXPECT_EQ(host->ParamDisplay(6), "64");
    EXPECT_FLOAT_EQ(host->GetParameter(6), 64.0f / 127.0f);
    host->SetParameter(3, 1.0f); // "Range Synthe"
    EXPECT_EQ(host->ParamDisplay(3), "Upper");
    EXPECT_FLOAT_EQ(host->GetParameter(93), 0.0f);
    EXPECT_FLOAT_EQ(host->GetParameter(-1), 0.0f);
    host->SetParameter(93, 1.0f);
    host->SetParameter(-5, 1.0f);

    const float before = host->GetParameter(13);
    host->SetParameter(13, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(host->GetParameter(13), before) << "NaN is ignored";
    host->SetParameter(13, std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(host->GetParameter(13), 1.0f);
    host->SetParameter(13, -std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(host->GetParameter(13), 0.0f);
    host->SetParameter(10, 7.5f);
    EXPECT_FLOAT_EQ(host->GetParameter(10), 1.0f);
    EXPECT_EQ(host->CountCalls(audioMasterAutomate), 0) << "host values are not echoed";
}

TEST_F(PluginTest, TextEntryFromTheHost) {
    EXPECT_TRUE(host->SetParamFromText(60, "-7"));
    EXPECT_EQ(host->ParamDisplay(60), "-7");
    EXPECT_TRUE(host->SetParamFromText(60, "99"));
    EXPECT_EQ(host->ParamDisplay(60), "12") << "limited to the range";
    EXPECT_TRUE(host->SetParamFromText(60, ""));
    EXPECT_EQ(host->ParamDisplay(60), "0") << "no number reads as 0";
    EXPECT_TRUE(host->SetParamFromText(2, "0.25"));
    EXPECT_EQ(host->ParamDisplay(2), "0.250");
    EXPECT_TRUE(host->SetParamFromText(2, "0.0037"));
    EXPECT_EQ(host->ParamDisplay(2), "0.004") << "not rounded to the step";
    EXPECT_FLOAT_EQ(host->GetParameter(2), (0.0037f + 1.0f) / 2.0f);

    EXPECT_TRUE(host->SetParamFromText(3, "Upper"));
    EXPECT_EQ(host->ParamDisplay(3), "Upper");
    EXPECT_FALSE(host->SetParamFromText(3, "upper")) << "display texts match exactly";
    EXPECT_EQ(host->ParamDisplay(3), "Upper");
    EXPECT_TRUE(host->SetParamFromText(52, "Off"));
    EXPECT_EQ(host->ParamDisplay(52), "Off");

    EXPECT_EQ(host->Dispatch(effString2Parameter, 3, 0, nullptr), 1) << "no text: nothing to do";
    EXPECT_EQ(host->ParamDisplay(3), "Upper");
    std::string text = "1";
    EXPECT_EQ(host->Dispatch(effString2Parameter, 93, 0, text.data()), 0);
    EXPECT_EQ(host->Dispatch(effString2Parameter, -1, 0, text.data()), 0);
}

TEST_F(PluginTest, VendorSpecificDisplayQueries) {
    HostBuffer buffer;
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 7, 68, buffer.text, 1.0f), 0xBEEF);
    EXPECT_STREQ(buffer.text, "0.0") << "Total Volume at normalised 1";
    HostBuffer listText;
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 7, 8, listText.text, 0.5f), 0xBEEF);
    EXPECT_STREQ(listText.text, "Pulse") << "VCO 1 Wave at 0.5 is entry 1";
    HostBuffer invalid;
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 7, 93, invalid.text, 0.5f), 0xBEEF);
    EXPECT_TRUE(invalid.Untouched());
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 7, 8, nullptr, 0.5f), 0);

    EXPECT_EQ(host->Dispatch(effVendorSpecific, 8, 0), 0xBEEF) << "a list parameter";
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 8, 6), 0xBEEF) << "an integer parameter";
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 8, 13), 0) << "a continuous parameter";
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 8, 93), 0);
    EXPECT_EQ(host->Dispatch(effVendorSpecific, 9, 0), 0);
}

TEST_F(PluginTest, HostIsIdentifiedOnceAndVendorCheckIsCached) {
    host->Dispatch(effOpen);
    host->Dispatch(effOpen);
    EXPECT_EQ(host->CountCalls(audioMasterGetProductString), 1);
    EXPECT_EQ(host->CountCalls(audioMasterGetVendorVersion), 1);
    host->GetChunk(true);
    host->GetChunk(false);
    host->GetChunk(true);
    EXPECT_EQ(host->CountCalls(audioMasterGetVendorString), 1);
    for (const vsthost::HostCall& call : host->Calls())
        EXPECT_FALSE(call.nullEffect) << "every callback names its effect";
}

TEST(PluginEntry, MainAndVstPluginMainBuildTheSameInstrument) {
    hosttest::IsolateSettings();
    auto viaMain = hosttest::MakeHost({}, true);
    auto viaEntry = hosttest::MakeHost({}, false);
    ASSERT_TRUE(viaMain && viaEntry);
    EXPECT_NE(viaMain->Effect(), viaEntry->Effect());
    EXPECT_EQ(viaMain->EffectName(), viaEntry->EffectName());
    EXPECT_EQ(viaMain->Effect()->numParams, viaEntry->Effect()->numParams);
    EXPECT_NE(hosttest::Library()->MainEntry(), nullptr);
    EXPECT_NE(hosttest::Library()->Entry(), nullptr);
}

TEST(PluginEntry, HostThatAnswersZeroToEverything) {
    hosttest::IsolateSettings();
    vsthost::HostIdentity silent;
    silent.answerZero = true;
    auto host = hosttest::MakeHost(silent);
    ASSERT_TRUE(host);
    host->Start(48000.0, 256);
    host->SendMidi({{0, 0x90, 60, 100}});
    host->Process(256);
    host->Process(256, vsthost::Host::Precision::kDouble);
    EXPECT_FALSE(host->GetChunk(true).empty());
    EXPECT_EQ(host->EffectName(), "Halvane");
}

TEST(PluginEntry, ScanInstanceAbandonedWithoutClose) {
    hosttest::IsolateSettings();
    auto scan = hosttest::MakeHost();
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->Dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(scan->EffectName(), "Halvane");
    gAbandonedScanInstance = scan->Effect();
    scan->Abandon();
    auto next = hosttest::MakeHost();
    ASSERT_TRUE(next);
    next->Start(44100.0, 128);
    next->Process(128);
}

} // namespace

} // namespace halvane

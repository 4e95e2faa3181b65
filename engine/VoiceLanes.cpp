#include "engine/VoiceLanes.h"

#include <cstring>

#include "engine/SawTables.h"
#include "engine/Voice.h"

namespace halvane {

namespace {

double Mask(bool on) {
    uint64_t bits = on ? ~0ull : 0ull;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool HasSse2() {
#if defined(__x86_64__) || defined(__i386__)
    // An engine made during static initialisation may ask before the runtime
    // has read the processor's features itself.
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
#else
    return false;
#endif
}

bool HasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

// A voice's oscillators in lane order.
const Oscillator& OscillatorOf(const Voice& v, int which) {
    switch (which) {
    case VoiceLanesState::kMaster:
        return v.Master();
    case VoiceLanesState::kVco2:
        return v.Vco2();
    case VoiceLanesState::kBrassOscillator:
        return v.BrassOscillator();
    default:
        return v.StringsOscillator();
    }
}

// Offset of a table within the one block of saw tables.
int32_t TableIndex(const VoiceLanesState& s, const double* table) {
    return static_cast<int32_t>(table - s.tables);
}

} // namespace

void VoiceLanes::LoadGathers(VoiceLanesState& s, int lane, const Voice& v) {
    const bool synthe = v.active_ && v.synthe_;
    const int vco1 = v.vco1Footage_;
    // VCO 2's footage counts from 1; a voice without it reads nothing.
    const int vco2 = v.vco2Footage_ >= 1 && v.vco2Footage_ <= 3 ? v.vco2Footage_ - 1 : 0;
    s.vco1Table[lane] = TableIndex(s, v.master_.tables_[vco1]);
    s.vco2Table[lane] = TableIndex(s, v.vco2_.tables_[vco2]);
    s.vco2Shift[lane] = vco2;
    s.pulseMask[lane] = Mask(synthe && v.wave_ != Voice::kSawtooth);
    s.vco2Mask[lane] = Mask(synthe && v.vco2On_);

    const bool brass = v.active_ && v.brass_;
    const Oscillator& brassSource = v.brassOwnOscillator_ ? v.brassOscillator_ : v.master_;
    s.brassOwnLane[lane] = v.brassOwnOscillator_ ? -1 : 0;
    for (int f = 0; f < 2; ++f) {
        s.brassTable[f][lane] = TableIndex(s, brassSource.tables_[f]);
        s.brassRead[f][lane] = Mask(brass && v.brassFootage_[f]);
    }
    const bool strings = v.active_ && v.strings_;
    const Oscillator& stringsSource = v.stringsOwnOscillator_ ? v.stringsOscillator_ : v.master_;
    s.stringsOwnLane[lane] = v.stringsOwnOscillator_ ? -1 : 0;
    for (int f = 0; f < 3; ++f) {
        s.stringsTable[f][lane] = TableIndex(s, stringsSource.tables_[f]);
        s.stringsRead[f][lane] = Mask(strings && v.stringsFootage_[f]);
    }
}

VoicePath VoiceLanes::Resolve(VoicePath requested) {
    if (requested == VoicePath::kScalar)
        return VoicePath::kScalar;
    if ((requested == VoicePath::kAuto || requested == VoicePath::kAvx2) && HasAvx2())
        return VoicePath::kAvx2;
    return HasSse2() ? VoicePath::kSse2 : VoicePath::kScalar;
}

int VoiceLanes::Width(VoicePath path) {
    return path == VoicePath::kAvx2 ? 16 : (path == VoicePath::kSse2 ? 8 : 1);
}

int VoiceLanes::LanesFor(VoicePath path, int count) {
    // A wider group than the voices need still pays for every lane, but less
    // than two narrower groups would.
    const int narrowest = path == VoicePath::kAvx2 ? 8 : 4;
    int lanes = narrowest;
    while (lanes < count && lanes < Width(path))
        lanes *= 2;
    return lanes;
}

void VoiceLanes::RenderGroup(VoicePath path, VoiceLanesState& s, Voice* const* voices, int count,
                             int from, int length, bool beginsControlBlock, double* synthe,
                             double* brass, double* strings) {
    s.tables = SawTables::Instance().Level(0);
    for (int e = 0; e < VoiceLanesState::kEnvelopes; ++e)
        s.envRunning[e] = s.envAttacking[e] = 0;
    for (bool& advances : s.advances)
        advances = false;
    const int lanes = LanesFor(path, count);
    const bool gathers = path == VoicePath::kAvx2;
    for (int lane = 0; lane < lanes; ++lane)
        Load(s, lane, lane < count ? voices[lane] : nullptr, gathers);
    if (path == VoicePath::kAvx2)
        RenderVoiceLanesAvx2(s, lanes, from, length, beginsControlBlock, synthe, brass, strings);
    else
        RenderVoiceLanesSse2(s, lanes, from, length, beginsControlBlock, synthe, brass, strings);
    for (int lane = 0; lane < lanes && lane < count; ++lane)
        Store(s, lane);
}

void VoiceLanes::Load(VoiceLanesState& s, int lane, Voice* voice, bool gathers) {
    s.voice[lane] = voice;
    if (!voice || (!voice->active_ && voice->quiet_)) {
        // Nothing to render or step: every mask off, the rest unread.
        s.voice[lane] = nullptr;
        s.active[lane] = s.synthe[lane] = s.brass[lane] = s.strings[lane] = false;
        s.syntheMask[lane] = s.brassMask[lane] = s.stringsMask[lane] = Mask(false);
        for (int e = 0; e < VoiceLanesState::kEnvelopes; ++e) {
            s.envValue[e][lane] = s.envPrevious[e][lane] = s.envTarget[e][lane] = 0.0;
            s.envCoefficient[e][lane] = s.envStage[e][lane] = 0.0;
            s.envRun[e][lane] = s.envAttack[e][lane] = Mask(false);
        }
        s.level[0][lane] = s.level[1][lane] = s.level[2][lane] = 0.0;
        s.dampMask[lane] = Mask(false);
        s.g[lane] = s.g2[lane] = s.g3[lane] = s.g4[lane] = s.t[lane] = s.k[lane] = 0.0;
        s.outputGain[lane] = s.normaliser[lane] = 0.0;
        s.s1[lane] = s.s2[lane] = s.s3[lane] = s.s4[lane] = s.ladderOffset[lane] = 0.0;
        s.b0[lane] = s.b1[lane] = s.a1[lane] = s.a2[lane] = 0.0;
        s.x1[lane] = s.x2[lane] = s.y1[lane] = s.y2[lane] = s.biquadOffset[lane] = 0.0;
        s.egAmount[lane] = s.keyOffset[lane] = 0.0;
        for (int o = 0; o < 4; ++o)
            s.phase[o][lane] = s.step[o][lane] = 0;
        s.currentCutoff[lane] = s.targetCutoff[lane] = s.glideStep[lane] = s.cachedIndex[lane] = 0;
        s.cutoff[lane] = s.cachedPitch[lane] = 0.0;
        s.vco1Table[lane] = s.vco2Table[lane] = s.vco2Shift[lane] = 0;
        s.brassOwnLane[lane] = s.stringsOwnLane[lane] = 0;
        s.pulseMask[lane] = s.vco2Mask[lane] = Mask(false);
        for (int f = 0; f < 2; ++f) {
            s.brassTable[f][lane] = 0;
            s.brassRead[f][lane] = Mask(false);
        }
        for (int f = 0; f < 3; ++f) {
            s.stringsTable[f][lane] = 0;
            s.stringsRead[f][lane] = Mask(false);
        }
        return;
    }
    const Voice& v = *voice;
    s.active[lane] = v.active_;
    s.synthe[lane] = v.synthe_;
    s.brass[lane] = v.brass_;
    s.strings[lane] = v.strings_;
    s.sawtooth[lane] = v.wave_ == Voice::kSawtooth;
    s.vco2On[lane] = v.vco2On_;
    s.brassOwn[lane] = v.brassOwnOscillator_;
    s.stringsOwn[lane] = v.stringsOwnOscillator_;
    s.brassFootage[0][lane] = v.brassFootage_[0];
    s.brassFootage[1][lane] = v.brassFootage_[1];
    s.stringsFootage[0][lane] = v.stringsFootage_[0];
    s.stringsFootage[1][lane] = v.stringsFootage_[1];
    s.stringsFootage[2][lane] = v.stringsFootage_[2];
    s.brassSounds[lane] = v.brassFootage_[0] || v.brassFootage_[1];
    s.stringsSounds[lane] = v.stringsFootage_[0] || v.stringsFootage_[1] || v.stringsFootage_[2];
    s.vco1Footage[lane] = v.vco1Footage_;
    s.vco2Footage[lane] = v.vco2Footage_;
    s.syntheMask[lane] = Mask(v.active_ && v.synthe_);
    s.brassMask[lane] = Mask(v.active_ && v.brass_);
    s.stringsMask[lane] = Mask(v.active_ && v.strings_);
    s.dampMask[lane] = Mask(v.damp_);
    for (int i = 0; i < kSections; ++i)
        s.level[i][lane] = v.level_[i];
    s.egAmount[lane] = v.egAmount_;
    s.keyOffset[lane] = v.keyOffset_;

    const bool advances[4] = {v.active_, v.active_ && v.synthe_ && v.vco2On_,
                              v.active_ && v.brass_ && v.brassOwnOscillator_ && s.brassSounds[lane],
                              v.active_ && v.strings_ && v.stringsOwnOscillator_ &&
                                  s.stringsSounds[lane]};
    for (int o = 0; o < 4; ++o) {
        const Oscillator& osc = OscillatorOf(v, o);
        s.phase[o][lane] = osc.phase_;
        s.step[o][lane] = advances[o] ? static_cast<uint32_t>(osc.increment_) : 0u;
        s.advances[o] = s.advances[o] || s.step[o][lane] != 0;
        if (!gathers)
            for (int f = 0; f < Oscillator::kFootages; ++f)
                s.table[o][f][lane] = osc.tables_[f];
    }
    s.widthOffset[lane] = static_cast<uint32_t>(v.master_.widthOffset_);
    if (gathers)
        LoadGathers(s, lane, v);

    const Envelope* envelopes[VoiceLanesState::kEnvelopes] = {
        &v.dampGate_, &v.brassGate_, &v.vcfEnvelope_, &v.vcaEnvelope_, &v.stringsEnvelope_};
    for (int e = 0; e < VoiceLanesState::kEnvelopes; ++e) {
        const Envelope& env = *envelopes[e];
        s.envValue[e][lane] = env.value_;
        s.envPrevious[e][lane] = env.previousValue_;
        s.envTarget[e][lane] = env.target_;
        s.envCoefficient[e][lane] = env.coefficient_;
        s.envStage[e][lane] = static_cast<double>(env.stage_);
        const bool runs = !v.quiet_ && env.stage_ > Envelope::kIdle;
        s.envRun[e][lane] = Mask(runs);
        s.envAttack[e][lane] = Mask(env.stage_ == Envelope::kAttack);
        s.envRunning[e] += runs ? 1 : 0;
        s.envAttacking[e] += env.stage_ == Envelope::kAttack ? 1 : 0;
    }

    const LadderFilter& f = v.vcf_;
    s.currentCutoff[lane] = f.currentCutoff_;
    s.targetCutoff[lane] = f.targetCutoff_;
    s.glideStep[lane] = f.glideStep_;
    s.cachedIndex[lane] = f.cachedIndex_;
    s.cutoff[lane] = f.currentCutoff_;
    s.cachedPitch[lane] = f.cachedIndex_;
    s.g[lane] = f.g_;
    s.g2[lane] = f.g2_;
    s.g3[lane] = f.g3_;
    s.g4[lane] = f.g4_;
    s.t[lane] = f.t_;
    s.k[lane] = f.k_;
    s.outputGain[lane] = f.outputGain_;
    s.normaliser[lane] = f.normaliser_;
    s.s1[lane] = f.s1_;
    s.s2[lane] = f.s2_;
    s.s3[lane] = f.s3_;
    s.s4[lane] = f.s4_;
    s.ladderOffset[lane] = f.offset_;

    const Filter& lp = v.stringsLowPass_;
    s.b0[lane] = lp.b0_;
    s.b1[lane] = lp.b1_;
    s.a1[lane] = lp.a1_;
    s.a2[lane] = lp.a2_;
    s.x1[lane] = lp.state_.x1;
    s.x2[lane] = lp.state_.x2;
    s.y1[lane] = lp.state_.y1;
    s.y2[lane] = lp.state_.y2;
    s.biquadOffset[lane] = lp.state_.offset;
}

void VoiceLanes::Store(const VoiceLanesState& s, int lane) {
    Voice* voice = s.voice[lane];
    if (!voice)
        return;
    Voice& v = *voice;
    Oscillator* oscillators[4] = {&v.master_, &v.vco2_, &v.brassOscillator_, &v.stringsOscillator_};
    for (int o = 0; o < 4; ++o)
        oscillators[o]->phase_ = s.phase[o][lane];

    // Targets, coefficients and filter coefficients change only where a stage
    // ends or the filter pitch moves, and those changes are made on the voice
    // itself (EndEnvelopeStage, UpdateLadder): what changes in the lanes alone
    // is written back.
    Envelope* envelopes[VoiceLanesState::kEnvelopes] = {
        &v.dampGate_, &v.brassGate_, &v.vcfEnvelope_, &v.vcaEnvelope_, &v.stringsEnvelope_};
    for (int e = 0; e < VoiceLanesState::kEnvelopes; ++e) {
        Envelope& env = *envelopes[e];
        env.value_ = s.envValue[e][lane];
        env.previousValue_ = s.envPrevious[e][lane];
        env.stage_ = static_cast<int32_t>(s.envStage[e][lane]);
    }

    LadderFilter& f = v.vcf_;
    f.currentCutoff_ = s.currentCutoff[lane];
    f.s1_ = s.s1[lane];
    f.s2_ = s.s2[lane];
    f.s3_ = s.s3[lane];
    f.s4_ = s.s4[lane];
    f.offset_ = s.ladderOffset[lane];

    Filter& lp = v.stringsLowPass_;
    lp.state_.x1 = s.x1[lane];
    lp.state_.x2 = s.x2[lane];
    lp.state_.y1 = s.y1[lane];
    lp.state_.y2 = s.y2[lane];
    lp.state_.offset = s.biquadOffset[lane];
}

void VoiceLanes::EndEnvelopeStage(VoiceLanesState& s, int envelope, int lane) {
    if (s.envStage[envelope][lane] == Envelope::kAttack) {
        Voice& v = *s.voice[lane];
        Envelope* envelopes[VoiceLanesState::kEnvelopes] = {
            &v.dampGate_, &v.brassGate_, &v.vcfEnvelope_, &v.vcaEnvelope_, &v.stringsEnvelope_};
        Envelope& env = *envelopes[envelope];
        env.EnterDecay();
        s.envValue[envelope][lane] = env.value_;
        s.envTarget[envelope][lane] = env.target_;
        s.envCoefficient[envelope][lane] = env.coefficient_;
        s.envStage[envelope][lane] = static_cast<double>(env.stage_);
        s.envAttack[envelope][lane] = Mask(env.stage_ == Envelope::kAttack);
        if (env.stage_ != Envelope::kAttack)
            --s.envAttacking[envelope];
        if (env.stage_ <= Envelope::kIdle) {
            s.envRun[envelope][lane] = Mask(false);
            --s.envRunning[envelope];
        }
    } else {
        s.envValue[envelope][lane] = 0.0;
        s.envStage[envelope][lane] = Envelope::kIdle;
        s.envRun[envelope][lane] = s.envAttack[envelope][lane] = Mask(false);
        --s.envRunning[envelope];
    }
}

void VoiceLanes::UpdateLadder(VoiceLanesState& s, int lane, int32_t index) {
    LadderFilter& f = s.voice[lane]->vcf_;
    f.UpdateCoefficients(index);
    s.cachedIndex[lane] = f.cachedIndex_;
    s.cachedPitch[lane] = f.cachedIndex_;
    s.g[lane] = f.g_;
    s.g2[lane] = f.g2_;
    s.g3[lane] = f.g3_;
    s.g4[lane] = f.g4_;
    s.t[lane] = f.t_;
    s.k[lane] = f.k_;
    s.outputGain[lane] = f.outputGain_;
    s.normaliser[lane] = f.normaliser_;
}

} // namespace halvane

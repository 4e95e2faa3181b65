#include "sound/OutputMix.h"

#include "engine/Bowing.h"
#include "engine/BrassSection.h"

#include <cmath>

namespace halvane {

namespace {

constexpr double kDefaultSampleRate = 44100.0;
constexpr double kEqHighCorner = 1800.0;
constexpr double kEqLowCorner = 600.0;
constexpr double kStringsVibratoSeconds = 0.002;
constexpr double kStringsVibratoManual = 0.5;
constexpr double kFlangerSeconds = 0.004;
constexpr double kLineFilterHz = 8000.0;

enum { kSynthe = 0, kBrass = 1, kStrings = 2 };

double Finite(double x) {
    return std::isfinite(x) ? x : 0.0;
}

// A pan that is not a number sits in the centre rather than silence a section
// with NaN gains.
double PanOrCentre(double pan) {
    return std::isnan(pan) ? 0.5 : pan;
}

bool ValidSection(int section) {
    return section >= kSynthe && section <= kStrings;
}

} // namespace

OutputMix::OutputMix(BrassSection& brass, Bowing& bowing) : brass_(brass), bowing_(bowing) {
    // The brass section may not be built yet (its owner decides the order), so it
    // is left alone here: its own default gains are those of the default pan.
    stringsVibrato_.SetManual(kStringsVibratoManual);
    Rebuild(kDefaultSampleRate);
}

void OutputMix::SetSampleRate(double sampleRate) {
    Rebuild(sampleRate);
    UpdateBrassGains();
}

void OutputMix::Rebuild(double sampleRate) {
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0))
        sampleRate = kDefaultSampleRate;

    for (int side = 0; side < 2; ++side) {
        eqHigh_[side].SetSampleRate(sampleRate);
        eqHigh_[side].SetLowShelf(false);
        eqHigh_[side].SetCorner(kEqHighCorner);
        eqHigh_[side].Compute();
        eqLow_[side].SetSampleRate(sampleRate);
        eqLow_[side].SetLowShelf(true);
        eqLow_[side].SetCorner(kEqLowCorner);
        eqLow_[side].Compute();
    }

    stringsVibrato_.Prepare(sampleRate, kStringsVibratoSeconds);
    stringsVibrato_.SetManual(kStringsVibratoManual);
    flanger_.Prepare(sampleRate, kFlangerSeconds);
    stringsVibrato_.SetFilterCutoff(kLineFilterHz);
    flanger_.SetFilterCutoff(kLineFilterHz);

    stringsVibratoEnvelope_.SetAttack(0.0);
    stringsVibratoEnvelope_.SetSustain(0.0);
    stringsVibratoEnvelope_.SetRelease(0.0);
    stringsVibratoEnvelope_.SetTimeBase(Envelope::kControlTimeBase);

    // Preparing clears the ensemble's depths; the ones the parameters last set
    // come back at once, so a rate change while playing keeps the sound.
    ensemble_.Prepare(sampleRate);
    ensemble_.SetLfo1Increment(ensembleIncrement_[0]);
    ensemble_.SetLfo2Increment(ensembleIncrement_[1]);
    for (int line = 0; line < Ensemble::kLines; ++line)
        ensemble_.SetDepth(line, ensembleDepth_[line]);
    ensemble_.SetStereo(stringsStereo_);
}

void OutputMix::SetSectionOn(int section, bool on) {
    if (ValidSection(section))
        sectionOn_[section] = on;
}

void OutputMix::SetFlangerSend(int section, bool on) {
    if (!ValidSection(section))
        return;
    send_[section] = on;
    flangerActive_ = send_[kSynthe] || send_[kBrass] || send_[kStrings];
}

void OutputMix::SetSynthePan(double pan) {
    synthPan_ = PanOrCentre(pan);
    synthGain_[0] = 1.0 - synthPan_;
    synthGain_[1] = synthPan_;
}

void OutputMix::SetBrassPan(double pan) {
    brassPan_ = PanOrCentre(pan);
    UpdateBrassGains();
}

void OutputMix::SetBrassFootages(bool foot16, bool foot8) {
    brassFoot_[0] = foot16;
    brassFoot_[1] = foot8;
    UpdateBrassGains();
}

void OutputMix::SetStringsPan(double pan) {
    stringsPan_ = PanOrCentre(pan);
    UpdateStringsGains();
}

void OutputMix::SetStringsFootages(bool foot16, bool foot8, bool foot4) {
    stringsFoot_[0] = foot16;
    stringsFoot_[1] = foot8;
    stringsFoot_[2] = foot4;
    UpdateStringsGains();
}

void OutputMix::UpdateBrassGains() {
    // Two footages sound twice as loud as one; halving keeps the section level.
    const double a = brassFoot_[0] && brassFoot_[1] ? 0.5 : 1.0;
    brassGain_[0] = (1.0 - brassPan_) * a;
    brassGain_[1] = brassPan_ * a;
    brass_.SetGains(brassGain_[0], brassGain_[1]);
}

void OutputMix::UpdateStringsGains() {
    const int n = (stringsFoot_[0] ? 1 : 0) + (stringsFoot_[1] ? 1 : 0) + (stringsFoot_[2] ? 1 : 0);
    if (n == 0) {
        stringsGain_[0] = stringsGain_[1] = 0.0;
        return;
    }
    stringsGain_[0] = (1.0 - stringsPan_) / n;
    stringsGain_[1] = stringsPan_ / n;
}

void OutputMix::SetStringsStereo(bool on) {
    stringsStereo_ = on;
    ensemble_.SetStereo(on);
}

void OutputMix::SetEnsembleLfoIncrement(int lfo, double increment) {
    if (lfo == 0) {
        ensembleIncrement_[0] = increment;
        ensemble_.SetLfo1Increment(increment);
    } else if (lfo == 1) {
        ensembleIncrement_[1] = increment;
        ensemble_.SetLfo2Increment(increment);
    }
}

void OutputMix::SetEnsembleDepth(int line, double depth) {
    if (line < 0 || line >= Ensemble::kLines)
        return;
    ensembleDepth_[line] = depth;
    ensemble_.SetDepth(line, depth);
}

void OutputMix::SetEqHigh(double dB) {
    for (ShelvingFilter& filter : eqHigh_) {
        filter.SetGain(dB);
        filter.Compute();
    }
}

void OutputMix::SetEqLow(double dB) {
    for (ShelvingFilter& filter : eqLow_) {
        filter.SetGain(dB);
        filter.Compute();
    }
}

void OutputMix::ControlTickStrings() {
    if (!sectionOn_[kStrings])
        return;
    if (stringsVibratoOn_) {
        stringsVibratoEnvelope_.Step();
        // The envelope jumps up at each strings note and decays, fading the
        // vibrato in after the delay.
        stringsVibrato_.SetIntensity((1.0 - stringsVibratoEnvelope_.Value()) *
                                     stringsVibratoDepth_);
        stringsVibrato_.ControlUpdate();
    }
    if (ensembleOn_)
        ensemble_.ControlUpdate();
}

void OutputMix::ControlTickFlanger() {
    if (flangerActive_)
        flanger_.ControlUpdate();
}

void OutputMix::ProcessStrings(double strings, int i, double& left, double& right) {
    double t = strings;
    if (stringsVibratoOn_)
        t = stringsVibrato_.ProcessMono(t);
    double l = t;
    double r = t;
    if (ensembleOn_)
        ensemble_.Process(t, l, r);
    l = eqLow_[0].Process(eqHigh_[0].Process(l));
    if (stringsStereo_) {
        r = eqLow_[1].Process(eqHigh_[1].Process(r));
        if (bowingOn_)
            bowing_.Process(l, r, true, i);
    } else {
        // One channel carries the section; the ensemble's second output and the
        // right filters stay unused.
        if (bowingOn_)
            bowing_.Process(l, r, false, i);
        r = l;
    }
    left = Finite(l * stringsGain_[0]);
    right = Finite(r * stringsGain_[1]);
}

void OutputMix::Process(double synth, double brass, double strings, int i,
                        double (&out)[kChannels]) {
    // One bad voice sum must not reach the host, nor lodge in the delay lines.
    synth = Finite(synth);
    brass = Finite(brass);
    strings = Finite(strings);

    double synthL = 0.0, synthR = 0.0;
    if (sectionOn_[kSynthe]) {
        synthL = Finite(synth * synthGain_[0]);
        synthR = Finite(synth * synthGain_[1]);
    }
    double brassL = 0.0, brassR = 0.0;
    if (sectionOn_[kBrass])
        brass_.Process(brass, i, brassL, brassR);
    double stringsL = 0.0, stringsR = 0.0;
    if (sectionOn_[kStrings])
        ProcessStrings(strings, i, stringsL, stringsR);

    double left = synthL + brassL + stringsL;
    double right = synthR + brassR + stringsR;
    if (flangerActive_) {
        double sendL = 0.0, sendR = 0.0;
        if (send_[kSynthe]) {
            sendL += synthL;
            sendR += synthR;
        }
        if (send_[kBrass]) {
            sendL += brassL;
            sendR += brassR;
        }
        if (send_[kStrings]) {
            sendL += stringsL;
            sendR += stringsR;
        }
        flanger_.ProcessStereo(sendL, sendR);
        left += sendL;
        right += sendR;
    }

    out[kTotalL] = Finite(left * outputGain_);
    out[kTotalR] = Finite(right * outputGain_);
    out[kSynthL] = synthL;
    out[kSynthR] = synthR;
    out[kBrassL] = brassL;
    out[kBrassR] = brassR;
    out[kStringsL] = stringsL;
    out[kStringsR] = stringsR;
}

} // namespace halvane

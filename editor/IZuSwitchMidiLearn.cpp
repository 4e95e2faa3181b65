#include "editor/IZuSwitchMidiLearn.h"

#include "shell/Synth.h"

namespace halvane {

IZuSwitchMidiLearn::IZuSwitchMidiLearn(Synth* synth, const IRect& rect, const IBitmap& learn,
                                       const IBitmap& unlearn)
    : ISwitchControl(synth, rect, kTag, learn), synth_(synth), learn_(learn), unlearn_(unlearn) {}

void IZuSwitchMidiLearn::HandleMouseDown(int /*x*/, int /*y*/, const IMouseMod& mod) {
    if (mod.L) {
        SetBitmap(learn_);
        unlearnShown_ = false;
    } else if (mod.R) {
        SetBitmap(unlearn_);
        unlearnShown_ = true;
    } else {
        SetDirty();
        return;
    }
    SetValue(NextValue());
    synth_->LearnSwitchClicked(GetValue(), unlearnShown_);
    MarkDirty(false);
}

} // namespace halvane

#include "editor/IZuUtilityKick.h"

#include "shell/Synth.h"

namespace halvane {

IZuUtilityKick::IZuUtilityKick(Synth* synth, const IRect& rect, int tag, const IBitmap& bitmap)
    : IContactControl(synth, rect, tag, bitmap), synth_(synth) {}

void IZuUtilityKick::HandleMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    SetValue(0.0);
    MarkDirty(false);
    const int last = synth_->NPrograms() - 1;
    if (last < 0)
        return;
    const int current = synth_->CurrentProgram();
    if (ParamIdx() == kPreviousTag)
        synth_->SelectProgram(current <= 0 ? last : current - 1);
    else if (ParamIdx() == kNextTag)
        synth_->SelectProgram(current >= last ? 0 : current + 1);
}

} // namespace halvane

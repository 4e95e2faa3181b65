#pragma once
// The MIDI learn switch: a left click toggles learning with the learn
// picture, a right click toggles unlearning with the unlearn picture.

#include "editor/ISwitchControl.h"

namespace halvane {

class Synth;

class IZuSwitchMidiLearn : public ISwitchControl {
public:
    static constexpr int kTag = -97;

    IZuSwitchMidiLearn(Synth* synth, const IRect& rect, const IBitmap& learn,
                       const IBitmap& unlearn);

    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;
    bool ShowsUnlearn() const { return unlearnShown_; }

private:
    Synth* synth_;
    IBitmap learn_;
    IBitmap unlearn_;
    bool unlearnShown_ = false;
};

} // namespace halvane

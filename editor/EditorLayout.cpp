#include "editor/EditorLayout.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "editor/IBitmapControl.h"
#include "editor/IKnobMultiControl.h"
#include "editor/ISwitchFramesControl.h"
#include "editor/ITextControl.h"
#include "editor/IZuButtonKick.h"
#include "editor/IZuKeyControl.h"
#include "editor/IZuOptionMenu.h"
#include "editor/IZuPresetMenu.h"
#include "editor/IZuSwitchMidiLearn.h"
#include "editor/IZuUtilityKick.h"
#include "editor/IZuVoiceDebugger.h"
#include "editor/LayoutTable.h"
#include "graphics/IGraphics.h"
#include "shell/Synth.h"

namespace halvane {

#ifndef HALVANE_BUILD_NUMBER
#define HALVANE_BUILD_NUMBER 0
#endif

namespace {

const IText kVersionStyle("Arial", 12, IColor(128, 255, 255, 255), IText::kAlignFar);
const IText kProgramStyle("Arial", 15, IColor(160, 255, 255, 255));
const IText kSmallStyle("Arial", 12, IColor(192, 255, 255, 255));

} // namespace

int FindParamByName(const Synth& synth, const char* name) {
    for (int i = 0; name && i < synth.NParams(); ++i)
        if (std::strcmp(synth.GetParam(i)->Name(), name) == 0)
            return i;
    return -1;
}

EditorControls BuildEditorLayout(IGraphics& graphics, Synth& synth) {
    graphics.Resize(layout::kEditorWidth, layout::kEditorHeight);

    std::map<int, IBitmap> bitmaps;
    for (int id : layout::kLoadOrder) {
        const layout::BitmapEntry* entry = layout::FindBitmap(id);
        bitmaps[id] = graphics.LoadBitmap(id, entry->fileName, entry->frames);
    }

    graphics.HandleMouseOver(true);
    graphics.EnableTooltips(true);
    graphics.SetStrictDrawing(true);
    const layout::BitmapEntry* back = layout::FindBitmap(layout::kBackgroundBitmap);
    graphics.AttachBackground(back->id, back->fileName);

    EditorControls kept;
    for (const layout::ControlEntry& c : layout::kControls) {
        const IRect rect = layout::ControlRect(c);
        const int param = FindParamByName(synth, c.parameter);
        const IBitmap& bitmap = bitmaps[c.bitmap];
        std::unique_ptr<IControl> control;
        switch (c.kind) {
        case layout::kPresetMenu: {
            auto display = std::make_unique<IZuPresetMenu>(&synth, rect, c.second, kProgramStyle);
            kept.programDisplay = display.get();
            control = std::move(display);
            break;
        }
        case layout::kUtilityKick:
            control = std::make_unique<IZuUtilityKick>(&synth, rect,
                                                       c.role == layout::kPreviousProgram
                                                           ? IZuUtilityKick::kPreviousTag
                                                           : IZuUtilityKick::kNextTag,
                                                       bitmap);
            break;
        case layout::kOptionMenu:
            control = std::make_unique<IZuOptionMenu>(&synth, rect);
            break;
        case layout::kSwitchMidiLearn: {
            auto learn =
                std::make_unique<IZuSwitchMidiLearn>(&synth, rect, bitmap, bitmaps[c.bitmapAlt]);
            kept.learnSwitch = learn.get();
            control = std::move(learn);
            break;
        }
        case layout::kText: {
            const int32_t v = synth.Version();
            char text[32];
            std::snprintf(text, sizeof(text), "v%d.%d.%d.%d", (v >> 16) & 0xFFFF, (v >> 8) & 0xFF,
                          v & 0xFF, HALVANE_BUILD_NUMBER);
            control = std::make_unique<ITextControl>(&synth, rect, kVersionStyle, text);
            break;
        }
        case layout::kVoiceDebugger: {
            auto schedule = std::make_unique<IZuVoiceDebugger>(&synth, rect, kSmallStyle);
            kept.voiceSchedule = schedule.get();
            control = std::move(schedule);
            break;
        }
        case layout::kButtonKick:
            control =
                std::make_unique<IZuButtonKick>(&synth, rect, param, bitmap, bitmaps[c.bitmapAlt]);
            break;
        case layout::kBitmap: {
            auto indicator = std::make_unique<IBitmapControl>(&synth, rect, -1, bitmap);
            if (c.role == layout::kPolyphonyIndicator)
                kept.polyphony = indicator.get();
            else if (c.role == layout::kBrassDetuneIndicator)
                kept.brassDetune = indicator.get();
            else if (c.role == layout::kStringsDetuneIndicator)
                kept.stringsDetune = indicator.get();
            control = std::move(indicator);
            break;
        }
        case layout::kSwitch:
            control = std::make_unique<ISwitchControl>(&synth, rect, param, bitmap);
            break;
        case layout::kKnob:
            control = std::make_unique<IKnobMultiControl>(&synth, rect, param, bitmap, c.gearing);
            break;
        case layout::kFramesSwitch:
            control = std::make_unique<ISwitchFramesControl>(&synth, rect, param, bitmap);
            break;
        case layout::kKeyControl:
            control = std::make_unique<IZuKeyControl>(&synth, rect, param, kSmallStyle);
            break;
        }
        graphics.AttachControl(std::move(control));
    }
    if (kept.voiceSchedule)
        kept.voiceSchedule->SetHidden(true);
    return kept;
}

} // namespace halvane

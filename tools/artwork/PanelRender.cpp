#include "PanelRender.h"

#include <cstdio>
#include <cstring>

#include "plugin/PlugParam.h"
#include "sound/ParamIds.h"
#include "sound/ParamTable.h"

namespace halvane {

namespace {

// The text styles of the panel's text controls.
const IText kVersionStyle("Arial", 12, IColor(128, 255, 255, 255), IText::kAlignFar);
const IText kProgramStyle("Arial", 15, IColor(160, 255, 255, 255), IText::kAlignCenter);
const IText kNoteStyle("Arial", 12, IColor(192, 255, 255, 255), IText::kAlignCenter);

int FrameOf(double value, int frames) {
    int frame = static_cast<int>((frames - 1) * value + 0.5) + 1;
    return frame < 1 ? 1 : frame > frames ? frames : frame;
}

void NoteName(int note, char* out, std::size_t size) {
    static const char kNames[] = "C C#D D#E F F#G G#A A#B ";
    const char a = kNames[(note % 12) * 2];
    const char b = kNames[(note % 12) * 2 + 1];
    if (b == ' ')
        std::snprintf(out, size, "%c%i", a, note / 12 - 2);
    else
        std::snprintf(out, size, "%c%c%i", a, b, note / 12 - 2);
}

} // namespace

PanelRender::PanelRender() {
    for (const layout::BitmapEntry& entry : layout::kBitmaps) {
        IBitmap b;
        b.image = LICE::LoadPngResource(entry.id, entry.fileName);
        b.width = entry.width;
        b.height = entry.height;
        b.frames = entry.frames;
        if (!b.image || b.image->Width() != entry.width || b.image->Height() != entry.height)
            ready_ = false;
        bitmaps_.push_back(b);
    }
    PlugParam params[kNumParams];
    InitHalvaneParams(params, kNumParams);
    for (const PlugParam& p : params)
        SetParameter(p.Name(), p.GetNormalized());
}

void PanelRender::SetParameter(const char* name, double normalized) {
    for (int i = 0; i < layout::kControlCount; ++i) {
        const char* bound = layout::kControls[i].parameter;
        if (bound && std::strcmp(bound, name) == 0)
            values_[i] = normalized;
        // The indicators follow the parameters that drive them.
        const layout::ControlRole role = layout::kControls[i].role;
        if (role == layout::kPolyphonyIndicator && std::strcmp(name, "Trident Mode") == 0)
            values_[i] = normalized < 0.5 ? 1.0 : 0.0;
        if ((role == layout::kBrassDetuneIndicator && std::strcmp(name, "Detune Brass") == 0) ||
            (role == layout::kStringsDetuneIndicator && std::strcmp(name, "Detune Strings") == 0))
            values_[i] = normalized != 0.5 ? 1.0 : 0.0;
    }
}

IBitmap PanelRender::Bitmap(int id) const {
    for (std::size_t i = 0; i < bitmaps_.size(); ++i)
        if (layout::kBitmaps[i].id == id)
            return bitmaps_[i];
    return IBitmap();
}

void PanelRender::Paint(LICE_MemBitmap& dst, const IRect& clip) const {
    LICE::DrawFrame(dst, Bitmap(layout::kBackgroundBitmap), 1, 0, 0, 1.0f, clip);
    for (int i = 0; i < layout::kControlCount; ++i)
        if (layout::ControlRect(layout::kControls[i]).Intersects(clip))
            PaintControl(dst, i, clip);
}

void PanelRender::PaintControl(LICE_MemBitmap& dst, int index, const IRect& clip) const {
    const layout::ControlEntry& c = layout::kControls[index];
    const IRect r = layout::ControlRect(c);
    const double v = values_[index];
    char text[64];
    switch (c.kind) {
    case layout::kPresetMenu:
        std::snprintf(text, sizeof text, "%02d", program_);
        LICE::DrawText(dst, kProgramStyle, text, c.rect, clip);
        std::snprintf(text, sizeof text, "%.27s", programName_.c_str());
        LICE::DrawText(dst, kProgramStyle, text, c.second, clip);
        break;
    case layout::kText:
        if (c.role == layout::kVersionText)
            LICE::DrawText(dst, kVersionStyle, "v1.1.4", r, clip);
        break;
    case layout::kKeyControl:
        if (v * 127.0 > 127.0)
            std::snprintf(text, sizeof text, "Off");
        else
            NoteName(static_cast<int>(v * 127.0 + 0.5), text, sizeof text);
        LICE::DrawText(dst, kNoteStyle, text, IRect(r.left, r.top + 1, r.right, r.bottom), clip);
        break;
    case layout::kButtonKick: {
        const IBitmap b = Bitmap(v >= 0.5 ? c.bitmapAlt : c.bitmap);
        LICE::DrawFrame(dst, b, 1, r.left, r.top, 1.0f, clip);
        break;
    }
    case layout::kBitmap:
        if (c.role == layout::kPolyphonyIndicator) {
            const IBitmap b = Bitmap(c.bitmap);
            LICE::DrawFrame(dst, b, FrameOf(v, b.frames), r.left, r.top, 1.0f, clip);
        } else if (v >= 0.5) { // a detune light, hidden while its knob is centred
            LICE::DrawFrame(dst, Bitmap(c.bitmap), 1, r.left, r.top, 1.0f, clip);
        }
        break;
    case layout::kSwitch:
    case layout::kKnob:
    case layout::kFramesSwitch:
    case layout::kUtilityKick:
    case layout::kSwitchMidiLearn: {
        const IBitmap b = Bitmap(c.bitmap);
        LICE::DrawFrame(dst, b, FrameOf(v, b.frames), r.left, r.top, 1.0f, clip);
        break;
    }
    case layout::kOptionMenu:    // invisible: the background shows the symbol
    case layout::kVoiceDebugger: // hidden until the option menu shows it
        break;
    }
}

} // namespace halvane

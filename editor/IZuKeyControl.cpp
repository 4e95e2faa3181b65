#include "editor/IZuKeyControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

constexpr IColor kClear(0, 0, 0, 0);
const char kNoteLetters[] = "C C#D D#E F F#G G#A A#B ";
constexpr int kOctaves = 10; // whole octaves C-2 to B7, then C8 to G8

} // namespace

IZuKeyControl::IZuKeyControl(IPlugBase* plug, const IRect& rect, int paramIndex, const IText& style)
    : IControl(plug, rect, paramIndex),
      textRect_(rect.left, rect.top + 1, rect.right, rect.bottom) {
    SetTextStyle(style);
    SetDblAsClick(true);
}

void IZuKeyControl::NoteName(int note, char* out, std::size_t size) {
    const int n = ((note % 12) + 12) % 12;
    const int octave = (note - n) / 12 - 2;
    const char first = kNoteLetters[2 * n];
    const char second = kNoteLetters[2 * n + 1];
    if (second == ' ')
        std::snprintf(out, size, "%c%i", first, octave);
    else
        std::snprintf(out, size, "%c%c%i", first, second, octave);
}

void IZuKeyControl::FieldText(double note, char* out, std::size_t size) {
    if (!(note <= kHighestNote)) // NaN shows as off too
        std::snprintf(out, size, "Off");
    else
        NoteName(static_cast<int>(std::max(note, 0.0)), out, size);
}

double IZuKeyControl::Note() const {
    const PlugParam* param = GetPlug() ? GetPlug()->GetParam(ParamIdx()) : nullptr;
    if (!param)
        return 0.0;
    const double v = GetValue();
    // The range is fixed after construction; the parameter's value is not read.
    return param->ValueFromNormalized(std::isnan(v) ? 0.0 : v);
}

void IZuKeyControl::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    char text[16];
    FieldText(Note(), text, sizeof(text));
    LICE::FillRect(dst, rect_, kClear, clip);
    LICE::DrawText(dst, text_, text, textRect_, clip);
}

void IZuKeyControl::HandleMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    const PlugParam* param = GetPlug() ? GetPlug()->GetParam(ParamIdx()) : nullptr;
    if (!param || !GetGUI())
        return;
    const int current = static_cast<int>(Note());
    menu_.Clear();
    char text[32];
    for (int k = 0; k <= kOctaves; ++k) {
        auto octave = std::make_unique<IPopupMenu>();
        const int first = 12 * k;
        const int last = std::min(first + 11, kHighestNote);
        for (int note = first; note <= last; ++note) {
            NoteName(note, text, sizeof(text));
            octave->AddItem(text, note == current ? IPopupMenu::kChecked : 0);
        }
        if (k < kOctaves) {
            std::snprintf(text, sizeof(text), "C%i - B%i", k - 2, k - 2);
        } else {
            char lastName[8];
            NoteName(last, lastName, sizeof(lastName));
            std::snprintf(text, sizeof(text), "C%i - %s", k - 2, lastName);
        }
        menu_.AddItem(text, 0, std::move(octave));
    }
    IPopupMenu* chosen = GetGUI()->CreatePopupMenu(menu_, rect_.left, rect_.bottom);
    if (!chosen)
        return;
    for (int k = 0; k <= kOctaves; ++k) {
        if (menu_.Submenu(k) != chosen)
            continue;
        const double note =
            std::min(std::max(double(12 * k + chosen->ChosenItem()), param->Min()), param->Max());
        TakeValueFromUser(param->Normalize(note));
        MarkDirty(true);
    }
}

} // namespace halvane

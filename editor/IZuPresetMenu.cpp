#include "editor/IZuPresetMenu.h"

#include <cstdio>
#include <memory>
#include <string>

#include "platform/Text.h"
#include "shell/Synth.h"

namespace halvane {

namespace {

constexpr IColor kClear(0, 0, 0, 0);
// The control's own limit on a typed name; the entry field delivers fewer.
constexpr std::size_t kMaxTypedName = 256;

} // namespace

IZuPresetMenu::IZuPresetMenu(Synth* synth, const IRect& numberArea, const IRect& nameArea,
                             const IText& style)
    : IControl(synth, numberArea.Union(nameArea)), synth_(synth), numberArea_(numberArea),
      nameArea_(nameArea) {
    SetTextStyle(style);
}

void IZuPresetMenu::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    char number[16];
    char name[kShownNameChars + 1] = {};
    {
        // Program names change under the instance lock on the host's threads.
        ScopedLock hold(synth_->Lock());
        const int index = synth_->CurrentProgram();
        std::snprintf(number, sizeof(number), "%02d", index);
        if (synth_->IsValidProgram(index))
            CopyText(name, synth_->ProgramName(index));
    }
    LICE::FillRect(dst, numberArea_, kClear, clip);
    LICE::FillRect(dst, nameArea_, kClear, clip);
    LICE::DrawText(dst, text_, number, numberArea_, clip);
    LICE::DrawText(dst, text_, name, nameArea_, clip);
}

void IZuPresetMenu::HandleMouseDown(int x, int y, const IMouseMod& /*mod*/) {
    if (numberArea_.Contains(x, y)) {
        OpenProgramMenu();
    } else if (nameArea_.Contains(x, y) && GetGUI()) {
        std::string name;
        {
            ScopedLock hold(synth_->Lock());
            name = synth_->ProgramName(synth_->CurrentProgram());
        }
        GetGUI()->CreateTextEntry(*this, text_, nameArea_, name.c_str());
    }
}

void IZuPresetMenu::OpenProgramMenu() {
    if (!GetGUI())
        return;
    int current = 0;
    const int groups = (synth_->NPrograms() + kGroupSize - 1) / kGroupSize;
    menu_.Clear();
    {
        ScopedLock hold(synth_->Lock());
        current = synth_->CurrentProgram();
        for (int g = 0; g < groups; ++g) {
            auto group = std::make_unique<IPopupMenu>();
            for (int i = g * kGroupSize; i < (g + 1) * kGroupSize && i < synth_->NPrograms(); ++i) {
                char item[32];
                std::snprintf(item, sizeof(item), "%02u: %s", static_cast<unsigned>(i),
                              synth_->ProgramName(i));
                group->AddItem(item, i == current ? IPopupMenu::kChecked : 0);
            }
            char title[32];
            std::snprintf(title, sizeof(title), "%02d - %02d", g * kGroupSize,
                          g * kGroupSize + kGroupSize - 1);
            menu_.AddItem(title, 0, std::move(group));
        }
    }
    IPopupMenu* chosen = GetGUI()->CreatePopupMenu(menu_, numberArea_.left, numberArea_.bottom);
    if (!chosen)
        return;
    for (int g = 0; g < groups; ++g)
        if (menu_.Submenu(g) == chosen)
            synth_->SelectProgram(g * kGroupSize + chosen->ChosenItem());
}

void IZuPresetMenu::TakeTextEntry(const char* text) {
    std::string name = text ? text : "";
    if (name.size() > kMaxTypedName)
        name.resize(kMaxTypedName);
    {
        ScopedLock hold(synth_->Lock());
        synth_->ModifyCurrentPreset(name.c_str());
        synth_->ProgramsChanged();
        for (int i = 0; i < synth_->NParams(); ++i)
            synth_->AutomateParam(i, synth_->GetParam(i)->GetNormalized());
    }
    SetDirty();
}

} // namespace halvane

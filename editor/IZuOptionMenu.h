#pragma once
// The invisible button over the menu symbol of the panel: opens the option
// menu, shows the voice schedule or the maker's web site itself and passes
// every other command to the instrument.

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"

class Synth;
class IZuVoiceDebugger;

class IZuOptionMenu : public IControl {
public:
    static constexpr int kTag = -96;
    // Positions in the main menu of the two submenus, and the numbers their
    // items' commands start at.
    static constexpr int kMidiSubmenu = 15;
    static constexpr int kOnlineSubmenu = 19;
    static constexpr int kMidiCommands = 20;
    static constexpr int kOnlineCommands = 22;
    static constexpr const char* kWebSiteName = "www.kelpmoormusic.com";
    static constexpr const char* kHomePage = "https://www.kelpmoormusic.com/";

    IZuOptionMenu(Synth* synth, const IRect& rect, IZuVoiceDebugger* schedule);
    void SetSchedule(IZuVoiceDebugger* schedule) { schedule_ = schedule; }

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;

    // The command number of the item chosen in the menu or one of its
    // submenus; -1 for none.
    int CommandOf(const IPopupMenu* chosen);
    // Runs one command as the menu does.
    void Execute(int command);

private:
    void UpdateStates();

    Synth* synth_;
    IZuVoiceDebugger* schedule_;
    IPopupMenu menu_;
};

#pragma once
// Popup menus of the X11 editor window, drawn by us: each open level is an
// override-redirect window placed on the screen (flipped up or left where it
// would leave it), the pointer and keyboard are grabbed while the menu is up,
// and the call waits for a choice as a native modal menu does. Items show the
// menu's numbering, check marks, disabled and greyed states, separators and
// submenu arrows; the item under the pointer or chosen with the arrow keys is
// highlighted. A release or Return on an enabled item chooses it, a press
// outside every level or Escape at the top dismisses the menu.

#include <X11/Xlib.h>

#include <functional>

namespace halvane {

class IPopupMenu;

namespace x11 {

// Shows the menu with its top-left corner at (rootX, rootY) on the screen and
// returns the menu (the given one or a submenu) whose chosen item is set, or
// null when dismissed. onOtherEvent gets every event for other windows of the
// display while the menu is up (the editor repaints what the menu uncovers).
IPopupMenu* RunPopupMenu(Display* display, IPopupMenu& menu, int rootX, int rootY,
                         const std::function<void(XEvent&)>& onOtherEvent);

} // namespace x11

} // namespace halvane

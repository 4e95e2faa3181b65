#pragma once
// Our own modal dialog for machines without zenity or kdialog: a window over
// the host's window with the message, an optional one-line field (the text
// entry of the editor; a path, or a colour with a swatch showing it) and a row
// of buttons. Tab moves between the field and the
// buttons, Return presses the default button, Escape the last one (Cancel or
// No); a click on a button presses it.

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

namespace halvane {

namespace x11 {

struct DialogRequest {
    std::string title;
    std::string message;
    std::vector<std::string> buttons; // the first is the default
    bool withField = false;           // a one-line field holding field
    bool colorSwatch = false;         // beside the field, the colour it names
    std::string field;
};

// Shows the dialog centred over owner and waits for an answer; onOtherEvent
// gets every event for other windows meanwhile. The index of the button
// pressed (the last one when the window is closed), with entry.field holding
// the field's text.
int RunDialog(Display* display, Window owner, DialogRequest& entry,
              const std::function<void(XEvent&)>& onOtherEvent);

} // namespace x11

} // namespace halvane

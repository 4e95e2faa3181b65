#pragma once
// What every X11 window of the editor shares: trapping the errors of our own
// requests (Xlib's default handler would end the host's process), and copying
// rectangles of a drawing-library bitmap into a window of any true-colour
// visual in pieces the server accepts.

#include <X11/Xlib.h>

#include "graphics/GraphicsTypes.h"
#include "graphics/LICE.h"

namespace halvane {

namespace x11 {

// Installs our error handler for the lifetime of the object (nested traps
// share the outermost one). Errors of our display are recorded and
// swallowed; errors of any other display go to the handler that was there.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits for the server to answer everything sent so far; true when one of
    // our requests failed since the trap was set.
    bool Failed();

private:
    Display* display_;
    unsigned long firstSerial_;
};

// The visual and depth a window of ours draws with.
struct Surface {
    Display* display = nullptr;
    Drawable drawable = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
};

// Copies rect of the bitmap (at the same place in the window, shifted by the
// offset) to the surface. Premultiplied pixels are written as they are, with
// opaque alpha where the visual has an alpha channel.
void PutBitmap(const Surface& surface, const LICE_MemBitmap& bitmap, const IRect& rect,
               int offsetX = 0, int offsetY = 0);

// Milliseconds of a monotonic clock.
long long NowMs();

} // namespace x11

} // namespace halvane

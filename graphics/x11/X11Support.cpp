#include "graphics/x11/X11Support.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace halvane {

namespace x11 {

namespace {

// The handler is process-wide in Xlib; only the host's interface thread calls
// into our windows, so plain statics are enough.
int trapDepth = 0;
XErrorHandler previousHandler = nullptr;
Display* trappedDisplay = nullptr;
unsigned long failedSerial = 0;
bool failed = false;

int TrapHandler(Display* display, XErrorEvent* event) {
    if (display == trappedDisplay) {
        failed = true;
        failedSerial = event->serial;
        return 0;
    }
    return previousHandler ? previousHandler(display, event) : 0;
}

int ShiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int BitsOf(unsigned long mask) {
    int bits = 0;
    for (; mask; mask >>= 1)
        bits += static_cast<int>(mask & 1);
    return bits;
}

unsigned long Scale(unsigned value8, unsigned long mask) {
    const int bits = BitsOf(mask);
    const unsigned long v = bits >= 8 ? static_cast<unsigned long>(value8) << (bits - 8)
                                      : static_cast<unsigned long>(value8) >> (8 - bits);
    return (v << ShiftOf(mask)) & mask;
}

} // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display), firstSerial_(NextRequest(display)) {
    if (trapDepth++ == 0) {
        trappedDisplay = display;
        failed = false;
        previousHandler = XSetErrorHandler(TrapHandler);
    }
}

ErrorTrap::~ErrorTrap() {
    // Errors arrive after the request; collect them before the handler goes
    // (a round trip, spared when nothing was sent).
    if (NextRequest(display_) != firstSerial_)
        XSync(display_, False);
    if (--trapDepth == 0) {
        XSetErrorHandler(previousHandler);
        previousHandler = nullptr;
        trappedDisplay = nullptr;
    }
}

bool ErrorTrap::Failed() {
    XSync(display_, False);
    return failed && failedSerial >= firstSerial_;
}

void PutBitmap(const Surface& surface, const LICE_MemBitmap& bitmap, const IRect& rect, int offsetX,
               int offsetY) {
    const IRect area = rect.Intersect(IRect(0, 0, bitmap.Width(), bitmap.Height()));
    if (area.Empty() || !surface.display || !surface.drawable)
        return;
    const Visual* v = surface.visual;
    const bool plain = v->red_mask == 0xff0000 && v->green_mask == 0xff00 && v->blue_mask == 0xff;
    // Everything the visual does not use for colour is alpha (depth 32): opaque.
    const unsigned long alpha =
        surface.depth == 32 ? ~(v->red_mask | v->green_mask | v->blue_mask) & 0xffffffffUL : 0;

    // A request may not exceed the server's limit: send bands of rows.
    long maxRequest = XExtendedMaxRequestSize(surface.display);
    if (maxRequest == 0)
        maxRequest = XMaxRequestSize(surface.display);
    const long maxBytes = maxRequest * 4 - 64;
    const int width = area.W();
    const int band = static_cast<int>(std::clamp<long>(maxBytes / (width * 4L), 1L, area.H()));

    std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(band));
    for (int top = area.top; top < area.bottom; top += band) {
        const int rows = std::min(band, area.bottom - top);
        XImage* image =
            XCreateImage(surface.display, surface.visual, static_cast<unsigned>(surface.depth),
                         ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                         static_cast<unsigned>(width), static_cast<unsigned>(rows), 32, width * 4);
        if (!image)
            return;
        const bool direct = plain && image->bits_per_pixel == 32 &&
                            image->byte_order == (ImageByteOrder(surface.display));
        for (int y = 0; y < rows; ++y) {
            const uint32_t* src =
                bitmap.Bits() +
                static_cast<std::size_t>(top + y) * static_cast<std::size_t>(bitmap.RowSpan()) +
                area.left;
            uint32_t* dst = pixels.data() + static_cast<std::size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                const uint32_t p = src[x];
                if (direct && image->byte_order == LSBFirst) {
                    dst[x] = (p & 0xffffffu) | static_cast<uint32_t>(alpha);
                } else {
                    const unsigned long value = Scale((p >> 16) & 0xff, v->red_mask) |
                                                Scale((p >> 8) & 0xff, v->green_mask) |
                                                Scale(p & 0xff, v->blue_mask) | alpha;
                    XPutPixel(image, x, y, value);
                }
            }
        }
        XPutImage(surface.display, surface.drawable, surface.gc, image, 0, 0, area.left + offsetX,
                  top + offsetY, static_cast<unsigned>(width), static_cast<unsigned>(rows));
        image->data = nullptr; // ours, not Xlib's to free
        XDestroyImage(image);
    }
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace x11

} // namespace halvane

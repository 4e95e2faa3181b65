// A shared library linked like the plug-in (same version script and flags)
// that pulls in every part of the drawing library, so its dynamic symbol table
// shows whether libpng, zlib or the font renderer leak out to the host.

#include "graphics/LICE.h"

using namespace halvane;

extern "C" __attribute__((visibility("default"))) void* VSTPluginMain(void*) {
    LICE_MemBitmap page(16, 16);
    auto knob = LICE::LoadPngResource(114, "resources/img/halknob.png");
    IBitmap strip;
    strip.image = knob;
    LICE::DrawFrame(page, strip, 1, 0, 0, 1.0f, IRect(0, 0, 16, 16));
    LICE::DrawText(page, IText(), "Halvane", IRect(0, 0, 16, 16), IRect(0, 0, 16, 16));
    return knob ? page.Bits() : nullptr;
}

// Where no window layer is linked in (the tests of the editor, systems without
// one yet), editors are offscreen: they keep their state and paint into their
// back buffer, and every dialog answers as cancelled.
#include "graphics/EditorPlatform.h"
#include "graphics/HeadlessPlatform.h"

namespace halvane {

// Weak: a build with a window layer links that layer's MakeEditorPlatform into
// the plug-in, and it takes the place of this one. On Windows the linker does
// not take a weak definition out of a static library to satisfy a reference;
// there the window layer's objects, linked directly, define the function, so
// this member of the library is never pulled in.
#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((weak))
#endif
std::unique_ptr<EditorPlatform>
MakeEditorPlatform() {
    return std::make_unique<HeadlessPlatform>();
}

} // namespace halvane

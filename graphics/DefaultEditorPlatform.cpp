// Until a window layer for this system is built in, editors are offscreen:
// they keep their state and paint into their back buffer, and every dialog
// answers as cancelled.
#include "graphics/EditorPlatform.h"
#include "graphics/HeadlessPlatform.h"

std::unique_ptr<EditorPlatform> MakeEditorPlatform() {
    return std::make_unique<HeadlessPlatform>();
}

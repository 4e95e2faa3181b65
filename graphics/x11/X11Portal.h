#pragma once
// The file dialog of the desktop portal (org.freedesktop.portal.FileChooser)
// asked over the session bus: the desktop's own dialog, drawn by another
// process, so no toolkit comes into the host.

#include <functional>
#include <string>

namespace halvane {

namespace x11 {

enum class PortalAnswer {
    kUnavailable, // no libdbus, no session bus, no portal, or it failed: ask elsewhere
    kChosen,
    kCancelled,
};

struct PortalFileRequest {
    bool save = false;
    std::string title;
    std::string folder;     // where the dialog starts; may be empty
    std::string name;       // the proposed name, for saving
    std::string extensions; // blank-separated, without dots
    unsigned long parentWindow = 0;
};

// Shows the portal's dialog and waits for it, calling whileWaiting every
// 40 ms. The chosen file's path is in path when the answer is kChosen.
PortalAnswer PortalFileDialog(const PortalFileRequest& request,
                              const std::function<void()>& whileWaiting, std::string& path);

// The local path of a file:// URI, with its %XX escapes decoded; empty for
// any other URI.
std::string PathOfFileUri(const std::string& uri);

} // namespace x11

} // namespace halvane

#pragma once
// Message boxes and file dialogs from the desktop's own dialog programs
// (zenity, else kdialog), run as child processes so that no toolkit is loaded
// into the host, and the other programs the editor starts (the web browser).

#include <functional>
#include <string>
#include <vector>

#include "graphics/GraphicsTypes.h"
#include "shell/ShellDialogs.h"

namespace halvane {

namespace x11 {

// The dialog program found on the PATH: "zenity", "kdialog" or empty.
std::string DialogProgram();

// Runs the program and waits for it, calling whileWaiting every 40 ms;
// output gets what it wrote to its standard output. The exit status, or -1
// when it could not be started.
int RunAndRead(const std::vector<std::string>& args, std::string& output,
               const std::function<void()>& whileWaiting);

// Starts the program without waiting for it; false when it could not be started.
bool Launch(const std::vector<std::string>& args);

// The command lines of the dialog program for a message box and a file dialog.
std::vector<std::string> MessageBoxCommand(const std::string& program, const char* text,
                                           const char* caption, ShellDialogs::BoxKind kind,
                                           unsigned long parentWindow);
std::vector<std::string> FileDialogCommand(const std::string& program,
                                           ShellDialogs::FileAction action,
                                           const std::string& start, const char* extensions,
                                           unsigned long parentWindow);
std::vector<std::string> ColorDialogCommand(const std::string& program, const IColor& color,
                                            const char* title, unsigned long parentWindow);

// A colour as the dialog programs and our own dialog write it: "#rrggbb",
// "#rrrrggggbbbb", "rgb(r,g,b)", "rgba(r,g,b,a)" or three numbers 0 to 255
// ("r g b" or "r, g, b"). Sets the colour (opaque) and returns true when the
// text is one of these.
bool ParseColor(const std::string& text, IColor& color);
// "#rrggbb".
std::string ColorText(const IColor& color);

} // namespace x11

} // namespace halvane

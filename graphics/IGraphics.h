#pragma once
// The editor object: a fixed-size panel of controls over a background, the
// routing of mouse events to them, keeping them in step with the parameters,
// and the timed redraw of what changed into a back-buffer bitmap. The window,
// menus and dialogs come from an EditorPlatform; the frame sees only the size,
// the parameter updates and opening and closing the window.
//
// Threads: events, painting and the timer run on the editor's thread.
// SetParameterFromPlug may run on the audio thread (learned controllers) or a
// host thread (automation): it only writes control values and flags, which
// are atomic, and neither allocates nor locks.

#include <memory>
#include <string>
#include <vector>

#include "graphics/EditorPlatform.h"
#include "graphics/GraphicsTypes.h"
#include "graphics/LICE.h"
#include "shell/ShellDialogs.h"

namespace halvane {

class IControl;
class IPlugBase;
class IPopupMenu;
class PlugParam;

// The mouse buttons and keys held during a mouse event.
struct IMouseMod {
    bool L = false, R = false, S = false, C = false, A = false;

    IMouseMod() = default;
    IMouseMod(bool left, bool right = false, bool shift = false, bool control = false,
              bool alt = false)
        : L(left), R(right), S(shift), C(control), A(alt) {}
};

class IGraphics : public ShellDialogs {
public:
    // The key codes the window hands to OnKeyDown.
    enum Key {
        kKeySpace = 0,
        kKeyUp,
        kKeyDown,
        kKeyLeft,
        kKeyRight,
        kKeyDigit0 = 5,
        kKeyLetterA = 15
    };

    IGraphics(IPlugBase* plug, int width, int height, int fps,
              std::unique_ptr<EditorPlatform> platform);
    ~IGraphics() override;
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int FPS() const { return fps_; }
    // Resizes the editor (and its window); the plug-in reports the new size.
    void Resize(int width, int height);
    IPlugBase* GetPlug() { return plug_; }
    EditorPlatform& Platform() { return *platform_; }
    const char* DrawingApiName() const { return platform_->DrawingApiName(); }

    // Options the layout sets.
    void HandleMouseOver(bool on) { mouseOverTracking_ = on; }
    void EnableTooltips(bool on) { tooltips_ = on; }
    bool TooltipsEnabled() const { return tooltips_; }
    // Repaint only the controls that overlap a changed control.
    void SetStrictDrawing(bool on) { strictDrawing_ = on; }

    // The bitmap of a resource id, shared through the process-wide cache and
    // decoded when first drawn; an invalid IBitmap when the resource is
    // missing or is no PNG.
    IBitmap LoadBitmap(int id, const char* fileName, int frames);

    // Controls. The list is built before the editor is attached and does not
    // change afterwards, so other threads may walk it.
    void AttachBackground(int id, const char* fileName);
    int AttachControl(std::unique_ptr<IControl> control);
    int NControls() const { return static_cast<int>(controls_.size()); }
    IControl* GetControl(int index);

    // Every control bound to the parameter takes the value (normalised, or
    // plain in the parameter's own range) as a value from the instrument.
    void SetParameterFromPlug(int paramIndex, double value, bool normalized);
    // Called once when the editor is attached. The back buffer (almost 3 MB)
    // is made when a window first opens instead: most instances in a project
    // never show their editor, and creating instances must stay cheap.
    void PrepDraw() {}

    bool OpenWindow(void* parentWindow);
    void CloseWindow();
    bool WindowIsOpen() const;
    // The host's idle call for the editor: the window handles its events and timer.
    void Idle() { platform_->Idle(); }

    // Events from the window, in editor pixels.
    void OnMouseDown(int x, int y, const IMouseMod& mod);
    void OnMouseUp(int x, int y, const IMouseMod& mod);
    void OnMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod);
    // True when a control took the double click (the window then captures the mouse).
    bool OnMouseDblClick(int x, int y, const IMouseMod& mod);
    // d in wheel notches.
    void OnMouseWheel(int x, int y, const IMouseMod& mod, double d);
    // The control under the mouse, -1 for none.
    int OnMouseOver(int x, int y, const IMouseMod& mod);
    void OnMouseOut();
    bool OnKeyDown(int x, int y, int key);
    // The redraw timer: repaints the union of the changed controls.
    void OnTimer();

    // The union of the rectangles of the controls that need drawing; false
    // when nothing changed.
    bool IsDirty(IRect& rect) const;
    // Paints what changed inside rect into the back buffer (everything in rect
    // when nothing is marked) and clears the marks.
    void Draw(const IRect& rect);
    const LICE_MemBitmap& BackBuffer() const { return backBuffer_; }

    // Services for the controls.
    // Shows the menu with its top-left corner at (x, y); the menu holding the
    // chosen item, or null.
    IPopupMenu* CreatePopupMenu(IPopupMenu& menu, int x, int y);
    void CreateTextEntry(IControl& control, const IText& style, const IRect& rect, const char* text,
                         int paramIndex = -1);
    // The window layer settles a committed text entry through this: the text
    // becomes the parameter's value (read as a number, or matched against the
    // display texts), or goes to the control when the entry edits no parameter.
    void CommitTextEntry(IControl& control, int paramIndex, const char* text);
    // Whether a text entry for the parameter (null: none) takes the character.
    static bool TextEntryAccepts(const PlugParam* param, char c);
    // Asks confirmText (when given) as a Yes/No question, then opens the
    // address in the web browser when the machine is online; on failure shows
    // errorText (when given). True when the browser was asked to open it.
    bool OpenUrl(const char* url, const char* caption, const char* confirmText,
                 const char* errorText) override;

    // ShellDialogs, served by the window.
    void PromptForFile(std::string& fileName, FileAction action, std::string& folder,
                       const char* extension) override;
    BoxAnswer ShowMessageBox(const char* text, const char* caption, BoxKind kind) override;

private:
    // The topmost control that is neither hidden nor grayed and is hit; -1 for none.
    int ControlAt(int x, int y) const;
    void PaintControl(IControl& control, const IRect& clip);
    void BeginGesture(IControl& control);
    void EndGesture(IControl& control);

    IPlugBase* plug_;
    std::unique_ptr<EditorPlatform> platform_;
    int width_;
    int height_;
    int fps_;
    bool mouseOverTracking_ = false;
    bool tooltips_ = false;
    bool strictDrawing_ = false;
    std::vector<std::unique_ptr<IControl>> controls_;
    int mouseCapture_ = -1;
    int mouseOver_ = -1;
    LICE_MemBitmap backBuffer_;
};

} // namespace halvane

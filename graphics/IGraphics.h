#pragma once
// The editor as the frame sees it: a fixed-size drawing surface whose controls
// are bound to parameters. The window, drawing and controls come with the
// editor itself; the frame only needs these operations.

class IGraphics {
public:
    virtual ~IGraphics() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Every control bound to the parameter takes the value (normalised 0..1,
    // or plain in the parameter's own range) and is marked for redraw.
    virtual void SetParameterFromPlug(int paramIndex, double value, bool normalized) = 0;

    // Creates the drawing bitmaps; called once when the editor is attached.
    virtual void PrepDraw() {}

    // Opens the editor window inside the host's window; false when it cannot.
    virtual bool OpenWindow(void* parentWindow) = 0;
    virtual void CloseWindow() = 0;
    virtual bool WindowIsOpen() const = 0;
};

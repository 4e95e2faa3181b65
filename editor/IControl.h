#pragma once
// The base of every control of the editor: a rectangle on the panel, an
// optional parameter, a normalised value 0..1 and the flags that tell the
// editor what to redraw. The virtual operations are declared in slot order.
//
// Value and flags are atomic: the instrument sets values from the audio thread
// (learned controllers) and host threads (automation) while the editor thread
// paints and handles the mouse.

#include <atomic>

#include "graphics/GraphicsTypes.h"
#include "graphics/IGraphics.h"
#include "graphics/LICE.h"

namespace halvane {

class IPlugBase;

class IControl {
public:
    static constexpr double kNoDblClickValue = -1.0;
    static constexpr float kGrayedBlend = 0.25f;

    IControl(IPlugBase* plug, const IRect& rect, int paramIndex = -1);
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // Virtual operations, in slot order.
    virtual ~IControl();
    virtual void HandleMouseDown(int x, int y, const IMouseMod& mod);
    virtual void HandleMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void HandleMouseDrag(int /*x*/, int /*y*/, int /*dx*/, int /*dy*/,
                                 const IMouseMod& /*mod*/) {}
    virtual void HandleDoubleClick(int x, int y, const IMouseMod& mod);
    virtual void HandleWheel(int /*x*/, int /*y*/, const IMouseMod& /*mod*/, double /*d*/) {}
    virtual bool HandleKey(int /*x*/, int /*y*/, int /*key*/) { return false; }
    virtual void HandleMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void HandleMouseOut() {}
    virtual void Paint(LICE_MemBitmap& /*dst*/, const IRect& /*clip*/) {}
    virtual void TakeValueFromInstrument(double value);
    virtual void TakeValueFromUser(double value);
    virtual void TakeTextEntry(const char* /*text*/) {}
    virtual void SetHidden(bool hidden);
    virtual void SetGrayed(bool grayed);
    virtual bool HitTest(int x, int y) const;
    virtual void MarkDirty(bool pushToInstrument);
    virtual void AfterPaint();
    virtual bool NeedsRedraw() const;
    virtual void Reserved() {}
    virtual void TakeAuxValueFromInstrument(int /*index*/, double /*value*/) {}

    // Set by the editor when the control joins its list.
    void SetGraphics(IGraphics* graphics) { graphics_ = graphics; }
    IGraphics* GetGUI() const { return graphics_; }
    IPlugBase* GetPlug() const { return plug_; }

    int ParamIdx() const { return paramIndex_; }
    const IRect& GetRect() const { return rect_; }
    const IRect& GetTargetRect() const { return targetRect_; }
    double GetValue() const { return value_.load(std::memory_order_relaxed); }
    double DblClickValue() const { return dblClickValue_.load(std::memory_order_relaxed); }
    void SetClamp(double low, double high);
    float BlendWeight() const { return blend_.load(std::memory_order_relaxed); }
    bool IsHidden() const { return hidden_.load(std::memory_order_relaxed); }
    bool IsGrayed() const { return grayed_.load(std::memory_order_relaxed); }
    // Flags the redraw relies on.
    void SetDirty() { dirty_.store(true, std::memory_order_release); }
    void RequestRedraw() { redraw_.store(true, std::memory_order_release); }

    const IText& GetText() const { return text_; }
    void SetTextStyle(const IText& text) { text_ = text; }
    bool DblAsClick() const { return dblAsClick_; }
    bool MouseOverWanted() const { return mouseOverWanted_; }

protected:
    void SetValue(double value) { value_.store(value, std::memory_order_relaxed); }
    void SetTargetRect(const IRect& rect) { targetRect_ = rect; }
    void SetDblAsClick(bool on) { dblAsClick_ = on; }
    // The value held to the clamps.
    double Clamped(double value) const;

    IRect rect_;
    IText text_;

private:
    IPlugBase* plug_;
    IGraphics* graphics_ = nullptr;
    IRect targetRect_;
    int paramIndex_;
    std::atomic<double> value_{0.0};
    std::atomic<double> dblClickValue_{kNoDblClickValue};
    double clampLow_ = 0.0;
    double clampHigh_ = 1.0;
    std::atomic<float> blend_{1.0f};
    std::atomic<bool> dirty_{true};
    std::atomic<bool> redraw_{false};
    std::atomic<bool> hidden_{false};
    std::atomic<bool> grayed_{false};
    bool dblAsClick_ = false;
    bool mouseOverWanted_ = false;
};

} // namespace halvane

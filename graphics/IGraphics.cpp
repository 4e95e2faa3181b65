#include "graphics/IGraphics.h"

#include <cstdlib>
#include <cstring>

#include "editor/IBitmapControl.h"
#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "platform/Text.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

// What a committed text entry reads of the typed text.
constexpr std::size_t kTextEntryChars = 31;

} // namespace

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps,
                     std::unique_ptr<EditorPlatform> platform)
    : plug_(plug), platform_(std::move(platform)), width_(width), height_(height), fps_(fps) {}

IGraphics::~IGraphics() {
    if (platform_ && platform_->WindowIsOpen())
        platform_->CloseWindow();
}

void IGraphics::Resize(int width, int height) {
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    if (backBuffer_.Width() > 0)
        backBuffer_.Resize(width_, height_);
    platform_->Resize(width_, height_);
    if (plug_)
        plug_->EditorResized();
    for (auto& control : controls_)
        control->SetDirty();
}

IBitmap IGraphics::LoadBitmap(int id, const char* fileName, int frames) {
    IBitmap bitmap;
    bitmap.resource = LICE::FindPngResource(id, fileName);
    if (bitmap.resource) {
        bitmap.width = bitmap.resource->Width();
        bitmap.height = bitmap.resource->Height();
    }
    bitmap.frames = frames;
    return bitmap;
}

void IGraphics::AttachBackground(int id, const char* fileName) {
    IBitmap bitmap = LoadBitmap(id, fileName, 1);
    auto background =
        std::make_unique<IBitmapControl>(plug_, IRect(0, 0, width_, height_), -1, bitmap);
    background->SetGraphics(this);
    controls_.insert(controls_.begin(), std::move(background));
}

int IGraphics::AttachControl(std::unique_ptr<IControl> control) {
    control->SetGraphics(this);
    controls_.push_back(std::move(control));
    return NControls() - 1;
}

IControl* IGraphics::GetControl(int index) {
    return index >= 0 && index < NControls() ? controls_[static_cast<std::size_t>(index)].get()
                                             : nullptr;
}

void IGraphics::SetParameterFromPlug(int paramIndex, double value, bool normalized) {
    if (!normalized) {
        const PlugParam* param = plug_ ? plug_->GetParam(paramIndex) : nullptr;
        if (!param)
            return;
        value = param->Normalize(value);
    }
    for (auto& control : controls_)
        if (control->ParamIdx() == paramIndex)
            control->TakeValueFromInstrument(value);
}

bool IGraphics::OpenWindow(void* parentWindow) {
    if (backBuffer_.Width() != width_ || backBuffer_.Height() != height_)
        backBuffer_.Resize(width_, height_);
    if (!platform_->OpenWindow(*this, parentWindow))
        return false;
    // A new window shows everything, including what changed while it was closed.
    for (auto& control : controls_)
        control->SetDirty();
    return true;
}

void IGraphics::CloseWindow() {
    mouseCapture_ = -1;
    mouseOver_ = -1;
    platform_->CloseWindow();
}

bool IGraphics::WindowIsOpen() const {
    return platform_->WindowIsOpen();
}

int IGraphics::ControlAt(int x, int y) const {
    for (int i = NControls() - 1; i >= 0; --i) {
        const IControl& c = *controls_[static_cast<std::size_t>(i)];
        if (!c.IsHidden() && !c.IsGrayed() && c.HitTest(x, y))
            return i;
    }
    return -1;
}

void IGraphics::BeginGesture(IControl& control) {
    if (plug_ && control.ParamIdx() >= 0)
        plug_->BeginParamGesture(control.ParamIdx());
}

void IGraphics::EndGesture(IControl& control) {
    if (plug_ && control.ParamIdx() >= 0)
        plug_->EndParamGesture(control.ParamIdx());
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod) {
    // A press while another is held (a second button) ends the first gesture.
    if (IControl* held = GetControl(mouseCapture_))
        EndGesture(*held);
    mouseCapture_ = ControlAt(x, y);
    if (IControl* c = GetControl(mouseCapture_)) {
        BeginGesture(*c);
        c->HandleMouseDown(x, y, mod);
    }
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod) {
    const int captured = mouseCapture_;
    mouseCapture_ = -1;
    if (IControl* c = GetControl(captured)) {
        c->HandleMouseUp(x, y, mod);
        EndGesture(*c);
    } else if (IControl* under = GetControl(ControlAt(x, y))) {
        // No gesture began on it, so none ends.
        under->HandleMouseUp(x, y, mod);
    }
}

void IGraphics::OnMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod) {
    if (IControl* c = GetControl(mouseCapture_))
        c->HandleMouseDrag(x, y, dx, dy, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod) {
    const int index = ControlAt(x, y);
    IControl* c = GetControl(index);
    if (!c)
        return false;
    if (IControl* held = GetControl(mouseCapture_))
        EndGesture(*held);
    mouseCapture_ = index;
    BeginGesture(*c);
    if (c->DblAsClick())
        c->HandleMouseDown(x, y, mod);
    else
        c->HandleDoubleClick(x, y, mod);
    return true;
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, double d) {
    if (IControl* c = GetControl(ControlAt(x, y))) {
        BeginGesture(*c);
        c->HandleWheel(x, y, mod, d);
        EndGesture(*c);
    }
}

int IGraphics::OnMouseOver(int x, int y, const IMouseMod& mod) {
    if (!mouseOverTracking_)
        return -1;
    const int index = ControlAt(x, y);
    if (index != mouseOver_)
        if (IControl* old = GetControl(mouseOver_))
            old->HandleMouseOut();
    mouseOver_ = index;
    if (IControl* c = GetControl(index))
        c->HandleMouseOver(x, y, mod);
    return index;
}

void IGraphics::OnMouseOut() {
    if (IControl* c = GetControl(mouseOver_))
        c->HandleMouseOut();
    mouseOver_ = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
    IControl* c = GetControl(ControlAt(x, y));
    return c && c->HandleKey(x, y, key);
}

void IGraphics::OnTimer() {
    IRect dirty;
    if (IsDirty(dirty))
        platform_->Invalidate(dirty);
}

bool IGraphics::IsDirty(IRect& rect) const {
    rect = IRect();
    bool any = false;
    for (const auto& control : controls_) {
        if (control->NeedsRedraw()) {
            rect = rect.Union(control->GetRect());
            any = true;
        }
    }
    return any;
}

void IGraphics::PaintControl(IControl& control, const IRect& clip) {
    if (!control.IsHidden() && control.GetRect().Intersects(clip))
        control.Paint(backBuffer_, clip);
}

void IGraphics::Draw(const IRect& rect) {
    if (backBuffer_.Width() == 0 || controls_.empty())
        return;
    const IRect area = rect.Intersect(IRect(0, 0, width_, height_));
    // Taken once: a control marked while we paint stays marked for the next tick.
    std::vector<char> marked(controls_.size());
    bool anyMarked = false;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        marked[i] = controls_[i]->NeedsRedraw();
        anyMarked = anyMarked || marked[i];
    }
    if (!anyMarked || marked[0] || !strictDrawing_) {
        for (auto& control : controls_)
            PaintControl(*control, area);
    } else {
        for (std::size_t d = 0; d < controls_.size(); ++d) {
            if (!marked[d])
                continue;
            const IRect clip = controls_[d]->GetRect().Intersect(area);
            for (auto& control : controls_)
                PaintControl(*control, clip);
        }
    }
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (marked[i])
            controls_[i]->AfterPaint();
}

IPopupMenu* IGraphics::CreatePopupMenu(IPopupMenu& menu, int x, int y) {
    menu.ClearChosen();
    IPopupMenu* chosen = platform_->PopupMenu(menu, x, y);
    // The menu covered part of the panel.
    for (auto& control : controls_)
        control->SetDirty();
    return chosen;
}

void IGraphics::CreateTextEntry(IControl& control, const IText& style, const IRect& rect,
                                const char* text, int paramIndex) {
    platform_->CreateTextEntry(control, style, rect, text ? text : "", paramIndex);
}

bool IGraphics::TextEntryAccepts(const PlugParam* param, char c) {
    if (c == '\b' || !param)
        return true;
    if (c == '+' || c == '-' || (c >= '0' && c <= '9'))
        return true;
    return c == '.' && param->GetKind() == PlugParam::kContinuous;
}

void IGraphics::CommitTextEntry(IControl& control, int paramIndex, const char* text) {
    char typed[kTextEntryChars + 1];
    CopyText(typed, text);
    const PlugParam* param = plug_ && paramIndex >= 0 ? plug_->GetParam(paramIndex) : nullptr;
    if (!param) {
        control.TakeTextEntry(typed);
        return;
    }
    double value = 0.0;
    if (param->GetKind() == PlugParam::kList) {
        // No matching text gives the first entry.
        if (!param->FindDisplayText(typed, value))
            value = 0.0;
    } else {
        value = std::strtod(typed, nullptr);
        if (param->NegateDisplay())
            value = -value;
    }
    BeginGesture(control);
    control.TakeValueFromUser(param->Normalize(value));
    EndGesture(control);
}

bool IGraphics::OpenUrl(const char* url, const char* caption, const char* confirmText,
                        const char* errorText) {
    if (!url)
        return false;
    if (confirmText && *confirmText &&
        platform_->MessageBox(confirmText, caption, BoxKind::kYesNo) == BoxAnswer::kNo)
        return false;
    if (platform_->InternetConnected() && platform_->OpenInBrowser(url))
        return true;
    if (errorText && *errorText)
        platform_->MessageBox(errorText, caption, BoxKind::kErrorOk);
    return false;
}

void IGraphics::PromptForFile(std::string& fileName, FileAction action, std::string& folder,
                              const char* extension) {
    platform_->PromptForFile(fileName, action, folder, extension);
}

ShellDialogs::BoxAnswer IGraphics::ShowMessageBox(const char* text, const char* caption,
                                                  BoxKind kind) {
    return platform_->MessageBox(text, caption, kind);
}

} // namespace halvane

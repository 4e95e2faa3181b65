#pragma once
// The plain value types the editor and the drawing library share: rectangles in
// editor pixels, colours and text styles.

#include <algorithm>
#include <cstdint>

namespace halvane {

// A rectangle in editor pixels; left and top inclusive, right and bottom
// exclusive. A rectangle with no area is empty and hits nothing.
struct IRect {
    int left = 0, top = 0, right = 0, bottom = 0;

    constexpr IRect() = default;
    constexpr IRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

    constexpr int W() const { return right - left; }
    constexpr int H() const { return bottom - top; }
    constexpr bool Empty() const { return right <= left || bottom <= top; }
    constexpr bool Contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    constexpr bool Intersects(const IRect& o) const {
        return !Empty() && !o.Empty() && left < o.right && o.left < right && top < o.bottom &&
               o.top < bottom;
    }
    // The common part; empty (all zeros) when there is none.
    IRect Intersect(const IRect& o) const {
        if (!Intersects(o))
            return IRect();
        return IRect(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                     std::min(bottom, o.bottom));
    }
    // The smallest rectangle holding both; an empty operand adds nothing.
    IRect Union(const IRect& o) const {
        if (Empty())
            return o;
        if (o.Empty())
            return *this;
        return IRect(std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                     std::max(bottom, o.bottom));
    }
    constexpr bool operator==(const IRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const IRect& o) const { return !(*this == o); }
};

// A colour: alpha, red, green and blue, 0 to 255 each, not premultiplied.
struct IColor {
    int a = 255, r = 0, g = 0, b = 0;

    constexpr IColor() = default;
    constexpr IColor(int alpha, int red, int green, int blue)
        : a(alpha), r(red), g(green), b(blue) {}
    constexpr bool operator==(const IColor& o) const {
        return a == o.a && r == o.r && g == o.g && b == o.b;
    }
    constexpr bool operator!=(const IColor& o) const { return !(*this == o); }
};

// How a control draws text. Faces are named as the panel names them ("Arial",
// "Verdana"); the drawing library maps each to the font compiled into it. A
// size is the face's line height in pixels, ascender to descender: the panel's
// text rectangles (12 pixels high for size 12, 16 for the program name at 15)
// are laid out for that, where points at 96 dpi would overflow them by a third.
struct IText {
    enum Style { kStyleNormal, kStyleBold, kStyleItalic };
    enum Align { kAlignNear, kAlignCenter, kAlignFar };
    enum Quality { kQualityDefault, kQualityNonAntiAliased, kQualityAntiAliased };

    const char* font = "Verdana"; // a name with static storage
    int size = 12;
    IColor color{255, 0, 0, 0};
    Style style = kStyleNormal;
    Align align = kAlignCenter;
    int orientation = 0; // tenths of a degree; the panel uses 0 only
    Quality quality = kQualityDefault;
    // A text-entry field drawn for this style: its background and text colours.
    IColor entryBackground{255, 255, 255, 255};
    IColor entryText{255, 0, 0, 0};

    constexpr IText() = default;
    constexpr IText(const char* face, int points, IColor c, Align a = kAlignCenter)
        : font(face), size(points), color(c), align(a) {}
};

} // namespace halvane

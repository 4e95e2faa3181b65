#include "graphics/LICE.h"

namespace halvane {

LICE_MemBitmap::LICE_MemBitmap(int width, int height) {
    Resize(width, height);
}

void LICE_MemBitmap::Resize(int width, int height) {
    if (width <= 0 || height <= 0) {
        width_ = height_ = 0;
        pixels_.clear();
        return;
    }
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

uint32_t LICE_MemBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

} // namespace halvane

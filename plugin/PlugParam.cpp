#include "plugin/PlugParam.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/Text.h"

namespace halvane {

int32_t TruncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

void PlugParam::InitRange(const char* name, double defaultValue, double minimum, double maximum,
                          double step, const char* label, double shape) {
    if (kind_ == kUnset)
        kind_ = kContinuous;
    CopyText(name_, name);
    CopyText(label_, label);
    group_[0] = '\0';
    value_ = default_ = defaultValue;
    min_ = minimum;
    step_ = step;
    max_ = std::fmax(maximum, minimum + step);

    // Decimals shown follow the step: 1 -> 0, 0.1 -> 1, 0.005 -> 3, never above 6.
    displayPrecision_ = 0;
    double s = step;
    while (displayPrecision_ < 6 && s != std::floor(s)) {
        ++displayPrecision_;
        s *= 10.0;
    }
    if (shape != 0.0)
        shape_ = shape;
}

void PlugParam::InitList(const char* name, int32_t defaultValue, int32_t count,
                         const char* const* texts) {
    if (kind_ == kUnset)
        kind_ = kList;
    InitRange(name, defaultValue, 0.0, count - 1, 1.0, "", 1.0);
    displayTexts_.clear();
    for (int32_t i = 0; i < count; ++i) {
        DisplayText entry{};
        entry.value = i;
        CopyText(entry.text, texts ? texts[i] : "off");
        displayTexts_.push_back(entry);
    }
}

void PlugParam::SetFromNormalized(double normalized) {
    value_ = ValueFromNormalized(normalized);
}

double PlugParam::ValueFromNormalized(double normalized) const {
    // Hosts have been seen to send NaN and values outside 0..1: NaN changes
    // nothing, everything else is held to 0..1 so the value stays in range.
    if (std::isnan(normalized))
        return value_;
    normalized = std::fmin(std::fmax(normalized, 0.0), 1.0);
    double v = min_ + (max_ - min_) * std::pow(normalized, shape_);
    if (kind_ != kContinuous && step_ > 0.0)
        v = std::floor(v / step_ + 0.5) * step_;
    return std::fmin(v, max_);
}

double PlugParam::Normalize(double value) const {
    if (!(max_ > min_))
        return 0.0;
    double v = std::fmin(std::fmax(value, min_), max_);
    if (std::isnan(v))
        v = min_;
    return std::pow((v - min_) / (max_ - min_), 1.0 / shape_);
}

void PlugParam::SetLimited(double value) {
    if (std::isnan(value))
        value = 0.0;
    value_ = std::fmin(std::fmax(value, min_), max_);
}

void PlugParam::FormatDisplay(double value, bool isNormalized, char* out, std::size_t size,
                              bool useDisplayTexts) const {
    if (!out || size == 0)
        return;
    if (isNormalized)
        value = min_ + (max_ - min_) * std::pow(value, shape_);
    if (displayFunction_) {
        out[0] = '\0';
        displayFunction_(value, out, size);
        return;
    }
    if (useDisplayTexts && !displayTexts_.empty()) {
        const int32_t key = TruncateToInt(value);
        for (const DisplayText& entry : displayTexts_) {
            if (entry.value == key) {
                if (entry.text[0] != '\0') {
                    CopyText(out, size, entry.text);
                    return;
                }
                break;
            }
        }
    }
    if (negateDisplay_)
        value = -value;
    if (displayPrecision_ > 0) {
        FormatText(out, size, "%.*f", static_cast<int>(displayPrecision_), value);
        UseDotDecimal(out);
    } else
        FormatText(out, size, "%d", static_cast<int>(TruncateToInt(value)));
}

const char* PlugParam::DisplayLabel() const {
    const int32_t key = TruncateToInt(value_);
    for (const DisplayText& entry : displayTexts_) {
        if (entry.value == key && entry.text[0] != '\0')
            return "";
    }
    return label_;
}

bool PlugParam::FindDisplayText(const char* text, double& value) const {
    if (!text)
        return false;
    for (const DisplayText& entry : displayTexts_) {
        if (std::strcmp(entry.text, text) == 0) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

} // namespace halvane

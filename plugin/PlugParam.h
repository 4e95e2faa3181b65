#pragma once
// One automatable parameter: a double in its own range, the rules that map it
// to and from the host's normalised 0..1 value, and the text shown for it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace halvane {

class PlugParam {
public:
    enum Kind : int32_t { kUnset = 0, kList = 1, kInteger = 2, kContinuous = 4 };

    // Writes the display text for a plain value into out (size bytes, terminated).
    using DisplayFunction = void (*)(double value, char* out, std::size_t size);

    static constexpr std::size_t kTextSize = 32; // 31 characters plus the terminator

    struct DisplayText {
        int32_t value;
        char text[kTextSize];
    };

    void InitRange(const char* name, double defaultValue, double minimum, double maximum,
                   double step, const char* label = "", double shape = 1.0);
    // count named choices 0..count-1; texts may be null ("off" for every entry).
    void InitList(const char* name, int32_t defaultValue, int32_t count,
                  const char* const* texts = nullptr);

    void SetFromNormalized(double normalized);
    // The plain value SetFromNormalized would give (the current value for NaN).
    double ValueFromNormalized(double normalized) const;
    double Normalize(double value) const;
    double GetNormalized() const { return Normalize(value_); }

    // Writes the text for value (plain, or normalised when isNormalized) into out.
    void FormatDisplay(double value, bool isNormalized, char* out, std::size_t size,
                       bool useDisplayTexts = true) const;
    const char* DisplayLabel() const;

    // Looks up the entry whose text equals text; false when there is none.
    bool FindDisplayText(const char* text, double& value) const;

    void SetKind(Kind kind) { kind_ = kind; }
    void SetDisplayFunction(DisplayFunction function) { displayFunction_ = function; }
    void SetNegateDisplay(bool negate) { negateDisplay_ = negate; }
    // Sets the plain value limited to the range (state restore, typed host text).
    void SetLimited(double value);
    void Set(double value) { value_ = value; }

    Kind GetKind() const { return static_cast<Kind>(kind_); }
    double Value() const { return value_; }
    double Min() const { return min_; }
    double Max() const { return max_; }
    double Step() const { return step_; }
    double Shape() const { return shape_; }
    double Default() const { return default_; }
    int32_t DisplayPrecision() const { return displayPrecision_; }
    const char* Name() const { return name_; }
    const char* Label() const { return label_; }
    const char* Group() const { return group_; }
    bool NegateDisplay() const { return negateDisplay_; }
    bool HasDisplayTexts() const { return !displayTexts_.empty(); }
    const std::vector<DisplayText>& DisplayTexts() const { return displayTexts_; }
    DisplayFunction GetDisplayFunction() const { return displayFunction_; }

private:
    DisplayFunction displayFunction_ = nullptr;
    int32_t kind_ = kUnset;
    double value_ = 0.0;
    double min_ = 0.0;
    double max_ = 1.0;
    double step_ = 1.0;
    double shape_ = 1.0;
    double default_ = 0.0;
    int32_t displayPrecision_ = 0;
    char name_[kTextSize] = {};
    char label_[kTextSize] = {};
    char group_[kTextSize] = {};
    bool negateDisplay_ = false;
    std::vector<DisplayText> displayTexts_;
};

// Truncates toward zero into int32, saturating; NaN gives 0. Display and list
// look-ups go through this so no value can make a conversion undefined.
int32_t TruncateToInt(double value);

} // namespace halvane

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "plugin/PlugParam.h"

namespace halvane {

namespace {

std::string Display(const PlugParam& p, double value, bool normalized = false) {
    char text[64];
    p.FormatDisplay(value, normalized, text, sizeof(text), true);
    return text;
}

TEST(PlugParam, PrecisionFollowsTheStep) {
    const struct {
        double step;
        int decimals;
    } cases[] = {{1.0, 0}, {0.1, 1}, {0.01, 2}, {0.005, 3}, {0.001, 3}, {1.0 / 240.0, 6}, {2.0, 0}};
    for (const auto& c : cases) {
        PlugParam p;
        p.InitRange("x", 0.0, 0.0, 10.0, c.step);
        EXPECT_EQ(p.DisplayPrecision(), c.decimals) << "step " << c.step;
    }
    PlugParam quarter;
    quarter.InitRange("q", 0.0, 0.0, 1.0, 0.005);
    EXPECT_EQ(Display(quarter, 0.25), "0.250");
}

TEST(PlugParam, InitRangeKindsAndLimits) {
    PlugParam continuous;
    continuous.InitRange("Cont", 0.3, 0.0, 1.0, 0.01, "Hz", 0.0);
    EXPECT_EQ(continuous.GetKind(), PlugParam::kContinuous);
    EXPECT_DOUBLE_EQ(continuous.Value(), 0.3);
    EXPECT_DOUBLE_EQ(continuous.Default(), 0.3);
    EXPECT_DOUBLE_EQ(continuous.Shape(), 1.0) << "shape 0 keeps the record's shape";
    EXPECT_STREQ(continuous.Label(), "Hz");

    PlugParam integer;
    integer.SetKind(PlugParam::kInteger);
    integer.InitRange("Int", 60, 0, 127, 1);
    EXPECT_EQ(integer.GetKind(), PlugParam::kInteger) << "a kind set before stays";

    // The maximum is raised to at least minimum + step.
    PlugParam narrow;
    narrow.InitRange("n", 5.0, 5.0, 5.0, 0.5);
    EXPECT_DOUBLE_EQ(narrow.Max(), 5.5);

    PlugParam single;
    single.InitList("one", 0, 1, nullptr);
    EXPECT_DOUBLE_EQ(single.Max(), 1.0);
    EXPECT_EQ(single.GetKind(), PlugParam::kList);
    EXPECT_EQ(Display(single, 0.0), "off");
}

TEST(PlugParam, NamesAreCutToThirtyOneCharacters) {
    PlugParam p;
    const std::string longName(80, 'n');
    p.InitRange(longName.c_str(), 0, 0, 1, 1, std::string(50, 'l').c_str());
    EXPECT_EQ(std::string(p.Name()), std::string(31, 'n'));
    EXPECT_EQ(std::string(p.Label()), std::string(31, 'l'));
    const char* texts[] = {"a-text-that-is-much-longer-than-thirty-one-characters", "b"};
    PlugParam list;
    list.InitList("l", 0, 2, texts);
    EXPECT_EQ(Display(list, 0.0).size(), 31u);
}

TEST(PlugParam, NormalizedMappingRoundTrips) {
    PlugParam integer;
    integer.SetKind(PlugParam::kInteger);
    integer.InitRange("Note", 60, 0, 127, 1);
    integer.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(integer.Value(), 64.0) << "63.5 rounds half up";
    EXPECT_DOUBLE_EQ(integer.GetNormalized(), 64.0 / 127.0);

    PlugParam shaped;
    shaped.InitRange("Shaped", 0.0, 0.0, 1.0, 0.01, "", 2.0);
    shaped.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(shaped.Value(), 0.25);
    EXPECT_DOUBLE_EQ(shaped.GetNormalized(), 0.5);

    PlugParam speed;
    speed.InitRange("Speed", 0.8, 0.001, 24.999, 0.01, "Hz", 2.0);
    for (double n : {0.0, 0.1, 0.37, 0.5, 0.99, 1.0}) {
        speed.SetFromNormalized(n);
        EXPECT_NEAR(speed.GetNormalized(), n, 1e-12);
        EXPECT_GE(speed.Value(), speed.Min());
        EXPECT_LE(speed.Value(), speed.Max());
    }

    const char* texts[] = {"Lower", "Both", "Upper"};
    PlugParam list;
    list.InitList("Range", 1, 3, texts);
    list.SetFromNormalized(0.7);
    EXPECT_DOUBLE_EQ(list.Value(), 1.0) << "1.4 takes the nearest entry";
    list.SetFromNormalized(0.8);
    EXPECT_DOUBLE_EQ(list.Value(), 2.0);
    EXPECT_DOUBLE_EQ(list.Normalize(5.0), 1.0) << "values are limited before normalising";
    EXPECT_DOUBLE_EQ(list.Normalize(-3.0), 0.0);
}

TEST(PlugParam, HostGarbageLeavesAFiniteValueInRange) {
    PlugParam p;
    p.InitRange("Speed", 0.8, 0.001, 24.999, 0.01, "Hz", 0.5);
    const double inf = std::numeric_limits<double>::infinity();
    p.SetFromNormalized(std::nan(""));
    EXPECT_DOUBLE_EQ(p.Value(), 0.8) << "NaN changes nothing";
    for (double n : {inf, -inf, -0.5, 7.0, -1e300}) {
        p.SetFromNormalized(n);
        EXPECT_TRUE(std::isfinite(p.Value()));
        EXPECT_GE(p.Value(), p.Min());
        EXPECT_LE(p.Value(), p.Max());
    }
    p.SetLimited(std::nan(""));
    EXPECT_TRUE(std::isfinite(p.Value()));
}

void Tenfold(double value, char* out, std::size_t size) {
    std::snprintf(out, size, "x%g", value * 10.0);
}

TEST(PlugParam, DisplayTextsLabelsAndFunctions) {
    const char* texts[] = {"Off", "On", ""};
    PlugParam list;
    list.InitList("Switch", 0, 3, texts);
    list.InitRange("Switch", 0, 0, 2, 1, "dB"); // keeps the list kind and its texts
    EXPECT_EQ(list.GetKind(), PlugParam::kList);
    EXPECT_EQ(Display(list, 1.0), "On");
    EXPECT_EQ(Display(list, 1.9), "On") << "the value is truncated toward zero";
    EXPECT_EQ(Display(list, 2.0), "2") << "an empty text shows the number";
    list.Set(1.0);
    EXPECT_STREQ(list.DisplayLabel(), "") << "a text says everything";
    list.Set(2.0);
    EXPECT_STREQ(list.DisplayLabel(), "dB");

    char text[32];
    list.FormatDisplay(1.0, false, text, sizeof(text), false);
    EXPECT_STREQ(text, "1") << "without display texts the number is shown";

    PlugParam withFunction;
    withFunction.InitList("F", 0, 2, texts);
    withFunction.SetDisplayFunction(Tenfold);
    EXPECT_EQ(Display(withFunction, 1.0), "x10") << "a display function overrides texts";

    PlugParam negated;
    negated.InitRange("N", 0.5, -1, 1, 0.1);
    negated.SetNegateDisplay(true);
    EXPECT_EQ(Display(negated, 0.5), "-0.5");

    PlugParam normalized;
    normalized.InitRange("Norm", 0, -12, 12, 1);
    EXPECT_EQ(Display(normalized, 0.75, true), "6");
    EXPECT_EQ(Display(normalized, -5.7), "-5") << "precision 0 truncates toward zero";

    double found = -1;
    EXPECT_TRUE(list.FindDisplayText("On", found));
    EXPECT_DOUBLE_EQ(found, 1.0);
    EXPECT_FALSE(list.FindDisplayText("on", found)) << "texts match exactly";
}

TEST(PlugParam, ExtremeValuesFormatSafely) {
    PlugParam p;
    p.InitRange("Whole", 0, -10, 10, 1);
    EXPECT_EQ(Display(p, 1e300), "2147483647");
    EXPECT_EQ(Display(p, std::nan("")), "0");
    char tiny[4];
    PlugParam q;
    q.InitRange("Fine", 0, 0, 1, 1.0 / 240.0);
    q.FormatDisplay(0.123456, false, tiny, sizeof(tiny), true);
    EXPECT_STREQ(tiny, "0.1") << "a small buffer is filled and terminated, never overrun";
    EXPECT_EQ(TruncateToInt(-1e12), std::numeric_limits<int32_t>::min());
}

} // namespace

} // namespace halvane

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sound/ParamIds.h"
#include "sound/ParamTable.h"

namespace halvane {

namespace {

class ParamTable : public ::testing::Test {
protected:
    ParamTable() : params(kNumParams) { InitHalvaneParams(params.data(), kNumParams); }

    std::string Display(int index, double value) {
        char text[64];
        params[index].FormatDisplay(value, false, text, sizeof(text), true);
        return text;
    }
    std::string DisplayNormalized(int index, double n) {
        char text[64];
        params[index].FormatDisplay(n, true, text, sizeof(text), true);
        return text;
    }

    std::vector<PlugParam> params;
};

TEST_F(ParamTable, EveryParameterHasAUniqueShortNameAndAValidRange) {
    std::set<std::string> names;
    for (int i = 0; i < kNumParams; ++i) {
        const PlugParam& p = params[i];
        const std::string name = p.Name();
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_LE(name.size(), 31u) << name;
        EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
        EXPECT_NE(p.GetKind(), PlugParam::kUnset) << name;
        EXPECT_GE(p.Max(), p.Min() + p.Step()) << name;
        EXPECT_GE(p.Default(), p.Min()) << name;
        EXPECT_LE(p.Default(), p.Max()) << name;
        EXPECT_DOUBLE_EQ(p.Value(), p.Default()) << name;
        EXPECT_STREQ(p.Group(), "") << name;
    }
}

TEST_F(ParamTable, RowsThatAreEasyToGetWrong) {
    EXPECT_STREQ(params[ParamId::kTridentMode].Name(), "Trident Mode");
    EXPECT_STREQ(params[ParamId::kEns3Amount].Name(), "Ens.3 Amount");
    EXPECT_STREQ(params[ParamId::kVco1PwmSpeed].Label(), "Hz");
    EXPECT_DOUBLE_EQ(params[ParamId::kVco1PwmSpeed].Max(), 24.999);
    EXPECT_DOUBLE_EQ(params[ParamId::kVco1PwmSpeed].Min(), 0.001);
    EXPECT_DOUBLE_EQ(params[ParamId::kVco1PwmSpeed].Shape(), 2.0);
    EXPECT_DOUBLE_EQ(params[ParamId::kVcfCutoff].Shape(), 0.5);
    EXPECT_DOUBLE_EQ(params[ParamId::kVcfEgIntensity].Min(), -12289.0);
    EXPECT_DOUBLE_EQ(params[ParamId::kBrassEgIntensity].Min(), 0.0);
    EXPECT_DOUBLE_EQ(params[ParamId::kEns1Amount].Max(), 0.1);
    EXPECT_EQ(params[ParamId::kSplitKey].GetKind(), PlugParam::kInteger);
    EXPECT_EQ(params[ParamId::kVcfKbfTrack].GetKind(), PlugParam::kInteger);
    EXPECT_EQ(params[ParamId::kPitchBend].GetKind(), PlugParam::kContinuous);
    EXPECT_EQ(params[ParamId::kVibDelay].GetKind(), PlugParam::kContinuous);
    EXPECT_EQ(params[ParamId::kStringsEqHigh].DisplayPrecision(), 6);
    EXPECT_EQ(params[ParamId::kTotalTune].DisplayPrecision(), 3);

    int speedLabels = 0;
    for (const PlugParam& p : params)
        speedLabels += std::string(p.Label()) == "Hz" ? 1 : 0;
    EXPECT_EQ(speedLabels, 6);
}

TEST_F(ParamTable, DisplaysReadAsOnThePanel) {
    EXPECT_EQ(Display(ParamId::kTotalVolume, 0.0), "-oo");
    EXPECT_EQ(Display(ParamId::kTotalVolume, 0.5), "-6.0");
    EXPECT_EQ(Display(ParamId::kTotalVolume, 1.0), "0.0");
    EXPECT_EQ(Display(ParamId::kVcfCutoff, 1.0), "19912");
    EXPECT_EQ(Display(ParamId::kVcfCutoff, 0.0), "8");
    EXPECT_EQ(Display(ParamId::kBrassCutoff, 1.0), "19912");
    EXPECT_EQ(Display(ParamId::kPanBrass, 0.5), "50:50");
    EXPECT_EQ(Display(ParamId::kPanBrass, 0.0), "100:0");
    EXPECT_EQ(Display(ParamId::kPanBrass, 1.0), "0:100");
    EXPECT_EQ(Display(ParamId::kVcfEgIntensity, -12289.0), "-8.00");
    EXPECT_EQ(Display(ParamId::kBrassEgIntensity, 12289.0), "8.00");
    EXPECT_EQ(Display(ParamId::kStringsEqHigh, 0.0), "0.000000");
    EXPECT_EQ(Display(ParamId::kSplitKey, params[ParamId::kSplitKey].Default()), "60");
    EXPECT_EQ(Display(ParamId::kPitchBend, 2.0), "2");
    EXPECT_EQ(Display(ParamId::kVco1PwmSpeed, 0.8), "0.80");

    // Lists, including the three that read "On" at their first entry.
    EXPECT_EQ(Display(ParamId::kKeyAssign, 0.0), "2");
    EXPECT_EQ(Display(ParamId::kKeyAssign, 1.0), "1");
    EXPECT_EQ(Display(ParamId::kStringsBowing, 0.0), "On");
    EXPECT_EQ(Display(ParamId::kStringsEnsemble, 1.0), "Off");
    EXPECT_EQ(Display(ParamId::kWheelMode, 0.0), "Trill");
    EXPECT_EQ(Display(ParamId::kVco1Wave, 2.0), "Pulse Width Mod");
    EXPECT_EQ(Display(ParamId::kVco2Octave, 3.0), "4'");
    EXPECT_EQ(Display(ParamId::kBrassSilentNotes, 1.0), "4");
    EXPECT_EQ(Display(ParamId::kRangeStrings, 2.0), "Upper");

    // Normalised values run through the parameter's shape first.
    EXPECT_EQ(DisplayNormalized(ParamId::kVcfCutoff, 1.0), "19912");
    EXPECT_EQ(DisplayNormalized(ParamId::kTotalVolume, 1.0), "0.0");
}

TEST_F(ParamTable, ListsTakeTheNearestEntry) {
    PlugParam& range = params[ParamId::kRangeSynthe];
    range.SetFromNormalized(0.3);
    EXPECT_DOUBLE_EQ(range.Value(), 1.0);
    range.SetFromNormalized(0.2);
    EXPECT_DOUBLE_EQ(range.Value(), 0.0);
    PlugParam& split = params[ParamId::kSplitKey];
    split.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(split.Value(), 64.0);
}

} // namespace

} // namespace halvane

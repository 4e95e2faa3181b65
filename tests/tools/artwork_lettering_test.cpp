// The panel's lettering as the artwork generator prints it: every control
// labelled, every label inside the panel and on a section, none overlapping
// another or any control.

#include <gtest/gtest.h>

#include <cstring>

#include "ArtworkDesign.h"
#include "CairoKit.h"
#include "PanelLettering.h"
#include "editor/LayoutTable.h"

namespace halvane {

namespace {

class Lettering : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(artwork::LoadFaces(HALVANE_LABEL_REGULAR_FONT, HALVANE_LABEL_BOLD_FONT));
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_t* cr = cairo_create(surface_);
        items_ = artwork::PanelLettering(cr);
        ASSERT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
        cairo_destroy(cr);
    }
    static void TearDownTestSuite() {
        cairo_surface_destroy(surface_);
        artwork::ReleaseFaces();
    }
    static cairo_surface_t* surface_;
    static std::vector<artwork::Lettering> items_;
};

cairo_surface_t* Lettering::surface_ = nullptr;
std::vector<artwork::Lettering> Lettering::items_;

std::string Describe(const artwork::Lettering& l) {
    return "\"" + l.text + "\" at (" + std::to_string(l.ink.left) + "," +
           std::to_string(l.ink.top) + ")-(" + std::to_string(l.ink.right) + "," +
           std::to_string(l.ink.bottom) + ")";
}

const layout::ControlEntry* Control(const char* parameter) {
    for (const layout::ControlEntry& c : layout::kControls)
        if (c.parameter && std::strcmp(c.parameter, parameter) == 0)
            return &c;
    return nullptr;
}

} // namespace

TEST_F(Lettering, LabelsAreDerivedFromTheParameterNames) {
    EXPECT_EQ(artwork::LabelText(*Control("VCF Cutoff")), "CUTOFF");
    EXPECT_EQ(artwork::LabelText(*Control("Brass Resonance")), "RESONANCE");
    EXPECT_EQ(artwork::LabelText(*Control("Flanger Feedback")), "FEEDBACK");
    EXPECT_EQ(artwork::LabelText(*Control("Pan Strings")), "STRINGS");
    EXPECT_EQ(artwork::LabelText(*Control("Volume Brass")), "VOLUME");
    EXPECT_EQ(artwork::LabelText(*Control("Output Synthe")), "OUTPUT");
    EXPECT_EQ(artwork::LabelText(*Control("Range Brass")), "BRASS");
    EXPECT_EQ(artwork::LabelText(*Control("Brass 16'")), "16'");

    // Every control bound to a parameter has a label, printed beside it.
    for (int i = 0; i < layout::kControlCount; ++i) {
        const layout::ControlEntry& c = layout::kControls[i];
        if (!c.parameter)
            continue;
        SCOPED_TRACE(c.parameter);
        EXPECT_FALSE(artwork::LabelText(c).empty());
        const IRect r = layout::ControlRect(c);
        int found = 0;
        for (const artwork::Lettering& l : items_) {
            if (l.control != i || l.kind != artwork::Lettering::kLabel)
                continue;
            ++found;
            // Within 30 pixels of its control on every side.
            EXPECT_LT(l.ink.left, r.right + 30) << Describe(l);
            EXPECT_GT(l.ink.right, r.left - 30) << Describe(l);
            EXPECT_LT(l.ink.top, r.bottom + 30) << Describe(l);
            EXPECT_GT(l.ink.bottom, r.top - 30) << Describe(l);
        }
        EXPECT_GE(found, 1);
    }
}

TEST_F(Lettering, EverythingInsideThePanelAndNothingOverlaps) {
    ASSERT_GT(items_.size(), 120u);
    const IRect panel(0, 0, layout::kEditorWidth, layout::kEditorHeight);
    for (const artwork::Lettering& l : items_) {
        ASSERT_FALSE(l.ink.Empty()) << Describe(l);
        EXPECT_EQ(l.ink.Intersect(panel), l.ink) << Describe(l);
        // On a section panel, or in the header for the names.
        if (l.kind == artwork::Lettering::kName) {
            EXPECT_LE(l.ink.bottom, 88) << Describe(l);
            continue;
        }
        bool onSection = false;
        for (const artwork::Section& s : artwork::kSections)
            onSection = onSection || s.box.Intersect(l.ink) == l.ink;
        EXPECT_TRUE(onSection) << Describe(l);
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        for (std::size_t j = i + 1; j < items_.size(); ++j)
            EXPECT_FALSE(items_[i].ink.Intersects(items_[j].ink))
                << Describe(items_[i]) << " and " << Describe(items_[j]);
        for (const layout::ControlEntry& c : layout::kControls)
            EXPECT_FALSE(items_[i].ink.Intersects(layout::ControlRect(c)))
                << Describe(items_[i]) << " covers the control at (" << c.rect.left << ","
                << c.rect.top << ")";
    }
}

TEST_F(Lettering, LabelsAreLegibleAtFullSize) {
    for (const artwork::Lettering& l : items_) {
        if (l.kind == artwork::Lettering::kWaveIcon)
            continue;
        EXPECT_GE(l.size, 8.0) << Describe(l);
        // Capitals at least 5 pixels high: readable at 100 % without zooming.
        EXPECT_GE(l.ink.H(), 5) << Describe(l);
    }
}

} // namespace halvane

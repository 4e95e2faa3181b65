#include "PanelLettering.h"

#include "ControlArt.h"

#include <cmath>
#include <cstring>

#include "plugin/PlugParam.h"
#include "sound/ParamIds.h"
#include "sound/ParamTable.h"

namespace halvane {

namespace artwork {

namespace {

// Labels that the general rule below would make too long or unclear; texts
// keep the parameter's own words wherever they fit.
struct LabelOverride {
    const char* parameter;
    const char* text;
    int dx; // horizontal shift from the control's centre, where neighbours crowd
};

constexpr LabelOverride kOverrides[] = {
    {"VCO 1 Octave", "VCO 1", 0},
    {"VCO 1 Wave", "WAVE", 0},
    {"VCO 2 Octave", "VCO 2", 0},
    {"VCO 1 PW/PWM", "PW / PWM", 0},
    {"VCO 2 Detune", "DETUNE", 0},
    {"VCF KBF Track", "KBD TRACK", 0},
    {"VCF EG Intensity", "EG INT.", 0},
    {"VCA Attenuator", "VCA LEVEL", 0},
    {"VCA Auto Damp", "AUTO\nDAMP", 0},
    {"Key Assign", "KEY\nASSIGN", 0},
    {"Split Key", "SPLIT", 0},
    {"Total Tune", "TUNE", 0},
    {"Brass Silent Notes", "SILENT", 0},
    {"Brass EG Intensity", "EG INT.", 0},
    {"Brass Multi Trigger", "MULTI", -2},
    {"Brass Trigger Select", "SELECT", 3},
    {"Strings Bowing Level", "BOW LEVEL", 0},
    {"Strings Bowing Tone", "BOW TONE", 0},
    {"Strings Vibrato Delay", "VIB DELAY", 0},
    {"Strings Vibrato Speed", "VIB SPEED", 0},
    {"Strings Vibrato Intensity", "VIB DEPTH", 0},
    {"Strings KBD Balance", "BALANCE", 0},
    {"Strings Bowing", "BOW", 0},
    {"Strings Vibrato", "VIB", 0},
    {"Strings Ensemble", "ENS", 0},
    {"Vib. Intensity", "DEPTH", 0},
    {"Wheel Vib. Intensity", "VIB DEPTH", 0},
    {"Wheel Vib. Speed", "VIB SPEED", 0},
    {"Wheel Mode", "MODE", 0},
    {"Pitch Bend", "BEND", 0},
    {"Trident Mode", "TRIDENT", 0},
    {"Stereo Flanger", "FLANGER", -4},
    {"Stereo Ensemble", "ENSEMBLE", 4},
    {"Detune Brass", "BRASS", 0},
    {"Detune Strings", "STRINGS", 0},
    {"Velocity Synthe VCF", "SYNTHE", 0},
    {"Velocity Brass VCF", "BRASS", 0},
    {"Total Volume", "TOTAL VOL.", 0},
};

// Words a parameter name starts with that the panel's sections already say.
constexpr const char* kGroupPrefixes[] = {"VCO 1 ",   "VCO 2 ",    "VCF ",   "VCA ",    "Brass ",
                                          "Strings ", "Flanger ",  "Range ", "Output ", "Volume ",
                                          "Pan ",     "Velocity ", "Vib. "};

const LabelOverride* FindOverride(const char* parameter) {
    for (const LabelOverride& o : kOverrides)
        if (std::strcmp(o.parameter, parameter) == 0)
            return &o;
    return nullptr;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Volume, output and the sections' pan and velocity knobs are named by what
// they act on ("Pan Synthe" sits in the pan row, so its label is "SYNTHE"),
// everything else by what remains after the section's name.
std::string DerivedLabel(const char* name) {
    static const char* const kActsOn[] = {"Volume ", "Output ", "Pan ", "Velocity "};
    for (const char* prefix : kActsOn) {
        const std::size_t n = std::strlen(prefix);
        if (std::strncmp(name, prefix, n) == 0) {
            if (std::strcmp(prefix, "Volume ") == 0)
                return "VOLUME";
            if (std::strcmp(prefix, "Output ") == 0)
                return "OUTPUT";
            return Upper(name + n);
        }
    }
    for (const char* prefix : kGroupPrefixes) {
        const std::size_t n = std::strlen(prefix);
        if (std::strncmp(name, prefix, n) == 0 && name[n])
            return Upper(name + n);
    }
    return Upper(name);
}

const PlugParam* FindParamRecord(const char* name) {
    static PlugParam params[kNumParams];
    static bool ready = false;
    if (!ready) {
        InitHalvaneParams(params, kNumParams);
        ready = true;
    }
    for (const PlugParam& p : params)
        if (std::strcmp(p.Name(), name) == 0)
            return &p;
    return nullptr;
}

class Setter {
public:
    Setter(cairo_t* cr, std::vector<Lettering>& out) : cr_(cr), out_(out) {}

    // Adds one line, aligned at x (0 left, 0.5 centre, 1 right), baseline y.
    Lettering& Add(Lettering::Kind kind, const std::string& text, Face face, double size,
                   double tracking, double x, double align, double baseline, int control) {
        Lettering l;
        l.kind = kind;
        l.text = text;
        l.face = face;
        l.size = size;
        l.tracking = tracking;
        l.control = control;
        UseFace(cr_, face, size);
        const double width = TextWidth(cr_, text.c_str(), tracking);
        l.x = std::round(x - width * align);
        l.baseline = baseline;
        cairo_text_extents_t e;
        cairo_text_extents(cr_, text.c_str(), &e);
        const double inkRight = l.x + std::max(width, e.x_bearing + e.width);
        l.ink = IRect(static_cast<int>(std::floor(l.x + std::min(0.0, e.x_bearing))),
                      static_cast<int>(std::floor(baseline + e.y_bearing)),
                      static_cast<int>(std::ceil(inkRight)),
                      static_cast<int>(std::ceil(baseline + e.y_bearing + e.height)));
        out_.push_back(l);
        return out_.back();
    }

    void AddIcon(const char* wave, double cx, double baseline, int control) {
        Lettering l;
        l.kind = Lettering::kWaveIcon;
        l.text = wave;
        l.control = control;
        l.x = std::round(cx - 5.0);
        l.baseline = baseline;
        l.ink = IRect(static_cast<int>(l.x), static_cast<int>(baseline) - 6,
                      static_cast<int>(l.x) + 10, static_cast<int>(baseline) + 1);
        out_.push_back(l);
    }

private:
    cairo_t* cr_;
    std::vector<Lettering>& out_;
};

constexpr double kLineStep = 10.0;

// Scale texts around a rotary switch: positions spread over an arc, the outer
// ones beside the knob, the inner ones above it.
void AddRotaryScale(Setter& set, const layout::ControlEntry& c, int index, const PlugParam& p) {
    const IRect r = layout::ControlRect(c);
    // The positions' texts: the parameter's own, or its whole numbers.
    std::vector<std::string> texts;
    for (const PlugParam::DisplayText& t : p.DisplayTexts())
        texts.push_back(Upper(t.text));
    if (texts.empty())
        for (int v = static_cast<int>(p.Min()); v <= static_cast<int>(p.Max()); ++v)
            texts.push_back(std::to_string(v));
    const int n = static_cast<int>(texts.size());
    if (n < 2)
        return;
    const double cx = (r.left + r.right) / 2.0;
    const double cy = (r.top + r.bottom) / 2.0;
    const bool wave = std::strcmp(p.Name(), "VCO 1 Wave") == 0;
    static const char* const kWaves[] = {"saw", "pulse", "pwm"};
    for (int i = 0; i < n; ++i) {
        const double rad = SwitchAngle(i, n);
        const double deg = rad * 180.0 / M_PI;
        const std::string& text = texts[static_cast<std::size_t>(i)];
        if (std::fabs(deg) >= 55.0) {
            const double baseline = std::round(cy - 27.0 * std::cos(rad) + 3.0);
            const double x = deg < 0 ? r.left - 2 : r.right + 2;
            if (wave)
                set.AddIcon(kWaves[i], deg < 0 ? x - 6 : x + 6, baseline, index);
            else
                set.Add(Lettering::kScale, text, kBold, kScaleSize, 0.0, x, deg < 0 ? 1.0 : 0.0,
                        baseline, index);
        } else {
            const double x = cx + 27.0 * std::sin(rad);
            if (wave)
                set.AddIcon(kWaves[i], x, r.top - 3, index);
            else
                set.Add(Lettering::kScale, text, kBold, kScaleSize, 0.0, x, 0.5, r.top - 3, index);
        }
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

} // namespace

const CaptionRule kCaptions[] = {
    {"VCF", 512, 872, 130},      {"VCA", 640, 936, 202},          {"FEET", 292, 348, 600},
    {"TRIGGER", 368, 424, 600},  {"FEET", 548, 636, 600},         {"PAN", 768, 936, 432},
    {"VELOCITY", 768, 936, 504}, {"VCF VELOCITY", 768, 872, 600}, {"APPLY TO", 192, 296, 296},
};
const int kCaptionCount = static_cast<int>(sizeof(kCaptions) / sizeof(kCaptions[0]));

const PlugParam* ParamByName(const char* name) {
    return name ? FindParamRecord(name) : nullptr;
}

std::string LabelText(const layout::ControlEntry& c) {
    if (!c.parameter)
        return std::string();
    if (const LabelOverride* o = FindOverride(c.parameter))
        return o->text;
    return DerivedLabel(c.parameter);
}

std::vector<Lettering> PanelLettering(cairo_t* cr) {
    std::vector<Lettering> out;
    Setter set(cr, out);

    // The instrument's and the maker's names in the header.
    set.Add(Lettering::kName, "HALVANE", kBold, 30.0, 7.0, 38, 0.0, 52, -1);
    set.Add(Lettering::kName,
            "POLYPHONIC ENSEMBLE  \xC2\xB7  SYNTHE  \xC2\xB7  BRASS  \xC2\xB7  STRINGS", kRegular,
            9.5, 1.6, 40, 0.0, 70, -1);
    set.Add(Lettering::kName, "KELPMOOR MUSIC", kBold, 11.0, 3.0, 948, 1.0, 72, -1);

    for (const Section& s : kSections) {
        if (s.title)
            set.Add(Lettering::kTitle, s.title, kBold, kTitleSize, 1.2, s.box.left + 8, 0.0,
                    s.box.top + 12, -1);
    }
    for (int i = 0; i < kCaptionCount; ++i) {
        const CaptionRule& c = kCaptions[i];
        set.Add(Lettering::kCaption, c.text, kBold, kScaleSize, 0.8, (c.x0 + c.x1) / 2.0, 0.5,
                c.baseline, -1);
    }

    for (int i = 0; i < layout::kControlCount; ++i) {
        const layout::ControlEntry& c = layout::kControls[i];
        const std::string text = LabelText(c);
        if (text.empty())
            continue;
        const IRect r = layout::ControlRect(c);
        const LabelOverride* o = FindOverride(c.parameter);
        const double cx = (r.left + r.right) / 2.0 + (o ? o->dx : 0);
        const std::vector<std::string> lines = Lines(text);
        const int count = static_cast<int>(lines.size());
        const PlugParam* p = FindParamRecord(c.parameter);

        switch (c.kind) {
        case layout::kFramesSwitch:
            // Above the slide, which is short and sits in a column of three.
            for (int k = 0; k < count; ++k)
                set.Add(Lettering::kLabel, lines[k], kBold, kLabelSize, 0.0, cx, 0.5,
                        r.top - 3 - kLineStep * (count - 1 - k), i);
            break;
        case layout::kKeyControl:
            set.Add(Lettering::kLabel, lines[0], kBold, kLabelSize, 0.0, r.left - 7, 1.0,
                    r.bottom - 3, i);
            break;
        case layout::kSwitch: {
            // A lever: its name above or below, its two positions beside it.
            const bool above = std::strcmp(c.parameter, "Key Assign") == 0;
            for (int k = 0; k < count; ++k) {
                const double baseline =
                    above ? r.top - 4 - kLineStep * (count - 1 - k) : r.bottom + 10 + kLineStep * k;
                set.Add(Lettering::kLabel, lines[k], kBold, kLabelSize, 0.0, cx, 0.5, baseline, i);
            }
            if (p && p->DisplayTexts().size() == 2) {
                set.Add(Lettering::kScale, Upper(p->DisplayTexts()[1].text), kBold, kScaleSize, 0.0,
                        r.right + 3, 0.0, r.top + 7, i);
                set.Add(Lettering::kScale, Upper(p->DisplayTexts()[0].text), kBold, kScaleSize, 0.0,
                        r.right + 3, 0.0, r.bottom, i);
            }
            break;
        }
        default: {
            const double size = c.kind == layout::kButtonKick ? kButtonLabelSize : kLabelSize;
            for (int k = 0; k < count; ++k)
                set.Add(Lettering::kLabel, lines[k], kBold, size, 0.0, cx, 0.5,
                        r.bottom + 10 + kLineStep * k, i);
            if (c.kind == layout::kKnob && c.gearing == 1 && p)
                AddRotaryScale(set, c, i, *p);
            break;
        }
        }
    }
    return out;
}

} // namespace artwork

} // namespace halvane

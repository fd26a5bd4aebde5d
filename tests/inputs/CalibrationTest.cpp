#include <gtest/gtest.h>

#include <set>

#include "inputs/Calibration.h"
#include "inputs/TestPanel.h"

namespace zrk {
namespace {

// The key of an integer setting, from the settings table.
std::string Key(int Settings::*field)
{
    for (const SettingDef& d : SettingsTable())
        if (const auto* f = std::get_if<int Settings::*>(&d.field); f && *f == field)
            return d.key;
    return "?";
}

std::string Keys(const std::vector<CapturedPoint>& points)
{
    std::string out;
    for (const CapturedPoint& p : points) {
        out += out.empty() ? "" : " ";
        out += Key(p.setting);
        if (p.source == CaptureSource::TrackBar)
            out += "<TB" + std::to_string(p.trackBar);
        else if (p.source == CaptureSource::LiveLabel)
            out += "<live";
        else
            out += "<0";
    }
    return out;
}

using F = CalibrationForm;

TEST(Calibration, EveryCaptureButtonWritesItsPointsFromItsSource)
{
    const struct {
        F form;
        int button, type;
        const char* written;   // "" = no capture button
    } cases[] = {
        // Throttles: all four on every type.
        {F::Throttles, 1, 0, "THROTTLE_1_FULL<TB1 THROTTLE_2_FULL<TB2 THROTTLE_3_FULL<TB3 THROTTLE_4_FULL<TB4"},
        {F::Throttles, 2, 1, "THROTTLE_1_IDLE<TB1 THROTTLE_2_IDLE<TB2 THROTTLE_3_IDLE<TB3 THROTTLE_4_IDLE<TB4"},
        {F::Throttles, 3, 0, ""},
        {F::Throttles, 4, 0, ""},
        // Reversers: 3 and 4 on the 747 only.
        {F::Reversers, 1, 2, "REVERSER_1_OFF<TB5 REVERSER_2_OFF<TB6 REVERSER_3_OFF<TB7 REVERSER_4_OFF<TB8"},
        {F::Reversers, 1, 0, "REVERSER_1_OFF<TB5 REVERSER_2_OFF<TB6"},
        {F::Reversers, 4, 1, "REVERSER_1_IDLE<TB5 REVERSER_2_IDLE<TB6"},
        {F::Reversers, 2, 2, "REVERSER_1_FULL<TB5 REVERSER_2_FULL<TB6 REVERSER_3_FULL<TB7 REVERSER_4_FULL<TB8"},
        {F::Reversers, 5, 2, ""},
        // Flaps: SET from the live label, CLEAR to 0; the odd button pairs.
        {F::Flaps, 1, 0, "FLAP_UP<live"},
        {F::Flaps, 2, 0, "FLAP_UP<0"},
        {F::Flaps, 8, 0, "FLAP_5<live"},
        {F::Flaps, 14, 0, "FLAP_15<live"},
        {F::Flaps, 13, 0, "FLAP_15<0"},
        {F::Flaps, 22, 0, "FLAP_17<0"},
        {F::Flaps, 25, 0, "FLAP_18<live"},
        {F::Flaps, 12, 0, "FLAP_20<live"},
        {F::Flaps, 15, 0, "FLAP_20<0"},
        {F::Flaps, 21, 0, "FLAP_40<0"},
        {F::Flaps, 3, 0, ""},
        {F::Flaps, 26, 0, ""},
        // Speedbrake from its live label.
        {F::Speedbrake, 1, 0, "SPEEDBRAKE_DN<live"},
        {F::Speedbrake, 4, 0, "SPEEDBRAKE_ARM<live"},
        {F::Speedbrake, 2, 0, "SPEEDBRAKE_UP<live"},
        {F::Speedbrake, 3, 0, ""},
    };
    for (const auto& c : cases) {
        const auto points = CapturePoints(c.form, c.button, c.type);
        EXPECT_EQ(points ? Keys(*points) : "", c.written) << int(c.form) << " Button" << c.button;
    }
}

TEST(Calibration, EveryFlapButtonBelongsToOneRowAndEveryRowHasALabel)
{
    // 12 detents, a SET and a CLEAR each: Button1, Button2, Button4..Button25.
    std::set<std::string> seen;
    for (int b = 1; b <= 25; ++b) {
        const auto points = CapturePoints(F::Flaps, b, 0);
        ASSERT_EQ(points.has_value(), b != 3) << b;
        if (points) {
            EXPECT_TRUE(seen.insert(Keys(*points)).second) << b;
        }
    }
    EXPECT_EQ(seen.size(), 24u);
    std::set<int> labels;
    for (const PointLabel& p : PointLabels(F::Flaps))
        labels.insert(p.label);
    EXPECT_EQ(labels, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 19, 20, 24, 26}));
    EXPECT_EQ(PointLabels(F::Reversers).size(), 12u);
    EXPECT_EQ(PointLabels(F::Throttles).size(), 8u);
    EXPECT_EQ(PointLabels(F::Speedbrake).size(), 3u);
}

TEST(Calibration, ACaptureIsTakenWholeOrNotAtAll)
{
    Settings s;
    s.FLAP_5 = 7;
    CaptureSources from;
    from.liveText = "412";
    EXPECT_TRUE(ApplyCapture(*CapturePoints(F::Flaps, 8, 0), from, s));
    EXPECT_EQ(s.FLAP_5, 412);
    for (const char* junk : {"", "abc", "4x", "99999999999"}) {
        from.liveText = junk;
        EXPECT_FALSE(ApplyCapture(*CapturePoints(F::Flaps, 8, 0), from, s)) << junk;
        EXPECT_EQ(s.FLAP_5, 412);
    }
    from.trackBars = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    EXPECT_TRUE(ApplyCapture(*CapturePoints(F::Reversers, 2, 2), from, s));
    EXPECT_EQ(s.REVERSER_1_FULL, 15);
    EXPECT_EQ(s.REVERSER_4_FULL, 18);
}

TEST(TestPanel, SlidersHandFixedInputsToTheCardOfTheAircraftType)
{
    const struct {
        int trackBar, type;
        std::optional<SliderInput> in;
    } cases[] = {
        {1, 0, SliderInput{InterfaceCard::Main, 0, 1}},
        {8, 2, SliderInput{InterfaceCard::Main, 7, 8}},
        {9, 0, SliderInput{InterfaceCard::Main, 6, 9}},
        {10, 1, SliderInput{InterfaceCard::Main, 7, 10}},
        {9, 2, SliderInput{InterfaceCard::Second, 0, 9}},
        {10, 2, SliderInput{InterfaceCard::Second, 1, 10}},
        // The trim sliders run the flap and speedbrake handlers.
        {11, 0, SliderInput{InterfaceCard::Main, 7, 10}},
        {12, 2, SliderInput{InterfaceCard::Second, 0, 9}},
        {0, 0, std::nullopt},
        {13, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto in = TestPanelInput(c.trackBar, c.type);
        ASSERT_EQ(in.has_value(), c.in.has_value()) << c.trackBar;
        if (in) {
            EXPECT_EQ(in->card, c.in->card) << c.trackBar;
            EXPECT_EQ(in->input, c.in->input) << c.trackBar;
            EXPECT_EQ(in->trackBar, c.in->trackBar) << c.trackBar;
        }
    }
}

} // namespace
} // namespace zrk

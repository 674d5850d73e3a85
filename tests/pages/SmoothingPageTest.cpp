#include <climits>
#include <cmath>

#include "pages/SmoothingPage.h"
#include "tests/pages/PageTestSupport.h"

namespace {

class SmoothingPage : public CPageTest<CSmoothingPage> {
protected:
    QSlider* Slider(const char* quantity) const
    {
        return Group(page.get(), quantity)->findChild<QSlider*>();
    }
};

TEST_F(SmoothingPage, ShowsTheFactoryRecordAndStoresItUnchanged)
{
    EXPECT_EQ(
        Snapshot(page.get()),
        "Less Smoothed | slider 0 | More Smoothed | TCF: 1.00 | [100] | MGD | [0.000] | MGD | "
        "Less Smoothed | slider 0 | More Smoothed | TCF: 1.00 | [10.0] | ft/s | [0.000] | "
        "ft/s | Less Smoothed | slider 0 | More Smoothed | TCF: 1.00 | [120] | In | [0.000] | "
        "In | Display smoothed flow, velocity, and depth values on LCD and main web page [x] | "
        "Clear smoothed values if [x] | [10] | bad readings occur");
    page->StoreToConfig();
    EXPECT_EQ(Differences(config, DefaultRecord()), Offsets{});
}

TEST_F(SmoothingPage, EverySliderPositionReadsBackAsItselfAndMovesNoOtherSlider)
{
    MoveTo(Slider("Velocity"), 37);
    MoveTo(Slider("Depth"), 100);
    // To the end and back, twice, a step at a time: each step stores and reloads the page.
    QSlider* flow = Slider("Flow");
    for (int step = 1; step <= 400; ++step) {
        const int position = 100 - std::abs(step % 200 - 100);
        MoveTo(flow, position);
        ASSERT_EQ(flow->value(), position);
        EXPECT_NEAR(config.smoothing[0].tcf, (100 - position) / 100.0, 1e-7) << position;
    }
    MoveTo(flow, 71);
    EXPECT_EQ(
        Snapshot(Group(page.get(), "Flow")),
        "Less Smoothed | slider 71 | More Smoothed | TCF: 0.29 | [100] | MGD | [0.000] | MGD");
    EXPECT_EQ(Slider("Velocity")->value(), 37);
    EXPECT_EQ(Slider("Depth")->value(), 100);

    // A factor beyond 0..1 from a file puts the slider at its nearer end, its label as stored.
    const std::tuple<float, int, const char*> stored[] = {
        {1.5f, 0, "TCF: 1.50"}, {-0.5f, 100, "TCF: -0.50"}, {NAN, 0, "TCF: nan"}};
    for (const auto& [factor, position, text] : stored) {
        config.smoothing[2].tcf = factor;
        Reload();
        EXPECT_EQ(Slider("Depth")->value(), position) << text;
        EXPECT_TRUE(Snapshot(Group(page.get(), "Depth")).contains(text)) << text;
    }
}

TEST_F(SmoothingPage, ThresholdsAreStoredAsPositiveBaseUnitsWhateverTheDesktopLanguage)
{
    const CGermanDesktop german;
    // The field (in Flow, MGD, or in Depth, inches), typed, stored and shown again.
    const std::tuple<const char*, const char*, std::int32_t, const char*> cases[] = {
        {"Depth", "-5", 127, "5.00"},         // in millimetres, the sign dropped
        {"Depth", "2,5", 51, "2.01"},         // a comma ends the number
        {"Flow", "100", 4381264, "100"},      // in cubic centimetres per second
        {"Flow", "1e300", INT_MAX, "49015"},  // held at the field's end
    };
    for (const auto& [quantity, typed, stored, shown] : cases) {
        QLineEdit* field =
            Labelled<QLineEdit>(Group(page.get(), quantity), "Force to zero if less than");
        Type(field, typed);
        page->StoreToConfig();
        EXPECT_EQ(Value(config.smoothing[quantity[0] == 'F' ? 0 : 2].zeroBelow), stored) << typed;
        Reload();
        EXPECT_EQ(field->text(), shown) << typed;
    }
    Type(Labelled<QLineEdit>(Group(page.get(), "Velocity"), "Don't smooth changes over"), "2.6");
    page->StoreToConfig();
    EXPECT_EQ(Value(config.smoothing[1].band), 792);  // feet per second in mm/s
}

TEST_F(SmoothingPage, ClearSmoothedValuesRemembersItsCountAndItsArrowsWrap)
{
    config.badReadingClearCount = 0;
    Reload();
    CheckClearCountRow(Group(page.get(), "Bad Data")->findChild<CClearCountRow*>(), "--",
                       [&] { return int(config.badReadingClearCount); });
    Press(FindButton<QCheckBox>(page.get(),
                                "Display smoothed flow, velocity, and depth values on "
                                "LCD and main web page"));
    page->StoreToConfig();
    EXPECT_EQ(Value(config.lcdShowSmoothed), 0);
}

}  // namespace

#include <QCheckBox>
#include <QSlider>
#include <clocale>
#include <cmath>
#include <memory>

#include "config/Quantities.h"
#include "pages/SmoothingTab.h"
#include "tests/pages/PageTestSupport.h"

namespace {

struct QuantityView {
    QSlider* slider;
    QLineEdit* band;
    QLineEdit* zeroBelow;
    QWidget* group;

    QString Factor() const
    {
        for (QLabel* label : group->findChildren<QLabel*>())
            if (label->text().startsWith("TCF:")) return label->text();
        return {};
    }
    // The texts of the group's labels, to find the unit beside each field.
    QStringList Labels() const
    {
        QStringList texts;
        for (QLabel* label : group->findChildren<QLabel*>()) texts << label->text();
        return texts;
    }
};

class SmoothingPage : public CPageTest<CSmoothingTab> {
protected:
    QuantityView Quantity(const char* title)
    {
        QWidget* group = Group(page.get(), title);
        return {group->findChild<QSlider*>(),
                Labelled<QLineEdit>(group, "Don't smooth changes over"),
                Labelled<QLineEdit>(group, "Force to zero if less than"), group};
    }
    CClearCountRow* ClearSmoothed()
    {
        return Group(page.get(), "Bad Data")->findChild<CClearCountRow*>();
    }
};

TEST_F(SmoothingPage, ShowsTheDefaultRecord)
{
    const struct {
        const char* title;
        const char* band;
        const char* units;
    } shown[] = {{"Flow", "100", "MGD"}, {"Velocity", "10.0", "ft/s"}, {"Depth", "120", "In"}};
    for (const auto& quantity : shown) {
        const QuantityView view = Quantity(quantity.title);
        EXPECT_EQ(view.slider->minimum(), 0);
        EXPECT_EQ(view.slider->maximum(), 100);
        EXPECT_EQ(view.slider->value(), 0) << quantity.title;
        EXPECT_EQ(view.Factor(), "TCF: 1.00") << quantity.title;
        EXPECT_EQ(view.band->text(), quantity.band) << quantity.title;
        EXPECT_EQ(view.zeroBelow->text(), "0.000") << quantity.title;
        EXPECT_EQ(view.Labels().count(quantity.units), 2) << quantity.title;
        EXPECT_TRUE(view.Labels().contains("Less\nSmoothed"));
        EXPECT_TRUE(view.Labels().contains("More\nSmoothed"));
    }
    EXPECT_TRUE(
        FindButton<QCheckBox>(Group(page.get(), "Output"),
                              "Display smoothed flow, velocity, and depth values on LCD and "
                              "main web page")
            ->isChecked());
    EXPECT_TRUE(ClearSmoothed()->IsTicked());
    EXPECT_EQ(ClearSmoothed()->Field()->Text(), "10");
}

TEST_F(SmoothingPage, StoringTheDefaultsChangesNothing)
{
    page->StoreToConfig();
    EXPECT_EQ(Differences(config, DefaultRecord()), std::vector<std::size_t>{});
}

TEST_F(SmoothingPage, EverySliderPositionReadsBackAsItselfAndMovesNoOtherSlider)
{
    MoveTo(Quantity("Velocity").slider, 37);
    MoveTo(Quantity("Depth").slider, 100);
    const float velocityFactor = config.smoothing[1].tcf;

    // Right to the end and back, twice: each step stores and reloads the whole page.
    const QuantityView flow = Quantity("Flow");
    for (int round = 0; round < 2; ++round) {
        for (int position = 0; position <= 100; ++position) {
            MoveTo(flow.slider, position);
            ASSERT_EQ(flow.slider->value(), position);
            const double expected = (100 - position) / 100.0;
            EXPECT_NEAR(config.smoothing[0].tcf, expected, 1e-7) << position;
            EXPECT_EQ(flow.Factor(), QString("TCF: %1").arg(expected, 0, 'f', 2)) << position;
        }
        MoveTo(flow.slider, 0);
    }
    EXPECT_EQ(Quantity("Velocity").slider->value(), 37);
    EXPECT_EQ(Value(config.smoothing[1].tcf), velocityFactor);
    EXPECT_EQ(Quantity("Depth").slider->value(), 100);
    EXPECT_EQ(Value(config.smoothing[2].tcf), 0.0f);
}

TEST_F(SmoothingPage, LoadingAnotherRecordLeavesItAsItCame)
{
    UnitConfig other = DefaultRecord();
    for (int q = 0; q < 3; ++q) {
        other.smoothing[q].tcf = 0.5f;
        other.smoothing[q].band = 1000 + q;
        other.smoothing[q].zeroBelow = 10 + q;
    }
    config = other;  // as a file or a unit replaces the record
    page->LoadFromConfig();
    EXPECT_EQ(Differences(config, other), std::vector<std::size_t>{});
    EXPECT_EQ(Quantity("Depth").slider->value(), 50);
}

TEST_F(SmoothingPage, FactorsAreTheNearestFloatsAndOddOnesShowAsStored)
{
    const QuantityView depth = Quantity("Depth");
    const std::tuple<int, float, const char*> positions[] = {
        {71, 0.29f, "TCF: 0.29"}, {25, 0.75f, "TCF: 0.75"}, {100, 0.0f, "TCF: 0.00"}};
    for (const auto& [position, factor, text] : positions) {
        MoveTo(depth.slider, position);
        EXPECT_EQ(Value(config.smoothing[2].tcf), factor) << position;
        EXPECT_EQ(depth.Factor(), text);
    }

    // A factor outside 0..1 from a file: the slider at its nearer end, the label as stored.
    const std::tuple<float, int, const char*> stored[] = {
        {1.5f, 0, "TCF: 1.50"}, {-0.5f, 100, "TCF: -0.50"}, {NAN, 0, "TCF: nan"}};
    for (const auto& [factor, position, text] : stored) {
        config.smoothing[2].tcf = factor;
        page->LoadFromConfig();
        EXPECT_EQ(depth.slider->value(), position) << text;
        EXPECT_EQ(depth.Factor(), text);
        page->StoreToConfig();
        EXPECT_EQ(Value(config.smoothing[2].tcf), position == 0 ? 1.0f : 0.0f) << text;
    }
}

TEST_F(SmoothingPage, ThresholdsAreStoredAsPositiveBaseUnits)
{
    const QuantityView flow = Quantity("Flow");
    const QuantityView depth = Quantity("Depth");
    // Typed in the display units (MGD and inches), stored rounded in cm³/s and mm.
    const struct {
        const QuantityView& view;
        QLineEdit* field;
        const char* typed;
        int quantity;
        bool band;
        std::int32_t stored;
        const char* shown;
    } cases[] = {
        {depth, depth.zeroBelow, "-5", 2, false, 127, "5.00"},
        {depth, depth.band, "2.6", 2, true, 66, "2.60"},
        {depth, depth.band, "  1e1 inches", 2, true, 254, "10.0"},
        {depth, depth.zeroBelow, "abc", 2, false, 0, "0.000"},
        {flow, flow.band, "100", 0, true, 4381264, "100"},
        {flow, flow.band, "1e300", 0, true, 2147483647, "49015"},
    };
    for (const auto& c : cases) {
        Type(c.field, c.typed);
        page->StoreToConfig();
        const std::int32_t stored =
            c.band ? config.smoothing[c.quantity].band : config.smoothing[c.quantity].zeroBelow;
        EXPECT_EQ(stored, c.stored) << c.typed;
        page->LoadFromConfig();
        EXPECT_EQ(c.field->text(), c.shown) << c.typed;
    }

    // The labels and values follow the units chosen on the Site page.
    config.unitCode[KindDepth] = 5;  // millimetres
    config.unitCode[KindFlow] = 99;  // no unit the program knows
    page->LoadFromConfig();
    EXPECT_EQ(depth.Labels().count("mm"), 2);
    EXPECT_EQ(depth.band->text(), "254");
    EXPECT_EQ(flow.Labels().count("Unknown Units"), 2);
}

TEST_F(SmoothingPage, ClearSmoothedValuesOffersTheLastCountAndItsArrowsWrap)
{
    config.badReadingClearCount = 0;
    Reload();
    CClearCountRow* row = ClearSmoothed();
    EXPECT_FALSE(row->IsTicked());
    EXPECT_EQ(row->Field()->Text(), "--");
    QTest::keyPress(row->Field(), Qt::Key_Up);
    EXPECT_EQ(config.badReadingClearCount, 0) << "the arrows are off with the box";

    Press(row->Box());
    EXPECT_EQ(row->Field()->Text(), "3");
    QTest::keyClicks(row->Field(), "7");
    EXPECT_EQ(row->Field()->Text(), "3") << "the count cannot be typed into";

    for (int i = 3; i < 20; ++i) ClickArrow(row->Field(), true);
    EXPECT_EQ(row->Field()->Text(), "20");
    ClickArrow(row->Field(), true);
    EXPECT_EQ(row->Field()->Text(), "1");
    ClickArrow(row->Field(), false);
    EXPECT_EQ(row->Field()->Text(), "20");
    QTest::keyPress(row->Field(), Qt::Key_Down);
    EXPECT_EQ(config.badReadingClearCount, 19);

    Press(row->Box());
    EXPECT_EQ(row->Field()->Text(), "--");
    EXPECT_EQ(config.badReadingClearCount, 0);
    Press(row->Box());
    EXPECT_EQ(config.badReadingClearCount, 19) << "the count cleared is offered again";

    Press(FindButton<QCheckBox>(Group(page.get(), "Output"),
                                "Display smoothed flow, velocity, and depth values on LCD and main "
                                "web page"));
    page->StoreToConfig();
    EXPECT_EQ(config.lcdShowSmoothed, 0);
}

TEST_F(SmoothingPage, NumbersReadAndShowWithADotWhateverTheDesktopLanguage)
{
    const CGermanDesktop german;
    Reload();
    const QuantityView velocity = Quantity("Velocity");
    EXPECT_EQ(velocity.band->text(), "10.0");
    Type(velocity.band, "2.5");
    MoveTo(velocity.slider, 50);                      // stores and reloads the page
    EXPECT_EQ(Value(config.smoothing[1].band), 762);  // 2.5 ft/s in mm/s
    EXPECT_EQ(velocity.band->text(), "2.50");
    EXPECT_EQ(velocity.Factor(), "TCF: 0.50");

    Type(velocity.zeroBelow, "2,5");
    page->StoreToConfig();
    EXPECT_EQ(Value(config.smoothing[1].zeroBelow), 610) << "a comma ends the number: 2 ft/s";
}

}  // namespace

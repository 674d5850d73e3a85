#include "config/Quantities.h"
#include "pages/AlarmsPage.h"
#include "tests/pages/PageTestSupport.h"

namespace {

// A rule's fields in order: enabled, instrument1, instrument2, dataType1, dataType2, compare1,
// compare2, threshold1, threshold2, combine, latching.
using Fields = std::vector<long>;
Fields FieldsOf(const AlarmRule& r)
{
    return {r.enabled,  r.instrument1, r.instrument2, r.dataType1, r.dataType2, r.compare1,
            r.compare2, r.threshold1,  r.threshold2,  r.combine,   r.latching};
}

// The rule controls at rest, as for an unused line.
const char kAtRest[] =
    "<Ins 1> | <Q Main> | <>> | [0.000] | MGD | <N/A> | <Ins 1> (off) | <Q Main> (off) | <>> "
    "(off) | [0.000] (off) | MGD | Latching when triggered [ ]";

class AlarmsPage : public CPageTest<CAlarmsPage> {
protected:
    QListWidget* Rules() const { return Find<QListWidget>(page.get(), "rules"); }
    QString Line(int line) const { return Rules()->item(line)->text(); }
    QString Parameters() const { return Snapshot(Group(page.get(), "Alarm Parameters")); }
};

TEST_F(AlarmsPage, RecordWithoutRulesShowsEightUnusedLinesAndTheControlsAtRest)
{
    EXPECT_EQ(Snapshot(page.get()),
              kAtRest + QString(" | <Ins 1> | [] | MGal | > #1: (not used) / #2: (not used) / "
                                "#3: (not used) / #4: (not used) / #5: (not used) / #6: (not "
                                "used) / #7: (not used) / #8: (not used)"));
}

TEST_F(AlarmsPage, ThresholdsAreStoredInBaseUnitsRoundedByTheSignOfTheTypedNumber)
{
    const CGermanDesktop german;
    // Inches (3), millimetres (5) or degrees Fahrenheit (37); typed and stored.
    const std::tuple<std::uint8_t, const char*, std::int32_t> cases[] = {
        {3, "5", 127},  // 126.99999...
        {5, "-2.5", -3},
        {5, "--", kMissingValue},  // the page's text for the mark
        // 10 degrees Fahrenheit is -1222.2 hundredths of a degree Celsius; the typed number
        // is positive, so half a unit is added.
        {37, "10", -1221},
        {5, "2.5", 3},
    };
    for (const auto& [unit, typed, stored] : cases) {
        const bool depth = unit != 37;
        config.unitCode[depth ? KindDepth : KindTemperature] = unit;
        Reload();
        ClickLine(Rules(), 0);
        Choose(List("condition1Quantity"), depth ? "Main Depth" : "Sensor Temperature");
        Type(Edit("condition1Threshold"), typed);
        PressButton("Set Alarm Condition");
        EXPECT_EQ(Value(config.alarmRule[0].threshold1), stored) << typed;
    }
    EXPECT_EQ(Line(0), "#1: Instrument 1 Main Depth > 3.00 mm");
}

TEST_F(AlarmsPage, LatchingTwoConditionRuleIsStoredListedAndLoadedBack)
{
    ClickLine(Rules(), 1);
    Choose(List("condition1Quantity"), "Main Depth");
    Type(Edit("condition1Threshold"), "50");
    Choose(List("join"), "AND");
    Choose(List("condition2Instrument"), "Ins 2");
    Choose(List("condition2Compare"), "<");
    Type(Edit("condition2Threshold"), "3.5");
    Press(Box("latching"));
    PressButton("Set Alarm Condition");

    EXPECT_EQ(FieldsOf(config.alarmRule[1]), (Fields{1, 0, 1, 16, 1, 1, 2, 1270, 153344, 7, 1}));
    EXPECT_EQ(Line(1),
              "#2: Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50 "
              "MGD (Latching)");
    // On to the next line, which is unused: the controls rest.
    EXPECT_EQ(Rules()->currentRow(), 2);
    EXPECT_EQ(Parameters(), kAtRest);
    ClickLine(Rules(), 1);
    EXPECT_EQ(Parameters(),
              "<Ins 1> | <Main Depth> | <>> | [50.0] | In | <AND> | <Ins 2> | <Q Main> | <<> | "
              "[3.50] | MGD | Latching when triggered [x]");
}

TEST_F(AlarmsPage, PulseIsStoredInThousandthsOfTheVolumeBaseUnitAndTheLastLineStays)
{
    config.unitCode[KindVolume] = 28;  // cubic metres: ten base units each
    Reload();
    ClickLine(Rules(), 2);
    Choose(List("pulseInstrument"), "Ins 3");
    Type(Edit("pulseVolume"), "2.5");
    PressButton("Set Pulse Volume");
    EXPECT_EQ(FieldsOf(config.alarmRule[2]), (Fields{1, 2, 0, 8, 0, 6, 0, 25000, 0, 9, 0}));
    EXPECT_EQ(Line(2), QString::fromLatin1("#3: Instrument 3 pulse every 2.50 m\xb3"));
    EXPECT_EQ(Rules()->currentRow(), 3);

    // Truncated, not rounded; the last line stays selected and shows its rule again.
    ClickLine(Rules(), 7);
    Type(Edit("pulseVolume"), "0.00099");
    PressButton("Set Pulse Volume");
    EXPECT_EQ(Value(config.alarmRule[7].threshold1), 9);
    EXPECT_EQ(Rules()->currentRow(), 7);
    EXPECT_EQ(Edit("pulseVolume")->text(), "0.001");
}

TEST_F(AlarmsPage, CombinedQuantitiesTakeNoInstrument)
{
    Choose(List("condition1Instrument"), "Ins 2");
    Choose(List("condition1Quantity"), "Average Flow");
    Choose(List("join"), "AND");
    Choose(List("condition2Quantity"), "Average Depth");
    Choose(List("join"), "OR");  // enables the second condition again, but not its instrument
    EXPECT_EQ(Parameters(),
              "<Ins 2> (off) | <Average Flow> | <>> | [0.000] | MGD | <OR> | <Ins 1> (off) | "
              "<Average Depth> | <>> | [0.000] | In | Latching when triggered [ ]");
    Choose(List("join"), "N/A");
    PressButton("Set Alarm Condition");

    // The disabled list still gives its instrument to the record; the line names none.
    EXPECT_EQ(FieldsOf(config.alarmRule[0]), (Fields{1, 1, 0, 38, 0, 1, 0, 0, 0, 9, 0}));
    EXPECT_EQ(Line(0), "#1: Average Flow > 0.000 MGD");
    ClickLine(Rules(), 0);
    EXPECT_FALSE(List("condition1Instrument")->isEnabled());
}

TEST_F(AlarmsPage, ClearSelectedEmptiesItsSlotAndWithoutASelectionNoButtonActs)
{
    const AlarmRule full{1, 2, 1, 16, 20, 3, 4, -5, 6, 8, 1};
    for (AlarmRule& rule : config.alarmRule) rule = full;
    Reload();
    ClickLine(Rules(), 4);
    PressButton("Clear Selected");
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(FieldsOf(config.alarmRule[slot]), FieldsOf(slot == 4 ? AlarmRule{} : full));
    EXPECT_EQ(Line(4), "#5: (not used)");
    EXPECT_EQ(Rules()->currentRow(), 4);

    ClickLine(Rules(), 4, Qt::ControlModifier);
    ASSERT_TRUE(Rules()->selectedItems().isEmpty());
    const UnitConfig before = config;
    for (const char* button : {"Set Alarm Condition", "Set Pulse Volume", "Clear Selected"})
        PressButton(button);
    EXPECT_EQ(Differences(config, before), Offsets{});
}

TEST_F(AlarmsPage, CodesTheListsLackLoadAndAreKept)
{
    // Instrument 6, area (no entry), comparison code 9, join code 3; and comparison code 7
    // in a second condition.
    config.alarmRule[0] = AlarmRule{1, 5, 0, 7, 0, 9, 0, 0, 0, 3, 0};
    config.alarmRule[1] = AlarmRule{1, 0, 0, 1, 1, 1, 7, 0, 0, 7, 0};
    Reload();
    // What the lists cannot show is kept; the quantity shown is stored.
    PressButton("Set Alarm Condition");
    EXPECT_EQ(FieldsOf(config.alarmRule[0]), (Fields{1, 5, 0, 1, 0, 9, 0, 0, 0, 3, 0}));
    PressButton("Set Alarm Condition");
    EXPECT_EQ(FieldsOf(config.alarmRule[1]), (Fields{1, 0, 0, 1, 1, 1, 7, 0, 0, 7, 0}));
}

}  // namespace

#include <gtest/gtest.h>

#include <QListWidget>
#include <climits>

#include "config/Quantities.h"
#include "pages/AlarmsTab.h"
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

class AlarmsPage : public CPageTest<CAlarmsTab> {
protected:
    QListWidget* Rules() const { return Find<QListWidget>(page.get(), "rules"); }

    QStringList Lines() const
    {
        QStringList lines;
        for (int i = 0; i < Rules()->count(); ++i) lines << Rules()->item(i)->text();
        return lines;
    }

    int SelectedLine() const
    {
        const QList<QListWidgetItem*> selected = Rules()->selectedItems();
        return selected.isEmpty() ? -1 : Rules()->row(selected.first());
    }

    void ClickLine(int line, Qt::KeyboardModifiers modifiers = {})
    {
        ::ClickLine(Rules(), line, modifiers);
    }
};

TEST_F(AlarmsPage, RecordWithoutRulesShowsEightUnusedLinesAndTheControlsAtRest)
{
    QStringList unused;
    for (int n = 1; n <= 8; ++n) unused << QStringLiteral("#%1: (not used)").arg(n);
    EXPECT_EQ(Lines(), unused);
    EXPECT_EQ(SelectedLine(), 0);
    EXPECT_EQ(Entries(List("condition1Compare")), (QStringList{">", "<", ">=", "<=", "=="}));
    EXPECT_EQ(Entries(List("join")), (QStringList{"AND", "OR", "N/A"}));
    EXPECT_EQ(List("condition2Quantity")->count(), 23);

    for (const char* name :
         {"condition1Instrument", "condition1Quantity", "condition1Compare", "condition2Instrument",
          "condition2Quantity", "condition2Compare", "pulseInstrument"})
        EXPECT_EQ(List(name)->currentIndex(), 0) << name;
    EXPECT_EQ(List("join")->currentText(), "N/A");
    for (const char* name :
         {"condition2Instrument", "condition2Quantity", "condition2Compare", "condition2Threshold"})
        EXPECT_FALSE(Find<QWidget>(page.get(), name)->isEnabled()) << name;
    EXPECT_EQ(Edit("condition1Threshold")->text(), "0.000");
    EXPECT_EQ(Label("condition1Units"), "MGD");
    EXPECT_EQ(Label("pulseUnits"), "MGal");
}

TEST_F(AlarmsPage, ThresholdsAreStoredInBaseUnitsRoundedByTheSignOfTheTypedNumber)
{
    const struct {
        const char* quantity;
        QuantityKind kind;
        std::uint8_t unit;
        const char* typed;
        std::int32_t stored;
    } cases[] = {
        {"Main Depth", KindDepth, 3, "5", 127},  // inches: 126.99999...
        {"Main Depth", KindDepth, 5, "-2.5", -3},
        {"Main Depth", KindDepth, 5, "2.5", 3},
        // 10 degrees Fahrenheit is -1222.2 hundredths of a degree Celsius; the typed number
        // is positive, so half a unit is added.
        {"Sensor Temperature", KindTemperature, 37, "10", -1221},
        {"Main Depth", KindDepth, 5, "abc", 0},
        {"Main Depth", KindDepth, 5, "-1e300", INT_MIN},
        {"Main Depth", KindDepth, 5, "-32768", kMissingValue},
        // The page shows the missing-value mark as "--", which reads back as the mark.
        {"Main Depth", KindDepth, 5, "--", kMissingValue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        config.unitCode[c.kind] = c.unit;
        Reload();
        ClickLine(0);
        Choose(List("condition1Quantity"), c.quantity);
        Choose(List("join"), "AND");
        Choose(List("condition2Quantity"), c.quantity);
        Type(Edit("condition1Threshold"), c.typed);
        Type(Edit("condition2Threshold"), c.typed);
        PressButton("Set Alarm Condition");

        const AlarmRule rule = config.alarmRule[0];
        EXPECT_EQ(Value(rule.threshold1), c.stored);
        EXPECT_EQ(Value(rule.threshold2), c.stored);
    }
}

TEST_F(AlarmsPage, LatchingTwoConditionRuleIsStoredListedAndLoadedBack)
{
    ClickLine(1);
    Choose(List("condition1Quantity"), "Main Depth");
    Type(Edit("condition1Threshold"), "50");
    Choose(List("join"), "AND");
    Choose(List("condition2Instrument"), "Ins 2");
    Choose(List("condition2Compare"), "<");
    Type(Edit("condition2Threshold"), "3.5");
    Press(Box("latching"));
    PressButton("Set Alarm Condition");

    EXPECT_EQ(FieldsOf(config.alarmRule[1]), (Fields{1, 0, 1, 16, 1, 1, 2, 1270, 153344, 7, 1}));
    EXPECT_EQ(Lines()[1],
              "#2: Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50 "
              "MGD (Latching)");
    // On to the next slot, which is unused: the controls rest.
    EXPECT_EQ(SelectedLine(), 2);
    EXPECT_EQ(List("join")->currentText(), "N/A");
    EXPECT_FALSE(Box("latching")->isChecked());

    ClickLine(1);
    EXPECT_EQ(List("condition1Quantity")->currentText(), "Main Depth");
    EXPECT_EQ(Label("condition1Units"), "In");
    EXPECT_EQ(List("join")->currentText(), "AND");
    EXPECT_TRUE(List("condition2Quantity")->isEnabled());
    EXPECT_EQ(List("condition2Compare")->currentText(), "<");
    EXPECT_EQ(Edit("condition2Threshold")->text(), "3.50");
    EXPECT_TRUE(Box("latching")->isChecked());
}

TEST_F(AlarmsPage, CombinedQuantitiesTakeNoInstrument)
{
    Choose(List("condition1Instrument"), "Ins 2");
    Choose(List("condition1Quantity"), "Average Flow");
    EXPECT_FALSE(List("condition1Instrument")->isEnabled());
    Choose(List("condition1Compare"), ">=");
    Type(Edit("condition1Threshold"), "12");

    Choose(List("join"), "AND");
    Choose(List("condition2Instrument"), "Ins 3");
    Choose(List("condition2Quantity"), "Average Depth");
    Type(Edit("condition2Threshold"), "7");
    EXPECT_FALSE(List("condition2Instrument")->isEnabled());
    // Another join enables the second condition again, but not its instrument.
    Choose(List("join"), "OR");
    EXPECT_FALSE(List("condition2Instrument")->isEnabled());
    // Without a join the second condition is left out of the rule.
    Choose(List("join"), "N/A");
    EXPECT_FALSE(Edit("condition2Threshold")->isEnabled());
    PressButton("Set Alarm Condition");

    // The disabled list still gives its instrument to the record; the line names none.
    EXPECT_EQ(FieldsOf(config.alarmRule[0]), (Fields{1, 1, 0, 38, 0, 3, 0, 525752, 0, 9, 0}));
    EXPECT_EQ(Lines()[0], "#1: Average Flow >= 12.0 MGD");

    // A line chosen in the list shows its quantity's rules, and an unused one rests.
    ClickLine(0);
    EXPECT_FALSE(List("condition1Instrument")->isEnabled());
    ClickLine(5);
    EXPECT_TRUE(List("condition1Instrument")->isEnabled());
}

TEST_F(AlarmsPage, UnitsFollowTheQuantityAndTheRecordsDisplayUnits)
{
    Choose(List("condition1Quantity"), "Sensor Temperature");
    EXPECT_EQ(Label("condition1Units"), QString::fromLatin1("\xb0"
                                                            "F"));
    Choose(List("condition1Quantity"), "Data Timeouts");
    EXPECT_EQ(Label("condition1Units"), "");

    config.alarmRule[0] = AlarmRule{1, 0, 0, 16, 0, 1, 0, 1270, 0, 9, 0};
    config.unitCode[KindDepth] = 4;  // centimetres
    Reload();
    EXPECT_EQ(Lines()[0], "#1: Instrument 1 Main Depth > 127 cm");
    EXPECT_EQ(Label("condition1Units"), "cm");
}

TEST_F(AlarmsPage, PulseVolumeIsStoredInThousandthsOfTheVolumeBaseUnit)
{
    config.unitCode[KindVolume] = 28;  // cubic metres: ten base units each
    Reload();
    ClickLine(2);
    Choose(List("pulseInstrument"), "Ins 3");
    Type(Edit("pulseVolume"), "2.5");
    PressButton("Set Pulse Volume");

    EXPECT_EQ(FieldsOf(config.alarmRule[2]), (Fields{1, 2, 0, 8, 0, 6, 0, 25000, 0, 9, 0}));
    EXPECT_EQ(Lines()[2], QString::fromLatin1("#3: Instrument 3 pulse every 2.50 m\xb3"));
    EXPECT_EQ(SelectedLine(), 3);

    // Truncated, not rounded; and the last line stays selected and shows its rule again.
    ClickLine(7);
    Type(Edit("pulseVolume"), "0.00099");
    PressButton("Set Pulse Volume");
    EXPECT_EQ(Value(config.alarmRule[7].threshold1), 9);
    EXPECT_EQ(SelectedLine(), 7);
    EXPECT_EQ(Edit("pulseVolume")->text(), "0.001");
}

TEST_F(AlarmsPage, ClearSelectedEmptiesTheSlotAndKeepsTheLine)
{
    const AlarmRule full{1, 2, 1, 16, 20, 3, 4, -5, 6, 8, 1};
    for (AlarmRule& rule : config.alarmRule) rule = full;
    Reload();
    ClickLine(4);
    PressButton("Clear Selected");

    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(FieldsOf(config.alarmRule[slot]), FieldsOf(slot == 4 ? AlarmRule{} : full));
    EXPECT_EQ(Lines()[4], "#5: (not used)");
    EXPECT_EQ(SelectedLine(), 4);
}

TEST_F(AlarmsPage, WithoutASelectedLineTheButtonsChangeNothing)
{
    config.alarmRule[0] = AlarmRule{1, 0, 0, 1, 0, 1, 0, 10, 0, 9, 0};
    Reload();
    ClickLine(0, Qt::ControlModifier);
    ASSERT_EQ(SelectedLine(), -1);

    const std::vector<unsigned char> before = Bytes(config);
    for (const char* button : {"Set Alarm Condition", "Set Pulse Volume", "Clear Selected"})
        PressButton(button);
    EXPECT_EQ(Bytes(config), before);
    EXPECT_EQ(Lines().size(), 8);
}

TEST_F(AlarmsPage, RulesFromAFileWithValuesTheListsLackLoadAndKeepThoseValues)
{
    // Instrument 6, area (no entry), comparison code 9, join code 3.
    config.alarmRule[0] = AlarmRule{1, 5, 0, 7, 0, 9, 0, 0, 0, 3, 0};
    // Comparison code 7 in a second condition.
    config.alarmRule[1] = AlarmRule{1, 0, 0, 1, 1, 1, 7, 0, 0, 7, 0};
    Reload();

    EXPECT_EQ(Lines()[0], QString::fromLatin1("#1: Instrument 6 Area  0.000 ft\xb2"));
    EXPECT_EQ(Lines()[1], "#2: Instrument 1 Q Main > 0.000 MGD and Instrument 1 Q Main  0.000 MGD");
    EXPECT_EQ(List("condition1Instrument")->currentIndex(), -1);
    EXPECT_EQ(List("condition1Quantity")->currentText(), "Q Main");
    EXPECT_EQ(List("condition1Compare")->currentIndex(), -1);
    EXPECT_EQ(List("join")->currentIndex(), -1);
    EXPECT_FALSE(List("condition2Instrument")->isEnabled());

    // What the lists cannot show is kept; the quantity shown is stored.
    PressButton("Set Alarm Condition");
    EXPECT_EQ(FieldsOf(config.alarmRule[0]), (Fields{1, 5, 0, 1, 0, 9, 0, 0, 0, 3, 0}));
    EXPECT_EQ(List("condition2Compare")->currentIndex(), -1);
    PressButton("Set Alarm Condition");
    EXPECT_EQ(FieldsOf(config.alarmRule[1]), (Fields{1, 0, 0, 1, 1, 1, 7, 0, 0, 7, 0}));
}

TEST_F(AlarmsPage, NumbersIgnoreTheDesktopsLanguage)
{
    const CGermanDesktop german;
    config.unitCode[KindDepth] = 5;  // millimetres
    Reload();
    Choose(List("condition1Quantity"), "Main Depth");
    Type(Edit("condition1Threshold"), "2.5");
    PressButton("Set Alarm Condition");

    EXPECT_EQ(Value(config.alarmRule[0].threshold1), 3);
    EXPECT_EQ(Lines()[0], "#1: Instrument 1 Main Depth > 3.00 mm");
}

}  // namespace

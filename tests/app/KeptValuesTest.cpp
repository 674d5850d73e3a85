// What the technician sees is what the record keeps: a display unit chosen on the Site page
// never rescales a value, a value nobody typed is kept to the last base unit, and the
// alternate MODBUS port never leaves instrument 2 active beside it.
#include <algorithm>
#include <cmath>

#include "config/CommandList.h"
#include "config/NumberText.h"
#include "config/Quantities.h"
#include "tests/app/ProgramTestSupport.h"

namespace {

// 100 MGD: channel 1's 20 mA end and the flow band of the factory record.
constexpr std::int32_t k100Mgd = 4381264;
constexpr int kGallonsPerMinute = 15;
constexpr int kMgd = 14;
constexpr int kSquareInches = 24;

QLineEdit* OutputField(const CMainWindow& in, const char* name)
{
    return Find<QLineEdit>(PageOf(in, TabOutput), name);
}
QLineEdit* FlowBand(const CMainWindow& in)
{
    return Labelled<QLineEdit>(Group(PageOf(in, TabSmoothing), "Flow"),
                               "Don't smooth changes over");
}
void ChooseFlowUnit(const CMainWindow& in, const char* unit)
{
    ClickTab(in.Tabs(), TabSite);
    Choose(Labelled<QComboBox>(Group(PageOf(in, TabSite), "Display Units"), "Flow Units:"), unit);
}

// The base value of `typed` in the unit, rounded as the pages round it.
std::int32_t Base(double typed, int unit)
{
    const double base = FromDisplayUnits(typed, unit);
    return static_cast<std::int32_t>(std::trunc(base + 0.5 * SignOf(base)));
}

// The first base value from `near` (in display units) on whose text a page would lose it,
// or the value at `near` when the unit shows every value there exactly.
std::int32_t Awkward(double near, int unit)
{
    const std::int32_t start = Base(near, unit);
    for (std::int32_t value = start; value < start + 1000; ++value) {
        const std::string text = FormatValue(ToDisplayUnits(value, unit));
        if (Base(ReadDecimal(text), unit) != value) return value;
    }
    return start;
}

// The record as the pages store it right after start, with every measured value (and every
// smoothing factor) where the display at `near` cannot show it exactly: the four channels
// in the factory units MGD, ft/s, in and degrees F, the three smoothing groups, a two-condition
// alarm rule and a sampler pulse.
UnitConfig AwkwardRecord(double near)
{
    UnitConfig record = DefaultRecord();
    record.unitCode[KindArea] = kSquareInches;
    record.analogChannel[2].enabled = 1;
    for (AnalogChannel& channel : record.analogChannel) {
        const int unit = record.unitCode[QuantityKindOf(channel.dataType)];
        channel.at4mA = Awkward(-near, unit);
        channel.at20mA = Awkward(near, unit);
    }
    const QuantityKind smoothed[] = {KindFlow, KindVelocity, KindDepth};
    for (int q = 0; q < 3; ++q) {
        record.smoothing[q].band = Awkward(near, record.unitCode[smoothed[q]]);
        record.smoothing[q].zeroBelow = Awkward(near / 3, record.unitCode[smoothed[q]]);
        record.smoothing[q].tcf = static_cast<float>(0.123456 * (q + 1));
    }
    // Fields in record order: enabled, instruments, data types, comparisons, thresholds,
    // join, latching. Instrument 1's main depth above a value and instrument 2's Q Main below
    // one, latching; then a pulse for instrument 3.
    const std::int32_t depth = Awkward(near, record.unitCode[KindDepth]);
    record.alarmRule[0] = {1, 0, 1, 16, 1, 1, 2, depth, Awkward(near, kMgd), AlarmCombineAnd, 1};
    record.alarmRule[1] = {
        1, 2, 0, 8, 0, AlarmComparePulse, 0, 1234567 + int(near), 0, AlarmCombineNone, 0};
    return record;
}

// Every alarm rule in use set again as it shows, without an edit.
void SetEveryRuleAgain(const CMainWindow& in)
{
    ClickTab(in.Tabs(), TabAlarms);
    QWidget* alarms = PageOf(in, TabAlarms);
    for (int slot = 0; slot < 8; ++slot) {
        const AlarmRule rule = in.Config().alarmRule[slot];
        if (rule.enabled == 0) continue;
        ClickLine(Find<QListWidget>(alarms, "rules"), slot);
        Press(FindButton(alarms, rule.compare1 == AlarmComparePulse ? "Set Pulse Volume"
                                                                    : "Set Alarm Condition"));
    }
}

// The lines a unit received from its "IP" line up to "SS": what a send programs.
std::vector<std::string> ProgrammedLines(const std::vector<std::string>& received)
{
    const auto first = std::ranges::find_if(
        received, [](const std::string& line) { return line.starts_with("IP "); });
    const auto last = std::find(first, received.end(), "SS");
    return {first, last == received.end() ? last : last + 1};
}

}  // namespace

TEST_F(WholeProgram, ADisplayUnitChangeNeverRescalesAValueNobodyTyped)
{
    // After flow in gallons per minute, every store keeps 100 MGD, whichever page is shown.
    enum Step { Save, Send, ToCommunication, ToOutput, ToSmoothing };
    const std::vector<Step> sequences[] = {{Save, Save},
                                           {Save, Send},
                                           {ToCommunication, Send},
                                           {Send, Send},
                                           {ToOutput, Save, ToSmoothing, Save, Send}};
    for (const std::vector<Step>& steps : sequences) {
        CMainWindow program;
        ShowActive(program);
        ChooseFlowUnit(program, "Gallons per minute");
        for (std::size_t i = 0; i < steps.size(); ++i) {
            switch (steps[i]) {
                case Save: SaveWithKeys(program, Path("units.cfg")); break;
                case Send: ChooseMenuItem(program, "&Send Configuration..."); break;
                case ToCommunication: ClickTab(program.Tabs(), TabCommunication); break;
                case ToOutput: ClickTab(program.Tabs(), TabOutput); break;
                case ToSmoothing: ClickTab(program.Tabs(), TabSmoothing); break;
            }
            const UnitConfig& record = program.Config();
            EXPECT_EQ(Value(record.analogChannel[0].at20mA), k100Mgd) << "sequence " << steps[0];
            EXPECT_EQ(Value(record.smoothing[0].band), k100Mgd) << "sequence " << steps[0];
        }
        EXPECT_EQ(Value(program.Config().unitCode[KindFlow]), kGallonsPerMinute);
    }
}

TEST_F(WholeProgram, ATypedValueIsReadInTheUnitShownBesideItWhenTyped)
{
    // 50 typed while MGD is shown, on the Output, Smoothing and Alarms pages.
    GoTo(TabOutput);
    Type(OutputField(window, "channel1At20mA"), "50");
    GoTo(TabSmoothing);
    Type(FlowBand(window), "50");
    GoTo(TabAlarms);
    QWidget* alarms = Page(TabAlarms);
    ClickLine(Find<QListWidget>(alarms, "rules"), 0);
    Type(Find<QLineEdit>(alarms, "condition1Threshold"), "50");
    Press(FindButton(alarms, "Set Alarm Condition"));

    // Then flow in gallons per minute, saved twice from the Site page.
    ChooseFlowUnit(window, "Gallons per minute");
    SaveWithKeys(window, Path("typed.cfg"));
    SaveWithKeys(window, Path("typed.cfg"));
    // The rule set again, now shown in gallons per minute, without an edit.
    GoTo(TabAlarms);
    ClickLine(Find<QListWidget>(alarms, "rules"), 0);
    EXPECT_EQ(Find<QLabel>(alarms, "condition1Units")->text(), "GPM");
    Press(FindButton(alarms, "Set Alarm Condition"));

    const std::int32_t fifty = Base(50, kMgd);
    const UnitConfig& record = window.Config();
    EXPECT_EQ(Value(record.analogChannel[0].at20mA), fifty);
    EXPECT_EQ(Value(record.smoothing[0].band), fifty);
    EXPECT_EQ(Value(record.alarmRule[0].threshold1), fifty);
    EXPECT_EQ(ReadFile(Path("typed.cfg")), ImageOf(record)) << "the alarm rule was set again";
    GoTo(TabOutput);
    EXPECT_EQ(OutputField(window, "channel1At20mA")->text(), "34722");
    EXPECT_EQ(Find<QLabel>(Page(TabOutput), "channel1Units20mA")->text(), "GPM");
}

// A file opened and saved is written as it was, and a configuration read and sent programs
// the lines of what was read, whatever precision the display shows the values in.
TEST_F(WholeProgram, OpenThenSaveAndReadThenSendKeepEveryValueAtEveryDisplayPrecision)
{
    for (const double near : {0.5, 5.0, 50.0, 500.0}) {
        const UnitConfig record = AwkwardRecord(near);
        // Shown, channel 1's 20 mA end reads back as another value.
        const std::int32_t flow = record.analogChannel[0].at20mA;
        EXPECT_NE(Base(ReadDecimal(FormatValue(ToDisplayUnits(flow, kMgd))), kMgd), flow);
        WriteFile(Path("awkward.cfg"), ImageOf(record));
        CMainWindow program;
        ShowActive(program);
        prompts.fileAnswers = {Path("awkward.cfg")};
        QTest::keyClick(&program, Qt::Key_O, Qt::ControlModifier);
        SaveWithKeys(program, Path("saved.cfg"));
        EXPECT_EQ(ReadFile(Path("saved.cfg")), ImageOf(record)) << "at " << near;

        // Every page visited and every rule set again as it shows: still nothing changes.
        for (int tab = kTabCount - 1; tab >= 0; --tab) ClickTab(program.Tabs(), tab);
        SetEveryRuleAgain(program);
        SaveWithKeys(program, Path("again.cfg"));
        EXPECT_EQ(Differences(program.Config(), record), Offsets{}) << "at " << near;
        EXPECT_EQ(ReadFile(Path("again.cfg")), ImageOf(record)) << "at " << near;

        StartComUnit(record);
        RunConnect(window, "&Read Configuration...");
        RunConnect(window, "&Send Configuration...");
        std::vector<std::string> expected;
        BuildCommandList(record, expected);
        EXPECT_EQ(ProgrammedLines(unit->Log().lines), expected) << "at " << near;
    }
}

// Ticked, the port takes instrument 2; unticked again, instrument 2 stays inactive, as the
// Site page shows, whether or not the Site page was looked at in between.
TEST_F(WholeProgram, TheAlternateModbusPortLeavesInstrument2InactiveWhereverTheRecordIsStored)
{
    for (int tab = 0; tab < kTabCount; ++tab) {
        for (const auto& [send, untick] :
             {std::pair(false, false), std::pair(true, false), std::pair(false, true)}) {
            CMainWindow program;
            ShowActive(program);
            ClickTab(program.Tabs(), TabSite);
            Choose(Labelled<QComboBox>(Group(PageOf(program, TabSite), "Instrument 2"), "Type:"),
                   "KESTREL");
            ClickTab(program.Tabs(), TabOutput);
            Press(Find<QCheckBox>(PageOf(program, TabOutput), "alternatePort"));
            if (untick) Press(Find<QCheckBox>(PageOf(program, TabOutput), "alternatePort"));
            ClickTab(program.Tabs(), tab);
            if (send)
                ChooseMenuItem(program, "&Send Configuration...");
            else
                SaveWithKeys(program, Path("alternate.cfg"));

            const UnitConfig& record = program.Config();
            EXPECT_EQ(Value(record.modbusAltPort), untick ? 0 : 1) << "tab " << tab;
            EXPECT_EQ(Value(record.instrumentType[1]), InstrumentInactive)
                << "tab " << tab << " send " << send;
            if (!send) {
                EXPECT_EQ(ReadFile(Path("alternate.cfg")), ImageOf(record)) << "tab " << tab;
            }
        }
    }
}

#include "config/Quantities.h"
#include "pages/SitePage.h"
#include "tests/pages/PageTestSupport.h"

namespace {

class SitePage : public CPageTest<CSitePage> {
protected:
    QWidget* Instrument(int n) const
    {
        return Group(page.get(), QStringLiteral("Instrument %1").arg(n));
    }
    QLineEdit* Seconds() const { return Labelled<QLineEdit>(Instrument(1), "seconds"); }
    QCheckBox* Timeout() const { return FindButton<QCheckBox>(Instrument(1), "Timeout:"); }
};

TEST_F(SitePage, ShowsTheFactoryRecordAndStoresItWithTheAreaUnitOfMgd)
{
    EXPECT_EQ(Snapshot(page.get()),
              "[NewSite] | <Culvert> | [NewIns1] | Timeout: [x] | [90] | <Inactive> | [] (off) | "
              "Timeout: [ ] (off) | [] (off) | <Inactive> | [] (off) | Timeout: [ ] (off) | "
              "[] (off) | Clear all data if [x] | [10] | timeouts occur | Instrument 1 Data [x] | "
              "Instrument 2 Data [ ] | Instrument 3 Data [ ] | Totalizer [ ] | 4-20 mA Outputs [ ] "
              "| slider 4 | 4 sec. | LCD Backlight On [x] | <MGD> | <Feet per second> | <Inches> | "
              "<Degrees Farenheit> | <Million Gallons> | Net (o) | Positive ( ) | Negative ( )");
    UnitConfig expected = DefaultRecord();
    EXPECT_EQ(Differences(config, expected), Offsets{});
    page->StoreToConfig();
    expected.unitCode[KindArea] = 24;  // square inches, with MGD
    EXPECT_EQ(Differences(config, expected), Offsets{});

    // A model chosen for an empty slot shows the name and time-out the record kept for it.
    Choose(Labelled<QComboBox>(Instrument(2), "Type:"), "KESTREL");
    EXPECT_EQ(Snapshot(Instrument(2)), "<KESTREL> | [INACTIVE] | Timeout: [x] | [90]");
    EXPECT_EQ(Value(config.instrumentType[1]), InstrumentKestrel);
}

TEST_F(SitePage, ValuesNoControlOffersSurviveAStore)
{
    config.unitCode[KindFlow] = 22;  // a code of another kind
    config.unitCode[KindDepth] = 0;  // below the list's first code
    config.instrumentType[0] = 7;    // a model still, though unknown
    config.lcdCycleTime = 20;
    config.totalizerMode = 5;
    config.lcdShow[LcdShowPushedData] = 1;
    config.modbusAltPort = 1;  // the MODBUS output has taken instrument 2's port
    Reload();
    EXPECT_EQ(Snapshot(Instrument(1)), "<> | [NewIns1] | Timeout: [x] | [90]");
    EXPECT_EQ(Snapshot(Instrument(2)),
              "<Inactive> (off) | [] (off) | Timeout: [ ] (off) | [] (off)");

    UnitConfig expected = config;
    page->StoreToConfig();
    expected.lcdCycleTime = 10;               // the slider's end
    expected.unitCode[KindArea] = 23;         // follows the flow code kept
    expected.lcdShow[LcdShowPushedData] = 0;  // has no control
    EXPECT_EQ(Differences(config, expected), Offsets{});
}

TEST_F(SitePage, NamesKeepTheirFirstElevenLettersAndDigits)
{
    const std::pair<const char*, const char*> cases[] = {{"North Weir #2", "NorthWeir2"},
                                                         {"ABCDEFGHIJKLMNO", "ABCDEFGHIJK"},
                                                         {"Weir-7 \xE9st", "Weir7st"},
                                                         {"", ""}};
    for (const auto& [typed, kept] : cases) {
        Type(Labelled<QLineEdit>(page.get(), "Site Name:"), QString::fromLatin1(typed));
        Type(Labelled<QLineEdit>(Instrument(1), "Name:"), QString::fromLatin1(typed));
        page->StoreToConfig();
        // All twelve bytes: what follows the NUL is saved too.
        const QByteArray stored = QByteArray(kept).leftJustified(12, '\0');
        EXPECT_EQ(QByteArray(config.siteName, 12), stored) << typed;
        EXPECT_EQ(QByteArray(config.instrumentName[0], 12), stored) << typed;
    }
    // A name from a file shows as the unit will get it.
    std::strcpy(config.siteName, "Weir-1");
    Reload();
    EXPECT_EQ(Labelled<QLineEdit>(page.get(), "Site Name:")->text(), "Weir1");
}

TEST_F(SitePage, ClearedTimeOutIsOfferedAgainWhenItWasOneThatSwitchesItOn)
{
    // What the field read when the box was cleared, and what ticking it again brings back.
    const std::pair<const char*, int> cases[] = {
        {"3599", 3599}, {"3600", 1800}, {"1", 1}, {"0", 1800}, {"abc", 1800}};
    for (const auto& [typed, again] : cases) {
        Remake();
        Type(Seconds(), typed);
        Press(Timeout());
        EXPECT_EQ(Value(config.instrumentTimeout[0]), kNoTimeout) << typed;
        EXPECT_FALSE(Seconds()->isEnabled());
        Press(Timeout());
        EXPECT_EQ(Value(config.instrumentTimeout[0]), again) << typed;
        EXPECT_EQ(Seconds()->text(), QString::number(again));
    }
    // Digits too many for the record's field stop at its end rather than wrap round.
    Type(Seconds(), "65636");
    page->StoreToConfig();
    EXPECT_EQ(Value(config.instrumentTimeout[0]), 32767);
}

TEST_F(SitePage, ClearAllDataRemembersItsCountAndItsArrowsWrap)
{
    config.timeoutClearCount = 0;
    Reload();
    CheckClearCountRow(Group(page.get(), "Error Handling")->findChild<CClearCountRow*>(), "",
                       [&] { return int(config.timeoutClearCount); });
}

}  // namespace

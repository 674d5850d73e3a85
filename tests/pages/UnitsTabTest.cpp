#include <QButtonGroup>
#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <memory>

#include "config/Quantities.h"
#include "pages/UnitsTab.h"
#include "tests/pages/PageTestSupport.h"

namespace {

struct InstrumentView {
    QComboBox* type;
    QLineEdit* name;
    QCheckBox* timeout;
    QLineEdit* seconds;
};

class SitePage : public CPageTest<CUnitsTab> {
protected:
    // A new page, as at start: it remembers no time-out or count yet.
    void Reopen()
    {
        page = std::make_unique<CUnitsTab>(&config);
        page->show();
    }

    InstrumentView Instrument(int number)
    {
        QWidget* group = Group(page.get(), QStringLiteral("Instrument %1").arg(number));
        return {Labelled<QComboBox>(group, "Type:"), Labelled<QLineEdit>(group, "Name:"),
                FindButton<QCheckBox>(group, "Timeout:"), Labelled<QLineEdit>(group, "seconds")};
    }
    QLineEdit* SiteName() { return Labelled<QLineEdit>(page.get(), "Site Name:"); }
    QComboBox* Units(const char* label)
    {
        return Labelled<QComboBox>(Group(page.get(), "Display Units"), label);
    }
    QSlider* CycleTime()
    {
        return Labelled<QSlider>(Group(page.get(), "LCD Display"), "Cycle Time:");
    }
    QString CycleTimeText()
    {
        for (QLabel* label : Group(page.get(), "LCD Display")->findChildren<QLabel*>())
            if (label->text().endsWith(" sec.")) return label->text();
        return {};
    }
    CClearCountRow* ClearAllData()
    {
        return Group(page.get(), "Error Handling")->findChild<CClearCountRow*>();
    }
    QRadioButton* Mode(const char* text)
    {
        return FindButton<QRadioButton>(Group(page.get(), "Totalizer Mode"), text);
    }
    QString CheckedMode()
    {
        for (QRadioButton* button :
             Group(page.get(), "Totalizer Mode")->findChildren<QRadioButton*>())
            if (button->isChecked()) return button->text();
        return {};
    }
};

TEST_F(SitePage, ShowsTheDefaultRecord)
{
    EXPECT_EQ(SiteName()->text(), "NewSite");

    const InstrumentView first = Instrument(1);
    EXPECT_EQ(Entries(first.type), (QStringList{"Inactive", "KESTREL", "Culvert", "MARTEN"}));
    EXPECT_EQ(first.type->currentText(), "Culvert");
    EXPECT_EQ(first.name->text(), "NewIns1");
    EXPECT_TRUE(first.name->isEnabled());
    EXPECT_TRUE(first.timeout->isChecked());
    EXPECT_EQ(first.seconds->text(), "90");
    EXPECT_TRUE(first.seconds->isEnabled());
    for (int number : {2, 3}) {
        const InstrumentView view = Instrument(number);
        EXPECT_EQ(view.type->currentText(), "Inactive");
        EXPECT_TRUE(view.type->isEnabled());
        EXPECT_EQ(view.name->text(), "");
        EXPECT_EQ(view.seconds->text(), "");
        EXPECT_FALSE(view.timeout->isChecked());
        EXPECT_FALSE(view.name->isEnabled() || view.timeout->isEnabled() ||
                     view.seconds->isEnabled())
            << "instrument " << number;
    }

    QWidget* lcd = Group(page.get(), "LCD Display");
    const std::pair<const char*, bool> boxes[] = {
        {"Instrument 1 Data", true}, {"Instrument 2 Data", false}, {"Instrument 3 Data", false},
        {"Totalizer", false},        {"4-20 mA Outputs", false},   {"LCD Backlight On", true}};
    for (const auto& [text, ticked] : boxes)
        EXPECT_EQ(FindButton<QCheckBox>(lcd, text)->isChecked(), ticked) << text;
    for (QCheckBox* box : lcd->findChildren<QCheckBox*>())
        EXPECT_NE(box->text(), "Pushed Data Mode") << "pushed data mode has no box";
    EXPECT_EQ(CycleTime()->minimum(), 3);
    EXPECT_EQ(CycleTime()->maximum(), 10);
    EXPECT_EQ(CycleTime()->value(), 4);
    EXPECT_EQ(CycleTimeText(), "4 sec.");

    struct UnitsShown {
        const char* label;
        QStringList entries;
        const char* selected;
    };
    const UnitsShown units[] = {
        {"Flow Units:",
         {"Cumecs", "MGD", "Gallons per minute", "Cubic meters per second", "Liters per second",
          "Cubic feet per second", "Million Liters per day", "Cubic centimeters per second"},
         "MGD"},
        {"Velocity Units:",
         {"Meters per second", "Feet per second", "Millimeters per second",
          "Centimeters per second"},
         "Feet per second"},
        {"Depth Units:", {"Feet", "Inches", "Centimeters", "Millimeters", "Meters"}, "Inches"},
        {"Temperature Units:", {"Degrees Celsius", "Degrees Farenheit"}, "Degrees Farenheit"},
        {"Volume Units:",
         {"Liters", "Cubic Meters", "Megaliters", "Gallons", "KGallons", "Million Gallons",
          "Cubic Feet", "Acre Feet"},
         "Million Gallons"},
    };
    for (const UnitsShown& shown : units) {
        EXPECT_EQ(Entries(Units(shown.label)), shown.entries) << shown.label;
        EXPECT_EQ(Units(shown.label)->currentText(), shown.selected) << shown.label;
    }

    EXPECT_EQ(CheckedMode(), "Net");
    EXPECT_TRUE(ClearAllData()->IsTicked());
    EXPECT_EQ(ClearAllData()->Field()->Text(), "10");
}

TEST_F(SitePage, StoringTheDefaultsSetsOnlyTheAreaUnitThatGoesWithMgd)
{
    page->StoreToConfig();
    UnitConfig expected = DefaultRecord();
    expected.unitCode[KindArea] = 24;
    EXPECT_EQ(Differences(config, expected), std::vector<std::size_t>{});
}

TEST_F(SitePage, ValuesNoListOffersSurviveAStore)
{
    config.unitCode[KindFlow] = 22;  // a code of another kind
    config.unitCode[KindDepth] = 0;  // below the list's first code
    config.instrumentType[0] = 7;
    config.lcdCycleTime = 20;
    config.totalizerMode = 5;
    config.lcdShow[LcdShowPushedData] = 1;
    Reload();

    EXPECT_EQ(Units("Flow Units:")->currentIndex(), -1);
    EXPECT_EQ(Units("Depth Units:")->currentIndex(), -1);
    EXPECT_EQ(Instrument(1).type->currentIndex(), -1);
    EXPECT_TRUE(Instrument(1).name->isEnabled()) << "an unknown model is still a model";
    EXPECT_EQ(CycleTime()->value(), 10);
    EXPECT_EQ(CycleTimeText(), "20 sec.");
    EXPECT_EQ(CheckedMode(), "");

    UnitConfig expected = config;
    page->StoreToConfig();
    expected.lcdCycleTime = 10;               // the slider's end
    expected.unitCode[KindArea] = 23;         // follows the flow code kept
    expected.lcdShow[LcdShowPushedData] = 0;  // has no control
    EXPECT_EQ(Differences(config, expected), std::vector<std::size_t>{});
}

TEST_F(SitePage, LoadingAnotherRecordLeavesItAsItCame)
{
    UnitConfig other = DefaultRecord();
    other.lcdCycleTime = 7;
    std::memcpy(other.siteName, "Other", 6);
    std::memcpy(other.instrumentName[0], "Flume", 6);
    other.instrumentTimeout[0] = 300;
    config = other;  // as a file or a unit replaces the record
    page->LoadFromConfig();
    EXPECT_EQ(Differences(config, other), std::vector<std::size_t>{});
    EXPECT_EQ(CycleTime()->value(), 7);
    EXPECT_EQ(Instrument(1).name->text(), "Flume");
}

TEST_F(SitePage, NamesKeepTheirFirstElevenLettersAndDigits)
{
    const std::pair<const char*, const char*> cases[] = {
        {"North Weir #2", "NorthWeir2"},
        {"ABCDEFGHIJKLMNO", "ABCDEFGHIJK"},
        {"Weir-7 \xC3\xA9st", "Weir7st"},  // 'é' is no ASCII letter
        {"", ""},
    };
    for (const auto& [typed, stored] : cases) {
        Type(SiteName(), QString::fromUtf8(typed));
        Type(Instrument(1).name, QString::fromUtf8(typed));
        EXPECT_EQ(SiteName()->text(), stored) << typed;
        page->StoreToConfig();
        EXPECT_EQ(NameBytes(config.siteName), NameBytes(stored)) << typed;
        EXPECT_EQ(NameBytes(config.instrumentName[0]), NameBytes(stored)) << typed;
    }

    // A name from a file or a unit shows as the unit will get it at the next store.
    std::memcpy(config.siteName, "Weir-1", 7);
    page->LoadFromConfig();
    EXPECT_EQ(SiteName()->text(), "Weir1");
    page->StoreToConfig();
    EXPECT_EQ(NameBytes(config.siteName), NameBytes("Weir1"));
}

TEST_F(SitePage, ChoosingAModelShowsTheNameAndTimeOutTheRecordKeptForTheSlot)
{
    Choose(Instrument(2).type, "KESTREL");
    const InstrumentView view = Instrument(2);
    EXPECT_EQ(config.instrumentType[1], InstrumentKestrel);
    EXPECT_EQ(view.name->text(), "INACTIVE");
    EXPECT_TRUE(view.timeout->isChecked());
    EXPECT_EQ(view.seconds->text(), "90");
    EXPECT_TRUE(view.name->isEnabled() && view.timeout->isEnabled() && view.seconds->isEnabled());

    // Back to Inactive: the fields empty and the record keeps what they showed.
    Type(view.name, "Upstream");
    Choose(view.type, "Inactive");
    EXPECT_EQ(config.instrumentType[1], InstrumentInactive);
    EXPECT_EQ(NameBytes(config.instrumentName[1]), NameBytes("Upstream"));
    EXPECT_EQ(view.name->text(), "");
    EXPECT_FALSE(view.name->isEnabled());
}

TEST_F(SitePage, ClearingTheTimeOutRemembersAValidValueForTheNextTick)
{
    // What the field read when the box was cleared, and what ticking it again brings back.
    const std::pair<const char*, const char*> cases[] = {
        {"120", "120"}, {"3599", "3599"}, {"1", "1"},      {"3600", "1800"},
        {"0", "1800"},  {"-5", "1800"},   {"abc", "1800"}, {"", "1800"},
    };
    for (const auto& [typed, again] : cases) {
        SetDefaults(config);
        Reopen();
        const InstrumentView view = Instrument(1);
        Type(view.seconds, typed);
        Press(view.timeout);
        EXPECT_EQ(Value(config.instrumentTimeout[0]), kNoTimeout) << typed;
        EXPECT_FALSE(view.timeout->isChecked());
        EXPECT_EQ(view.seconds->text(), "");
        EXPECT_FALSE(view.seconds->isEnabled());

        Press(view.timeout);
        EXPECT_TRUE(view.timeout->isChecked());
        EXPECT_EQ(view.seconds->text(), again) << typed;
        EXPECT_EQ(Value(config.instrumentTimeout[0]), QString(again).toInt()) << typed;
    }
}

TEST_F(SitePage, TimeOutsAbove3600MeanNone)
{
    config.instrumentTimeout[0] = 3600;
    config.instrumentType[1] = InstrumentMarten;
    config.instrumentTimeout[1] = 3601;
    Reload();
    EXPECT_TRUE(Instrument(1).timeout->isChecked());
    EXPECT_EQ(Instrument(1).seconds->text(), "3600");
    EXPECT_FALSE(Instrument(2).timeout->isChecked());
    EXPECT_FALSE(Instrument(2).seconds->isEnabled());

    // Typed while ticked, a long time-out is stored as typed and then shows as none; a row
    // of digits too long for the field stops at its end rather than wrapping round.
    const std::pair<const char*, std::int16_t> typed[] = {{"5000", 5000}, {"65636", 32767}};
    for (const auto& [text, stored] : typed) {
        Type(Instrument(1).seconds, text);
        page->StoreToConfig();
        EXPECT_EQ(Value(config.instrumentTimeout[0]), stored) << text;
        page->LoadFromConfig();
        EXPECT_FALSE(Instrument(1).timeout->isChecked()) << text;
        config.instrumentTimeout[0] = 90;
        page->LoadFromConfig();
    }
}

TEST_F(SitePage, EveryHandlerStoresThePageBeforeItShowsTheRecord)
{
    Type(Instrument(1).seconds, "5000");
    QTest::keyPress(CycleTime(), Qt::Key_Right);
    EXPECT_EQ(config.lcdCycleTime, 5);
    EXPECT_EQ(CycleTimeText(), "5 sec.");
    EXPECT_EQ(Value(config.instrumentTimeout[0]), 5000) << "the seconds typed reached the record";
    EXPECT_FALSE(Instrument(1).timeout->isChecked()) << "and the page shows the record";
}

TEST_F(SitePage, ClearAllDataOffersTheLastCountAndItsArrowsWrap)
{
    config.timeoutClearCount = 0;
    Reload();
    CClearCountRow* row = ClearAllData();
    EXPECT_FALSE(row->IsTicked());
    EXPECT_EQ(row->Field()->Text(), "");
    ClickArrow(row->Field(), true);
    EXPECT_EQ(config.timeoutClearCount, 0) << "the arrows are off with the box";

    Press(row->Box());
    EXPECT_EQ(row->Field()->Text(), "3");
    EXPECT_EQ(config.timeoutClearCount, 3);

    // Each step from the count the record holds, by arrow.
    const struct {
        std::uint8_t from;
        bool up;
        const char* shown;
    } steps[] = {
        {3, true, "4"}, {20, true, "1"}, {1, false, "20"}, {25, true, "1"}, {25, false, "1"}};
    for (const auto& step : steps) {
        config.timeoutClearCount = step.from;
        page->LoadFromConfig();
        ClickArrow(row->Field(), step.up);
        EXPECT_EQ(row->Field()->Text(), step.shown)
            << int(step.from) << (step.up ? " up" : " down");
        EXPECT_EQ(QString::number(config.timeoutClearCount), step.shown);
    }

    config.timeoutClearCount = 7;
    page->LoadFromConfig();
    Press(row->Box());
    EXPECT_EQ(config.timeoutClearCount, 0);
    EXPECT_EQ(row->Field()->Text(), "");
    Press(row->Box());
    EXPECT_EQ(config.timeoutClearCount, 7) << "the count cleared is offered again";
}

TEST_F(SitePage, UnitChoicesStoreTheirCodesAndTheFlowUnitDecidesTheArea)
{
    const std::pair<const char*, int> flowToArea[] = {
        {"Cumecs", 23},
        {"MGD", 24},
        {"Gallons per minute", 24},
        {"Cubic meters per second", 23},
        {"Liters per second", 23},
        {"Cubic feet per second", 24},
        {"Million Liters per day", 23},
        {"Cubic centimeters per second", 23},
    };
    int flowCode = 13;
    for (const auto& [flow, area] : flowToArea) {
        Choose(Units("Flow Units:"), flow);
        page->StoreToConfig();
        EXPECT_EQ(config.unitCode[KindFlow], flowCode++) << flow;
        EXPECT_EQ(config.unitCode[KindArea], area) << flow;
    }

    const struct {
        const char* label;
        const char* entry;
        QuantityKind kind;
        int code;
    } others[] = {
        {"Velocity Units:", "Centimeters per second", KindVelocity, 11},
        {"Depth Units:", "Feet", KindDepth, 2},
        {"Depth Units:", "Meters", KindDepth, 6},
        {"Temperature Units:", "Degrees Celsius", KindTemperature, 36},
        {"Volume Units:", "Acre Feet", KindVolume, 34},
        {"Volume Units:", "Liters", KindVolume, 27},
    };
    for (const auto& choice : others) {
        Choose(Units(choice.label), choice.entry);
        page->StoreToConfig();
        EXPECT_EQ(config.unitCode[choice.kind], choice.code) << choice.entry;
    }
}

TEST_F(SitePage, TheAlternateModbusPortTakesInstrumentTwo)
{
    config.modbusAltPort = 1;
    Reload();
    EXPECT_TRUE(Instrument(1).type->isEnabled());
    EXPECT_FALSE(Instrument(2).type->isEnabled());
    EXPECT_TRUE(Instrument(3).type->isEnabled());
    Choose(Instrument(2).type, "KESTREL");
    EXPECT_EQ(config.instrumentType[1], InstrumentInactive);

    config.modbusAltPort = 0;
    page->LoadFromConfig();
    EXPECT_TRUE(Instrument(2).type->isEnabled());
}

TEST_F(SitePage, LcdBoxesAndTotalizerModeReachTheirFields)
{
    QWidget* lcd = Group(page.get(), "LCD Display");
    const std::pair<const char*, int> boxes[] = {{"Instrument 1 Data", 0},
                                                 {"Instrument 2 Data", 1},
                                                 {"Instrument 3 Data", 2},
                                                 {"Totalizer", 3},
                                                 {"4-20 mA Outputs", 4}};
    for (const auto& [text, screen] : boxes) {
        const std::uint8_t before = config.lcdShow[screen];
        Press(FindButton<QCheckBox>(lcd, text));
        page->StoreToConfig();
        EXPECT_EQ(config.lcdShow[screen], before ? 0 : 1) << text;
    }
    Press(FindButton<QCheckBox>(lcd, "LCD Backlight On"));
    page->StoreToConfig();
    EXPECT_EQ(config.lcdBacklight, 0);

    const std::pair<const char*, int> modes[] = {{"Negative", 2}, {"Positive", 1}, {"Net", 0}};
    for (const auto& [text, mode] : modes) {
        Press(Mode(text));
        page->StoreToConfig();
        EXPECT_EQ(config.totalizerMode, mode) << text;
    }

    // A mode from a file that no button stands for clears the buttons and stays in the
    // record until the user picks one.
    config.totalizerMode = 5;
    page->LoadFromConfig();
    EXPECT_EQ(CheckedMode(), "");
    page->StoreToConfig();
    EXPECT_EQ(config.totalizerMode, 5);
    Press(Mode("Positive"));
    page->StoreToConfig();
    EXPECT_EQ(config.totalizerMode, 1);
}

}  // namespace

// The desktop program as a technician uses it: the real five pages in the main window, a
// file saved, and a simulated unit programmed and read through the Connect dialog.
#include <gmock/gmock.h>

#include "config/Quantities.h"
#include "pages/IpAddressField.h"
#include "tests/app/ProgramTestSupport.h"

TEST_F(WholeProgram, SavedAtStartAndAfterEditsOnEveryPageThenSentAndReadBackAsShown)
{
    // Saved right after start: the Site page stores the area unit that goes with MGD, the
    // Output page channel 3's "on" byte as 1; the rest is the factory record.
    prompts.fileAnswers = {folder.filePath("start.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");
    UnitConfig atStart = DefaultRecord();
    atStart.unitCode[KindArea] = 24;
    atStart.analogChannel[2].enabled = 1;
    EXPECT_EQ(ReadFile(folder.filePath("start.cfg")), ImageOf(atStart));
    const Shown defaults = EveryPageShows(window);

    // Site: the name, a second instrument, depth in millimetres.
    GoTo(TabSite);
    Type(Labelled<QLineEdit>(Page(TabSite), "Site Name:"), "Lowmill");
    Choose(SiteList("Instrument 2", "Type:"), "KESTREL");
    Choose(SiteList("Display Units", "Depth Units:"), "Millimeters");
    // Communication: instrument 1's parity and the unit's address.
    GoTo(TabCommunication);
    Choose(Labelled<QComboBox>(Group(Page(TabCommunication), "Instrument 1"), "Parity:"), "Even");
    Type(Labelled<CIpAddressField>(Group(Page(TabCommunication), "Network Settings"), "Address:")
             ->Part(3),
         "77");
    // Alarms: a latching rule on line 1.
    GoTo(TabAlarms);
    QWidget* alarms = Page(TabAlarms);
    ClickLine(Find<QListWidget>(alarms, "rules"), 0);
    Choose(Find<QComboBox>(alarms, "condition1Quantity"), "Main Depth");
    Type(Find<QLineEdit>(alarms, "condition1Threshold"), "50");
    Press(Find<QCheckBox>(alarms, "latching"));
    Press(FindButton(alarms, "Set Alarm Condition"));
    // Output: channel 2 carries a depth now, and the alternate MODBUS port takes instrument 2
    // away, as the Site page shows on return.
    GoTo(TabOutput);
    Choose(Find<QComboBox>(Page(TabOutput), "channel2Quantity"), "Main Depth");
    Type(Find<QLineEdit>(Page(TabOutput), "channel2At20mA"), "1500");
    Press(Find<QCheckBox>(Page(TabOutput), "alternatePort"));
    GoTo(TabSite);
    EXPECT_EQ(SiteList("Instrument 2", "Type:")->currentText(), "Inactive");
    EXPECT_FALSE(SiteList("Instrument 2", "Type:")->isEnabled());
    // Smoothing: less smoothing of flow, a zero threshold for depth, saved from this page.
    GoTo(TabSmoothing);
    MoveTo(Group(Page(TabSmoothing), "Flow")->findChild<QSlider*>(), 71);
    Type(Labelled<QLineEdit>(Group(Page(TabSmoothing), "Depth"), "Force to zero if less than"),
         "12");
    prompts.fileAnswers = {folder.filePath("edited.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");
    EXPECT_FLOAT_EQ(Value(window.Config().smoothing[0].tcf), 0.29f);
    EXPECT_EQ(Value(window.Config().smoothing[2].zeroBelow), 12);
    EXPECT_EQ(ReadFile(folder.filePath("edited.cfg")), ImageOf(window.Config()));

    RunConnect(window, "&Send Configuration...");
    ASSERT_EQ(statuses.value(statuses.size() - 1), "Unit successfully programmed");
    const UnitConfig sent = window.Config();
    const Shown firstShows = EveryPageShows(window);
    EXPECT_EQ(Differences(window.Config(), sent), Offsets{}) << "visiting the pages changed it";

    // A technician at another computer reads the unit into a program just started.
    CMainWindow second;
    ShowActive(second);
    RunConnect(second, "&Read Configuration...");

    // "AE" says only on or off: the unit keeps the 2 its own defaults hold for channel 3,
    // which the Output page stores as 1 as soon as the configuration is read.
    EXPECT_EQ(Differences(second.Config(), window.Config()), Offsets{});
    const Shown secondShows = EveryPageShows(second);
    for (int tab = 0; tab < kTabCount; ++tab) {
        EXPECT_NE(defaults[tab], firstShows[tab]) << "no edit on tab " << tab;
        EXPECT_THAT(secondShows[tab], testing::ElementsAreArray(firstShows[tab])) << "tab " << tab;
    }
}

// The desktop program as a technician uses it: the real five pages in the main window, a
// file saved, and a simulated unit programmed and read through the Connect dialog.
#include <gmock/gmock.h>

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstddef>

#include "config/Quantities.h"
#include "pages/IpAddressField.h"
#include "tests/app/AppTestSupport.h"
#include "tests/dialogs/DialogTestSupport.h"

namespace {

using Shown = std::vector<std::vector<std::string>>;

class WholeProgram : public UnitDialogTest {
protected:
    WholeProgram() { ShowActive(window); }

    QWidget* Page(ConfigTab tab) const { return window.TabControl()->Page(tab); }
    void GoTo(ConfigTab tab) const { ClickTab(window.TabControl(), tab); }
    QComboBox* SiteList(const char* group, const char* label) const
    {
        return Labelled<QComboBox>(Group(Page(TabSite), group), label);
    }

    // What every page shows, each visited in tab order as the user would: every control's
    // text, choice, tick and position, and whether it is enabled. The Alarms page's controls
    // show the rule of the selected line, so every line is clicked in turn.
    static Shown EveryPageShows(CSluiceConfigDlg& in)
    {
        Shown pages(kTabCount);
        for (int tab = 0; tab < kTabCount; ++tab) {
            ClickTab(in.TabControl(), tab);
            QWidget* page = in.TabControl()->Page(ConfigTab(tab));
            auto* rules = page->findChild<QListWidget*>("rules");
            for (int line = 0; line < (rules ? rules->count() : 1); ++line) {
                if (rules) ClickLine(rules, line);
                for (const QWidget* control : page->findChildren<QWidget*>()) {
                    QString state = control->isEnabled() ? "" : "(disabled)";
                    for (const char* property : {"text", "currentText", "checked", "value"})
                        state += " " + control->property(property).toString();
                    if (auto* lines = qobject_cast<const QListWidget*>(control))
                        for (int i = 0; i < lines->count(); ++i)
                            state += " | " + lines->item(i)->text();
                    pages[tab].push_back(state.toStdString());
                }
            }
        }
        return pages;
    }

    // Works the Connect dialog that the menu item opens, COM 1 at the offered rate.
    void RunConnect(CSluiceConfigDlg& from, const char* item)
    {
        prompts.dialogDriver = [&](QDialog& dialog) {
            RunToEnd(dialog, statuses);
            if (dialog.isVisible()) Press(Find<QPushButton>(&dialog, "exitButton"));
        };
        ChooseMenuItem(from, item);
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    }

    QTemporaryDir folder;
    QStringList statuses;
    CSluiceConfigDlg window;
};

}  // namespace

TEST_F(WholeProgram, SaveRightAfterStartWritesTheDefaultsAsThePagesStoreThem)
{
    prompts.fileAnswers = {folder.filePath("start.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");

    // The Site page stores the area unit that goes with MGD, the Output page channel 3's
    // "on" byte as 1; the rest is the factory record.
    UnitConfig expected = DefaultRecord();
    expected.unitCode[KindArea] = 24;
    expected.analogChannel[2].enabled = 1;
    EXPECT_EQ(ReadFile(folder.filePath("start.cfg")), ImageOf(expected));
}

TEST_F(WholeProgram, EditsOnEveryPageAreSavedSentAndReadBackIntoANewWindowAsShown)
{
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
    CSluiceConfigDlg second;
    ShowActive(second);
    RunConnect(second, "&Read Configuration...");

    // "AE" says only on or off: the unit keeps the 2 its own defaults hold for channel 3,
    // where the Output page stores 1. Either byte shows the channel ticked.
    const std::size_t channel3On = offsetof(UnitConfig, analogChannel) + 2 * sizeof(AnalogChannel);
    EXPECT_EQ(Differences(second.Config(), window.Config()), Offsets{channel3On});
    const Shown secondShows = EveryPageShows(second);
    for (int tab = 0; tab < kTabCount; ++tab) {
        EXPECT_NE(defaults[tab], firstShows[tab]) << "no edit on tab " << tab;
        EXPECT_THAT(secondShows[tab], testing::ElementsAreArray(firstShows[tab])) << "tab " << tab;
    }
}

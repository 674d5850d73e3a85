// The desktop program as a technician uses it: the real five pages in the main window, the
// file commands, and a simulated unit programmed and read through the Connect dialog.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <cstddef>
#include <functional>

#include "config/CommandList.h"
#include "config/ConfigFile.h"
#include "config/ConfigImage.h"
#include "config/Quantities.h"
#include "pages/IpAddressField.h"
#include "tests/app/AppTestSupport.h"
#include "tests/dialogs/DialogTestSupport.h"
#include "tests/pages/PageTestSupport.h"

namespace {

// What a page shows, control by control: texts of fields, lists and labels, ticks, slider
// positions and list lines, each marked when the control is disabled.
std::vector<std::string> Shown(const QWidget* page)
{
    std::vector<std::string> shown;
    for (const QWidget* control : page->findChildren<QWidget*>()) {
        QString text;
        if (auto* edit = qobject_cast<const QLineEdit*>(control))
            text = "edit " + edit->text();
        else if (auto* list = qobject_cast<const QComboBox*>(control))
            text = "list " + list->currentText();
        else if (auto* box = qobject_cast<const QCheckBox*>(control))
            text = box->text() + (box->isChecked() ? " [x]" : " [ ]");
        else if (auto* radio = qobject_cast<const QRadioButton*>(control))
            text = radio->text() + (radio->isChecked() ? " (o)" : " ( )");
        else if (auto* slider = qobject_cast<const QSlider*>(control))
            text = QStringLiteral("slider %1").arg(slider->value());
        else if (auto* label = qobject_cast<const QLabel*>(control))
            text = "label " + label->text();
        else if (auto* lines = qobject_cast<const QListWidget*>(control))
            for (int i = 0; i < lines->count(); ++i)
                text += (lines->item(i)->isSelected() ? "\n> " : "\n  ") + lines->item(i)->text();
        else
            continue;
        if (!control->isEnabled()) text += " (disabled)";
        shown.push_back(text.toStdString());
    }
    return shown;
}

class WholeProgram : public UnitDialogTest {
protected:
    WholeProgram() { ShowWindow(window); }

    static void ShowWindow(CSluiceConfigDlg& shown)
    {
        shown.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
    }

    QWidget* Page(ConfigTab tab) const { return window.TabControl()->Page(tab); }
    void GoTo(ConfigTab tab) const { ClickTab(window.TabControl(), tab); }
    QString PathOf(const char* name) const { return folder.filePath(name); }

    // Site page
    QLineEdit* SiteName() const { return Labelled<QLineEdit>(Page(TabSite), "Site Name:"); }
    QWidget* Instrument(int number) const
    {
        return Group(Page(TabSite), QStringLiteral("Instrument %1").arg(number));
    }
    QComboBox* InstrumentType(int number) const
    {
        return Labelled<QComboBox>(Instrument(number), "Type:");
    }
    QComboBox* DisplayUnits(const char* label) const
    {
        return Labelled<QComboBox>(Group(Page(TabSite), "Display Units"), label);
    }

    // Output page
    QLineEdit* ChannelValue(int channel, const char* end) const
    {
        return Find<QLineEdit>(Page(TabOutput),
                               QStringLiteral("channel%1At%2").arg(channel).arg(end));
    }

    // Smoothing page
    QWidget* Smoothing(const char* quantity) const { return Group(Page(TabSmoothing), quantity); }
    QLineEdit* ZeroBelow(const char* quantity) const
    {
        return Labelled<QLineEdit>(Smoothing(quantity), "Force to zero if less than");
    }
    QSlider* Slider(const char* quantity) const
    {
        return Smoothing(quantity)->findChild<QSlider*>();
    }

    // Alarms page
    QListWidget* Rules(CSluiceConfigDlg& in) const
    {
        return Find<QListWidget>(in.TabControl()->Page(TabAlarms), "rules");
    }

    // What every page of the window shows, each visited in tab order as the user would. The
    // Alarms page's controls show the rule of the selected line, so every line is clicked in
    // turn and what each fills in is noted.
    std::vector<std::vector<std::string>> EveryPageShows(CSluiceConfigDlg& in) const
    {
        std::vector<std::vector<std::string>> pages(kTabCount);
        for (int tab = 0; tab < kTabCount; ++tab) {
            ClickTab(in.TabControl(), tab);
            QWidget* page = in.TabControl()->Page(ConfigTab(tab));
            if (tab != TabAlarms) {
                pages[tab] = Shown(page);
                continue;
            }
            for (int line = 0; line < Rules(in)->count(); ++line) {
                ClickLine(Rules(in), line);
                const std::vector<std::string> controls = Shown(page);
                pages[tab].insert(pages[tab].end(), controls.begin(), controls.end());
            }
        }
        return pages;
    }

    // What the pages show without visiting them: a visit would store the page left.
    std::vector<std::vector<std::string>> PagesShowInPlace() const
    {
        std::vector<std::vector<std::string>> pages;
        for (int tab = 0; tab < kTabCount; ++tab) pages.push_back(Shown(Page(ConfigTab(tab))));
        return pages;
    }

    // "Send Configuration..." to COM 1 at the offered rate, without the clock line, so that the
    // unit gets the record's lines alone. Answers the status line the dialog ended with.
    QString SendToUnit(CSluiceConfigDlg& from)
    {
        QString status;
        prompts.dialogDriver = [&](QDialog& dialog) {
            ShowDialog(dialog);
            QCheckBox* clock = Child<QCheckBox>(dialog, "synchronizeTime");
            Click(clock);
            EXPECT_FALSE(clock->isChecked());
            QPushButton* program = Child<QPushButton>(dialog, "programButton");
            Click(program);
            QTRY_VERIFY_WITH_TIMEOUT(program->isEnabled(), 20000);
            status = StatusOf(dialog);
            Click(Child<QPushButton>(dialog, "exitButton"));
        };
        ChooseMenuItem(from, "&Send Configuration...");
        return status;
    }

    // "Read Configuration..." from COM 1: a read that succeeds closes the dialog by itself,
    // one that fails shows its message and leaves the dialog to be closed.
    void ReadFromUnit(CSluiceConfigDlg& into)
    {
        prompts.dialogDriver = [&](QDialog& dialog) {
            ShowDialog(dialog);
            Click(Child<QPushButton>(dialog, "programButton"));
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible() || !prompts.messages.isEmpty(), 20000);
            if (!dialog.isVisible()) return;
            QTRY_VERIFY(Child<QPushButton>(dialog, "exitButton")->isEnabled());
            Click(Child<QPushButton>(dialog, "exitButton"));
        };
        ChooseMenuItem(into, "&Read Configuration...");
    }

    QTemporaryDir folder;
    CSluiceConfigDlg window;
};

// Compares two windows page by page and names the first control that differs.
void ExpectSameShown(const std::vector<std::vector<std::string>>& expected,
                     const std::vector<std::vector<std::string>>& actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t tab = 0; tab < expected.size(); ++tab) {
        SCOPED_TRACE(testing::Message() << "tab " << tab);
        EXPECT_EQ(expected[tab].size(), actual[tab].size());
        for (std::size_t i = 0; i < std::min(expected[tab].size(), actual[tab].size()); ++i) {
            if (expected[tab][i] == actual[tab][i]) continue;
            ADD_FAILURE() << "control " << i << ": " << expected[tab][i] << " / " << actual[tab][i];
            break;
        }
    }
}

}  // namespace

TEST_F(WholeProgram, SaveRightAfterStartWritesTheDefaultsAsThePagesStoreThem)
{
    prompts.fileAnswers = {PathOf("start.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");

    EXPECT_TRUE(prompts.messages.isEmpty());
    // The Site page stores the area unit that goes with MGD, the Output page channel 3's
    // "on" byte as 1; the rest is the factory record.
    UnitConfig expected = DefaultRecord();
    expected.unitCode[KindArea] = 24;
    expected.analogChannel[2].enabled = 1;
    const QByteArray saved = ReadFile(PathOf("start.cfg"));
    EXPECT_EQ(saved.size(), 435);
    EXPECT_EQ(saved, ImageOf(expected));
}

TEST_F(WholeProgram, SendRightAfterStartProgramsTheDefaultLinesWithTheAreaUnitOfMgd)
{
    std::vector<std::string> expected;
    BuildCommandList(DefaultRecord(), expected);
    ASSERT_EQ(expected.size(), 48u);
    ASSERT_EQ(expected[44], "SU 22");
    expected[44] = "SU 24";
    expected.insert(expected.begin(), "OK");
    expected.push_back("SH");

    EXPECT_EQ(SendToUnit(window), "Unit successfully programmed");

    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    EXPECT_EQ(unit->Log().lines, expected);
}

TEST_F(WholeProgram, AlternateModbusPortShowsInstrumentTwoInactiveOnTheSitePage)
{
    Choose(InstrumentType(2), "KESTREL");
    EXPECT_TRUE(Labelled<QLineEdit>(Instrument(2), "Name:")->isEnabled());

    GoTo(TabOutput);
    Press(Find<QCheckBox>(Page(TabOutput), "alternatePort"));
    GoTo(TabSite);

    EXPECT_EQ(InstrumentType(2)->currentText(), "Inactive");
    EXPECT_FALSE(InstrumentType(2)->isEnabled());
    EXPECT_FALSE(Labelled<QLineEdit>(Instrument(2), "Name:")->isEnabled());
    EXPECT_FALSE(FindButton<QCheckBox>(Instrument(2), "Timeout:")->isEnabled());
    EXPECT_EQ(Value(window.Config().instrumentType[1]), InstrumentInactive);
    EXPECT_EQ(Value(window.Config().modbusAltPort), 1);
}

TEST_F(WholeProgram, SmoothingEditsAreSavedWithoutLeavingThePage)
{
    GoTo(TabSmoothing);
    MoveTo(Slider("Flow"), 71);
    Type(ZeroBelow("Depth"), "5");  // inches, the default depth unit
    prompts.fileAnswers = {PathOf("smoothing.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");

    UnitConfig saved{};
    std::string errorText;
    ASSERT_TRUE(LoadConfigFile(saved, PathOf("smoothing.cfg").toStdString(), errorText))
        << errorText;
    EXPECT_FLOAT_EQ(Value(saved.smoothing[0].tcf), 0.29f);
    EXPECT_EQ(Value(saved.smoothing[2].zeroBelow), 127);
    EXPECT_EQ(window.TabControl()->currentIndex(), TabSmoothing);
    EXPECT_EQ(ZeroBelow("Depth")->text(), "5");
}

TEST_F(WholeProgram, FlowUnitChosenOnTheSitePageLabelsTheOtherPages)
{
    Choose(DisplayUnits("Flow Units:"), "Liters per second");

    GoTo(TabAlarms);
    EXPECT_EQ(Find<QLabel>(Page(TabAlarms), "condition1Units")->text(), "l/s");  // "Q Main"

    GoTo(TabOutput);
    EXPECT_EQ(Find<QLabel>(Page(TabOutput), "channel1Units4mA")->text(), "l/s");
    EXPECT_EQ(Find<QLabel>(Page(TabOutput), "channel1Units20mA")->text(), "l/s");
    EXPECT_EQ(ChannelValue(1, "20mA")->text(), "4381");  // was 100 MGD

    GoTo(TabSmoothing);
    int flowLabels = 0;
    for (QLabel* label : Smoothing("Flow")->findChildren<QLabel*>())
        flowLabels += label->text() == "l/s";
    EXPECT_EQ(flowLabels, 2);
    EXPECT_EQ(Labelled<QLineEdit>(Smoothing("Flow"), "Don't smooth changes over")->text(), "4381");
}

TEST_F(WholeProgram, DamagedFileOrFailedReadLeavesEveryPageAsItWas)
{
    QByteArray damaged = ImageOf(DefaultRecord());
    damaged[100] = char(damaged[100] ^ 0x01);
    WriteFile(PathOf("damaged.cfg"), damaged);
    SimFaults faults;
    faults.image = SimImageFault::BadChecksum;
    unit->SetFaults(faults);

    // Edits on two pages, the one on the page in view not yet stored.
    Type(SiteName(), "Lowmill");
    GoTo(TabOutput);
    Type(ChannelValue(1, "4mA"), "7.5");
    const std::vector<unsigned char> record = Bytes(window.Config());
    const auto shown = PagesShowInPlace();

    const struct {
        const char* what;
        std::function<void()> fail;
    } failures[] = {
        {"open a damaged file",
         [&] {
             prompts.fileAnswers = {PathOf("damaged.cfg")};
             ChooseMenuItem(window, "&Open Configuration...");
         }},
        {"read a damaged image", [&] { ReadFromUnit(window); }},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        prompts.messages.clear();
        failure.fail();
        EXPECT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages.value(0).contains(kImageChecksumText))
            << prompts.messages.value(0).toStdString();
        EXPECT_EQ(Bytes(window.Config()), record);
        ExpectSameShown(shown, PagesShowInPlace());
    }

    // The edit still on the page is stored when the page is left.
    GoTo(TabSite);
    EXPECT_EQ(Value(window.Config().analogChannel[0].at4mA), 328595);  // 7.5 MGD
    EXPECT_STREQ(window.Config().siteName, "Lowmill");
}

TEST_F(WholeProgram, WhatIsSentToAUnitReadsBackIntoANewWindowAsItWasShown)
{
    // Site: the name, a second instrument with its name and time-out, depth in millimetres.
    Type(SiteName(), "Lowmill Weir");
    Choose(InstrumentType(2), "KESTREL");
    Type(Labelled<QLineEdit>(Instrument(2), "Name:"), "Outfall");
    Type(Labelled<QLineEdit>(Instrument(2), "seconds"), "120");
    Choose(DisplayUnits("Depth Units:"), "Millimeters");

    // Communication: instrument 1's parity and the unit's address.
    GoTo(TabCommunication);
    Choose(Labelled<QComboBox>(Group(Page(TabCommunication), "Instrument 1"), "Parity:"), "Even");
    auto* address =
        Labelled<CIpAddressField>(Group(Page(TabCommunication), "Network Settings"), "Address:");
    Type(address->Part(3), "77");

    // Alarms: a sampler pulse on line 1, then a latching rule of two conditions on line 2.
    GoTo(TabAlarms);
    QWidget* alarms = Page(TabAlarms);
    Choose(Find<QComboBox>(alarms, "pulseInstrument"), "Ins 2");
    Type(Find<QLineEdit>(alarms, "pulseVolume"), "2.5");
    Press(FindButton(alarms, "Set Pulse Volume"));
    Choose(Find<QComboBox>(alarms, "condition1Quantity"), "Main Depth");
    Type(Find<QLineEdit>(alarms, "condition1Threshold"), "50");
    Choose(Find<QComboBox>(alarms, "join"), "OR");
    Choose(Find<QComboBox>(alarms, "condition2Instrument"), "Ins 3");
    Choose(Find<QComboBox>(alarms, "condition2Compare"), "<=");
    Type(Find<QLineEdit>(alarms, "condition2Threshold"), "3.5");
    Press(Find<QCheckBox>(alarms, "latching"));
    Press(FindButton(alarms, "Set Alarm Condition"));

    // Output: channel 2 carries a depth now, in millimetres.
    GoTo(TabOutput);
    Choose(Find<QComboBox>(Page(TabOutput), "channel2Quantity"), "Main Depth");
    Type(ChannelValue(2, "4mA"), "2.5");
    Type(ChannelValue(2, "20mA"), "1500");

    // Smoothing: less smoothing of flow, a zero threshold for depth; sent from this page.
    GoTo(TabSmoothing);
    MoveTo(Slider("Flow"), 71);
    Type(ZeroBelow("Depth"), "12");

    ASSERT_EQ(SendToUnit(window), "Unit successfully programmed");
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();

    // The values typed show as the unit got them.
    EXPECT_EQ(ChannelValue(2, "4mA")->text(), "3.00");
    const std::vector<unsigned char> sent = Bytes(window.Config());
    const UnitConfig& record = window.Config();
    EXPECT_STREQ(record.siteName, "LowmillWeir");
    EXPECT_STREQ(record.instrumentName[1], "Outfall");
    EXPECT_EQ(Value(record.instrumentType[1]), InstrumentKestrel);
    EXPECT_EQ(Value(record.instrumentTimeout[1]), 120);
    EXPECT_EQ(Value(record.serialPort[PortInstrument1].parity), ParityEven);
    EXPECT_EQ(Value(record.ipAddress[3]), 77);
    EXPECT_EQ(Value(record.analogChannel[1].at4mA), 3);
    EXPECT_EQ(Value(record.analogChannel[1].at20mA), 1500);
    EXPECT_FLOAT_EQ(Value(record.smoothing[0].tcf), 0.29f);
    EXPECT_EQ(Value(record.smoothing[2].zeroBelow), 12);

    const auto firstShows = EveryPageShows(window);
    EXPECT_EQ(Bytes(window.Config()), sent) << "visiting the pages must not change the record";
    QStringList rules;
    for (int line = 0; line < 2; ++line) rules << Rules(window)->item(line)->text();
    EXPECT_EQ(rules, (QStringList{"#1: Instrument 2 pulse every 2.50 MGal",
                                  "#2: Instrument 1 Main Depth > 50.0 mm or Instrument 3 Q Main "
                                  "<= 3.50 MGD (Latching)"}));

    // A technician at another computer reads the unit into a program just started.
    CSluiceConfigDlg second;
    ShowWindow(second);
    ReadFromUnit(second);

    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    // "AE" says only on or off: the unit keeps the 2 its own defaults hold for channel 3,
    // where the Output page stores 1. Either byte shows the channel ticked.
    const std::size_t channel3On = offsetof(UnitConfig, analogChannel) + 2 * sizeof(AnalogChannel);
    EXPECT_EQ(Differences(second.Config(), window.Config()), std::vector<std::size_t>{channel3On});
    EXPECT_EQ(Value(second.Config().analogChannel[2].enabled), 2);
    ExpectSameShown(firstShows, EveryPageShows(second));
}

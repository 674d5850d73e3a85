// The Connect dialog against the simulated unit, read and send, opened from the main window
// where the main window's part matters.
#include <QCheckBox>
#include <QElapsedTimer>
#include <cerrno>
#include <cstring>

#include "comm/PortNames.h"
#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "dialogs/ConnectDlg.h"
#include "tests/app/AppTestSupport.h"
#include "tests/dialogs/DialogTestSupport.h"

namespace {

using Log = std::vector<std::string>;

UnitConfig Lowmill()
{
    UnitConfig config = DefaultConfig();
    std::strcpy(config.siteName, "Lowmill");
    std::strcpy(config.instrumentName[0], "Inlet");
    config.ipAddress[3] = 42;
    return config;
}

class ConnectDialog : public UnitDialogTest {
protected:
    ConnectDialog() : window(FakePages(log)) {}

    // The main window with an edit on its Site page that was never stored.
    void EditSitePage()
    {
        FakePage(window.TabControl(), TabSite)->edit->setText("unsaved");
        log.clear();
    }
    QString SitePageText() { return FakePage(window.TabControl(), TabSite)->edit->text(); }

    Log log;
    CSluiceConfigDlg window;
};

TEST_F(ConnectDialog, ReadThatSucceedsClosesItSoonAfterAndThePagesReload)
{
    StartComUnit(Lowmill());
    EditSitePage();
    QStringList statuses;
    qint64 shownAfterLoaded = 0;
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowDialog(dialog);
        QPushButton* read = Child<QPushButton>(dialog, "programButton");
        EXPECT_EQ(read->text(), "Read Settings");
        EXPECT_FALSE(Child<QCheckBox>(dialog, "synchronizeTime")->isVisible());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "zeroTotalizer")->isVisible());
        StatusLog status(dialog);

        Click(read);
        QTRY_COMPARE(StatusOf(dialog), "Settings loaded successfully");
        QElapsedTimer sinceLoaded;
        sinceLoaded.start();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(Child<QPushButton>(dialog, "exitButton")->isEnabled());
        EXPECT_EQ(Child<QProgressBar>(dialog, "progressBar")->value(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
        shownAfterLoaded = sinceLoaded.elapsed();
        statuses = status.Texts();
    };
    ChooseMenuItem(window, "&Read Configuration...");

    EXPECT_EQ(prompts.dialogs, QStringList{"Connect"});
    EXPECT_EQ(statuses, (QStringList{"Connecting...", "Reading configuration from device...",
                                     "Loading settings...", "Settings loaded successfully"}));
    // The pause lets the technician read the outcome; a coarse timer may end it a little early.
    EXPECT_GE(shownAfterLoaded, 800);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Bytes(window.Config()), Bytes(Lowmill()));
    EXPECT_EQ(log, (Log{"load Communication", "load Alarms", "load Output", "load Site",
                        "load Smoothing"}));
    EXPECT_EQ(SitePageText(), "Lowmill");
}

TEST_F(ConnectDialog, ReadOfADamagedImageShowsTheReadersTextAndChangesNothing)
{
    SimFaults faults;
    faults.image = SimImageFault::BadChecksum;
    unit->SetFaults(faults);
    EditSitePage();
    const std::vector<unsigned char> before = Bytes(window.Config());
    QString statusAfterMessage;
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowDialog(dialog);
        Click(Child<QPushButton>(dialog, "programButton"));
        QTRY_VERIFY(Child<QPushButton>(dialog, "exitButton")->isEnabled());
        statusAfterMessage = StatusOf(dialog);
        EXPECT_TRUE(dialog.isVisible());
        Click(Child<QPushButton>(dialog, "exitButton"));
        EXPECT_FALSE(dialog.isVisible());
    };
    ChooseMenuItem(window, "&Read Configuration...");

    EXPECT_EQ(prompts.messages, QStringList{QString("Error: ") + kImageChecksumText});
    EXPECT_EQ(statusAfterMessage, "Ready");
    EXPECT_EQ(Bytes(window.Config()), before);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(SitePageText(), "unsaved");
}

TEST_F(ConnectDialog, SendProgramsTheStoredRecordWithTheClockAndStaysOpen)
{
    QStringList statuses;
    int progress = -1, progressEnd = -1;
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowDialog(dialog);
        EXPECT_EQ(dialog.windowTitle(), "Connect");
        QPushButton* program = Child<QPushButton>(dialog, "programButton");
        EXPECT_EQ(program->text(), "Program");
        EXPECT_TRUE(Child<QCheckBox>(dialog, "synchronizeTime")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "zeroTotalizer")->isChecked());
        const QStringList ports = Items(Child<QComboBox>(dialog, "portList"));
        EXPECT_EQ(ports.size(), 8);
        EXPECT_EQ(ports.value(0), "COM 1 (simulated unit)");
        QComboBox* baud = Child<QComboBox>(dialog, "baudList");
        EXPECT_EQ(Items(baud),
                  (QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600"}));
        EXPECT_EQ(baud->currentText(), "57600");
        EXPECT_EQ(StatusOf(dialog), "Ready");
        StatusLog status(dialog);

        Click(program);
        QTRY_VERIFY(program->isEnabled());
        statuses = status.Texts();
        progress = Child<QProgressBar>(dialog, "progressBar")->value();
        progressEnd = Child<QProgressBar>(dialog, "progressBar")->maximum();
        EXPECT_TRUE(dialog.isVisible());
        Click(Child<QPushButton>(dialog, "exitButton"));
    };
    ChooseMenuItem(window, "&Send Configuration...");

    EXPECT_TRUE(prompts.messages.isEmpty());
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.first(), "Connecting...");
    EXPECT_EQ(statuses.value(1), "Sending ST");
    EXPECT_EQ(statuses.last(), "Unit successfully programmed");

    const std::vector<std::string> configLines = BuildSendLines(window.Config(), false);
    const std::vector<std::string> lines = unit->Log().lines;
    ASSERT_EQ(lines.size(), 1 + 1 + configLines.size() + 1);
    EXPECT_EQ(lines.front(), "OK");
    EXPECT_TRUE(lines[1].starts_with("ST ")) << lines[1];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end() - 1), configLines);
    EXPECT_EQ(lines.back(), "SH");
    EXPECT_EQ(progressEnd, int(configLines.size()) + 1);
    EXPECT_EQ(progress, progressEnd);
}

TEST_F(ConnectDialog, ALineThatFailsTwiceIsShownAsSentAndNothingIsApplied)
{
    FaultLines("SN 0 ", SimLineFault::Kind::ErrorReply);
    UnitConfig record = DefaultConfig();
    std::strcpy(record.siteName, "M\xFChlgraben");  // record text is Latin-1
    CConnectDlg dialog(&record, /*readMode=*/false, nullptr, FastTimings());
    ShowDialog(dialog);
    Click(Child<QCheckBox>(dialog, "zeroTotalizer"));
    StatusLog status(dialog);
    Click(Child<QPushButton>(dialog, "programButton"));
    QTRY_VERIFY(Child<QPushButton>(dialog, "programButton")->isEnabled());

    EXPECT_EQ(prompts.messages, QStringList{"Error: The command \"SN 0 M\u00FChlgraben\" failed."});
    EXPECT_EQ(StatusOf(dialog), "Ready");
    const QStringList statuses = status.Texts();
    EXPECT_EQ(statuses.mid(statuses.size() - 2), (QStringList{"Sending SN", "Retrying SN"}));
    const SimLog sim = unit->Log();
    EXPECT_EQ(sim.zeroedTotalizers, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(sim.hardwareApplies, 0);
    EXPECT_EQ(std::ranges::count(sim.lines, std::string("SH")), 0);
}

TEST_F(ConnectDialog, APortWithoutADeviceShowsWhyItCannotBeOpened)
{
    UnitConfig record = DefaultConfig();
    CConnectDlg dialog(&record, /*readMode=*/false, nullptr, FastTimings());
    ShowDialog(dialog);
    QComboBox* ports = Child<QComboBox>(dialog, "portList");
    if (ports->itemText(7) != "COM 8") GTEST_SKIP() << "this machine has a device as COM 8";
    ports->setCurrentIndex(7);
    Click(Child<QPushButton>(dialog, "programButton"));
    QTRY_VERIFY(Child<QPushButton>(dialog, "programButton")->isEnabled());

    EXPECT_EQ(prompts.messages,
              QStringList{QString("Error: ") + kOpenFailedText + "\n" +
                          QString::fromStdString(DescribeOpenError("COM 8", ENODEV))});
    EXPECT_EQ(StatusOf(dialog), "Ready");
    EXPECT_EQ(unit->Log().banners, 0);
}

}  // namespace

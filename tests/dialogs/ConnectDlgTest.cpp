// The Connect dialog against the simulated unit, for a read and a send.
#include <QElapsedTimer>
#include <QProgressBar>

#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "dialogs/ConnectDlg.h"
#include "tests/dialogs/DialogTestSupport.h"

class ConnectDialog : public UnitDialogTest {
protected:
    UnitConfig record = DefaultConfig();
    QStringList statuses;
};

TEST_F(ConnectDialog, ReadThatSucceedsClosesItAboutASecondAfterItSaysSo)
{
    UnitConfig lowmill = DefaultConfig();
    std::strcpy(lowmill.siteName, "Lowmill");
    StartComUnit(lowmill);
    CConnectDlg dialog(&record, /*readMode=*/true, nullptr, FastTimings());
    QElapsedTimer clock;
    clock.start();
    RunToEnd(dialog, statuses);

    EXPECT_EQ(statuses, (QStringList{"Connecting...", "Reading configuration from device...",
                                     "Loading settings...", "Settings loaded successfully"}));
    // The pause lets the technician read the outcome; a coarse timer may end it a little early.
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_TRUE(dialog.ReadSucceeded());
    EXPECT_EQ(Differences(record, lowmill), Offsets{});
}

TEST_F(ConnectDialog, SendProgramsTheRecordWithTheClockAndStaysOpen)
{
    CConnectDlg dialog(&record, /*readMode=*/false, nullptr, FastTimings());
    EXPECT_EQ(Find<QComboBox>(&dialog, "baudList")->currentText(), "57600");
    RunToEnd(dialog, statuses);

    EXPECT_TRUE(dialog.isVisible());
    const std::vector<std::string> lines = unit->Log().lines;
    std::vector<std::string> expected = BuildSendLines(record, false);
    expected.insert(expected.begin(), {"OK", lines.at(1)});
    expected.push_back("SH");
    EXPECT_TRUE(lines[1].starts_with("ST ")) << lines[1];
    EXPECT_EQ(lines, expected);
    const auto* bar = Find<QProgressBar>(&dialog, "progressBar");
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(bar->maximum(), int(expected.size()) - 2);
}

TEST_F(ConnectDialog, FailuresShowTheMessageAndReadyAndChangeOrApplyNothing)
{
    SimFaults damagedImage;
    damagedImage.image = SimImageFault::BadChecksum;
    unit->SetFaults(damagedImage);
    CConnectDlg read(&record, /*readMode=*/true, nullptr, FastTimings());
    RunToEnd(read, statuses);
    EXPECT_EQ(StatusOf(read), "Ready");
    EXPECT_FALSE(read.ReadSucceeded());
    EXPECT_EQ(Differences(record, DefaultConfig()), Offsets{});

    FaultLines("SN 0 ", SimLineFault::Kind::ErrorReply);
    std::strcpy(record.siteName, "M\xFChlgraben");  // record text is Latin-1
    CConnectDlg send(&record, /*readMode=*/false, nullptr, FastTimings());
    RunToEnd(send, statuses);
    EXPECT_EQ(prompts.messages,
              (QStringList{QString("Error: ") + kImageChecksumText,
                           "Error: The command \"SN 0 M\u00FChlgraben\" failed."}));
    EXPECT_EQ(StatusOf(send), "Ready");
    EXPECT_EQ(statuses.mid(statuses.size() - 2), (QStringList{"Sending SN", "Retrying SN"}));
    EXPECT_EQ(std::ranges::count(unit->Log().lines, std::string("SH")), 0);
}

// The Connect dialog against the simulated unit, for a read and a send.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>

#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/FlashDialog.h"
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
    CConnectDialog dialog(&record, /*readMode=*/true, nullptr, FastTimings());
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
    CConnectDialog dialog(&record, /*readMode=*/false, nullptr, FastTimings());
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
    CConnectDialog read(&record, /*readMode=*/true, nullptr, FastTimings());
    RunToEnd(read, statuses);
    EXPECT_EQ(StatusOf(read), "Ready");
    EXPECT_FALSE(read.ReadSucceeded());
    EXPECT_EQ(Differences(record, DefaultConfig()), Offsets{});

    FaultLines("SN 0 ", SimLineFault::Kind::ErrorReply);
    std::strcpy(record.siteName, "M\xFChlgraben");  // record text is Latin-1
    CConnectDialog send(&record, /*readMode=*/false, nullptr, FastTimings());
    RunToEnd(send, statuses);
    EXPECT_EQ(prompts.messages,
              (QStringList{QString("Error: ") + kImageChecksumText,
                           "Error: The command \"SN 0 M\u00FChlgraben\" failed."}));
    EXPECT_EQ(StatusOf(send), "Ready");
    EXPECT_EQ(statuses.mid(statuses.size() - 2), (QStringList{"Sending SN", "Retrying SN"}));
    EXPECT_EQ(std::ranges::count(unit->Log().lines, std::string("SH")), 0);
}

// A read or a send stopped by Cancel, Escape or the close box, while the unit is slow to
// answer or in the second after a read got through: "Cancelled", no message, the record as
// it was, and after the stop nothing more for the unit. Meanwhile only Cancel works.
TEST_F(ConnectDialog, ARunStoppedAnyWayIsCancelledAndKeepsTheRecord)
{
    UnitConfig lowmill = DefaultConfig();
    std::strcpy(lowmill.siteName, "Lowmill");
    const struct {
        bool readMode;
        const char* holdAt;  // none: stopped once the read has got through
        StopBy way;
    } cases[] = {{true, "line: PS", StopBy::Escape},
                 {false, "line: SN", StopBy::CloseBox},
                 {true, nullptr, StopBy::CancelButton}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holdAt ? c.holdAt : "after the read");
        HoldComUnit(c.holdAt ? c.holdAt : "nothing", lowmill);
        CConnectDialog dialog(&record, c.readMode, nullptr, FastTimings());
        ShowDialog(dialog);
        auto* start = Find<QPushButton>(&dialog, "programButton");
        Press(start);
        if (c.holdAt)
            ASSERT_TRUE(QTest::qWaitFor([&] { return held.load(); }));
        else
            ASSERT_TRUE(QTest::qWaitFor([&] { return StatusOf(dialog) == kStatusLoaded; }));
        EXPECT_FALSE(start->isEnabled() || Find<QPushButton>(&dialog, "exitButton")->isEnabled());
        for (const char* choice : {"portList", "baudList"})
            EXPECT_FALSE(Find<QComboBox>(&dialog, choice)->isEnabled()) << choice;
        for (const char* choice : {"synchronizeTime", "zeroTotalizer"})
            EXPECT_FALSE(Find<QCheckBox>(&dialog, choice)->isEnabled()) << choice;

        StopRun(dialog, c.way);
        EXPECT_TRUE(QTest::qWaitFor([&] { return start->isEnabled(); }));
        EXPECT_EQ(StatusOf(dialog), "Cancelled");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(dialog.ReadSucceeded());
        EXPECT_TRUE(Find<QComboBox>(&dialog, "portList")->isEnabled());
        EXPECT_TRUE(Find<QCheckBox>(&dialog, "zeroTotalizer")->isEnabled());
        Release();
        if (c.holdAt) {
            // The line it was held at was the last it got.
            EXPECT_TRUE(QTest::qWaitFor([&] {
                const std::vector<std::string> lines = unit->Log().lines;
                return !lines.empty() && ("line: " + lines.back()).starts_with(c.holdAt);
            }));
            QTest::qWait(50);
            EXPECT_TRUE(("line: " + unit->Log().lines.back()).starts_with(c.holdAt));
        }
    }
    EXPECT_EQ(Differences(record, DefaultConfig()), Offsets{});
    EXPECT_EQ(prompts.messages, QStringList{});
}

// Each dialog lists the ports as they are when it opens, and comes back to the port and rate
// it last ran with; another dialog keeps its own.
TEST_F(ConnectDialog, ListsThePortsAfreshAndPreselectsThePortAndRateLastUsed)
{
    UnitConfig at9600 = DefaultConfig();
    at9600.serialPort[2].baudRate = 9600;
    CSimUnit second(at9600);
    ASSERT_TRUE(second.Start());
    ASSERT_FALSE(second.Announce().empty());
    {
        CConnectDialog read(&record, /*readMode=*/true, nullptr, FastTimings());
        auto* ports = Find<QComboBox>(&read, "portList");
        ASSERT_EQ(ports->itemText(1), "COM 2 (simulated unit)");
        ports->setCurrentIndex(1);
        Find<QComboBox>(&read, "baudList")->setCurrentText("9600");
        RunToEnd(read, statuses);
        EXPECT_TRUE(read.ReadSucceeded());
    }

    CSimUnit third(DefaultConfig());
    ASSERT_TRUE(third.Start());
    ASSERT_FALSE(third.Announce().empty());
    CConnectDialog send(&record, /*readMode=*/false, nullptr, FastTimings());
    const auto* ports = Find<QComboBox>(&send, "portList");
    EXPECT_EQ(ports->itemText(2), "COM 3 (simulated unit)");
    EXPECT_EQ(ports->currentIndex(), 1);
    EXPECT_EQ(Find<QComboBox>(&send, "baudList")->currentText(), "9600");

    CFlashDialog flash(QStringLiteral("unit.bin"));
    EXPECT_EQ(Find<QComboBox>(&flash, "portList")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>(&flash, "connectBaudList")->currentText(), "57600");
}

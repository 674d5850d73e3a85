// The Flash Software dialog against the simulated unit's bootloader.
#include <QComboBox>
#include <QProgressBar>
#include <QTimer>

#include "dialogs/FlashDialog.h"
#include "tests/dialogs/DialogTestSupport.h"

using FlashDialog = UnitDialogTest;

TEST_F(FlashDialog, StaysLiveAndOpenThroughARunAndTellsEveryStageInOrder)
{
    StartComUnit(DefaultConfig(), "frame: ping");
    CommTimings timings = FastTimings();
    timings.pingWindowMs = 10000;  // the ping waits for as long as the test holds the unit
    timings.frameByteTimeoutMs = 10000;
    const TempFile software(std::vector<std::uint8_t>(4096, 0xA5));
    CFlashDialog dialog(QString::fromStdString(software.Path()), nullptr, timings);
    ShowDialog(dialog);
    auto* flash = Find<QPushButton>(&dialog, "flashButton");
    auto* exit = Find<QPushButton>(&dialog, "exitButton");

    QStringList statuses;
    LogStatus(dialog, statuses);
    Press(flash);
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.load(); }));

    // A timer of the test's own fires while the run waits for the unit.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }));
    EXPECT_EQ(StatusOf(dialog), "Locating the download target...");
    // Only Cancel works during a run; the lists are of no use then.
    EXPECT_FALSE(exit->isEnabled() || flash->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(&dialog, "cancelButton")->isEnabled());
    for (const char* list : {"portList", "connectBaudList", "downloadBaudList"})
        EXPECT_FALSE(Find<QComboBox>(&dialog, list)->isEnabled()) << list;

    Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return flash->isEnabled(); }));
    EXPECT_TRUE(exit->isEnabled());
    EXPECT_EQ(statuses,
              (QStringList{"Connecting to the unit...", "Initializing the flash process...",
                           "Locating the download target...", "Loading the software file...",
                           "Flash in progress, 25 % complete", "Flash in progress, 50 % complete",
                           "Flash in progress, 75 % complete", "Flash in progress, 100 % complete",
                           "Rebooting the unit...", "Flash completed successfully..."}));
    EXPECT_EQ(Find<QProgressBar>(&dialog, "progressBar")->value(), 0);
    EXPECT_TRUE(Find<QComboBox>(&dialog, "portList")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(&dialog, "cancelButton")->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

// Cancel, Escape or the close box while the bootloader is being pinged: the run stops, the
// unit is rebooted and the dialog stays open to say so.
TEST_F(FlashDialog, ARunStoppedAnyWayRebootsTheUnitAndSaysSo)
{
    CommTimings timings = FastTimings();
    timings.pingWindowMs = 10000;  // the ping waits for as long as the test holds the unit
    timings.frameByteTimeoutMs = 10000;
    const TempFile software(std::vector<std::uint8_t>(4096, 0xA5));
    for (const StopBy way : {StopBy::CancelButton, StopBy::Escape, StopBy::CloseBox}) {
        SCOPED_TRACE(int(way));
        HoldComUnit("frame: ping");
        CFlashDialog dialog(QString::fromStdString(software.Path()), nullptr, timings);
        ShowDialog(dialog);
        auto* flash = Find<QPushButton>(&dialog, "flashButton");
        Press(flash);
        ASSERT_TRUE(QTest::qWaitFor([&] { return held.load(); }));
        StopRun(dialog, way);
        EXPECT_TRUE(QTest::qWaitFor([&] { return flash->isEnabled(); }));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(StatusOf(dialog), "Download aborted at user request");
        // The unit, held until now, takes the reboot the run sent it on its way out.
        Release();
        EXPECT_TRUE(QTest::qWaitFor([&] { return unit->Log().reboots == 1; }));
        EXPECT_TRUE(unit->Log().dataFrames.empty());
    }
}

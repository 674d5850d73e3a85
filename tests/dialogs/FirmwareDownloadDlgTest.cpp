// The Flash Software dialog against the simulated unit's bootloader.
#include <QProgressBar>
#include <QTimer>

#include "dialogs/FirmwareDownloadDlg.h"
#include "tests/dialogs/DialogTestSupport.h"

using FlashDialog = UnitDialogTest;

TEST_F(FlashDialog, StaysLiveAndOpenThroughARunAndTellsEveryStageInOrder)
{
    StartComUnit(DefaultConfig(), "frame: ping");
    CommTimings timings = FastTimings();
    timings.pingWindowMs = 10000;  // the ping waits for as long as the test holds the unit
    timings.frameByteTimeoutMs = 10000;
    const TempFile software(std::vector<std::uint8_t>(4096, 0xA5));
    CFirmwareDownloadDlg dialog(QString::fromStdString(software.Path()), nullptr, timings);
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
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    Press(exit);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(exit->isEnabled());

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
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

// The Flash Software dialog against the simulated unit's bootloader.
#include <QFileInfo>

#include "comm/Communications.h"
#include "dialogs/FirmwareDownloadDlg.h"
#include "tests/app/AppTestSupport.h"
#include "tests/dialogs/DialogTestSupport.h"

namespace {

class FlashDialog : public UnitDialogTest {
protected:
    static QPushButton* FlashButton(QDialog& dialog)
    {
        return Child<QPushButton>(dialog, "flashButton");
    }
    static QPushButton* ExitButton(QDialog& dialog)
    {
        return Child<QPushButton>(dialog, "exitButton");
    }
    static int BarOf(QDialog& dialog)
    {
        return Child<QProgressBar>(dialog, "progressBar")->value();
    }

    // One run from the button to its end; until then neither button can be used.
    static void Flash(QDialog& dialog)
    {
        Click(FlashButton(dialog));
        EXPECT_FALSE(FlashButton(dialog)->isEnabled());
        EXPECT_FALSE(ExitButton(dialog)->isEnabled());
        QTRY_VERIFY(FlashButton(dialog)->isEnabled());
        EXPECT_TRUE(ExitButton(dialog)->isEnabled());
    }

    void FaultUnit(bool SimFaults::*fault)
    {
        SimFaults faults;
        faults.*fault = true;
        unit->SetFaults(faults);
    }

    QString Path() const { return QString::fromStdString(software.Path()); }
    std::unique_ptr<CFirmwareDownloadDlg> Open(const CommTimings& timings = FastTimings())
    {
        auto dialog = std::make_unique<CFirmwareDownloadDlg>(Path(), nullptr, timings);
        ShowDialog(*dialog);
        return dialog;
    }

    TempFile software{std::vector<std::uint8_t>(4096, 0xA5)};
};

TEST_F(FlashDialog, ShowsEveryStageInOrderAndEndsReadyForAnotherRun)
{
    auto opened = Open();
    QDialog& dialog = *opened;
    EXPECT_EQ(dialog.windowTitle(), "Flash Software ");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(StatusOf(dialog), "Ready to flash " + QFileInfo(Path()).fileName());
    EXPECT_EQ(Child<QComboBox>(dialog, "connectBaudList")->currentText(), "57600");
    EXPECT_EQ(Child<QComboBox>(dialog, "downloadBaudList")->currentText(), "57600");
    EXPECT_EQ(Child<QProgressBar>(dialog, "progressBar")->maximum(), 100);

    Child<QComboBox>(dialog, "downloadBaudList")->setCurrentIndex(4);  // 19200
    StatusLog status(dialog);
    Flash(dialog);

    EXPECT_EQ(status.Texts(),
              (QStringList{"Connecting to the unit...", "Initializing the flash process...",
                           "Locating the download target...", "Loading the software file...",
                           "Flash in progress, 25 % complete", "Flash in progress, 50 % complete",
                           "Flash in progress, 75 % complete", "Flash in progress, 100 % complete",
                           "Rebooting the unit...", "Flash completed successfully..."}));
    EXPECT_EQ(StatusOf(dialog), "Flash completed successfully...");
    EXPECT_EQ(BarOf(dialog), 0);
    const std::vector<std::uint8_t> flash = unit->FlashMemory();
    EXPECT_EQ(std::vector<std::uint8_t>(flash.begin(), flash.begin() + 4096),
              std::vector<std::uint8_t>(4096, 0xA5));
    EXPECT_EQ(unit->Log().reboots, 1);
}

TEST_F(FlashDialog, LivesOnButCannotBeClosedOrEscapedWhileARunIsUnderWay)
{
    StartHeldUnit("frame: ping");
    CommTimings timings = FastTimings();
    timings.pingWindowMs = 10000;  // the ping waits for as long as the test holds the unit
    timings.frameByteTimeoutMs = 10000;
    auto opened = Open(timings);
    QDialog& dialog = *opened;
    Click(FlashButton(dialog));
    QTRY_VERIFY(gate.Reached());

    Ticker ticker;
    QTRY_VERIFY(ticker.Count() >= 3);
    EXPECT_EQ(StatusOf(dialog), "Locating the download target...");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    Click(ExitButton(dialog));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(FlashButton(dialog)->isEnabled());

    gate.Release();
    QTRY_VERIFY(FlashButton(dialog)->isEnabled());
    EXPECT_EQ(StatusOf(dialog), "Flash completed successfully...");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FlashDialog, SilentBootloaderFailsTheRunWithTheBarBackAtZero)
{
    FaultUnit(&SimFaults::pingSilent);
    auto opened = Open();
    QDialog& dialog = *opened;
    Flash(dialog);
    EXPECT_EQ(StatusOf(dialog), "Error, flash failed:No response to ping request");
    EXPECT_EQ(BarOf(dialog), 0);
}

TEST_F(FlashDialog, AfterAUnitThatDidNotAnswerTheNextRunStartsAfresh)
{
    FaultUnit(&SimFaults::silent);
    auto opened = Open();
    QDialog& dialog = *opened;
    Flash(dialog);
    EXPECT_EQ(StatusOf(dialog), QString("Failed: ") + kEnterCommandModeText);

    // The port was closed; the same dialog opens it again for the next run.
    unit->SetFaults({});
    Flash(dialog);
    EXPECT_EQ(StatusOf(dialog), "Flash completed successfully...");
    EXPECT_EQ(unit->Log().banners, 1);
}

TEST_F(FlashDialog, OpensFromTheMainWindowForTheChosenFileWithoutAParent)
{
    CSluiceConfigDlg window;
    prompts.fileAnswers = {Path()};
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowDialog(dialog);
        EXPECT_EQ(dialog.parentWidget(), nullptr);
        EXPECT_EQ(StatusOf(dialog), "Ready to flash " + QFileInfo(Path()).fileName());
        Click(ExitButton(dialog));
    };
    ChooseMenuItem(window, "&Flash Software");
    EXPECT_EQ(prompts.dialogs, QStringList{"Flash Software "});
}

}  // namespace

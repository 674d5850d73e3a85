// What the dialog tests share: a simulated unit as COM 1 that can be held mid-exchange, the
// message boxes answered by script, and a dialog's operation run to its end.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <atomic>

#include "dialogs/DeviceTask.h"
#include "tests/comm/SimulatedUnit.h"
#include "tests/gui/ScriptedPrompts.h"
#include "tests/pages/PageTestSupport.h"

class UnitDialogTest : public SimulatedUnitTest {
protected:
    void SetUp() override { StartComUnit(DefaultConfig()); }
    void TearDown() override
    {
        Release();  // a held unit could not stop
        unit.reset();
    }

    // Replaces the unit, as COM 1. With `holdAt`, the unit stops at the first line or frame
    // whose description starts with it until Release, as a slow unit would.
    void StartComUnit(const UnitConfig& config, const std::string& holdAt = {})
    {
        SimOptions options;
        if (!holdAt.empty())
            options.monitor = [this, holdAt](const std::string& text) {
                if (text.starts_with(holdAt) && !held.exchange(true)) released.wait(false);
            };
        StartUnit(config, options);
        ASSERT_FALSE(unit->Announce().empty());
    }
    void Release()
    {
        released = true;
        released.notify_all();
    }
    // A fresh unit as COM 1, held at `holdAt` as StartComUnit does.
    void HoldComUnit(const std::string& holdAt, const UnitConfig& config = DefaultConfig())
    {
        Release();
        unit.reset();
        held = false;
        released = false;
        StartComUnit(config, holdAt);
    }

    TempRuntimeFolder runtime;  // the unit is the only announced one, and so COM 1
    CScriptedPrompts prompts;
    std::atomic<bool> held = false, released = false;
};

inline QString StatusOf(QWidget& dialog)
{
    return Find<QLabel>(&dialog, "statusLine")->text();
}

// The three ways to stop a run: Cancel, Escape and the close box.
enum class StopBy { CancelButton, Escape, CloseBox };

inline void StopRun(QDialog& dialog, StopBy way)
{
    switch (way) {
        case StopBy::CancelButton: Press(Find<QPushButton>(&dialog, "cancelButton")); break;
        case StopBy::Escape: QTest::keyClick(&dialog, Qt::Key_Escape); break;
        case StopBy::CloseBox: dialog.close(); break;
    }
}

inline void ShowDialog(QDialog& dialog)
{
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

// Notes every status text the dialog's operations report from now on, in order.
inline void LogStatus(QWidget& dialog, QStringList& texts)
{
    QObject::connect(dialog.findChild<CDeviceTask*>(), &CDeviceTask::statusChanged, &dialog,
                     [&texts](const QString& text) { texts << text; });
}

// Shows the dialog and runs its operation to the end, noting the statuses it reports; a read
// that succeeds closes the dialog by itself.
inline void RunToEnd(QDialog& dialog, QStringList& statuses)
{
    ShowDialog(dialog);
    LogStatus(dialog, statuses);
    Press(Find<QPushButton>(&dialog, "programButton"));
    auto* exit = Find<QPushButton>(&dialog, "exitButton");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible() || exit->isEnabled(); }));
}

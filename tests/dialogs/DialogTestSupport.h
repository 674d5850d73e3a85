// What the dialog tests share: a simulated unit that is COM 1, the message boxes answered
// by script, a way to hold the unit in the middle of an exchange, and the status texts a
// dialog showed.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "dialogs/DeviceTask.h"
#include "tests/comm/SimulatedUnit.h"
#include "tests/gui/ScriptedPrompts.h"

// Holds the simulated unit, on its own thread, when it receives the first line or frame
// whose description (SimOptions::monitor) starts with `at`, until Release. Meanwhile the
// tool waits for the answer as it would for a slow unit.
class CUnitGate {
public:
    std::function<void(const std::string&)> HoldAt(const std::string& at)
    {
        return [state = state, at](const std::string& text) {
            std::unique_lock lock(state->mutex);
            if (state->reached || !text.starts_with(at)) return;
            state->reached = true;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return state->released; });
        };
    }
    bool Reached() const
    {
        std::lock_guard lock(state->mutex);
        return state->reached;
    }
    void Release()
    {
        std::lock_guard lock(state->mutex);
        state->released = true;
        state->changed.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool reached = false;
        bool released = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

class UnitDialogTest : public SimulatedUnitTest {
protected:
    void SetUp() override
    {
        SimulatedUnitTest::SetUp();
        AnnounceUnit();
    }
    void TearDown() override
    {
        gate.Release();  // a held unit could not stop
        unit.reset();
    }

    // Replaces the unit, as COM 1.
    void StartComUnit(const UnitConfig& config, SimOptions options = {})
    {
        StartUnit(config, options);
        AnnounceUnit();
    }
    // A unit that stops answering at the first line or frame described by `at`.
    void StartHeldUnit(const std::string& at)
    {
        SimOptions options;
        options.monitor = gate.HoldAt(at);
        StartComUnit(DefaultConfig(), options);
    }
    void AnnounceUnit() { ASSERT_FALSE(unit->Announce().empty()); }

    TempRuntimeFolder runtime;  // the unit is the only announced one, and so COM 1
    CScriptedPrompts prompts;
    CUnitGate gate;
};

template <class Widget>
Widget* Child(QWidget& parent, const char* name)
{
    auto* child = parent.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no control " << name;
    return child;
}

inline QString StatusOf(QWidget& dialog)
{
    return Child<QLabel>(dialog, "statusLine")->text();
}

inline void ShowDialog(QDialog& dialog)
{
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

inline void Click(QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// On its box: a check box takes clicks on its box and its text only.
inline void Click(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
}

// Every status text the dialog's operations reported, in the order they arrived.
class StatusLog {
public:
    explicit StatusLog(QWidget& dialog)
        : spy(dialog.findChild<CDeviceTask*>(), &CDeviceTask::statusChanged)
    {
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const QList<QVariant>& arguments : spy) texts << arguments.at(0).toString();
        return texts;
    }

private:
    QSignalSpy spy;
};

// Ticks while the test waits, so that it can tell whether the event loop turned.
class Ticker {
public:
    Ticker() : spy(&timer, &QTimer::timeout) { timer.start(5); }
    int Count() const { return int(spy.count()); }

private:
    QTimer timer;
    QSignalSpy spy;
};

inline QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

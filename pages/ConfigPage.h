// What every page behind the main window's tabs offers.
//
// A page edits the main window's one UnitConfig in place through the pointer it is given
// on construction, and keeps no copy of it. Its constructor builds the controls and ends
// with LoadFromConfig(), so a page is complete as soon as it exists; page classes are
// final, which makes that call the page's own.
//
// The main window calls LoadFromConfig() when the page is entered, after a file was opened
// and after a configuration was read from a unit; and StoreToConfig() when the user leaves
// the page and before a save or a send. A page's own handlers may call both, in that order,
// to re-apply its rules after a change.
#pragma once

#include <QWidget>

#include "config/UnitConfig.h"

class CConfigPage : public QWidget {
    Q_OBJECT

public:
    // Fills the controls from the record and applies the enabling rules.
    virtual void LoadFromConfig() = 0;
    // Writes the controls into the record. A page that writes the record as soon as its
    // controls are used (the Alarms page) keeps this empty: the main window never asks it
    // to store.
    virtual void StoreToConfig() {}

protected:
    // The record lives as long as the main window, and so longer than the page.
    explicit CConfigPage(UnitConfig* config, QWidget* parent = nullptr);

    // Enter and Escape are taken here, so they never reach the main window from a page:
    // a stray Escape in a field must not close the program with the edits unsaved.
    void keyPressEvent(QKeyEvent* event) override;
    // Focus given to the page goes on to its first control that takes it.
    void focusInEvent(QFocusEvent* event) override;

    // Re-applies the page's rules after one of its controls changed: the controls go into
    // the record, `change` adjusts what the control alone cannot say, and the controls are
    // filled again.
    template <typename Change>
    void StoreChangeLoad(Change change)
    {
        StoreToConfig();
        change(*config);
        LoadFromConfig();
    }
    void StoreThenLoad()
    {
        StoreToConfig();
        LoadFromConfig();
    }

    UnitConfig* const config;
};

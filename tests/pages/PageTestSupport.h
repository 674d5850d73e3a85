// What a page test does with the controls: it uses them as a person at the keyboard would,
// so disabled controls refuse the input as they would refuse the person.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <clocale>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "pages/CountField.h"
#include "tests/gui/ScriptedPrompts.h"

// Failure messages show a text as the text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << text.toStdString();
}

// A control's text as shown: without the '&' that marks its Alt+letter.
inline QString ShownText(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(u'&')
        .replace(QStringLiteral("\x01"), QStringLiteral("&"));
}

// Picks an entry with the keys: Home, then Down until it is reached.
inline void Choose(QComboBox* list, const QString& text)
{
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString() << " is not offered";
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
}

// Types into the field, replacing its text unless told not to; a character beyond ASCII comes as
// text, as from a keyboard layout that has it.
inline void Type(QLineEdit* edit, const QString& text, bool replace = true)
{
    if (replace) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
    }
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key(c.toUpper().unicode()), QString(c), {});
}

// A button or a check box pressed with the space bar.
inline void Press(QAbstractButton* button)
{
    QTest::keyClick(button, Qt::Key_Space);
}

// Shown and active, so that focus moves as it does for a user.
inline void ShowActive(QWidget& widget)
{
    widget.show();
    widget.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&widget));
}

// Moves a slider with the arrow keys to a position, or as far towards it as it goes.
inline void MoveTo(QSlider* slider, int position)
{
    for (int presses = 0; presses <= slider->maximum() && slider->value() != position; ++presses)
        QTest::keyPress(slider, slider->value() < position ? Qt::Key_Right : Qt::Key_Left);
}

// Clicks a line of a list (from 0), as with the mouse.
inline void ClickLine(QListWidget* list, int line, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(line)).center());
}

template <class Control>
Control* Find(const QWidget* within, const QString& name)
{
    auto* control = within->findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
}

template <class Button = QAbstractButton>
Button* FindButton(const QWidget* within, const QString& text)
{
    for (Button* button : within->findChildren<Button*>())
        if (ShownText(button->text()) == text) return button;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// The group box with this title.
inline QWidget* Group(const QWidget* page, const QString& title)
{
    for (QGroupBox* group : page->findChildren<QGroupBox*>())
        if (ShownText(group->title()) == title) return group;
    ADD_FAILURE() << "no group " << title.toStdString();
    return nullptr;
}

// The field a label names.
template <typename Field>
Field* Labelled(const QWidget* within, const QString& label)
{
    for (QLabel* candidate : within->findChildren<QLabel*>())
        if (ShownText(candidate->text()) == label)
            if (auto* field = qobject_cast<Field*>(candidate->buddy())) return field;
    ADD_FAILURE() << "no field labelled " << label.toStdString();
    return nullptr;
}

// What the controls show, in the order they were made, as one line: [edit], <list>,
// "box [x]", "radio (o)", slider positions, labels and the lines of a list, each followed by
// "(off)" when disabled. Labels that name a field are left out: the field says it all.
inline QString Snapshot(const QWidget* within)
{
    QStringList shown;
    for (const QWidget* control : within->findChildren<QWidget*>()) {
        QString text;
        if (auto* edit = qobject_cast<const QLineEdit*>(control))
            text = "[" + edit->text() + "]";
        else if (auto* list = qobject_cast<const QComboBox*>(control))
            text = "<" + list->currentText() + ">";
        else if (auto* box = qobject_cast<const QCheckBox*>(control))
            text = ShownText(box->text()) + (box->isChecked() ? " [x]" : " [ ]");
        else if (auto* radio = qobject_cast<const QRadioButton*>(control))
            text = ShownText(radio->text()) + (radio->isChecked() ? " (o)" : " ( )");
        else if (auto* slider = qobject_cast<const QSlider*>(control))
            text = QStringLiteral("slider %1").arg(slider->value());
        else if (auto* label = qobject_cast<const QLabel*>(control); label && !label->buddy())
            text = ShownText(label->text()).replace(u'\n', u' ');
        else if (auto* lines = qobject_cast<const QListWidget*>(control))
            for (int i = 0; i < lines->count(); ++i)
                text += (i ? " / " : "") + QString(lines->item(i)->isSelected() ? "> " : "") +
                        lines->item(i)->text();
        else
            continue;
        shown << text + (control->isEnabled() ? "" : " (off)");
    }
    return shown.join(" | ");
}

// A field of the packed record by value: the assertions take references, which must not
// point into it.
template <class T>
T Value(T field)
{
    return field;
}

inline UnitConfig DefaultRecord()
{
    UnitConfig config{};
    SetDefaults(config);
    return config;
}

// The offsets at which two records differ, so that a failure names the fields.
using Offsets = std::vector<std::size_t>;
inline Offsets Differences(const UnitConfig& a, const UnitConfig& b)
{
    const auto *x = reinterpret_cast<const char*>(&a), *y = reinterpret_cast<const char*>(&b);
    Offsets offsets;
    for (std::size_t i = 0; i < sizeof a; ++i)
        if (x[i] != y[i]) offsets.push_back(i);
    return offsets;
}

// A page on the factory record, shown as in the main window.
template <class Page>
class CPageTest : public testing::Test {
protected:
    CPageTest() { Remake(); }
    // A page has no reason to show a message in use.
    ~CPageTest() override { EXPECT_EQ(prompts.messages, QStringList()); }

    // A new page on the record, as at start: it remembers nothing of the last one.
    void Remake()
    {
        page = std::make_unique<Page>(&config);
        page->show();
    }
    // As the main window does when the page is entered and after a file was opened.
    void Reload() { page->LoadFromConfig(); }

    QComboBox* List(const QString& name) const { return Find<QComboBox>(page.get(), name); }
    QLineEdit* Edit(const QString& name) const { return Find<QLineEdit>(page.get(), name); }
    QCheckBox* Box(const QString& name) const { return Find<QCheckBox>(page.get(), name); }
    void PressButton(const QString& text) { Press(FindButton(page.get(), text)); }

    CScriptedPrompts prompts;
    UnitConfig config = DefaultRecord();
    std::unique_ptr<Page> page;
};

// A German desktop while it lives: Qt's default locale, and the C library's number format
// where the machine has that locale. Numbers on the pages must follow neither.
struct CGermanDesktop {
    CGermanDesktop() { Use(QLocale(QLocale::German, QLocale::Germany), "de_DE.UTF-8"); }
    ~CGermanDesktop() { Use(previous, previousNumeric.c_str()); }
    static void Use(const QLocale& locale, const char* numeric)
    {
        QLocale::setDefault(locale);
        std::setlocale(LC_NUMERIC, numeric);
    }
    const QLocale previous;
    const std::string previousNumeric = std::setlocale(LC_NUMERIC, nullptr);
};

// Works a "clear ... if [n] ... occur" row that starts cleared, showing `off`, and whose
// count the record holds at `stored`: the arrows are off with the box; ticked, the row offers
// 3; the count cannot be typed, and the arrows wrap 1 -> 20 and 20 -> 1; cleared and ticked
// again, the row offers the count it had.
inline void CheckClearCountRow(CClearCountRow* row, const QString& off,
                               const std::function<int()>& stored)
{
    // Each step: the box pressed (B), the up (^) or down (v) arrow key, or a 7 typed.
    const std::string steps = "^B7vvv^vvBB";
    const QStringList shown = {off, "3", "3", "2", "1", "20", "1", "20", "19", off, "19"};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i] == 'B')
            Press(row->Box());
        else
            QTest::keyClick(row->Field(), steps[i] == '^'   ? Qt::Key_Up
                                          : steps[i] == 'v' ? Qt::Key_Down
                                                            : Qt::Key_7);
        EXPECT_EQ(row->Field()->Text(), shown[i]) << i;
        EXPECT_EQ(stored(), shown[i].toInt()) << i;
    }
}

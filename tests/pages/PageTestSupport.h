// What a page test does with the controls: it uses them as a person at the keyboard would,
// so disabled controls refuse the input as they would refuse the person.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QSlider>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <clocale>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "pages/CountField.h"
#include "tests/gui/ScriptedPrompts.h"

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// The entries of a list, in order.
inline QStringList Entries(const QComboBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
}

// Picks an entry with the keys: Home, then Down until it is reached.
inline void Choose(QComboBox* list, const QString& text)
{
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString() << " is not offered";
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
}

// Replaces the field's text as typed.
inline void Type(QLineEdit* edit, const QString& text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) {
        // QTest names keys for ASCII only; other characters come as text, as from a keyboard
        // layout that has them.
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, static_cast<char>(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A button or a check box pressed with the space bar.
inline void Press(QAbstractButton* button)
{
    QTest::keyClick(button, Qt::Key_Space);
}

// Moves a slider with the arrow keys to a position; a slider that will not get there
// leaves it where it stopped.
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
Control* Find(const QWidget* page, const QString& name)
{
    auto* control = page->findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
}

template <class Button = QAbstractButton>
Button* FindButton(const QWidget* page, const QString& text)
{
    for (Button* button : page->findChildren<Button*>())
        if (button->text() == text) return button;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// A field of the packed record by value: the assertions take references, which must not
// point into it.
template <class T>
T Value(T field)
{
    return field;
}

template <class Record>
std::vector<unsigned char> Bytes(const Record& record)
{
    std::vector<unsigned char> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

// A page on the factory record, shown as in the main window.
template <class Page>
class CPageTest : public testing::Test {
protected:
    CPageTest()
    {
        SetDefaults(config);
        page = std::make_unique<Page>(&config);
        page->show();
    }
    // A page has no reason to show a message in use.
    ~CPageTest() override
    {
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    }

    // As the main window does when the page is entered and after a file was opened.
    void Reload() { page->LoadFromConfig(); }

    QComboBox* List(const QString& name) const { return Find<QComboBox>(page.get(), name); }
    QLineEdit* Edit(const QString& name) const { return Find<QLineEdit>(page.get(), name); }
    QCheckBox* Box(const QString& name) const { return Find<QCheckBox>(page.get(), name); }
    QString Label(const QString& name) const { return Find<QLabel>(page.get(), name)->text(); }
    void PressButton(const QString& text) { Press(FindButton(page.get(), text)); }

    CScriptedPrompts prompts;
    UnitConfig config{};
    std::unique_ptr<Page> page;
};

// A German desktop for the life of the object: Qt's default locale, and the C library's
// number format too where the machine has that locale. Numbers on the pages must not follow
// either.
class CGermanDesktop {
public:
    CGermanDesktop()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    ~CGermanDesktop()
    {
        QLocale::setDefault(previous);
        std::setlocale(LC_NUMERIC, previousNumeric.c_str());
    }
    CGermanDesktop(const CGermanDesktop&) = delete;
    CGermanDesktop& operator=(const CGermanDesktop&) = delete;

private:
    QLocale previous = QLocale();
    std::string previousNumeric = std::setlocale(LC_NUMERIC, nullptr);
};

inline UnitConfig DefaultRecord()
{
    UnitConfig config{};
    SetDefaults(config);
    return config;
}

// The offsets at which two records differ, so a failure names the fields.
inline std::vector<std::size_t> Differences(const UnitConfig& a, const UnitConfig& b)
{
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < sizeof(UnitConfig); ++i)
        if (x[i] != y[i]) offsets.push_back(i);
    return offsets;
}

// A name field of the record as its 12 bytes: what follows the NUL counts too.
inline std::vector<char> NameBytes(const char (&field)[12])
{
    return {field, field + 12};
}
inline std::vector<char> NameBytes(const char* text)
{
    std::vector<char> bytes(12, '\0');
    std::memcpy(bytes.data(), text, std::strlen(text));
    return bytes;
}

// The group box with this title, or the page itself for an empty title.
inline QWidget* Group(QWidget* page, const QString& title)
{
    if (title.isEmpty()) return page;
    for (QGroupBox* group : page->findChildren<QGroupBox*>())
        if (group->title() == title) return group;
    ADD_FAILURE() << "no group " << title.toStdString();
    return page;
}

// The field a label names.
template <typename Field>
Field* Labelled(QWidget* within, const QString& label)
{
    for (QLabel* candidate : within->findChildren<QLabel*>())
        if (candidate->text() == label)
            if (auto* field = qobject_cast<Field*>(candidate->buddy())) return field;
    ADD_FAILURE() << "no field labelled " << label.toStdString();
    return nullptr;
}

inline void ClickArrow(CCountField* field, bool up)
{
    QStyleOptionSpinBox option;
    option.initFrom(field);
    option.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField |
                         QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    option.buttonSymbols = QAbstractSpinBox::UpDownArrows;
    option.frame = true;
    const auto arrow = up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown;
    const QRect rect = field->style()->subControlRect(QStyle::CC_SpinBox, &option, arrow, field);
    QTest::mouseClick(field, Qt::LeftButton, {}, rect.center());
}

// The keyboard does what desktop users expect, and no stray key or number starts what cannot
// be taken back: pages turn with Ctrl+Tab and Ctrl+PgDown, every field label has its
// Alt+letter, Enter never starts a flash, and an output test drives only 4 to 20 mA.
#include <QApplication>
#include <QMenuBar>
#include <algorithm>
#include <map>

#include "tests/app/ProgramTestSupport.h"

namespace {

bool HasFocusWithin(const QWidget* widget)
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == widget || widget->isAncestorOf(focus));
}

// The key a text's '&' marks, pressed with Alt; empty without one.
QKeySequence MnemonicOf(const QString& text)
{
    return QKeySequence::mnemonic(text);
}

// Where a person's key goes: the widget with the focus.
void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key, modifiers);
}

}  // namespace

TEST_F(WholeProgram, CtrlTabAndCtrlPageKeysTurnThePagesFromAnywhereAndChangeNoList)
{
    const Shown before = EveryPageShows(window);
    const UnitConfig record = window.Config();
    GoTo(TabSite);
    Labelled<QComboBox>(Group(Page(TabSite), "Display Units"), "Flow Units:")->setFocus();

    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        ConfigTab then;
    } steps[] = {
        {Qt::Key_PageDown, ctrl, TabCommunication},
        {Qt::Key_PageDown, ctrl, TabAlarms},
        {Qt::Key_PageDown, ctrl, TabOutput},
        {Qt::Key_PageDown, ctrl, TabSmoothing},
        {Qt::Key_PageDown, ctrl, TabSite},
        {Qt::Key_PageUp, ctrl, TabSmoothing},
        {Qt::Key_PageUp, ctrl, TabOutput},
        {Qt::Key_Tab, ctrl, TabSmoothing},
        {Qt::Key_Backtab, ctrlShift, TabOutput},
        {Qt::Key_Tab, ctrlShift, TabAlarms},
        {Qt::Key_Tab, ctrl, TabOutput},
        {Qt::Key_PageUp, ctrl, TabAlarms},
    };
    for (const auto& step : steps) {
        PressKey(step.key, step.modifiers);
        EXPECT_EQ(window.TabControl()->currentIndex(), step.then) << "to tab " << step.then;
        EXPECT_TRUE(HasFocusWithin(Page(step.then))) << "to tab " << step.then;
    }
    EXPECT_EQ(Differences(window.Config(), record), Offsets{});
    EXPECT_EQ(EveryPageShows(window), before);
}

// Labels repeated in alike groups (the three instruments, the four ports, the four channels)
// share their letter, and Alt with it visits their fields in turn; no other label, and no
// menu, has that letter on the page.
TEST_F(WholeProgram, EveryFieldLabelHasAnAltLetterOfItsOwnOnItsPageThatReachesItsField)
{
    std::map<QString, QString> menuKeys;
    for (QAction* menu : window.findChild<QMenuBar*>()->actions())
        menuKeys[MnemonicOf(menu->text()).toString()] = menu->text();

    for (int tab = 0; tab < kTabCount; ++tab) {
        GoTo(ConfigTab(tab));
        QWidget* page = Page(ConfigTab(tab));
        std::map<QString, QString> keys = menuKeys;
        std::map<QString, std::vector<const QLabel*>> labelsOf;
        for (const QLabel* label : page->findChildren<QLabel*>()) {
            if (!label->buddy()) continue;
            const QString text = label->text(), key = MnemonicOf(text).toString();
            ASSERT_FALSE(key.isEmpty()) << "tab " << tab << ": " << text.toStdString();
            const auto [at, added] = keys.emplace(key, text);
            EXPECT_TRUE(added || at->second == text) << "tab " << tab << ": " << text.toStdString()
                                                     << " and " << at->second.toStdString();
            labelsOf[key].push_back(label);
        }

        for (const auto& [key, labels] : labelsOf) {
            std::vector<const QWidget*> reached;
            for (std::size_t press = 0; press < labels.size(); ++press) {
                const QKeySequence sequence(key);
                PressKey(sequence[0].key(), sequence[0].keyboardModifiers());
                reached.push_back(QApplication::focusWidget());
            }
            for (const QLabel* label : labels) {
                if (!label->buddy()->isEnabled()) continue;
                EXPECT_TRUE(std::ranges::any_of(reached,
                                                [&](const QWidget* focus) {
                                                    return focus == label->buddy() ||
                                                           label->buddy()->isAncestorOf(focus);
                                                }))
                    << "tab " << tab << ": " << label->text().toStdString();
            }
        }
    }
}

TEST_F(WholeProgram, EnterNeverStartsAFlashAndNoButtonIsTheDefault)
{
    const TempFile software(std::vector<std::uint8_t>(4096, 0xA5));
    prompts.fileAnswers = {QString::fromStdString(software.Path())};
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowDialog(dialog);
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        auto* flash = Find<QPushButton>(&dialog, "flashButton");
        for (const QPushButton* button : dialog.findChildren<QPushButton*>())
            EXPECT_FALSE(button->isDefault() || button->autoDefault())
                << button->text().toStdString();
        for (QWidget* control : {static_cast<QWidget*>(Find<QComboBox>(&dialog, "portList")),
                                 static_cast<QWidget*>(flash)}) {
            control->setFocus();
            PressKey(Qt::Key_Return, {});
            PressKey(Qt::Key_Enter, {});
            EXPECT_TRUE(flash->isEnabled()) << control->objectName().toStdString();
        }
        EXPECT_EQ(MnemonicOf(flash->text()), QKeySequence(Qt::ALT | Qt::Key_F));
        QTest::qWait(100);
        Press(Find<QPushButton>(&dialog, "exitButton"));
    };
    ChooseMenuItem(window, "&Flash Software");
    EXPECT_EQ(prompts.dialogs, QStringList{"Flash Software "});
    EXPECT_EQ(unit->Log().banners, 0);
}

TEST_F(WholeProgram, AnOutputTestRefusesWhatIsNotACurrentFrom4To20AndTakesATypedPort)
{
    const QStringList refused = {"25",    "-7",  "1e9", "3.99", "20.01", "abc",
                                 "12abc", "nan", "inf", "0x10", ""};
    QStringList shown;
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowDialog(dialog);
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        auto* value = Find<QLineEdit>(&dialog, "valueEdit");
        auto* test = Find<QPushButton>(&dialog, "testButton");
        const auto testWith = [&](const QString& typed, bool withEnter) {
            value->setFocus();
            Type(value, typed);
            withEnter ? PressKey(Qt::Key_Return, {}) : QTest::mouseClick(test, Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([&] { return test->isEnabled(); }));
            shown << value->text();
        };
        for (const QString& typed : refused)
            for (const bool withEnter : {false, true}) testWith(typed, withEnter);
        EXPECT_EQ(StatusOf(dialog), "Ready");

        // The port typed rather than chosen from the list.
        QComboBox* port = Find<QComboBox>(&dialog, "portList");
        Choose(port, port->itemText(2));
        port->setFocus();
        Type(port->lineEdit(), "COM 1");
        testWith("12.5", false);
        Press(Find<QPushButton>(&dialog, "exitButton"));
    };
    GoTo(TabOutput);
    Press(FindButton(Page(TabOutput), "Test Analog Outputs"));

    const QString refusal = "Error: The test current must be a number from 4 to 20 mA.";
    EXPECT_EQ(prompts.messages, QStringList(2 * refused.size(), refusal));
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{1, 1250}}));
    EXPECT_EQ(shown.mid(0, 4), (QStringList{"25", "25", "-7", "-7"})) << "what was typed stays";
}

// A port is chosen by typing its name, as on the command line, in every unit dialog.
TEST_F(WholeProgram, TypingAPortsNameInADialogChoosesThatPort)
{
    const QStringList typed = {"COM 1", "com1", "COM1"};
    const auto typeEach = [&](QDialog& dialog) {
        ShowDialog(dialog);
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        auto* port = Find<QComboBox>(&dialog, "portList");
        for (const QString& name : typed) {
            Choose(port, port->itemText(2));
            port->setFocus();
            QWidget* field = port->isEditable() ? static_cast<QWidget*>(port->lineEdit()) : port;
            if (port->isEditable()) QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(field, name);
            QTest::keyClick(field, Qt::Key_Tab);
            EXPECT_EQ(port->currentIndex(), 0) << name.toStdString();
            EXPECT_FALSE(port->view()->isVisible()) << name.toStdString();
        }
    };

    // Read and Flash: the unit is reached, and the flash is not started.
    prompts.dialogDriver = [&](QDialog& dialog) {
        typeEach(dialog);
        RunToEnd(dialog, statuses);
    };
    ChooseMenuItem(window, "&Read Configuration...");
    EXPECT_EQ(statuses.value(statuses.size() - 1), "Settings loaded successfully");
    const TempFile software(std::vector<std::uint8_t>(16, 0));
    prompts.fileAnswers = {QString::fromStdString(software.Path())};
    prompts.dialogDriver = [&](QDialog& dialog) {
        typeEach(dialog);
        Press(Find<QPushButton>(&dialog, "exitButton"));
    };
    ChooseMenuItem(window, "&Flash Software");

    // Test Analog Outputs: the unit is told.
    prompts.dialogDriver = [&](QDialog& dialog) {
        typeEach(dialog);
        auto* test = Find<QPushButton>(&dialog, "testButton");
        QTest::mouseClick(test, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return test->isEnabled(); }));
        Press(Find<QPushButton>(&dialog, "exitButton"));
    };
    GoTo(TabOutput);
    Press(FindButton(Page(TabOutput), "Test Analog Outputs"));
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{1, 400}}));
    EXPECT_EQ(prompts.messages, QStringList());
    EXPECT_EQ(prompts.dialogs, (QStringList{"Connect", "Flash Software ", "Test Analog Outputs"}));
}

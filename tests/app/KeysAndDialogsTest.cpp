// The keyboard does what desktop users expect, and no stray key or number starts what cannot
// be taken back: pages turn with Ctrl+Tab and Ctrl+PgDown, every field label has its
// Alt+letter, ports are typed by name, Enter never starts a flash, and an output test drives
// only 4 to 20 mA.
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

// A key as a person presses it: to the widget with the focus.
void PressKey(const QKeySequence& key)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key[0].key(), key[0].keyboardModifiers());
}

// Chooses COM 3 with the arrow keys, then types `name` into the port list, and leaves it.
void TypePort(QComboBox* port, const QString& name)
{
    Choose(port, port->itemText(2));
    port->setFocus();
    QWidget* field = port->isEditable() ? static_cast<QWidget*>(port->lineEdit()) : port;
    if (port->isEditable()) QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, name);
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_FALSE(port->view()->isVisible()) << name.toStdString();
}

}  // namespace

TEST_F(WholeProgram, CtrlTabAndCtrlPageKeysTurnThePagesFromAnywhereAndChangeNoList)
{
    const Shown before = EveryPageShows(window);
    const UnitConfig record = window.Config();
    GoTo(TabSite);
    Labelled<QComboBox>(Group(Page(TabSite), "Display Units"), "Flow Units:")->setFocus();
    // Entering a page focuses its first control: on the Output page a drop-down.
    const std::pair<const char*, ConfigTab> steps[] = {
        {"Ctrl+PgDown", TabCommunication}, {"Ctrl+PgDown", TabAlarms},
        {"Ctrl+PgDown", TabOutput},        {"Ctrl+PgDown", TabSmoothing},
        {"Ctrl+PgDown", TabSite},          {"Ctrl+PgUp", TabSmoothing},
        {"Ctrl+PgUp", TabOutput},          {"Ctrl+Tab", TabSmoothing},
        {"Ctrl+Shift+Backtab", TabOutput}, {"Ctrl+Shift+Tab", TabAlarms},
        {"Ctrl+Tab", TabOutput},           {"Ctrl+PgUp", TabAlarms}};
    for (const auto& [key, tab] : steps) {
        PressKey(QKeySequence(key));
        EXPECT_EQ(window.Tabs()->currentIndex(), tab) << key << " to tab " << tab;
        EXPECT_TRUE(HasFocusWithin(Page(tab))) << key << " to tab " << tab;
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
        menuKeys[QKeySequence::mnemonic(menu->text()).toString()] = menu->text();

    for (int tab = 0; tab < kTabCount; ++tab) {
        GoTo(ConfigTab(tab));
        std::map<QString, QString> keys = menuKeys;
        std::map<QString, std::vector<const QLabel*>> labelsOf;
        for (const QLabel* label : Page(ConfigTab(tab))->findChildren<QLabel*>()) {
            if (!label->buddy()) continue;
            const QString text = label->text(), key = QKeySequence::mnemonic(text).toString();
            ASSERT_FALSE(key.isEmpty()) << "tab " << tab << ": " << text.toStdString();
            const auto [at, added] = keys.emplace(key, text);
            EXPECT_TRUE(added || at->second == text) << "tab " << tab << ": " << text.toStdString()
                                                     << " and " << at->second.toStdString();
            labelsOf[key].push_back(label);
        }

        for (const auto& [key, labels] : labelsOf) {
            std::vector<const QWidget*> reached;
            for (std::size_t press = 0; press < labels.size(); ++press) {
                PressKey(QKeySequence(key));
                reached.push_back(QApplication::focusWidget());
            }
            for (const QLabel* label : labels) {
                const QWidget* field = label->buddy();
                EXPECT_TRUE(!field->isEnabled() ||
                            std::ranges::any_of(reached,
                                                [&](const QWidget* focus) {
                                                    return focus == field ||
                                                           field->isAncestorOf(focus);
                                                }))
                    << "tab " << tab << ": " << label->text().toStdString();
            }
        }
    }
}

TEST_F(WholeProgram, EnterNeverStartsAFlashAndAPortIsChosenByItsName)
{
    const TempFile software(std::vector<std::uint8_t>(4096, 0xA5));
    prompts.fileAnswers = {QString::fromStdString(software.Path())};
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowActive(dialog);
        auto* flash = Find<QPushButton>(&dialog, "flashButton");
        for (const QPushButton* button : dialog.findChildren<QPushButton*>())
            EXPECT_FALSE(button->isDefault() || button->autoDefault());
        for (QWidget* control : {static_cast<QWidget*>(Find<QComboBox>(&dialog, "portList")),
                                 static_cast<QWidget*>(flash)}) {
            control->setFocus();
            PressKey(Qt::Key_Return);
            PressKey(Qt::Key_Enter);
            EXPECT_TRUE(flash->isEnabled()) << control->objectName().toStdString();
        }
        EXPECT_EQ(QKeySequence::mnemonic(flash->text()), QKeySequence(Qt::ALT | Qt::Key_F));
        Press(Find<QPushButton>(&dialog, "exitButton"));
    };
    ChooseMenuItem(window, "&Flash Software");
    EXPECT_EQ(unit->Log().banners, 0);

    // A list that cannot be typed into: the blank in "COM 1" does not open it.
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowActive(dialog);
        for (const char* name : {"COM 1", "com1"}) {
            TypePort(Find<QComboBox>(&dialog, "portList"), name);
            EXPECT_EQ(Find<QComboBox>(&dialog, "portList")->currentIndex(), 0) << name;
        }
        RunToEnd(dialog, statuses);
    };
    ChooseMenuItem(window, "&Read Configuration...");
    EXPECT_EQ(statuses.value(statuses.size() - 1), "Settings loaded successfully");
    EXPECT_EQ(prompts.dialogs, (QStringList{"Flash Software ", "Connect"}));
}

TEST_F(WholeProgram, AnOutputTestRefusesWhatIsNotACurrentFrom4To20AndTakesATypedPort)
{
    const QStringList refused = {"25",    "-7",  "1e9", "3.99", "20.01", "abc",
                                 "12abc", "nan", "inf", "0x10", ""};
    QStringList shown;
    prompts.dialogDriver = [&](QDialog& dialog) {
        ShowActive(dialog);
        auto* value = Find<QLineEdit>(&dialog, "valueEdit");
        auto* test = Find<QPushButton>(&dialog, "testButton");
        const auto testWith = [&](const QString& typed, bool withEnter) {
            value->setFocus();
            Type(value, typed);
            withEnter ? PressKey(Qt::Key_Return) : QTest::mouseClick(test, Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([&] { return test->isEnabled(); }));
            shown << value->text();
        };
        for (const QString& typed : refused)
            for (const bool withEnter : {false, true}) testWith(typed, withEnter);
        EXPECT_EQ(StatusOf(dialog), "Ready");

        // A list that can be typed into: a port's name as well as its entry's text.
        for (const char* name : {"COM 1", "com1", "COM1"}) {
            TypePort(Find<QComboBox>(&dialog, "portList"), name);
            testWith("12.5", false);
        }
        Press(Find<QPushButton>(&dialog, "exitButton"));
    };
    GoTo(TabOutput);
    Press(FindButton(Page(TabOutput), "Test Analog Outputs"));

    const QString refusal = "Error: The test current must be a number from 4 to 20 mA.";
    EXPECT_EQ(prompts.messages, QStringList(2 * refused.size(), refusal));
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>(3, {1, 1250})));
    EXPECT_EQ(shown.mid(0, 4), (QStringList{"25", "25", "-7", "-7"})) << "what was typed stays";
}

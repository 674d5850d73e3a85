// The Test Analog Outputs dialog against the simulated unit.
#include <QApplication>
#include <QLineEdit>

#include "dialogs/TestOutputDlg.h"
#include "tests/dialogs/DialogTestSupport.h"

namespace {

class OutputTestDialog : public UnitDialogTest {
protected:
    // A dialog for a unit with `channels` analog outputs, shown and active so that focus
    // moves as it does for a user.
    std::unique_ptr<TestOutputDlg> Open(int channels = 4)
    {
        UnitConfig config = DefaultConfig();
        config.analogChannelCount = static_cast<std::uint16_t>(channels);
        auto dialog = std::make_unique<TestOutputDlg>(config, nullptr, FastTimings());
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        return dialog;
    }
    static QLineEdit* Value(QDialog& dialog) { return Child<QLineEdit>(dialog, "valueEdit"); }
    static QPushButton* TestButton(QDialog& dialog)
    {
        return Child<QPushButton>(dialog, "testButton");
    }
    static void Type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    // Types into a list the user can type into.
    static void Type(QComboBox* list, const QString& text) { Type(list->lineEdit(), text); }
};

TEST_F(OutputTestDialog, OffersTheUnitsChannelsAndKeepsTheValueWithinFourToTwenty)
{
    auto dialog = Open(2);
    EXPECT_EQ(dialog->windowTitle(), "Test Analog Outputs");
    EXPECT_EQ(Items(Child<QComboBox>(*dialog, "channelList")),
              (QStringList{"Channel 1", "Channel 2"}));
    EXPECT_EQ(Child<QComboBox>(*dialog, "baudList")->currentText(), "57600");
    EXPECT_EQ(StatusOf(*dialog), "Ready");
    EXPECT_EQ(Value(*dialog)->text(), "4.00");

    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {{"25", "20.00"},   {"abc", "4.00"}, {"3.999", "4.00"},
                 {"12.5", "12.50"}, {"", "4.00"},    {"19.999", "20.00"}};
    for (const auto& c : cases) {
        Type(Value(*dialog), c.typed);
        EXPECT_EQ(Value(*dialog)->text(), c.typed);
        Child<QComboBox>(*dialog, "channelList")->setFocus();  // leaving the field
        EXPECT_EQ(Value(*dialog)->text(), c.shown) << c.typed;
    }
}

TEST_F(OutputTestDialog, SendsTheCurrentAsTypedInHundredthsOfAMilliampere)
{
    auto dialog = Open();
    const struct {
        int channelPosition;
        const char* typed;
        bool withEnter;  // otherwise a click, which takes the focus from the field first
        std::pair<int, int> sent;
    } cases[] = {
        {1, "12.00", false, {2, 1200}},
        {0, "4.35", true, {1, 434}},  // 434.999... in binary, truncated
        {0, "20", false, {1, 2000}},
        {0, "25", true, {1, 2500}},   // Enter sends what was typed, unclamped
        {0, "25", false, {1, 2000}},  // a click leaves the field first
        {3, "3", false, {4, 400}},
    };
    std::vector<std::pair<int, int>> expected;
    for (const auto& c : cases) {
        Child<QComboBox>(*dialog, "channelList")->setCurrentIndex(c.channelPosition);
        Type(Value(*dialog), c.typed);
        if (c.withEnter)
            QTest::keyClick(Value(*dialog), Qt::Key_Return);
        else
            Click(TestButton(*dialog));
        EXPECT_FALSE(TestButton(*dialog)->isEnabled()) << c.typed;
        QTRY_VERIFY(TestButton(*dialog)->isEnabled());
        EXPECT_EQ(StatusOf(*dialog), "Ready");
        expected.push_back(c.sent);
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    EXPECT_EQ(unit->Log().outputTests, expected);
    EXPECT_EQ(unit->Log().banners, int(std::size(cases)));  // a fresh connection every time
}

TEST_F(OutputTestDialog, TellsTheStepsAndAUnitThatRefusesTheCommand)
{
    FaultLines("XO", SimLineFault::Kind::ErrorReply);
    auto dialog = Open();
    StatusLog status(*dialog);
    Click(TestButton(*dialog));
    QTRY_VERIFY(TestButton(*dialog)->isEnabled());
    EXPECT_EQ(status.Texts(), (QStringList{"Connecting...", "Sending XO Command"}));
    EXPECT_EQ(prompts.messages, QStringList{"Error: The command \"XO 1 400\" failed."});
    EXPECT_EQ(StatusOf(*dialog), "Ready");
}

TEST_F(OutputTestDialog, NothingGoesOutWithoutAChannelPortAndRateFromTheLists)
{
    const struct {
        int channels;
        const char* list;  // typed into, when set
        const char* typed;
        const char* message;
    } cases[] = {
        {0, nullptr, nullptr, "Error: This unit has no analog output channels to test."},
        {4, "channelList", "Channel 9", "Error: Choose a channel from the list."},
        {4, "baudList", "115200", "Error: Choose a baud rate from the list."},
        {4, "portList", "/dev/null", "Error: Choose a port from the list."},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        auto dialog = Open(c.channels);
        if (c.list) Type(Child<QComboBox>(*dialog, c.list), c.typed);
        Click(TestButton(*dialog));
        EXPECT_EQ(prompts.messages, QStringList{c.message});
        EXPECT_TRUE(TestButton(*dialog)->isEnabled());
        EXPECT_EQ(StatusOf(*dialog), "Ready");
    }
    EXPECT_EQ(unit->Log().banners, 0);
    EXPECT_TRUE(unit->Log().lines.empty());
}

}  // namespace

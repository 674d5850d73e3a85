// The Test Analog Outputs dialog against the simulated unit.
#include <QPushButton>
#include <tuple>

#include "dialogs/TestOutputDialog.h"
#include "tests/dialogs/DialogTestSupport.h"

namespace {

class TestOutputDialog : public UnitDialogTest {
protected:
    // For a unit with `channels` analog outputs; active, so that focus moves as for a user.
    void Open(int channels)
    {
        UnitConfig config = DefaultConfig();
        config.analogChannelCount = static_cast<std::uint16_t>(channels);
        dialog = std::make_unique<CTestOutputDialog>(config, nullptr, FastTimings());
        ShowActive(*dialog);
    }
    QComboBox* List(const char* name) const { return Find<QComboBox>(dialog.get(), name); }
    QLineEdit* Value() const { return Find<QLineEdit>(dialog.get(), "valueEdit"); }
    void TypeIn(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        Type(edit, text);
    }
    // With Enter in the value field, or with a click, which takes the focus from it first.
    void TestOutput(bool withEnter = false)
    {
        auto* button = Find<QPushButton>(dialog.get(), "testButton");
        withEnter ? QTest::keyClick(Value(), Qt::Key_Return)
                  : QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }));
    }

    std::unique_ptr<CTestOutputDialog> dialog;
};

}  // namespace

TEST_F(TestOutputDialog, ShowsACurrentWithTwoDecimalsAndSendsOnlyWhatTheListsOffer)
{
    Open(2);
    EXPECT_EQ(List("channelList")->count(), 2);
    EXPECT_EQ(Value()->text(), "4.00");
    // Leaving the field shows a current with two decimals; what is none stays for the refusal.
    const char* const values[][2] = {{"25", "25"}, {"abc", "abc"}, {"12.5", "12.50"}};
    for (const auto& [typed, shown] : values) {
        TypeIn(Value(), typed);
        List("channelList")->setFocus();
        EXPECT_EQ(Value()->text(), shown) << typed;
    }

    // The port is checked first, then the rate, then the channel.
    const char* const refusals[][3] = {
        {"channelList", "Channel 9", "Error: Choose a channel from the list."},
        {"baudList", "115200", "Error: Choose a baud rate from the list."},
        {"portList", "/dev/null", "Error: Choose a port from the list."}};
    for (const auto& [list, typed, message] : refusals) {
        TypeIn(List(list)->lineEdit(), typed);
        TestOutput();
        EXPECT_EQ(prompts.messages.takeLast(), message);
    }
    Open(0);
    TestOutput();
    EXPECT_EQ(prompts.messages,
              QStringList{"Error: This unit has no analog output channels to test."});
    EXPECT_EQ(unit->Log().banners, 0);
}

TEST_F(TestOutputDialog, SendsTheChannelAndTheCurrentAsTypedAndTellsARefusal)
{
    Open(4);
    const std::tuple<int, const char*, bool> cases[] = {
        {1, "12.00", false}, {0, "4.35", true}, {3, "20", false}};  // position, value, Enter
    for (const auto& [position, typed, withEnter] : cases) {
        List("channelList")->setCurrentIndex(position);
        TypeIn(Value(), typed);
        TestOutput(withEnter);
    }
    // Hundredths of a milliampere, truncated: 4.35 is 434.99... in binary.
    EXPECT_EQ(unit->Log().outputTests,
              (std::vector<std::pair<int, int>>{{2, 1200}, {1, 434}, {4, 2000}}));

    FaultLines("XO", SimLineFault::Kind::ErrorReply);
    QStringList statuses;
    LogStatus(*dialog, statuses);
    TestOutput();
    EXPECT_EQ(statuses, (QStringList{"Connecting...", "Sending XO Command"}));
    EXPECT_EQ(prompts.messages, QStringList{"Error: The command \"XO 4 2000\" failed."});
    EXPECT_EQ(StatusOf(*dialog), "Ready");
}

// Cancel while the unit is slow to take the command: "Cancelled", no message; the next
// press reaches the unit afresh.
TEST_F(TestOutputDialog, ATestStoppedByCancelSaysSoAndTheNextOneGoesThrough)
{
    HoldComUnit("line: XO");
    Open(4);
    auto* button = Find<QPushButton>(dialog.get(), "testButton");
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.load(); }));
    EXPECT_FALSE(List("channelList")->isEnabled());
    StopRun(*dialog, StopBy::CancelButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }));
    EXPECT_EQ(StatusOf(*dialog), "Cancelled");
    EXPECT_EQ(prompts.messages, QStringList{});
    EXPECT_TRUE(dialog->isVisible());

    Release();
    TestOutput();
    EXPECT_EQ(StatusOf(*dialog), "Ready");
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{1, 400}, {1, 400}}));
}

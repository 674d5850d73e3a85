// Edits are never lost without a question: every way out of the program, and every command
// that replaces the record, asks first while the record differs from the last one opened,
// saved or read; the title names the file and marks the changes.
#include <cstring>

#include "tests/app/ProgramTestSupport.h"

namespace {

using Choice = CUserPrompts::UnsavedChoice;

// The ways the record can be lost.
enum Leave { ExitItem, CtrlQ, CloseBox, EscapeOnTabs, Open, Read, Dropped };

QLineEdit* SiteName(const CMainWindow& in)
{
    return Labelled<QLineEdit>(PageOf(in, TabSite), "Site Name:");
}

}  // namespace

TEST_F(WholeProgram, EveryWayOutAndEveryReplacementAsksFirstWhileThereAreChanges)
{
    UnitConfig other = DefaultRecord();
    std::strcpy(other.siteName, "Other");
    WriteFile(Path("other.cfg"), ImageOf(other));
    UnitConfig inUnit = DefaultRecord();
    std::strcpy(inUnit.siteName, "InTheUnit");
    StartComUnit(inUnit);

    // No answer: nothing edited, so nothing is asked. An empty save path cancels the save.
    struct Answer {
        bool edited;
        std::vector<Choice> choices;
        QString savePath;
    };
    const Answer answers[] = {{false, {}, {}},
                              {true, {Choice::Cancel}, {}},
                              {true, {Choice::Discard}, {}},
                              {true, {Choice::Save}, "kept.cfg"},
                              {true, {Choice::Save}, ""}};
    const char* const replaced[] = {"", "", "", "", "Other", "InTheUnit", "Other"};
    for (const Leave leave : {ExitItem, CtrlQ, CloseBox, EscapeOnTabs, Open, Read, Dropped}) {
        for (const Answer& answer : answers) {
            const std::string what =
                "leave " + std::to_string(leave) + " answer " +
                std::to_string(answer.choices.empty() ? -1 : static_cast<int>(answer.choices[0]));
            // The question's Save cancelled leaves everything as Cancel does.
            const bool goesOn = answer.choices.empty() || answer.choices[0] == Choice::Discard ||
                                !answer.savePath.isEmpty();
            const bool ends = leave != Open && leave != Read && leave != Dropped;
            CMainWindow program;
            ShowActive(program);
            if (answer.edited) Type(SiteName(program), "Edited");
            prompts.unsavedQuestions = 0;
            prompts.unsavedAnswers = answer.choices;
            prompts.fileAnswers.clear();
            if (!answer.choices.empty() && answer.choices[0] == Choice::Save)
                prompts.fileAnswers << (answer.savePath.isEmpty() ? "" : Path("kept.cfg"));
            if (leave == Open && goesOn) prompts.fileAnswers << Path("other.cfg");
            QFile::remove(Path("kept.cfg"));

            switch (leave) {
                case ExitItem: ChooseMenuItem(program, "E&xit"); break;
                case CtrlQ: QTest::keyClick(&program, Qt::Key_Q, Qt::ControlModifier); break;
                case CloseBox: program.close(); break;
                case EscapeOnTabs:
                    program.Tabs()->tabBar()->setFocus();
                    QTest::keyClick(program.Tabs()->tabBar(), Qt::Key_Escape);
                    break;
                case Open: ChooseMenuItem(program, "&Open Configuration..."); break;
                case Read: RunConnect(program, "&Read Configuration..."); break;
                case Dropped: EXPECT_TRUE(DropFile(program, Path("other.cfg"))); break;
            }

            EXPECT_EQ(prompts.unsavedQuestions, answer.edited ? 1 : 0) << what;
            EXPECT_EQ(program.isVisible(), !(goesOn && ends)) << what;
            const QString name = goesOn && !ends ? QString(replaced[leave])
                                 : answer.edited ? "Edited"
                                                 : "NewSite";
            EXPECT_EQ(SiteName(program)->text(), name) << what;
            if (!answer.savePath.isEmpty()) {
                EXPECT_TRUE(ReadFile(Path("kept.cfg")).contains("Edited")) << what;
            }
            EXPECT_TRUE(prompts.fileAnswers.isEmpty()) << what;
        }
    }
}

TEST_F(WholeProgram, TheTitleNamesTheFileAndMarksChangesAndSaveOffersTheFile)
{
    const QString plain = "Weirlink  Configuration";
    EXPECT_EQ(ShownTitle(window), plain);
    Type(SiteName(window), "Edited");
    EXPECT_EQ(ShownTitle(window), plain) << "no marker before there is a file";

    SaveWithKeys(window, Path("site.cfg"));
    EXPECT_EQ(prompts.fileRequests.back().proposedPath, "");
    EXPECT_EQ(ShownTitle(window), "site.cfg - " + plain);
    Type(SiteName(window), "Changed");
    EXPECT_EQ(ShownTitle(window), "site.cfg* - " + plain);
    Type(SiteName(window), "Edited");
    EXPECT_EQ(ShownTitle(window), "site.cfg - " + plain) << "the record is as saved again";

    // A change on another page, seen without leaving it; Save offers the file it came from.
    WriteFile(Path("other.cfg"), ImageOf(DefaultRecord()));
    prompts.fileAnswers = {Path("other.cfg")};
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(ShownTitle(window), "other.cfg - " + plain);
    GoTo(TabOutput);
    Type(Find<QLineEdit>(Page(TabOutput), "channel2At20mA"), "7");
    EXPECT_EQ(ShownTitle(window), "other.cfg* - " + plain);
    SaveWithKeys(window, Path("other.cfg"));
    EXPECT_EQ(prompts.fileRequests.back().proposedPath, Path("other.cfg"));
    EXPECT_EQ(ShownTitle(window), "other.cfg - " + plain);

    // A configuration read from a unit is in no file; Save offers the folder.
    RunConnect(window, "&Read Configuration...");
    EXPECT_EQ(ShownTitle(window), plain);
    SaveWithKeys(window, "");
    EXPECT_EQ(prompts.fileRequests.back().proposedPath, folder.path());
    EXPECT_EQ(prompts.unsavedQuestions, 0);
}

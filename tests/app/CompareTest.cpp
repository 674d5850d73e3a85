// Comparing what the pages hold with a unit or a file: the differences as `weirlink diff`
// words them, and nothing in the window changed by looking.
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <cstring>

#include "tests/app/ProgramTestSupport.h"

namespace {

class Compare : public WholeProgram {
protected:
    // Chooses the menu item and works the Connect dialog to its end; returns the heading and
    // the lines of each comparison shown, copied from it with Ctrl+A, Ctrl+C.
    QStringList Choose(const char* item)
    {
        QStringList shown;
        prompts.dialogDriver = [&](QDialog& dialog) {
            if (dialog.windowTitle() == "Connect") {
                RunToEnd(dialog, statuses);
                if (dialog.isVisible()) Press(Find<QPushButton>(&dialog, "exitButton"));
                return;
            }
            ShowDialog(dialog);
            auto* lines = Find<QPlainTextEdit>(&dialog, "differences");
            QTest::keyClick(lines, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(lines, Qt::Key_C, Qt::ControlModifier);
            shown << dialog.windowTitle() + ": " + Find<QLabel>(&dialog, "heading")->text()
                  << QApplication::clipboard()->text();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        };
        ChooseMenuItem(window, item);
        prompts.dialogDriver = nullptr;
        return shown;
    }
    // The record, every page and the title with its marker for unsaved changes.
    auto State()
    {
        return std::tuple(ImageOf(window.Config()), EveryPageShows(window), ShownTitle(window));
    }
    void SiteName(const char* name)
    {
        Type(Labelled<QLineEdit>(Page(TabSite), "Site Name:"), name);
    }
};

}  // namespace

TEST_F(Compare, WithUnitListsWhatTheUnitHoldsOtherwiseAndChangesNothingEvenWhenTheReadFails)
{
    StartComUnit(window.Config());  // programmed from these very pages
    const QString heading =
        "Compare with Unit: The pages compared with the unit on COM 1 "
        "(simulated unit): each line shows the pages' value, then the unit's.";
    EXPECT_EQ(Choose("&Compare with Unit..."), (QStringList{heading, "No differences."}));

    // Edits in a window with a file, so that the title carries the marker; the unit holds
    // another name, and a range of its own.
    WriteFile(Path("site.cfg"), ImageOf(window.Config()));
    prompts.fileAnswers = {Path("site.cfg")};
    ChooseMenuItem(window, "&Open Configuration...");
    SiteName("Lowmill");
    UnitConfig inUnit = window.Config();
    std::strcpy(inUnit.siteName, "Elsewhere");
    inUnit.analogChannel[0].at20mA = inUnit.analogChannel[0].at20mA * 2;
    StartComUnit(inUnit);
    const auto before = State();
    EXPECT_EQ(Choose("&Compare with Unit..."),
              (QStringList{heading,
                           "Site / Site Name: Lowmill \u2192 Elsewhere\n"
                           "Output / Channel 1 / 20mA: 100 MGD \u2192 200 MGD"}));
    EXPECT_EQ(unit->Log().lines, (std::vector<std::string>{"OK", "PS"})) << "only a read";

    // Nothing answers on the port; the unit's image arrives damaged.
    SimFaults silent, damaged;
    silent.silent = true;
    damaged.image = SimImageFault::BadChecksum;
    for (const SimFaults& faults : {silent, damaged}) {
        unit->SetFaults(faults);
        EXPECT_EQ(Choose("&Compare with Unit..."), QStringList{});
    }
    EXPECT_EQ(prompts.messages,
              (QStringList{"Error: Failed to enter command mode, check connection",
                           "Error: Validity check (CRC) failed, may be corrupt"}));
    EXPECT_EQ(State(), before);
    EXPECT_EQ(std::get<2>(before), "site.cfg* - Weirlink  Configuration");
    SaveWithKeys(window, Path("site.cfg"));
    EXPECT_EQ(ReadFile(Path("site.cfg")), std::get<0>(before));
}

TEST_F(Compare, WithFileOffersTheOpenFilterAndRefusesWhatOpenRefuses)
{
    SiteName("Lowmill");
    const auto before = State();
    // What Open cannot read gives Open's message, and no comparison; asking about the
    // changes is left to Open.
    WriteFile(Path("damaged.cfg"), ImageOf(window.Config()).chopped(1));
    for (const char* name : {"missing.cfg", "damaged.cfg", ""}) {
        const QString path = *name ? Path(name) : QString();  // "": the choice cancelled
        prompts.fileAnswers = {path, path};
        EXPECT_EQ(Choose("&Compare with File..."), QStringList{}) << name;
        prompts.unsavedAnswers = {CUserPrompts::UnsavedChoice::Discard};
        ChooseMenuItem(window, "&Open Configuration...");
        EXPECT_EQ(prompts.fileRequests.end()[-2].filter, prompts.fileRequests.back().filter);
    }
    ASSERT_EQ(prompts.messages.size(), 4);
    EXPECT_EQ(prompts.messages[0], prompts.messages[1]);
    EXPECT_EQ(prompts.messages[2], prompts.messages[3]);
    EXPECT_EQ(State(), before);

    WriteFile(Path("before.cfg"), ImageOf(DefaultRecord()));
    prompts.fileAnswers = {Path("before.cfg")};
    EXPECT_EQ(
        Choose("&Compare with File..."),
        (QStringList{"Compare with File: The pages compared with the file before.cfg: each "
                     "line shows the pages' value, then the file's.",
                     "Site / Site Name: Lowmill \u2192 NewSite\n"
                     "Site / Area Units: Square Inches (in\u00B2) \u2192 Square Feet (ft\u00B2)"}));
    EXPECT_EQ(State(), before);
}

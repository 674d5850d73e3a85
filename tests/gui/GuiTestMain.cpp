// main() of every widget test: GoogleTest runs the cases inside one QApplication.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "dialogs/SerialChoice.h"

namespace {

// Every case starts with nothing remembered, as on a fresh machine: what one case's dialogs
// remembered must not choose the next case's port.
class CForgetSettings : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { ProgramSettings()->clear(); }
};

}  // namespace

int main(int argc, char** argv)
{
    // Widget tests need no display; a run by hand behaves like the one under ctest.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    // Listing the cases (ctest does it before every run) needs no application.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    // The settings go to a folder of the run's own, never to the user's.
    const QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    testing::UnitTest::GetInstance()->listeners().Append(new CForgetSettings);
    return RUN_ALL_TESTS();
}

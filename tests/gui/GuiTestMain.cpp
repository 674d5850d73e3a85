// main() of every widget test: GoogleTest runs the cases inside one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    // Widget tests need no display; a run by hand behaves like the one under ctest.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    // Listing the cases (ctest does it before every run) needs no application.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

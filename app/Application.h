#pragma once

#include <QApplication>
#include <optional>

class CApplication : public QApplication {
    Q_OBJECT

public:
    CApplication(int& argc, char** argv);

    // --help and --version, answered on stdout before any application object exists, so
    // that they need no display. Returns the exit status when one of them was asked for.
    static std::optional<int> AnswerHelpOrVersion(int argc, char** argv);

    // The configuration file the command line names (a file manager passes the one
    // double-clicked); empty when it names none.
    static QString FileArgument(const QStringList& arguments);

    // Shows the main window and returns the exit status once it has closed.
    int Run();
};

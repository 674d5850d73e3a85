#include "app/Application.h"

#include <QCommandLineParser>
#include <cstdio>

#include "app/MainWindow.h"
#include "app/ProgramIcon.h"
#include "config/Version.h"

namespace {

// The installed program, its desktop entry and its icon share this name.
const QString kDesktopName = QStringLiteral("weirlink-config");

}  // namespace

std::optional<int> CApplication::AnswerHelpOrVersion(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Configures a Weirlink data hub over a serial line: edits its whole "
           "configuration, keeps it in .cfg files, reads it from a unit and "
           "programs a unit with it, flashes unit software and tests analog "
           "outputs."));
    // Qt's own options ("-style fusion", "-reverse") belong to QApplication. Read as long
    // options they are merely unknown here; read as bundled letters, "-reverse" would ask
    // for the version.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  tr("Print this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     tr("Print the program's version and exit."));
    parser.addOptions({help, version});
    // What the parser does not know is QApplication's business, not an error.
    parser.parse(arguments);

    if (parser.isSet(help)) {
        // The usage line names the program as it was called, which Qt takes from the
        // application object; a core one needs no display.
        QCoreApplication core(argc, argv);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", kDesktopName.toLocal8Bit().constData(), kProgramVersion);
        return 0;
    }
    return std::nullopt;
}

CApplication::CApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name ties the windows to the installed desktop entry and its icon. No display
    // name: Qt would append it to every window title.
    setApplicationName(kDesktopName);
    setApplicationVersion(QString::fromLatin1(kProgramVersion));
    setDesktopFileName(kDesktopName);
    setWindowIcon(ProgramIcon());
}

int CApplication::Run()
{
    CMainWindow mainWindow;
    connect(&mainWindow, &QDialog::finished, this, &QCoreApplication::quit);
    mainWindow.show();
    return exec();
}

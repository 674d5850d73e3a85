#include "app/Application.h"

#include <QCommandLineParser>
#include <cstdio>

#include "app/MainWindow.h"
#include "app/ProgramIcon.h"
#include "config/Version.h"

namespace {

// The installed program, its desktop entry and its icon share this name.
const QString kDesktopName = QStringLiteral("weirlink-config");

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            CApplication::tr("Print this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               CApplication::tr("Print the program's version and exit.")};

    explicit CommandLine(const QStringList& arguments);
};

CommandLine::CommandLine(const QStringList& arguments)
{
    parser.setApplicationDescription(
        CApplication::tr("Configures a Weirlink data hub over a serial line: edits its whole "
                         "configuration, keeps it in .cfg files, reads it from a unit and "
                         "programs a unit with it, flashes unit software and tests analog "
                         "outputs."));
    // Qt's own options ("-style fusion", "-reverse") belong to QApplication. Read as long
    // options they are merely unknown here; read as bundled letters, "-reverse" would ask
    // for the version.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({help, version});
    parser.addPositionalArgument(
        QStringLiteral("FILE.cfg"),
        CApplication::tr("A configuration file to open at start, with the same checks and "
                         "messages as Open Configuration."),
        QStringLiteral("[FILE.cfg]"));
    // What the parser does not know is QApplication's business, not an error.
    parser.parse(arguments);
}

}  // namespace

std::optional<int> CApplication::AnswerHelpOrVersion(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line(arguments);
    const QCommandLineParser& parser = line.parser;

    if (parser.isSet(line.help)) {
        // The usage line names the program as it was called, which Qt takes from the
        // application object; a core one needs no display.
        QCoreApplication core(argc, argv);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(line.version)) {
        std::printf("%s %s\n", kDesktopName.toLocal8Bit().constData(), kProgramVersion);
        return 0;
    }
    return std::nullopt;
}

QString CApplication::FileArgument(const QStringList& arguments)
{
    const QStringList files = CommandLine(arguments).parser.positionalArguments();
    return files.isEmpty() ? QString() : files.constFirst();
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
    if (const QString file = FileArgument(arguments()); !file.isEmpty())
        mainWindow.OpenConfigFile(file);
    return exec();
}

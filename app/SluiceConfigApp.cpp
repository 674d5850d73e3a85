#include "app/SluiceConfigApp.h"

#include "app/ProgramIcon.h"
#include "app/SluiceConfigDlg.h"
#include "config/Version.h"

namespace {

// The installed program, its desktop entry and its icon share this name.
const QString kDesktopName = QStringLiteral("weirlink-config");

}  // namespace

CSluiceConfigApp::CSluiceConfigApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name ties the windows to the installed desktop entry and its icon. No display
    // name: Qt would append it to every window title.
    setApplicationName(kDesktopName);
    setApplicationVersion(QString::fromLatin1(kProgramVersion));
    setDesktopFileName(kDesktopName);
    setWindowIcon(ProgramIcon());
}

int CSluiceConfigApp::Run()
{
    CSluiceConfigDlg mainWindow;
    connect(&mainWindow, &QDialog::finished, this, &QCoreApplication::quit);
    mainWindow.show();
    return exec();
}

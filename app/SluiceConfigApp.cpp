#include "app/SluiceConfigApp.h"

#include "app/ProgramIcon.h"
#include "app/SluiceConfigDlg.h"
#include "config/Version.h"

CSluiceConfigApp::CSluiceConfigApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name ties the windows to the installed desktop entry and its icon. No display
    // name: Qt would append it to every window title.
    setApplicationName(QStringLiteral("weirlink-config"));
    setApplicationVersion(QString::fromLatin1(kProgramVersion));
    setDesktopFileName(QStringLiteral("weirlink-config"));
    setWindowIcon(ProgramIcon());
}

int CSluiceConfigApp::Run()
{
    CSluiceConfigDlg mainWindow;
    connect(&mainWindow, &QDialog::finished, this, &QCoreApplication::quit);
    mainWindow.show();
    return exec();
}

// Draws the main window on each of its tabs and each unit dialog into PNG files, without a
// display: weirlink_screenshots <folder>. A simulated unit is started for the run, so the
// port lists show what a technician trying the program sees.
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "app/SluiceConfigDlg.h"
#include "dialogs/ConnectDlg.h"
#include "dialogs/FirmwareDownloadDlg.h"
#include "dialogs/TestOutputDlg.h"
#include "sim/SimUnit.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const QString& name)
{
    window.show();
    QApplication::processEvents();
    // No text cursor in the picture: it blinks, and the picture would change from run to run.
    if (QWidget* focus = window.focusWidget()) focus->clearFocus();
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    // Maximum compression: the pictures live in the repository.
    const bool saved = window.grab().toImage().save(path, "PNG", 0);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    window.hide();
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: weirlink_screenshots FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) return 1;

    // The unit is announced in a folder of this run only, so it is COM 1 whatever else runs.
    QTemporaryDir runtime;
    ::setenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()).constData(), 1);
    CSimUnit unit;
    if (!unit.Start() || unit.Announce().empty()) {
        std::fprintf(stderr, "weirlink_screenshots: cannot start a simulated unit\n");
        return 1;
    }

    bool saved = true;
    CSluiceConfigDlg window;
    const char* const tabNames[kTabCount] = {"site", "communication", "alarms", "output",
                                             "smoothing"};
    for (int tab = 0; tab < kTabCount; ++tab) {
        window.TabControl()->setCurrentIndex(tab);
        saved &= Save(window, folder, QStringLiteral("main-") + QString::fromLatin1(tabNames[tab]));
    }

    UnitConfig config = window.Config();
    CConnectDlg read(&config, /*readMode=*/true);
    saved &= Save(read, folder, QStringLiteral("connect-read"));
    CConnectDlg send(&config, /*readMode=*/false);
    saved &= Save(send, folder, QStringLiteral("connect-send"));
    CFirmwareDownloadDlg flash(QStringLiteral("/home/technician/hub-2.14.bin"));
    saved &= Save(flash, folder, QStringLiteral("flash-software"));
    TestOutputDlg test(config);
    saved &= Save(test, folder, QStringLiteral("test-analog-outputs"));
    return saved ? 0 : 1;
}

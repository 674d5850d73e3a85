// Draws the main window on each of its tabs, each unit dialog and a comparison into PNG files:
// QT_QPA_PLATFORM=offscreen weirlink_screenshots <folder>. A simulated unit is started for
// the run, so the port lists show what a technician trying the program sees.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "app/MainWindow.h"
#include "dialogs/CompareDialog.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/FlashDialog.h"
#include "dialogs/TestOutputDialog.h"
#include "sim/SimUnit.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argc == 2 ? argv[1] : ""));
    if (argc != 2 || !folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "usage: weirlink_screenshots FOLDER\n");
        return 2;
    }
    // The unit is announced in a folder of this run only, so it is COM 1 whatever else runs.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    CSimUnit unit;
    if (!unit.Start() || unit.Announce().empty()) {
        std::fprintf(stderr, "weirlink_screenshots: cannot start a simulated unit\n");
        return 1;
    }

    bool saved = true;
    const auto save = [&](QWidget& window, const QString& name) {
        window.show();
        QApplication::processEvents();
        // No text cursor in the picture: it blinks, and the picture would change run to run.
        if (QWidget* focus = window.focusWidget()) focus->clearFocus();
        const QString path = folder.filePath(name + QStringLiteral(".png"));
        // Maximum compression: the pictures live in the repository.
        const bool written = window.grab().toImage().save(path, "PNG", 0);
        std::printf("%s %s\n", written ? "wrote" : "could not write", qPrintable(path));
        saved = saved && written;
        window.hide();
    };
    CMainWindow window;
    for (int tab = 0; tab < kTabCount; ++tab) {
        window.Tabs()->setCurrentIndex(tab);
        save(window, "main-" + window.Tabs()->tabText(tab).toLower());
    }
    UnitConfig config = window.Config();
    CConnectDialog read(&config, /*readMode=*/true);
    save(read, "connect-read");
    CConnectDialog send(&config, /*readMode=*/false);
    save(send, "connect-send");
    CFlashDialog flash(QStringLiteral("/home/technician/hub-2.14.bin"));
    save(flash, "flash-software");
    CTestOutputDialog test(config);
    save(test, "test-analog-outputs");
    // A unit that was given another name and range since.
    UnitConfig inUnit = config;
    std::strcpy(inUnit.siteName, "Elsewhere");
    inUnit.analogChannel[0].at20mA = inUnit.analogChannel[0].at20mA * 2;
    CCompareDialog compare(ComparedWith::Unit, read.PortName(), CompareSettings(config, inUnit));
    save(compare, "compare-unit");
    return saved ? 0 : 1;
}

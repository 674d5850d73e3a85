#include "app/MainWindow.h"

#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cstring>
#include <string>

#include "app/AboutBox.h"
#include "app/ProgramIcon.h"
#include "config/ConfigFile.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/FlashDialog.h"
#include "dialogs/TestOutputDialog.h"
#include "dialogs/UserPrompts.h"
#include "pages/ConfigPage.h"
#include "pages/OutputPage.h"

namespace {

const char kWindowTitle[] = QT_TRANSLATE_NOOP("CMainWindow", "Weirlink  Configuration");
const char kConfigFileFilter[] = QT_TRANSLATE_NOOP("CMainWindow", "Configuration Files (*.cfg)");
const QString kConfigFileSuffix = QStringLiteral("cfg");
const char kSoftwareFileFilter[] =
    QT_TRANSLATE_NOOP("CMainWindow", "Weirlink Software Files (*.bin)");
const char kOpenCaption[] = QT_TRANSLATE_NOOP("CMainWindow", "Open");
const char kSaveCaption[] = QT_TRANSLATE_NOOP("CMainWindow", "Save As");

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The one local file a drag carries; empty for anything else (several files, text, a link to
// a web page).
QString DraggedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

CMainWindow::CMainWindow(const PageFactory& makePage, QWidget* parent) : QDialog(parent)
{
    // A main window rather than a dialog box: it has a taskbar entry and can be minimised,
    // but its size is fixed by the pages.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());

    // The pages load themselves from the record while they are made.
    SetDefaults(config);
    tabs = new CPageTabs(&config, makePage);
    connect(tabs, &CPageTabs::Edited, this, &CMainWindow::UpdateTitle);
    // Tests may give the window pages of their own.
    if (auto* output = qobject_cast<COutputPage*>(tabs->Page(TabOutput)))
        connect(output, &COutputPage::TestOutputsRequested, this,
                &CMainWindow::RunTestOutputDialog);
    RecordLoaded({});

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setMenuBar(CreateMenus());
    layout->addWidget(tabs);
    setAcceptDrops(true);
}

QMenuBar* CMainWindow::CreateMenus()
{
    auto* bar = new QMenuBar(this);
    auto add = [this](QMenu* menu, const QString& text, void (CMainWindow::*handler)(),
                      const QKeySequence& key = {}) {
        QAction* action = menu->addAction(text, this, handler);
        action->setShortcut(key);
    };

    QMenu* file = bar->addMenu(tr("&File"));
    add(file, tr("&Open Configuration..."), &CMainWindow::OnFileOpen, QKeySequence::Open);
    add(file, tr("&Save Configuration..."), &CMainWindow::OnFileSave, QKeySequence::Save);
    add(file, tr("&Compare with File..."), &CMainWindow::OnCompareWithFile);
    file->addSeparator();
    add(file, tr("E&xit"), &CMainWindow::reject, QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* program = bar->addMenu(tr("&Program"));
    add(program, tr("&Send Configuration..."), &CMainWindow::OnSendConfiguration);
    add(program, tr("&Read Configuration..."), &CMainWindow::OnReadConfiguration);
    add(program, tr("&Compare with Unit..."), &CMainWindow::OnCompareWithUnit);

    QMenu* software = bar->addMenu(tr("&Software"));
    add(software, tr("&Flash Software"), &CMainWindow::OnFlashSoftware);

    QMenu* help = bar->addMenu(tr("&Help"));
    add(help, tr("&About Weirlink Config..."), &CMainWindow::OnAbout);
    return bar;
}

void CMainWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter must not act on the window; Escape closes it through QDialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event)
{
    const QString path = DraggedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // The program the file came from waits until the drop has been taken; the questions and
    // messages of opening come after that.
    QTimer::singleShot(0, this, [this, path] { OpenConfigFile(path); });
}

void CMainWindow::reject()
{
    if (MayReplaceRecord()) QDialog::reject();
}

void CMainWindow::OnFileOpen()
{
    if (!MayReplaceRecord()) return;
    const QString path =
        UserPrompts().ChooseOpenFile(this, tr(kOpenCaption), tr(kConfigFileFilter));
    if (!path.isEmpty()) LoadFile(path);
}

void CMainWindow::OpenConfigFile(const QString& path)
{
    if (MayReplaceRecord()) LoadFile(path);
}

void CMainWindow::LoadFile(const QString& path)
{
    // No store first: on success every page shows the file, on failure every page
    // keeps what it shows, unsaved edits included.
    if (!ReadFileInto(config, path)) return;
    tabs->ReloadPages();
    RecordLoaded(path);
}

bool CMainWindow::ReadFileInto(UnitConfig& record, const QString& path)
{
    std::string errorText;
    if (LoadConfigFile(record, LocalPath(path), errorText)) return true;
    UserPrompts().ShowMessage(this, QString::fromLocal8Bit(errorText));
    return false;
}

void CMainWindow::OnFileSave()
{
    SaveConfiguration();
}

bool CMainWindow::SaveConfiguration()
{
    tabs->StorePages();
    UpdateTitle();
    const QString proposed = currentFile.isEmpty() ? currentFolder : currentFile;
    const QString path = UserPrompts().ChooseSaveFile(this, tr(kSaveCaption), tr(kConfigFileFilter),
                                                      kConfigFileSuffix, proposed);
    if (path.isEmpty()) return false;
    std::string errorText;
    if (!SaveConfigFile(config, LocalPath(path), errorText)) {
        UserPrompts().ShowMessage(this, QString::fromLocal8Bit(errorText));
        return false;
    }
    SetUnchanged(path);
    return true;
}

bool CMainWindow::MayReplaceRecord()
{
    if (!HasUnsavedChanges()) return true;
    switch (UserPrompts().AskToSaveChanges(this)) {
        case CUserPrompts::UnsavedChoice::Save: return SaveConfiguration();
        case CUserPrompts::UnsavedChoice::Discard: return true;
        case CUserPrompts::UnsavedChoice::Cancel: break;
    }
    return false;
}

void CMainWindow::RecordLoaded(const QString& file)
{
    // A store applies the pages' own rules, such as the area unit that goes with the flow
    // unit; without it the first store after a load would count as a change.
    tabs->StorePages();
    SetUnchanged(file);
}

void CMainWindow::SetUnchanged(const QString& file)
{
    unchangedConfig = config;
    currentFile = file;
    if (!file.isEmpty()) currentFolder = QFileInfo(file).absolutePath();
    UpdateTitle();
}

bool CMainWindow::HasUnsavedChanges() const
{
    // The record always holds what the pages show: the page shown stores every change the
    // user makes, and a page stores when it is left.
    return std::memcmp(&config, &unchangedConfig, sizeof config) != 0;
}

void CMainWindow::UpdateTitle()
{
    // Qt shows "[*]" as its marker while the window is modified, and as nothing otherwise.
    if (currentFile.isEmpty()) {
        setWindowTitle(tr(kWindowTitle));
        setWindowModified(false);
        return;
    }
    setWindowTitle(tr("%1[*] - %2").arg(QFileInfo(currentFile).fileName(), tr(kWindowTitle)));
    setWindowModified(HasUnsavedChanges());
}

void CMainWindow::OnSendConfiguration()
{
    tabs->StorePages();
    UpdateTitle();
    // These two pages convert what was typed to base units on storing; showing it again
    // tells the user what the unit will get.
    tabs->Page(TabOutput)->LoadFromConfig();
    tabs->Page(TabSmoothing)->LoadFromConfig();
    RunSendDialog();
}

void CMainWindow::OnReadConfiguration()
{
    if (!MayReplaceRecord()) return;
    // A failed read leaves the record as it was, so edits still on a page stay valid. A
    // configuration read is in no file until it is saved.
    if (RunReadDialog(config)) {
        tabs->ReloadPages();
        RecordLoaded({});
    }
}

void CMainWindow::OnCompareWithFile()
{
    const QString path = UserPrompts().ChooseOpenFile(
        this, CCompareDialog::Title(ComparedWith::File), tr(kConfigFileFilter));
    UnitConfig file{};
    if (path.isEmpty() || !ReadFileInto(file, path)) return;
    ShowComparison(ComparedWith::File, QFileInfo(path).fileName(), file);
}

void CMainWindow::OnCompareWithUnit()
{
    // No question about unsaved changes: nothing is replaced.
    UnitConfig unit = config;
    QString port;
    if (!RunReadDialog(unit, &port)) return;
    ShowComparison(ComparedWith::Unit, port, unit);
}

void CMainWindow::ShowComparison(ComparedWith other, const QString& name, const UnitConfig& record)
{
    // The record holds what the pages show: each edit is stored as it is made.
    CCompareDialog dialog(other, name, CompareSettings(config, record), this);
    UserPrompts().RunDialog(dialog);
}

void CMainWindow::OnFlashSoftware()
{
    const QString path =
        UserPrompts().ChooseOpenFile(this, tr(kOpenCaption), tr(kSoftwareFileFilter));
    if (!path.isEmpty()) RunFlashDialog(path);
}

void CMainWindow::OnAbout()
{
    CAboutBox(this).exec();
}

void CMainWindow::RunSendDialog()
{
    CConnectDialog dialog(&config, /*readMode=*/false, this);
    UserPrompts().RunDialog(dialog);
}

bool CMainWindow::RunReadDialog(UnitConfig& into, QString* port)
{
    CConnectDialog dialog(&into, /*readMode=*/true, this);
    UserPrompts().RunDialog(dialog);
    if (port != nullptr) *port = dialog.PortName();
    return dialog.ReadSucceeded();
}

void CMainWindow::RunFlashDialog(const QString& softwarePath)
{
    // Not tied to the main window: the record plays no part in a flash.
    CFlashDialog dialog(softwarePath);
    UserPrompts().RunDialog(dialog);
}

void CMainWindow::RunTestOutputDialog()
{
    // Centred on the main window; the dialog reads only the record's channel count.
    CTestOutputDialog dialog(config, this);
    UserPrompts().RunDialog(dialog);
}

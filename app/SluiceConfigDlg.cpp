#include "app/SluiceConfigDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QVBoxLayout>
#include <cstring>
#include <string>

#include "app/AboutDlg.h"
#include "app/ProgramIcon.h"
#include "config/ConfigFile.h"
#include "dialogs/ConnectDialog.h"
#include "dialogs/FlashDialog.h"
#include "dialogs/UserPrompts.h"
#include "pages/ConfigPage.h"

namespace {

const QString kWindowTitle = QStringLiteral("Weirlink  Configuration");
const QString kConfigFileFilter = QStringLiteral("Configuration Files (*.cfg)|*.cfg||");
const QString kConfigFileSuffix = QStringLiteral("cfg");
const QString kSoftwareFileFilter = QStringLiteral("Weirlink Software Files (*.bin)|*.bin||");
const QString kOpenCaption = QStringLiteral("Open");
const QString kSaveCaption = QStringLiteral("Save As");

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CSluiceConfigDlg::CSluiceConfigDlg(const PageFactory& makePage, QWidget* parent) : QDialog(parent)
{
    // A main window rather than a dialog box: it has a taskbar entry and can be minimised,
    // but its size is fixed by the pages.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());

    // The pages load themselves from the record while they are made.
    SetDefaults(config);
    tabs = new CMyTabCtrl(&config, makePage);
    connect(tabs, &CMyTabCtrl::Edited, this, &CSluiceConfigDlg::UpdateTitle);
    RecordLoaded({});

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setMenuBar(CreateMenus());
    layout->addWidget(tabs);
}

QMenuBar* CSluiceConfigDlg::CreateMenus()
{
    auto* bar = new QMenuBar(this);
    auto add = [this](QMenu* menu, const char* text, void (CSluiceConfigDlg::*handler)(),
                      const QKeySequence& key = {}) {
        QAction* action = menu->addAction(QString::fromLatin1(text), this, handler);
        action->setShortcut(key);
    };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    add(file, "&Open Configuration...", &CSluiceConfigDlg::OnFileOpen, QKeySequence::Open);
    add(file, "&Save Configuration...", &CSluiceConfigDlg::OnFileSave, QKeySequence::Save);
    file->addSeparator();
    add(file, "E&xit", &CSluiceConfigDlg::reject, QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* program = bar->addMenu(QStringLiteral("&Program"));
    add(program, "&Send Configuration...", &CSluiceConfigDlg::OnSendConfiguration);
    add(program, "&Read Configuration...", &CSluiceConfigDlg::OnReadConfiguration);

    QMenu* software = bar->addMenu(QStringLiteral("&Software"));
    add(software, "&Flash Software", &CSluiceConfigDlg::OnFlashSoftware);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    add(help, "&About Weirlink Config...", &CSluiceConfigDlg::OnAbout);
    return bar;
}

void CSluiceConfigDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter must not act on the window; Escape closes it through QDialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSluiceConfigDlg::reject()
{
    if (MayReplaceRecord()) QDialog::reject();
}

void CSluiceConfigDlg::OnFileOpen()
{
    if (!MayReplaceRecord()) return;
    // No store first: on success every page shows the file, on failure every page
    // keeps what it shows, unsaved edits included.
    const QString path = UserPrompts().ChooseOpenFile(this, kOpenCaption, kConfigFileFilter);
    if (path.isEmpty()) return;
    std::string errorText;
    if (!LoadConfigFile(config, LocalPath(path), errorText)) {
        UserPrompts().ShowMessage(this, QString::fromLocal8Bit(errorText));
        return;
    }
    tabs->ReloadPages();
    RecordLoaded(path);
}

void CSluiceConfigDlg::OnFileSave()
{
    SaveConfiguration();
}

bool CSluiceConfigDlg::SaveConfiguration()
{
    tabs->StorePages();
    UpdateTitle();
    const QString proposed = currentFile.isEmpty() ? currentFolder : currentFile;
    const QString path = UserPrompts().ChooseSaveFile(this, kSaveCaption, kConfigFileFilter,
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

bool CSluiceConfigDlg::MayReplaceRecord()
{
    if (!HasUnsavedChanges()) return true;
    switch (UserPrompts().AskToSaveChanges(this)) {
        case CUserPrompts::UnsavedChoice::Save: return SaveConfiguration();
        case CUserPrompts::UnsavedChoice::Discard: return true;
        case CUserPrompts::UnsavedChoice::Cancel: break;
    }
    return false;
}

void CSluiceConfigDlg::RecordLoaded(const QString& file)
{
    // A store applies the pages' own rules, such as the area unit that goes with the flow
    // unit; without it the first store after a load would count as a change.
    tabs->StorePages();
    SetUnchanged(file);
}

void CSluiceConfigDlg::SetUnchanged(const QString& file)
{
    unchangedConfig = config;
    currentFile = file;
    if (!file.isEmpty()) currentFolder = QFileInfo(file).absolutePath();
    UpdateTitle();
}

bool CSluiceConfigDlg::HasUnsavedChanges() const
{
    // The record always holds what the pages show: the page shown stores every change the
    // user makes, and a page stores when it is left.
    return std::memcmp(&config, &unchangedConfig, sizeof config) != 0;
}

void CSluiceConfigDlg::UpdateTitle()
{
    // Qt shows "[*]" as its marker while the window is modified, and as nothing otherwise.
    if (currentFile.isEmpty()) {
        setWindowTitle(kWindowTitle);
        setWindowModified(false);
        return;
    }
    setWindowTitle(QFileInfo(currentFile).fileName() + QStringLiteral("[*] - ") + kWindowTitle);
    setWindowModified(HasUnsavedChanges());
}

void CSluiceConfigDlg::OnSendConfiguration()
{
    tabs->StorePages();
    UpdateTitle();
    // These two pages convert what was typed to base units on storing; showing it again
    // tells the user what the unit will get.
    tabs->Page(TabOutput)->LoadFromConfig();
    tabs->Page(TabSmoothing)->LoadFromConfig();
    RunSendDialog();
}

void CSluiceConfigDlg::OnReadConfiguration()
{
    if (!MayReplaceRecord()) return;
    // A failed read leaves the record as it was, so edits still on a page stay valid. A
    // configuration read is in no file until it is saved.
    if (RunReadDialog()) {
        tabs->ReloadPages();
        RecordLoaded({});
    }
}

void CSluiceConfigDlg::OnFlashSoftware()
{
    const QString path = UserPrompts().ChooseOpenFile(this, kOpenCaption, kSoftwareFileFilter);
    if (!path.isEmpty()) RunFlashDialog(path);
}

void CSluiceConfigDlg::OnAbout()
{
    CAboutDlg(this).exec();
}

void CSluiceConfigDlg::RunSendDialog()
{
    CConnectDialog dialog(&config, /*readMode=*/false, this);
    UserPrompts().RunDialog(dialog);
}

bool CSluiceConfigDlg::RunReadDialog()
{
    CConnectDialog dialog(&config, /*readMode=*/true, this);
    UserPrompts().RunDialog(dialog);
    return dialog.ReadSucceeded();
}

void CSluiceConfigDlg::RunFlashDialog(const QString& softwarePath)
{
    // Not tied to the main window: the record plays no part in a flash.
    CFlashDialog dialog(softwarePath);
    UserPrompts().RunDialog(dialog);
}

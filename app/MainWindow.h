// The main window: it owns the one configuration record for the program's whole life,
// hosts the pages and carries the file and unit commands.
#pragma once

#include <QDialog>

#include "app/PageTabs.h"
#include "config/UnitConfig.h"
#include "dialogs/CompareDialog.h"

class QMenuBar;

class CMainWindow : public QDialog {
    Q_OBJECT

public:
    // Starts from the factory defaults; the pages come from makePage.
    explicit CMainWindow(const PageFactory& makePage = MakeConfigPage, QWidget* parent = nullptr);

    const UnitConfig& Config() const { return config; }
    CPageTabs* Tabs() const { return tabs; }

    // Opens a configuration file as "Open Configuration..." does once the file is chosen,
    // asking first about unsaved changes: for a file given at start or dropped on the window.
    void OpenConfigFile(const QString& path);

    // Exit, Ctrl+Q, the close box and Escape all end here: the window closes once changes
    // that were not saved have been saved or given up.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QMenuBar* CreateMenus();

    void OnFileOpen();
    // Loads the file into the record and the pages, or tells why not and changes nothing.
    void LoadFile(const QString& path);
    // Reads the file into `record`, or tells why not and leaves `record` as it was.
    bool ReadFileInto(UnitConfig& record, const QString& path);
    void OnFileSave();
    // "Save Configuration...": true once the record is in the file the user chose.
    bool SaveConfiguration();
    // Asks what to do with changes that were not saved; true when they may go.
    bool MayReplaceRecord();
    // A whole record was loaded into the pages (at start, from `file`, or from a unit, with
    // `file` empty): the pages store it at once, and it is the record that has no changes.
    void RecordLoaded(const QString& file);
    // The record as it stands is in `file` (empty: in none), and has no changes.
    void SetUnchanged(const QString& file);
    bool HasUnsavedChanges() const;
    // The title names the file the record is in, with Qt's marker for unsaved changes.
    void UpdateTitle();
    void OnSendConfiguration();
    void OnReadConfiguration();
    // The two comparisons read a record of their own: the pages and the record, and with them
    // whether there are unsaved changes, stay as they are.
    void OnCompareWithFile();
    void OnCompareWithUnit();
    // How `record`, read from the file or through the port `name`, differs from what the
    // pages hold.
    void ShowComparison(ComparedWith other, const QString& name, const UnitConfig& record);
    void OnFlashSoftware();
    void OnAbout();

    // Where the unit dialogs open: the Connect dialog in send or read mode, the Flash
    // Software dialog for the chosen file, and the Test Analog Outputs dialog the Output page
    // asks for. RunReadDialog answers whether a configuration was read into `into`, and names
    // the port it came through.
    void RunSendDialog();
    bool RunReadDialog(UnitConfig& into, QString* port = nullptr);
    void RunFlashDialog(const QString& softwarePath);
    void RunTestOutputDialog();

    UnitConfig config{};
    CPageTabs* tabs = nullptr;

    // The record as last opened, saved or read, or as at start.
    UnitConfig unchangedConfig{};
    // The file the record was last opened from or saved to; empty before the first and after
    // a read. Save offers it, or failing that the folder of the last file.
    QString currentFile;
    QString currentFolder;
};

// The main window: it owns the one configuration record for the program's whole life,
// hosts the pages and carries the file and unit commands.
#pragma once

#include <QDialog>

#include "app/MyTabCtrl.h"
#include "config/UnitConfig.h"

class QMenuBar;

class CSluiceConfigDlg : public QDialog {
    Q_OBJECT

public:
    // Starts from the factory defaults; the pages come from makePage.
    explicit CSluiceConfigDlg(const PageFactory& makePage = MakeConfigPage,
                              QWidget* parent = nullptr);

    const UnitConfig& Config() const { return config; }
    CMyTabCtrl* TabControl() const { return tabs; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QMenuBar* CreateMenus();

    void OnFileOpen();
    void OnFileSave();
    void OnSendConfiguration();
    void OnReadConfiguration();
    void OnFlashSoftware();
    void OnAbout();

    // Where the unit dialogs open: the Connect dialog in send or read mode, and the Flash
    // Software dialog for the chosen file. RunReadDialog answers whether a configuration
    // was read into the record.
    void RunSendDialog();
    bool RunReadDialog();
    void RunFlashDialog(const QString& softwarePath);

    UnitConfig config{};
    CMyTabCtrl* tabs = nullptr;
};

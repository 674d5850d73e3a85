// What the main window tests share: pages that log every load and store and show one text
// field of the record; menu items and tabs chosen as the user does; the files it reads.
#pragma once

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>
#include <sstream>

#include "app/MainWindow.h"
#include "app/PageTabs.h"
#include "config/ConfigImage.h"
#include "pages/ConfigPage.h"
#include "tests/pages/PageTestSupport.h"

using Log = std::vector<std::string>;

class CFakePage final : public CConfigPage {
public:
    CFakePage(UnitConfig* config, ConfigTab tab, Log& log)
        : CConfigPage(config), name(kNames[tab]), field(FieldOf(config, tab)), log(log)
    {
        (new QVBoxLayout(this))->addWidget(edit);
        LoadFromConfig();
    }
    void LoadFromConfig() override
    {
        log.push_back("load " + name);
        edit->setText(QString::fromLatin1(field));
    }
    // The real Alarms page has nothing to store; this one logs it if it is ever asked.
    void StoreToConfig() override
    {
        log.push_back("store " + name);
        std::strncpy(field, edit->text().toLatin1().left(kNameLength).constData(), kNameLength + 1);
    }

    QLineEdit* edit = new QLineEdit(this);

private:
    static constexpr const char* kNames[] = {"Site", "Communication", "Alarms", "Output",
                                             "Smoothing"};
    static constexpr int kNameLength = 11;
    static char* FieldOf(UnitConfig* config, ConfigTab tab)
    {
        if (tab == TabSite) return config->siteName;
        if (tab == TabCommunication) return config->modemInitString;
        return config->instrumentName[tab - TabAlarms];
    }

    std::string name;
    char* field;  // a text field, at least a name long: bytes may be pointed at in the record
    Log& log;
};

// A main window made with this factory gets fake pages that write to log.
inline PageFactory FakePages(Log& log)
{
    return [&log](ConfigTab tab, UnitConfig* config) { return new CFakePage(config, tab, log); };
}

// Chooses a menu item of the main window as the user would, by its text.
inline void ChooseMenuItem(CMainWindow& window, const QString& text)
{
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == text) return action->trigger();
    ADD_FAILURE() << "no menu item " << text.toStdString();
}

// Drags files onto the window and drops them, as a file manager does (no files: a drag of
// some text); true when the window took the drop. What the drop started has run by the time
// this returns.
inline bool DropFile(QWidget& window, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    if (urls.isEmpty())
        data.setText(QStringLiteral("not a file"));
    else
        data.setUrls(urls);
    const QPoint centre = window.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(&window, &drop);
    QTest::qWait(20);
    return drop.isAccepted();
}
inline bool DropFile(QWidget& window, const QString& path)
{
    return DropFile(window, QStringList{path});
}

// Selects a tab as the user does, with the mouse.
inline void ClickTab(CPageTabs* tabs, int index)
{
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// The bytes of a .cfg file that holds the record.
inline QByteArray ImageOf(const UnitConfig& config)
{
    std::ostringstream out;
    WriteConfigImage(config, out);
    return QByteArray::fromStdString(out.str());
}

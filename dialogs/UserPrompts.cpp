#include "dialogs/UserPrompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// Title of the program's message boxes.
constexpr char kMessageTitle[] = QT_TRANSLATE_NOOP("CUserPrompts", "Weirlink Config");
// Asked before changes that were not saved would be lost.
constexpr char kUnsavedChangesText[] = QT_TRANSLATE_NOOP(
    "CUserPrompts",
    "The configuration has changes that were not saved.\nDo you want to save them?");

QString Translated(const char* text)
{
    return QCoreApplication::translate("CUserPrompts", text);
}

class CDesktopPrompts final : public CUserPrompts {
public:
    void ShowMessage(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::Warning, Translated(kMessageTitle), text, QMessageBox::Ok,
                        parent);
        box.exec();
    }

    QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter) override
    {
        QFileDialog dialog(parent, caption, QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return Run(dialog);
    }

    QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter,
                           const QString& defaultSuffix, const QString& proposedPath) override
    {
        QFileDialog dialog(parent, caption, proposedPath, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix);
        return Run(dialog);
    }

    UnsavedChoice AskToSaveChanges(QWidget* parent) override
    {
        QMessageBox box(QMessageBox::Warning, Translated(kMessageTitle),
                        Translated(kUnsavedChangesText),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
        box.setDefaultButton(QMessageBox::Save);
        switch (box.exec()) {
            case QMessageBox::Save: return UnsavedChoice::Save;
            case QMessageBox::Discard: return UnsavedChoice::Discard;
            default: return UnsavedChoice::Cancel;
        }
    }

    void RunDialog(QDialog& dialog) override { dialog.exec(); }

private:
    static QString Run(QFileDialog& dialog)
    {
        // The platform's own dialogs add the default suffix only after their overwrite
        // check, so "site" could silently replace an existing "site.cfg". Qt's dialog
        // applies the suffix first and then asks.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (dialog.exec() != QDialog::Accepted) return {};
        return dialog.selectedFiles().value(0);
    }
};

CDesktopPrompts desktopPrompts;
CUserPrompts* installedPrompts = nullptr;

}  // namespace

CUserPrompts& UserPrompts()
{
    return installedPrompts ? *installedPrompts : desktopPrompts;
}

CUserPrompts* InstallUserPrompts(CUserPrompts* prompts)
{
    CUserPrompts* previous = installedPrompts;
    installedPrompts = prompts;
    return previous;
}

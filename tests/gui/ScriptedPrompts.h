// Answers the program's message boxes and file dialogs from a script, and lets the test work
// the program's own dialogs, so a widget test runs a command to its end without a modal loop.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "dialogs/UserPrompts.h"

class CScriptedPrompts final : public CUserPrompts {
public:
    struct FileRequest {
        bool save;
        QString caption;
        QString filter;
        QString defaultSuffix;
    };

    // In force from construction to destruction.
    CScriptedPrompts();
    ~CScriptedPrompts() override;
    CScriptedPrompts(const CScriptedPrompts&) = delete;
    CScriptedPrompts& operator=(const CScriptedPrompts&) = delete;

    // The answers of the next file dialogs, first first; an empty string cancels. A file
    // dialog with no answer left fails the test and is cancelled.
    QStringList fileAnswers;

    // Takes the place of a dialog's modal loop: shows the dialog, works it as a user would
    // and returns once it has closed. Without a driver a dialog is only noted.
    std::function<void(QDialog& dialog)> dialogDriver;

    // What the program showed and asked, in order; dialogs by their titles.
    QStringList messages;
    std::vector<FileRequest> fileRequests;
    QStringList dialogs;

    void ShowMessage(QWidget* parent, const QString& text) override;
    QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter) override;
    QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter,
                           const QString& defaultSuffix) override;
    void RunDialog(QDialog& dialog) override;

private:
    QString NextFileAnswer();

    CUserPrompts* previous;
};

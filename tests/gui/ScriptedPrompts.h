// Answers the program's message boxes and file dialogs from a script, and lets the test work
// the program's own dialogs, so a widget test runs a command to its end without a modal loop.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
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
        QString proposedPath;
    };

    // In force from construction to destruction.
    CScriptedPrompts() : previous(InstallUserPrompts(this)) {}
    ~CScriptedPrompts() override { InstallUserPrompts(previous); }
    CScriptedPrompts(const CScriptedPrompts&) = delete;
    CScriptedPrompts& operator=(const CScriptedPrompts&) = delete;

    // The answers of the next file dialogs, first first; an empty string cancels. A file
    // dialog with no answer left fails the test and is cancelled.
    QStringList fileAnswers;
    // The answers to the next questions about unsaved changes, first first. A question with no
    // answer left fails the test and is cancelled.
    std::vector<UnsavedChoice> unsavedAnswers;
    // Takes the place of a dialog's modal loop: shows the dialog, works it as a user would
    // and returns once it has closed. Without a driver a dialog is only noted.
    std::function<void(QDialog& dialog)> dialogDriver;

    // What the program showed and asked, in order; dialogs by their titles.
    QStringList messages;
    int unsavedQuestions = 0;
    std::vector<FileRequest> fileRequests;
    QStringList dialogs;

    void ShowMessage(QWidget*, const QString& text) override { messages << text; }
    QString ChooseOpenFile(QWidget*, const QString& caption, const QString& filter) override
    {
        fileRequests.push_back({false, caption, filter, QString(), QString()});
        return NextFileAnswer();
    }
    QString ChooseSaveFile(QWidget*, const QString& caption, const QString& filter,
                           const QString& defaultSuffix, const QString& proposedPath) override
    {
        fileRequests.push_back({true, caption, filter, defaultSuffix, proposedPath});
        return NextFileAnswer();
    }
    UnsavedChoice AskToSaveChanges(QWidget*) override
    {
        ++unsavedQuestions;
        if (unsavedAnswers.empty()) {
            ADD_FAILURE()
                << "the program asked about unsaved changes, which the test did not expect";
            return UnsavedChoice::Cancel;
        }
        const UnsavedChoice answer = unsavedAnswers.front();
        unsavedAnswers.erase(unsavedAnswers.begin());
        return answer;
    }
    void RunDialog(QDialog& dialog) override
    {
        dialogs << dialog.windowTitle();
        if (dialogDriver) dialogDriver(dialog);
    }

private:
    QString NextFileAnswer()
    {
        if (!fileAnswers.isEmpty()) return fileAnswers.takeFirst();
        ADD_FAILURE() << "a file dialog was opened that the test did not expect";
        return {};
    }

    CUserPrompts* previous;
};

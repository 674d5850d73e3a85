// Every message box, every file dialog and every modal run of one of the program's own
// dialogs goes through CUserPrompts, so that tests can answer or drive them directly instead
// of running a nested modal loop.
#pragma once

#include <QString>

class QDialog;
class QWidget;

class CUserPrompts {
public:
    // The answers to the question about changes that were not saved.
    enum class UnsavedChoice { Save, Discard, Cancel };

    virtual ~CUserPrompts() = default;

    // A message box with an OK button only; returns when the user has confirmed it.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;

    // File dialogs take a Qt name filter, "Description (*.ext)". They return the chosen file's
    // path, or an empty string when the user cancels.
    virtual QString ChooseOpenFile(QWidget* parent, const QString& caption,
                                   const QString& filter) = 0;
    // Asks before an existing file is replaced; a name typed without an extension gets
    // defaultSuffix. The dialog opens on proposedPath: a file to offer, or just a folder.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter,
                                   const QString& defaultSuffix, const QString& proposedPath) = 0;

    // Whether to save the configuration's changes before they would be lost, with the
    // standard Save, Discard and Cancel buttons.
    virtual UnsavedChoice AskToSaveChanges(QWidget* parent) = 0;

    // Runs one of the program's dialogs modally and returns once it has closed.
    virtual void RunDialog(QDialog& dialog) = 0;
};

// The prompts in force: the message boxes and file dialogs of the desktop, unless a test
// installed its own.
CUserPrompts& UserPrompts();

// Puts prompts in force (nullptr: the desktop's own again) and returns the previous ones,
// nullptr when those were the desktop's. The caller keeps ownership.
CUserPrompts* InstallUserPrompts(CUserPrompts* prompts);

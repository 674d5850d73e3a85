#include "tests/gui/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QDialog>

CScriptedPrompts::CScriptedPrompts() : previous(InstallUserPrompts(this)) {}

CScriptedPrompts::~CScriptedPrompts()
{
    InstallUserPrompts(previous);
}

void CScriptedPrompts::ShowMessage(QWidget*, const QString& text)
{
    messages << text;
}

QString CScriptedPrompts::ChooseOpenFile(QWidget*, const QString& caption, const QString& filter)
{
    fileRequests.push_back({false, caption, filter, QString()});
    return NextFileAnswer();
}

QString CScriptedPrompts::ChooseSaveFile(QWidget*, const QString& caption, const QString& filter,
                                         const QString& defaultSuffix)
{
    fileRequests.push_back({true, caption, filter, defaultSuffix});
    return NextFileAnswer();
}

void CScriptedPrompts::RunDialog(QDialog& dialog)
{
    dialogs << dialog.windowTitle();
    if (dialogDriver) dialogDriver(dialog);
}

QString CScriptedPrompts::NextFileAnswer()
{
    if (fileAnswers.isEmpty()) {
        ADD_FAILURE() << "a file dialog was opened that the test did not expect";
        return {};
    }
    return fileAnswers.takeFirst();
}

#include "support/scriptedprompts.h"

#include <gtest/gtest.h>

QMessageBox::StandardButton ScriptedPrompts::Message(const MessageSpec& spec)
{
    Messages.push_back(spec);
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected message box: " << spec.Caption.toStdString() << ": "
                      << spec.Text.toStdString();
        return QMessageBox::Cancel;
    }
    const auto answer = Answers.front();
    Answers.pop_front();
    return answer;
}

QString ScriptedPrompts::OpenFileName(const FileDialogSpec& spec)
{
    OpenDialogs.push_back(spec);
    if (OpenAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return {};
    }
    const QString answer = OpenAnswers.front();
    OpenAnswers.pop_front();
    return answer;
}

QString ScriptedPrompts::SaveFileName(const FileDialogSpec& spec)
{
    SaveDialogs.push_back(spec);
    if (SaveAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return {};
    }
    const QString answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
}

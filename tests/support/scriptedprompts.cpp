#include "support/scriptedprompts.h"

#include <gtest/gtest.h>

QMessageBox::StandardButton ScriptedPrompts::Message(const MessageSpec& request)
{
    Messages.push_back(request);
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected message box: " << request.Caption.toStdString() << ": "
                      << request.Text.toStdString();
        return QMessageBox::Cancel;
    }
    const auto answer = Answers.front();
    Answers.pop_front();
    return answer;
}

QString ScriptedPrompts::OpenFileName(const FileDialogSpec& request)
{
    OpenDialogs.push_back(request);
    if (OpenAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return {};
    }
    const QString answer = OpenAnswers.front();
    OpenAnswers.pop_front();
    return answer;
}

QString ScriptedPrompts::SaveFileName(const FileDialogSpec& request)
{
    SaveDialogs.push_back(request);
    if (SaveAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return {};
    }
    const QString answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
}

std::optional<int> ScriptedPrompts::Number(const NumberSpec& request)
{
    NumberRequests.push_back(request);
    if (NumberAnswers.empty()) {
        ADD_FAILURE() << "unexpected number input: " << request.Caption.toStdString();
        return std::nullopt;
    }
    const auto answer = NumberAnswers.front();
    NumberAnswers.pop_front();
    return answer;
}

#pragma once

#include <deque>
#include <vector>

#include "dialogs/prompts.h"

// Answers the program's questions from a script and keeps what was asked. A question without
// a scripted answer fails the running test and is answered with Cancel.
class ScriptedPrompts final : public Prompts
{
public:
    QMessageBox::StandardButton Message(const MessageSpec& request) override;
    QString OpenFileName(const FileDialogSpec& request) override;
    QString SaveFileName(const FileDialogSpec& request) override;
    std::optional<int> Number(const NumberSpec& request) override;

    std::deque<QMessageBox::StandardButton> Answers;
    std::deque<QString> OpenAnswers; // empty string: the user cancels
    std::deque<QString> SaveAnswers;
    std::deque<std::optional<int>> NumberAnswers; // empty: the user cancels

    std::vector<MessageSpec> Messages;
    std::vector<FileDialogSpec> OpenDialogs;
    std::vector<FileDialogSpec> SaveDialogs;
    std::vector<NumberSpec> NumberRequests;
};

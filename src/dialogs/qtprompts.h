#pragma once

#include <memory>

#include <QStringList>

#include "dialogs/prompts.h"

class QFileDialog;
class QInputDialog;

// The prompts as the user sees them: Qt's message boxes and Qt's own file dialogs, so that
// their buttons and texts follow the German translation on every desktop.
class QtPrompts final : public Prompts
{
public:
    QMessageBox::StandardButton Message(const MessageSpec& request) override;
    QString OpenFileName(const FileDialogSpec& request) override;
    QString SaveFileName(const FileDialogSpec& request) override;
    std::optional<int> Number(const NumberSpec& request) override;

    static std::unique_ptr<QMessageBox> MakeMessageBox(const MessageSpec& request);
    static QStringList QtNameFilters(const std::vector<FileFilter>& filters);
    // A save dialog tells the user through refusals why it does not take a name.
    static std::unique_ptr<QFileDialog> MakeFileDialog(const FileDialogSpec& request, bool save,
                                                       Prompts& refusals);
    static std::unique_ptr<QInputDialog> MakeNumberDialog(const NumberSpec& request);
};

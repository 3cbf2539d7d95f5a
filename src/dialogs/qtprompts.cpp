#include "dialogs/qtprompts.h"

#include <QFileDialog>
#include <QFileInfo>

std::unique_ptr<QMessageBox> QtPrompts::MakeMessageBox(const MessageSpec& request)
{
    auto box = std::make_unique<QMessageBox>(request.Icon, request.Caption, request.Text,
                                             request.Buttons, request.Owner);
    if (request.Buttons.testFlag(QMessageBox::Cancel))
        box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

QMessageBox::StandardButton QtPrompts::Message(const MessageSpec& request)
{
    const auto box = MakeMessageBox(request);
    box->exec();
    const auto pressed = box->standardButton(box->clickedButton());
    return pressed == QMessageBox::NoButton ? QMessageBox::Cancel : pressed;
}

QStringList QtPrompts::QtNameFilters(const std::vector<FileFilter>& filters)
{
    QStringList result;
    for (const FileFilter& filter : filters) {
        // "*.*" lists every file only where names always carry a dot.
        const QString pattern =
            filter.Pattern == QLatin1String("*.*") ? QStringLiteral("*") : filter.Pattern;
        const QString shown = QStringLiteral("(%1)").arg(filter.Pattern);
        result << (filter.Label.endsWith(shown) && pattern == filter.Pattern
                       ? filter.Label
                       : QStringLiteral("%1 (%2)").arg(filter.Label, pattern));
    }
    return result;
}

std::unique_ptr<QFileDialog> QtPrompts::MakeFileDialog(const FileDialogSpec& request, bool save)
{
    auto dialog = std::make_unique<QFileDialog>(request.Owner);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setNameFilters(QtNameFilters(request.Filters));
    dialog->setDefaultSuffix(request.DefaultSuffix);
    if (!request.FileName.isEmpty())
        dialog->selectFile(request.FileName);
    return dialog;
}

QString QtPrompts::OpenFileName(const FileDialogSpec& request)
{
    const auto dialog = MakeFileDialog(request, false);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

QString QtPrompts::SaveFileName(const FileDialogSpec& request)
{
    FileDialogSpec next = request;
    for (;;) {
        const auto dialog = MakeFileDialog(next, true);
        if (dialog->exec() != QDialog::Accepted)
            return {};
        const QString chosen = dialog->selectedFiles().value(0);
        const QFileInfo info(chosen);
        if (!info.exists() || info.isWritable())
            return chosen;
        Message({QStringLiteral("%1\nDie Datei ist schreibgeschützt. Bitte einen anderen Namen "
                                "wählen.")
                     .arg(chosen),
                 QStringLiteral("Speichern unter"), QMessageBox::Ok, QMessageBox::Warning,
                 request.Owner});
        next.FileName = chosen;
    }
}

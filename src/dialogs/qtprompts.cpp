#include "dialogs/qtprompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QScreen>

namespace {

// Why a save dialog does not take the chosen name, empty when it does. A folder is left to the
// dialog, which opens it.
QString SaveRefusal(const QString& chosen)
{
    const QFileInfo info(chosen);
    if (info.isDir())
        return {};
    if (!info.absoluteDir().exists())
        return QStringLiteral("Der Ordner existiert nicht. Bitte einen vorhandenen Ordner wählen.");
    if (info.exists() && !info.isWritable())
        return QStringLiteral("Die Datei ist schreibgeschützt. Bitte einen anderen Namen wählen.");
    return {};
}

// Refuses a name in a folder that does not exist and a read-only file in the dialog itself,
// before Qt asks whether to overwrite, so that the user can choose again at once.
class SaveDialog final : public QFileDialog
{
public:
    SaveDialog(QWidget* owner, Prompts& refusals)
        : QFileDialog(owner)
        , FRefusals(refusals)
    {}

    void accept() override
    {
        const QString chosen = selectedFiles().value(0);
        const QString refusal = SaveRefusal(chosen);
        if (refusal.isEmpty()) {
            QFileDialog::accept();
            return;
        }
        FRefusals.Message({QStringLiteral("%1\n%2").arg(chosen, refusal),
                           QStringLiteral("Speichern unter"), QMessageBox::Ok, QMessageBox::Warning,
                           this});
    }

private:
    Prompts& FRefusals;
};

// Below the owner's window, or above it where the screen ends below; where neither has room,
// the box stays where the window system puts it.
void PlaceBeside(QWidget& box, const QWidget& owner)
{
    const QRect beside = owner.frameGeometry();
    const QRect screen = owner.screen()->availableGeometry();
    const QSize size = box.frameGeometry().size();
    int top = beside.bottom() + 1;
    if (top + size.height() > screen.bottom() + 1)
        top = beside.top() - size.height();
    if (top < screen.top())
        return;
    box.move(qBound(screen.left(), beside.center().x() - size.width() / 2,
                    screen.right() + 1 - size.width()),
             top);
}

// A box that asks about what its owner shows leaves the owner in sight.
class BesideOwnerBox final : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event); // which gives the box its size
        PlaceBeside(*this, *parentWidget()->window());
    }
};

} // namespace

std::unique_ptr<QMessageBox> QtPrompts::MakeMessageBox(const MessageSpec& request)
{
    std::unique_ptr<QMessageBox> box;
    if (request.BesideOwner && request.Owner)
        box = std::make_unique<BesideOwnerBox>(request.Icon, request.Caption, request.Text,
                                               request.Buttons, request.Owner);
    else
        box = std::make_unique<QMessageBox>(request.Icon, request.Caption, request.Text,
                                            request.Buttons, request.Owner);
    // The texts carry file names, and a name such as "<b>x</b>.c" would otherwise be taken for
    // markup and shown as another name.
    box->setTextFormat(Qt::PlainText);
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
    // The dialog hides the last parenthesised part of each entry and filters with it; the
    // label before it is shown as it is, its own parentheses included. "*.*" lists every file
    // only where names always carry a dot.
    QStringList result;
    for (const FileFilter& filter : filters)
        result << QStringLiteral("%1 (%2)").arg(filter.Label, filter.Pattern == QLatin1String("*.*")
                                                                  ? QStringLiteral("*")
                                                                  : filter.Pattern);
    return result;
}

std::unique_ptr<QFileDialog> QtPrompts::MakeFileDialog(const FileDialogSpec& request, bool save,
                                                       Prompts& refusals)
{
    std::unique_ptr<QFileDialog> dialog;
    if (save)
        dialog = std::make_unique<SaveDialog>(request.Owner, refusals);
    else
        dialog = std::make_unique<QFileDialog>(request.Owner);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
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
    const auto dialog = MakeFileDialog(request, false, *this);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

QString QtPrompts::SaveFileName(const FileDialogSpec& request)
{
    const auto dialog = MakeFileDialog(request, true, *this);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

std::unique_ptr<QInputDialog> QtPrompts::MakeNumberDialog(const NumberSpec& request)
{
    auto dialog = std::make_unique<QInputDialog>(request.Owner);
    dialog->setInputMode(QInputDialog::IntInput);
    dialog->setWindowTitle(request.Caption);
    dialog->setLabelText(request.Text);
    dialog->setIntRange(request.Minimum, request.Maximum);
    dialog->setIntValue(request.Value);
    return dialog;
}

std::optional<int> QtPrompts::Number(const NumberSpec& request)
{
    const auto dialog = MakeNumberDialog(request);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->intValue();
}

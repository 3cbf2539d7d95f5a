// The main window's side of a build: the commands it holds back, the rows it shows, the jump to
// a message's line.
#include "app/main.h"

#include <algorithm>
#include <stdexcept>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include "app/mcunames.h"
#include "build/buildsteps.h"
#include "dialogs/prompts.h"
#include "editor/messagemarks.h"
#include "programmer/devicetable.h"

namespace {

TChipMemory ChipMemory(int target)
{
    const TDeviceInfo& chip = DeviceTable[target];
    return {chip.FlashBytes, chip.RamBytes, chip.EepromBytes};
}

} // namespace

void TMainFM::Build(bool flash)
{
    if (FBuilding || !SaveDocument())
        return;
    if (RunBuild() && flash && !FCloseWhenBuilt && FlashDespiteRamWarning())
        ShowFlashDialog(BuildFiles(FFileName).Binary);
}

// Variables that leave the stack no room make the program run wild on the chip; whether to
// flash it anyway is the user's call.
bool TMainFM::FlashDespiteRamWarning()
{
    const QString& warning = FBuilder.RamWarning();
    if (warning.isEmpty())
        return true;
    return FPrompts.Message({warning + QStringLiteral("\n\nTrotzdem flashen?"),
                             QStringLiteral("Warnung"), QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::Warning, this}) == QMessageBox::Yes;
}

bool TMainFM::RunBuild()
{
    FBuilding = true;
    const QList<QPointer<QAction>> locked = LockCommands();
    const auto unlock = qScopeGuard([this, &locked] {
        FBuilding = false;
        for (QAction* command : locked)
            if (command)
                command->setEnabled(true);
        // The user asked to close while the tools ran; that close goes on now, prompt and all.
        if (FCloseWhenBuilt)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    MsgLV->clear();
    ClearListing();
    QCoreApplication::processEvents();
    return FBuilder.Build(FFileName, McuNames[FTarget], FCreateListing, ChipMemory(FTarget));
}

// Events are processed while the tools run, so every command that would start another operation
// or change the file being built is switched off until the build has ended.
QList<QPointer<QAction>> TMainFM::LockCommands()
{
    QList<QAction*> commands = FileMI->actions() + ProjectMI->actions() + TargetMI->actions();
    commands << FuseBitsMI;
    QList<QPointer<QAction>> locked;
    for (QAction* command : commands) {
        if (command->menu() || command->isSeparator() || command == ExitMI ||
            command == CreateListingMI || !command->isEnabled())
            continue;
        command->setEnabled(false);
        locked << command;
    }
    return locked;
}

void TMainFM::AddRow(const TMessageRow& row)
{
    auto* item = new QTreeWidgetItem(MsgLV, {row.Message, row.File, row.Line});
    // The memory report and many compiler messages are wider than their column.
    item->setToolTip(0, MessageToolTip(row.Message));
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
}

void TMainFM::MsgLVDblClick()
{
    const QList<QTreeWidgetItem*> selected = MsgLV->selectedItems();
    if (selected.isEmpty() || selected.first()->text(2).isEmpty())
        return;
    const QString text = selected.first()->text(2);
    bool ok = false;
    const int line = text.toInt(&ok);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    GotoLine(EditorRE, line);
}

// Positions count one per line break in this control, so the start of line n is the position of
// its block; lines past the end count as empty lines and land at the end of the text.
void TMainFM::GotoLine(QPlainTextEdit* editor, int line)
{
    const QTextDocument* document = editor->document();
    const QTextBlock block = document->findBlockByNumber(std::max(line, 1) - 1);
    QTextCursor caret = editor->textCursor();
    caret.setPosition(block.isValid() ? block.position() : document->characterCount() - 1);
    editor->setTextCursor(caret);
    if (editor->isVisible() && editor->isEnabled())
        editor->setFocus();
    QTimer::singleShot(0, editor, [editor] { editor->ensureCursorVisible(); });
}

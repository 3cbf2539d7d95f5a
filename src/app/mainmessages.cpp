// The compiler's messages in the editor: the marks of the lines they name, and the way from one
// to the next.
#include "app/main.h"

#include <QDir>
#include <QTreeWidget>

#include "build/messages.h"
#include "editor/sourceedit.h"

SourceEdit* TMainFM::Source() const
{
    return static_cast<SourceEdit*>(EditorRE);
}

// Only errors and warnings about the file being edited are marked: a line number in a header
// names no line of this file.
void TMainFM::MarkMessages(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const QTreeWidgetItem* item = MsgLV->topLevelItem(row);
        const TMessageRow message{item->text(0), item->text(1), item->text(2)};
        const TMessageKind kind = MessageKind(message);
        if (kind == TMessageKind::Other || FFileName.isEmpty() ||
            QDir::cleanPath(message.File) != QDir::cleanPath(FFileName))
            continue;
        Source()->AddMessageMark(row, message.Line.toInt(),
                                 kind == TMessageKind::Error ? MessageMarks::Kind::Error
                                                             : MessageMarks::Kind::Warning,
                                 message.Message);
    }
}

// Goes through the rows whose lines are marked in the list's order, round at its ends, from the
// row selected; the row is selected and the caret goes to the line where its mark is now.
void TMainFM::GoToMessage(bool forward)
{
    const int count = MsgLV->topLevelItemCount();
    QTreeWidgetItem* current = MsgLV->currentItem();
    const int from = current ? MsgLV->indexOfTopLevelItem(current) : (forward ? -1 : count);
    for (int step = 1; step <= count; ++step) {
        const int row = ((from + (forward ? step : -step)) % count + count) % count;
        if (const int line = Source()->MessageMarkLine(row); line >= 0) {
            MsgLV->setCurrentItem(MsgLV->topLevelItem(row));
            GotoLine(EditorRE, line + 1);
            return;
        }
    }
}

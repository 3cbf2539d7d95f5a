#pragma once

#include <map>
#include <vector>

#include <QString>
#include <QTextCursor>

class QTextDocument;

// A message as a tool tip: shown as written, since a tool tip takes anything that looks like
// markup for markup, and wrapped where it is long.
QString MessageToolTip(const QString& text);

// The lines a build's compiler messages name, each tied to its row in the message list. A mark
// holds on to its line's text, so it moves down when lines are inserted above it.
class MessageMarks final
{
public:
    enum class Kind
    {
        Warning,
        Error,
    };

    // What the gutter shows beside a line: the worse kind, and every message's text on a line
    // of its own.
    struct Shown
    {
        Kind Worst = Kind::Warning;
        QString Text;
    };

    // line counts from 1; a line the document does not have gets no mark.
    void Add(QTextDocument& document, int row, int line, Kind kind, const QString& text);
    void Clear() { FMarks.clear(); }
    bool Empty() const { return FMarks.empty(); }
    // The block the row's mark is on now, -1 when the row has no mark.
    int BlockOf(int row) const;
    // The marks on the blocks first to last, by block number.
    std::map<int, Shown> Between(int first, int last) const;

private:
    struct Mark
    {
        int Row = 0;
        QTextCursor Line;
        Kind Severity = Kind::Warning;
        QString Text;
    };

    std::vector<Mark> FMarks;
};

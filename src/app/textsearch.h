#pragma once

#include <QString>
#include <QTextCursor>

class QTextDocument;

struct SearchOptions
{
    QString Text;
    bool WholeWord = false;
    bool MatchCase = false;
};

// The first occurrence that starts at or after position, selected; a null cursor when there
// is none. There is no wrap-around. In whole-word mode letters, digits and the underscore are
// word characters, as in C identifiers.
QTextCursor FindForward(const QTextDocument& document, int position, const SearchOptions& options);

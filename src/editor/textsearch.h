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

// Searches compare the characters as they are: unlike Qt's own document search, a no-break
// space is not a blank. In whole-word mode letters, digits and the underscore are word
// characters, as in C identifiers.

// The first occurrence that starts at or after position, selected; a null cursor when there
// is none. There is no wrap-around.
QTextCursor FindForward(const QTextDocument& document, int position, const SearchOptions& options);

// What the replace dialog's buttons do: the caret's selection is replaced, whatever it holds,
// and the search goes on from the end of the insertion; with all, every later occurrence is
// replaced the same way, each exactly once, in one undo step. Returns the next occurrence
// selected, or the caret after the last replacement when there is none. Every replacement is an
// edit, also one by the text it replaces; only a replace that found nothing to replace is none.
QTextCursor ReplaceAndFind(QTextCursor caret, const SearchOptions& options,
                           const QString& replacement, bool all);

#include "app/textsearch.h"

#include <QTextBlock>
#include <QTextDocument>

namespace {

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool IsWholeWord(const QTextDocument& document, const QTextCursor& match)
{
    const QTextBlock block = document.findBlock(match.selectionStart());
    const QString text = block.text();
    const int start = match.selectionStart() - block.position();
    const int end = match.selectionEnd() - block.position();
    return (start == 0 || !IsWordCharacter(text[start - 1])) &&
           (end >= text.size() || !IsWordCharacter(text[end]));
}

} // namespace

QTextCursor FindForward(const QTextDocument& document, int position, const SearchOptions& options)
{
    if (options.Text.isEmpty())
        return {};
    // Qt's own whole-word mode does not count the underscore as part of a word.
    const QTextDocument::FindFlags flags =
        options.MatchCase ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
    QTextCursor match = document.find(options.Text, position, flags);
    while (!match.isNull() && options.WholeWord && !IsWholeWord(document, match))
        match = document.find(options.Text, match.selectionStart() + 1, flags);
    return match;
}

#include "editor/textsearch.h"

#include <utility>
#include <vector>

#include <QTextBlock>
#include <QTextDocument>

namespace {

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// A search text starting or ending in a lone surrogate (a stand-in of the document's) must not
// match half of a pair.
bool SplitsPair(QStringView text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1].isHighSurrogate() &&
           text[at].isLowSurrogate();
}

// The first occurrence at or after from in text, -1 when there is none. before stands for the
// character in front of from, which differs from the text's own after a replacement there; a
// null character is none.
qsizetype FindIn(QStringView text, qsizetype from, const SearchOptions& options, QChar before)
{
    const Qt::CaseSensitivity cs = options.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype hit; (hit = text.indexOf(options.Text, from, cs)) >= 0; from = hit + 1) {
        const QChar left = hit == from ? before : text[hit - 1];
        const qsizetype end = hit + options.Text.size();
        const QChar right = end < text.size() ? text[end] : QChar();
        const bool whole = !IsWordCharacter(left) && !IsWordCharacter(right);
        if ((whole || !options.WholeWord) && !SplitsPair(text, hit) && !SplitsPair(text, end))
            return hit;
        before = text[hit];
    }
    return -1;
}

using Range = std::pair<qsizetype, qsizetype>;

// The parts of text replace-all replaces, as they stand before the first replacement: the
// selection [start, end) if not empty, then each occurrence the next search would find once
// the part before it is replaced. Only a whole-word check at the edge of a replacement sees
// the replaced text.
std::vector<Range> PartsToReplace(QStringView text, Range selection, const SearchOptions& options,
                                  QStringView replacement)
{
    std::vector<Range> parts;
    const auto [start, end] = selection;
    QChar before = start > 0 ? text[start - 1] : QChar();
    if (end > start) {
        parts.emplace_back(start, end);
        before = replacement.isEmpty() ? before : replacement.back();
    }
    if (options.Text.isEmpty())
        return parts;
    for (qsizetype from = end, hit; (hit = FindIn(text, from, options, before)) >= 0;
         from = hit + options.Text.size()) {
        parts.emplace_back(hit, hit + options.Text.size());
        const QChar left = hit == from ? before : text[hit - 1];
        before = replacement.isEmpty() ? left : replacement.back();
    }
    return parts;
}

// Replaces the parts in one edit block; returns where the last replacement ends.
int Replace(QTextDocument& document, const std::vector<Range>& parts, const QString& replacement)
{
    QTextCursor edit(&document);
    qsizetype shift = 0;
    edit.beginEditBlock();
    for (const auto& [start, end] : parts) {
        edit.setPosition(int(start + shift));
        edit.setPosition(int(end + shift), QTextCursor::KeepAnchor);
        edit.insertText(replacement);
        shift += replacement.size() - (end - start);
    }
    edit.endEditBlock();
    return int(parts.back().second + shift);
}

} // namespace

QTextCursor FindForward(const QTextDocument& document, int position, const SearchOptions& options)
{
    if (options.Text.isEmpty())
        return {};
    for (QTextBlock block = document.findBlock(position); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const qsizetype from = std::max(0, position - block.position());
        const qsizetype hit = FindIn(text, from, options, from > 0 ? text[from - 1] : QChar());
        if (hit < 0)
            continue;
        QTextCursor match(block);
        match.setPosition(block.position() + int(hit));
        match.setPosition(block.position() + int(hit + options.Text.size()),
                          QTextCursor::KeepAnchor);
        return match;
    }
    return {};
}

QTextCursor ReplaceAndFind(QTextCursor caret, const SearchOptions& options,
                           const QString& replacement, bool all)
{
    QTextDocument& document = *caret.document();
    if (!all) {
        if (caret.hasSelection())
            caret.insertText(replacement);
        caret.setPosition(caret.selectionEnd());
        const QTextCursor match = FindForward(document, caret.position(), options);
        return match.isNull() ? caret : match;
    }
    // One copy of the text for all searches: searching the document again after each
    // replacement copies a long line once per hit.
    const QString text = document.toRawText();
    const std::vector<Range> parts =
        PartsToReplace(text, {caret.selectionStart(), caret.selectionEnd()}, options, replacement);
    if (!parts.empty())
        caret.setPosition(Replace(document, parts, replacement));
    caret.setPosition(caret.selectionEnd());
    return caret;
}

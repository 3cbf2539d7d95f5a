#include "editor/indentation.h"

#include <algorithm>
#include <array>

#include <QTextBlock>
#include <QTextDocument>

namespace {

constexpr int LinesLookedAt = 1000;
constexpr int WidestSpaceUnit = 8;

qsizetype LeadingBlanks(QStringView line)
{
    qsizetype end = 0;
    while (end < line.size() && (line[end] == u' ' || line[end] == u'\t'))
        ++end;
    return end;
}

} // namespace

// Counts how often each step in of two to eight spaces occurs from one line to the next, against
// the lines that start with a tab; the most common step wins over the tab only when the spaced
// lines are the more.
QString IndentUnit(const QTextDocument& document)
{
    std::array<int, WidestSpaceUnit + 1> steps{};
    int tabbed = 0, spaced = 0;
    qsizetype previous = 0;
    QTextBlock block = document.firstBlock();
    for (int i = 0; i < LinesLookedAt && block.isValid(); ++i, block = block.next()) {
        const QString text = block.text();
        const qsizetype blanks = LeadingBlanks(text);
        if (blanks == text.size())
            continue;
        if (text.startsWith(u'\t')) {
            ++tabbed;
            previous = 0;
            continue;
        }
        if (blanks > 0)
            ++spaced;
        if (const qsizetype step = blanks - previous; step >= 2 && step <= WidestSpaceUnit)
            ++steps[std::size_t(step)];
        previous = blanks;
    }
    const auto most = std::ranges::max_element(steps);
    if (spaced <= tabbed || *most == 0)
        return QStringLiteral("\t");
    return QString(most - steps.begin(), u' ');
}

QString NewLineIndent(QStringView before, const QString& unit)
{
    QString indent = before.first(LeadingBlanks(before)).toString();
    if (before.trimmed().endsWith(u'{'))
        indent += unit;
    return indent;
}

QString ClosingBraceIndent(QStringView blanks, const QString& unit)
{
    if (blanks.endsWith(unit))
        return blanks.chopped(unit.size()).toString();
    if (blanks.endsWith(u'\t'))
        return blanks.chopped(1).toString();
    qsizetype end = blanks.size();
    while (end > 0 && blanks.size() - end < unit.size() && blanks[end - 1] == u' ')
        --end;
    return blanks.first(end).toString();
}

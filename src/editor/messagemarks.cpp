#include "editor/messagemarks.h"

#include <algorithm>

#include <QTextBlock>
#include <QTextDocument>

QString MessageToolTip(const QString& text)
{
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

void MessageMarks::Add(QTextDocument& document, int row, int line, Kind kind, const QString& text)
{
    const QTextBlock block = document.findBlockByNumber(line - 1);
    if (line >= 1 && block.isValid())
        FMarks.push_back({row, QTextCursor(block), kind, text});
}

int MessageMarks::BlockOf(int row) const
{
    const auto mark = std::ranges::find(FMarks, row, &Mark::Row);
    return mark == FMarks.end() ? -1 : mark->Line.blockNumber();
}

std::map<int, MessageMarks::Shown> MessageMarks::Between(int first, int last) const
{
    std::map<int, Shown> shown;
    for (const Mark& mark : FMarks) {
        const int block = mark.Line.blockNumber();
        if (block < first || block > last)
            continue;
        const auto [entry, added] = shown.try_emplace(block, Shown{mark.Severity, mark.Text});
        if (!added) {
            entry->second.Worst = std::max(entry->second.Worst, mark.Severity);
            entry->second.Text += u'\n' + mark.Text;
        }
    }
    return shown;
}

#include "build/messages.h"

#include <optional>

namespace {

struct TTrailingNumber
{
    QStringView Before;
    QStringView Digits;
};

// Splits text ending in a colon, then decimal digits, into the part before the colon, which may
// be empty, and the digits.
std::optional<TTrailingNumber> SplitTrailingNumber(QStringView text)
{
    qsizetype p = text.size();
    while (p > 0 && text[p - 1] >= QLatin1Char('0') && text[p - 1] <= QLatin1Char('9'))
        --p;
    const qsizetype colon = p - 1;
    if (colon < 0 || p == text.size() || text[colon] != QLatin1Char(':'))
        return std::nullopt;
    return TTrailingNumber{text.left(colon), text.mid(p)};
}

} // namespace

TMessageRow SplitMessage(const QString& line, const QString& folder)
{
    if (!folder.isEmpty() && line.startsWith(folder)) {
        TMessageRow row = SplitMessage(line.mid(folder.size()));
        row.Message = line;
        if (row.HasLocation())
            row.File.prepend(folder);
        return row;
    }
    TMessageRow row{line, {}, {}};
    const qsizetype colon = line.indexOf(QLatin1String(": "));
    if (colon < 0)
        return row;
    std::optional<TTrailingNumber> location = SplitTrailingNumber(QStringView(line).left(colon));
    if (!location)
        return row;
    // Today's compiler puts the column after the line: the line is then the number before it.
    if (const std::optional<TTrailingNumber> inner = SplitTrailingNumber(location->Before))
        location = inner;
    row.File = location->Before.toString();
    row.Line = location->Digits.toString();
    return row;
}

// The word follows the location, as in "file:12:5: warning: text".
TMessageKind MessageKind(const TMessageRow& row)
{
    if (!row.HasLocation())
        return TMessageKind::Other;
    const qsizetype colon = row.Message.indexOf(QLatin1String(": "), row.File.size());
    if (colon < 0)
        return TMessageKind::Other;
    const QStringView word = QStringView(row.Message).sliced(colon + 2);
    if (word.startsWith(QLatin1String("error:")) || word.startsWith(QLatin1String("fatal error:")))
        return TMessageKind::Error;
    return word.startsWith(QLatin1String("warning:")) ? TMessageKind::Warning : TMessageKind::Other;
}

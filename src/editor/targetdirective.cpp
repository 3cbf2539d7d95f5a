#include "editor/targetdirective.h"

#include <QLatin1String>
#include <QString>
#include <QStringTokenizer>

#include "programmer/devicetable.h"

namespace {

QStringView SkipBlanksAndControls(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i].unicode() <= 32)
        ++i;
    return s.sliced(i);
}

std::optional<int> DirectiveInLine(QStringView line)
{
    static constexpr QLatin1String keyword("//#TARGET");
    const QStringView start = SkipBlanksAndControls(line);
    if (!start.startsWith(keyword, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView rest = SkipBlanksAndControls(start.sliced(keyword.size()));
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != QLatin1Char(' ') && rest[end] != QLatin1Char('\t'))
        ++end;
    // Device names are ASCII: any other character makes the word match no row.
    return DeviceByName(rest.first(end).toLatin1().toStdString());
}

} // namespace

std::optional<int> TargetDirective(QStringView text)
{
    for (const QStringView line : text.tokenize(QLatin1Char('\n')))
        if (const auto target = DirectiveInLine(line))
            return target;
    return std::nullopt;
}

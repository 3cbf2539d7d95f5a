#include "editor/documenttext.h"

#include <array>
#include <utility>

#include <QTextDocument>

namespace {

constexpr std::array<std::pair<char16_t, char16_t>, 4> StandIns{{
    {0x2028, 0xDC28},
    {0x2029, 0xDC29},
    {0xFDD0, 0xDDD0},
    {0xFDD1, 0xDDD1},
}};

} // namespace

QString ToDocument(QString text)
{
    for (const auto& [character, standIn] : StandIns)
        text.replace(QChar(character), QChar(standIn));
    return text;
}

QString FromDocument(QString text)
{
    // The same low surrogates are also halves of pairs (U+10028 is D800 DC28); only lone ones
    // stand in.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = std::as_const(text)[i];
        if (!c.isLowSurrogate() || (i > 0 && std::as_const(text)[i - 1].isHighSurrogate()))
            continue;
        for (const auto& [character, standIn] : StandIns)
            if (c == QChar(standIn))
                text[i] = QChar(character);
    }
    return text;
}

QString FileText(QString raw)
{
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    raw.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return FromDocument(std::move(raw));
}

QString DocumentText(const QTextDocument& document)
{
    // toPlainText() would turn no-break spaces into blanks; the file must keep them.
    return FileText(document.toRawText());
}

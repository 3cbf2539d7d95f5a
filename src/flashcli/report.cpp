#include "report.h"

#include <algorithm>
#include <unistd.h>

namespace {

constexpr int CaptionWidth = 15;
constexpr int BarWidth = 30;
// Back to the start of the line, the old text cleared behind the new.
constexpr char LineStart[] = "\r";
constexpr char ClearToEnd[] = "\033[K";

} // namespace

Report::Report()
    : FTerminal(isatty(STDOUT_FILENO) == 1)
{}

void Report::Line(const QString& text)
{
    if (FOpen == Open::Status) {
        Replace(text, Open::Nothing);
    } else {
        Close();
        Write(stdout, text);
    }
    Write(stdout, QStringLiteral("\n"));
}

void Report::Error(const QString& text)
{
    if (FOpen == Open::Status)
        Replace(QString(), Open::Nothing);
    Close();
    Write(stderr, text + QLatin1Char('\n'));
}

void Report::Status(const QString& text)
{
    if (FTerminal)
        Replace(text, Open::Status);
}

void Report::Progress(const QString& caption, double percent, const QString& tail)
{
    if (!FTerminal)
        return;
    const int shown = std::clamp(int(percent), 0, 100);
    const int filled = shown * BarWidth / 100;
    Replace(caption.leftJustified(CaptionWidth) + QLatin1Char('[') +
                QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char(' ')) +
                QStringLiteral("] ") + QString::number(shown).rightJustified(3) +
                QStringLiteral(" %  ") + tail,
            Open::Progress);
}

void Report::Finish(const QString& caption, const QString& text)
{
    if (!FTerminal)
        return Line(caption + QLatin1Char(' ') + text);
    Progress(caption, 100, text);
    Close();
}

void Report::Replace(const QString& text, Open open)
{
    Write(stdout, QLatin1String(LineStart) + text + QLatin1String(ClearToEnd));
    FOpen = open;
}

// A progress line stays as it was last drawn.
void Report::Close()
{
    if (FOpen != Open::Nothing)
        Write(stdout, QStringLiteral("\n"));
    FOpen = Open::Nothing;
}

void Report::Write(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

QString Printable(const QString& text)
{
    QString printable;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            printable +=
                QStringLiteral("\\x") +
                QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            printable += c;
    return printable;
}

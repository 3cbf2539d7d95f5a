#include "report.h"

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int CaptionWidth = 15;
constexpr int BarWidth = 30;
// Narrower than this a bar tells too little to be worth its brackets.
constexpr int MinBarWidth = 10;
// Where the terminal does not say: the width terminals open with.
constexpr int DefaultColumns = 80;
// Back to the start of the line, the old text cleared behind the new.
constexpr char LineStart[] = "\r";
constexpr char ClearToEnd[] = "\033[K";

// Asked anew for every line, so a window made narrower is followed from the next update on.
int TerminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return DefaultColumns;
    return size.ws_col;
}

} // namespace

QString ProgressLine(const QString& caption, double percent, const QString& tail, int columns)
{
    const int room = std::max(columns - 1, 1);
    const int shown = std::clamp(int(percent), 0, 100);
    const QString head = caption.leftJustified(CaptionWidth);
    const QString rest = QString::number(shown).rightJustified(3) + QStringLiteral(" %  ") + tail;
    const int bar = std::min(BarWidth, room - int(head.size() + rest.size()) - 3);
    if (bar < MinBarWidth)
        return (head + rest).left(room);
    const int filled = shown * bar / 100;
    return head + QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
           QString(bar - filled, QLatin1Char(' ')) + QStringLiteral("] ") + rest;
}

Report::Report(Talk talk)
    : FTalk(talk)
    , FTerminal(isatty(STDOUT_FILENO) == 1)
{}

void Report::Line(const QString& text)
{
    if (FTalk != Quiet)
        Value(text);
}

void Report::Value(const QString& text)
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

void Report::Notice(const QString& text)
{
    if (FTalk != Quiet)
        Error(text);
}

void Report::Note(const QString& text)
{
    if (FTalk == Verbose)
        Error(text);
}

void Report::Status(const QString& text)
{
    if (FTerminal && FTalk != Quiet)
        Replace(text.left(TerminalColumns() - 1), Open::Status);
}

void Report::Progress(const QString& caption, double percent, const QString& tail)
{
    if (FTerminal && FTalk != Quiet)
        Replace(ProgressLine(caption, percent, tail, TerminalColumns()), Open::Progress);
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

// A result that did not reach its file is a failure, however the work went.
void Report::Write(std::FILE* stream, const QString& text)
{
    const bool written =
        std::fputs(text.toUtf8().constData(), stream) >= 0 && std::fflush(stream) == 0;
    if (!written && stream == stdout && FOutputError == 0)
        FOutputError = errno != 0 ? errno : EIO;
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

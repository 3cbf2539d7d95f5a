#include "build/toolrunner.h"

#include <utility>

#include <QCoreApplication>
#include <QProcess>

#include "platform/textfile.h"

namespace {

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Backslashes are literal unless a double quote follows them: then each pair gives one
// backslash, and an odd one left over makes the quote literal instead of opening or closing a
// quoted part. Inside a quoted part two double quotes give one, and the part goes on.
QStringList SplitArguments(QStringView text)
{
    QStringList arguments;
    QString current;
    bool started = false;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            qsizetype end = i;
            while (end < text.size() && text[end] == QLatin1Char('\\'))
                ++end;
            const qsizetype count = end - i;
            const bool beforeQuote = end < text.size() && text[end] == QLatin1Char('"');
            current += QString(beforeQuote ? count / 2 : count, QLatin1Char('\\'));
            if (beforeQuote && count % 2 == 1) {
                current += QLatin1Char('"');
                i = end;
            } else {
                i = end - 1;
            }
            started = true;
        } else if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                current += c;
                ++i;
            } else {
                quoted = !quoted;
            }
            started = true;
        } else if (IsBlank(c) && !quoted) {
            if (started)
                arguments += std::exchange(current, QString());
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments += current;
    return arguments;
}

} // namespace

QStringList SplitOutputLines(const QByteArray& bytes)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines += DecodeLine(QByteArrayView(bytes).sliced(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines += DecodeLine(QByteArrayView(bytes).sliced(start));
    return lines;
}

QStringList CommandArguments(const QString& program, const QString& commandLine)
{
    QStringView line(commandLine);
    while (!line.isEmpty() && IsBlank(line.front()))
        line = line.mid(1);
    if (!program.isEmpty() && line.startsWith(program) &&
        (line.size() == program.size() || IsBlank(line[program.size()])))
        return SplitArguments(line.mid(program.size()));
    QStringList arguments = SplitArguments(line);
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return arguments;
}

// Backslashes are doubled only where a quote follows them, the closing one included, so that a
// path with backslashes or quotes in its names still reaches the tool unchanged.
QString QuoteArgument(const QString& text)
{
    QString quoted(QLatin1Char('"'));
    qsizetype backslashes = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
        } else {
            if (c == QLatin1Char('"'))
                quoted += QString(backslashes + 1, QLatin1Char('\\'));
            backslashes = 0;
        }
        quoted += c;
    }
    return quoted + QString(backslashes, QLatin1Char('\\')) + QLatin1Char('"');
}

bool RunTool(const QString& program, const QString& commandLine, int timeOut, QStringList& output)
{
    if (program.isEmpty())
        return false;
    QProcess process;
    process.setProgram(program);
    process.setArguments(CommandArguments(program, commandLine));
    process.setWorkingDirectory(QCoreApplication::applicationDirPath());
    // Standard output is never looked at; sending it to the null device keeps a tool that writes
    // a lot there (the linker's cross-reference table) from filling a pipe and waiting forever.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    // Lets the status row the build step has just added be drawn.
    QCoreApplication::processEvents();
    // Waiting reads the error output as it comes, so it cannot fill its pipe either. The child
    // may already have been seen to end while events were processed.
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeOut)) {
        process.kill();
        process.waitForFinished(-1);
        return false;
    }
    const QStringList lines = SplitOutputLines(process.readAllStandardError());
    for (const QString& line : lines)
        if (!line.isEmpty())
            output += line;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Cuts a tool's output into lines. A carriage return, a line feed or the pair of both ends a
// line; a last line without a line end counts too. A blank line comes back as an empty string.
// Each line is read as UTF-8 when it is valid UTF-8, otherwise as Windows-1252, as source files
// are, so that the tools' echo of a source line shows its characters.
QStringList SplitOutputLines(const QByteArray& bytes);

// A command line taken apart: the program to start and its arguments.
struct TCommandLine
{
    QString Program;
    QStringList Arguments;
};

// Splits a command line by the convention QuoteArgument quotes for. The program path at the
// front may be unquoted and hold blanks: it is the shortest blank-separated prefix that names an
// existing file.
TCommandLine SplitCommandLine(const QString& commandLine);

// Encloses a path in double quotes so that SplitCommandLine gives it back unchanged.
QString QuoteArgument(const QString& text);

// Runs the command line as a child process in the program's directory and appends the non-blank
// lines of its error output to output. True when the child ran and exited with code 0; a child
// that cannot be started adds nothing. timeOut is in milliseconds, -1 waits without limit.
bool RunTool(const QString& commandLine, int timeOut, QStringList& output);

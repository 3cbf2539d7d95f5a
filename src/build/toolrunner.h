#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Cuts a tool's output into lines. A carriage return, a line feed or the pair of both ends a
// line; a last line without a line end counts too. A blank line comes back as an empty string.
// Each line is read as UTF-8 when it is valid UTF-8, otherwise as Windows-1252, as source files
// are, so that the tools' echo of a source line shows its characters.
QStringList SplitOutputLines(const QByteArray& bytes);

// The arguments of a command line that names its program first, split by the convention
// QuoteArgument quotes for. A line that begins with the program's path as it is (unquoted, blanks
// and all) has its arguments after it; any other line has them after its first part.
QStringList CommandArguments(const QString& program, const QString& commandLine);

// Encloses a path in double quotes so that CommandArguments gives it back unchanged.
QString QuoteArgument(const QString& text);

// Runs program with the arguments of the command line as a child process in the program's
// directory and appends the non-blank lines of its error output to output. The program is given
// apart, so that a path with blanks is never split to find it. True when the child ran and
// exited with code 0; a child that cannot be started adds nothing. timeOut is in milliseconds,
// -1 waits without limit.
bool RunTool(const QString& program, const QString& commandLine, int timeOut, QStringList& output);

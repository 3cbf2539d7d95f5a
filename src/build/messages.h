#pragma once

#include <QString>

// One row of the message list: the whole line, and the file and line number of a compiler
// message when the line names them (both empty otherwise).
struct TMessageRow
{
    QString Message;
    QString File;
    QString Line;

    bool HasLocation() const { return !Line.isEmpty(); }
};

// Recognises "file:line: text" and "file:line:column: text"; any other line is a plain row.
// folder, when given, is the source's folder with its trailing separator. A line about a file in
// it is read from behind the folder, whose name may hold ": " or a colon and digits of its own.
TMessageRow SplitMessage(const QString& line, const QString& folder = {});

enum class TMessageKind
{
    Other,
    Warning,
    Error,
};

// What the compiler says a message is: an error (also a fatal one), a warning, or anything else,
// such as a note or the name of the function the messages after it are about.
TMessageKind MessageKind(const TMessageRow& row);

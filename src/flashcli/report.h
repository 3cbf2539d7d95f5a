#pragma once

#include <cstdio>

#include <QString>

// What quennor-flash tells the user: results on standard output, failures and questions on
// standard error. On a terminal a transient status and one progress line per phase are
// updated in place; elsewhere only the lines that stay are written.
class Report final
{
public:
    Report();

    void Line(const QString& text);
    void Error(const QString& text);
    // Until the next output replaces it; nothing when standard output is no terminal.
    void Status(const QString& text);
    // A phase's line: caption, bar, percentage and a tail such as the time left.
    void Progress(const QString& caption, double percent, const QString& tail);
    // The phase's line as it stays: full, with its closing text.
    void Finish(const QString& caption, const QString& text);

private:
    enum class Open
    {
        Nothing,
        Status,
        Progress
    };

    void Replace(const QString& text, Open open);
    void Close();
    void Write(std::FILE* stream, const QString& text);

    bool FTerminal = false;
    Open FOpen = Open::Nothing;
};

// The text with each control character written as \xNN, so that a board's text cannot move
// the cursor or switch the terminal.
QString Printable(const QString& text);

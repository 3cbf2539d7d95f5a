#pragma once

#include <cstdio>

#include <QString>

// What quennor-flash tells the user: results on standard output, failures, warnings and
// questions on standard error. On a terminal a transient status and one progress line per
// phase are updated in place, fitted to its width; elsewhere only the lines that stay are
// written. Quiet leaves out all but errors, warnings and the values asked for; verbose adds
// notes on how the work went.
class Report final
{
public:
    enum Talk
    {
        Quiet,
        Normal,
        Verbose
    };

    explicit Report(Talk talk = Normal);

    // A result, on standard output.
    void Line(const QString& text);
    // A value asked for, such as the fuse bytes: written even when quiet.
    void Value(const QString& text);
    // A failure or a warning, on standard error: written even when quiet.
    void Error(const QString& text);
    // A question answered by an option, on standard error.
    void Notice(const QString& text);
    // How the work went, on standard error: only when verbose.
    void Note(const QString& text);
    // Until the next output replaces it; nothing when standard output is no terminal.
    void Status(const QString& text);
    // A phase's line: caption, bar, percentage and a tail such as the time left.
    void Progress(const QString& caption, double percent, const QString& tail);
    // The phase's line as it stays: full, with its closing text.
    void Finish(const QString& caption, const QString& text);
    // The system's error number of the first write to standard output that failed; 0 if none.
    int OutputError() const { return FOutputError; }

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

    Talk FTalk = Normal;
    bool FTerminal = false;
    Open FOpen = Open::Nothing;
    int FOutputError = 0;
};

// The progress line for a terminal of that many columns, kept to one line short of its width
// (a line that fills the last column wraps on some terminals): the bar narrows, then goes, and
// last the line is cut.
QString ProgressLine(const QString& caption, double percent, const QString& tail, int columns);

// The text with each control character written as \xNN, so that a board's text cannot move
// the cursor or switch the terminal.
QString Printable(const QString& text);

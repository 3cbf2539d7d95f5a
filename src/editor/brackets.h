#pragma once

#include <optional>

#include <QTextBlock>

class Highlighter;

struct BracketPair
{
    int Position = -1;
    // -1 when the bracket has no partner in the document.
    int Match = -1;
};

// The search for the partner of the bracket beside the caret (the one after it first), both in
// the code: brackets in comments and literals count for nothing. It looks at a bounded number
// of characters per step and goes on where it stopped, so that a partner far away or missing
// costs no keystroke more than one step. It says nothing when the partner lies further away
// than it looks, or beyond a line too long to colour.
class BracketSearch final
{
public:
    enum class Outcome
    {
        Nothing,
        Pending,
        Found,
    };

    // Characters looked at before giving up, some thousand lines.
    static constexpr qsizetype Reach = 100000;
    // Each line looked at counts this many characters more, for the work of taking it up.
    static constexpr qsizetype LineCost = 40;

    BracketSearch(Highlighter& colouring, int caret);

    // Looks on at up to budget characters, and at one line at least.
    Outcome Step(qsizetype budget);
    Outcome Result() const { return FOutcome; }
    // The pair once found.
    BracketPair Pair() const { return {FPosition, FMatch}; }
    // The characters looked at so far, line costs included.
    qsizetype Looked() const { return FLooked; }

private:
    std::optional<int> LookThrough(const QString& text);

    Highlighter& FColouring;
    Outcome FOutcome = Outcome::Nothing;
    int FPosition = -1;
    int FMatch = -1;
    QChar FBracket;
    QChar FPartner;
    bool FForward = true;
    QTextBlock FBlock;
    qsizetype FColumn = 0;
    int FDepth = 0;
    qsizetype FLooked = 0;
};

// The whole search at once, up to its reach.
std::optional<BracketPair> FindBracketPair(Highlighter& colouring, int caret);

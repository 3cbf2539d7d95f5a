#include "editor/brackets.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <QTextDocument>

#include "editor/highlighter.h"

namespace {

constexpr std::u16string_view Opening = u"([{";
constexpr std::u16string_view Closing = u")]}";

bool IsBracket(QChar c)
{
    return Opening.find(c.unicode()) != Opening.npos || Closing.find(c.unicode()) != Closing.npos;
}

bool InToken(const std::vector<SyntaxToken>& tokens, qsizetype column)
{
    const auto after = std::ranges::upper_bound(tokens, column, {}, &SyntaxToken::Start);
    return after != tokens.begin() && column < std::prev(after)->Start + std::prev(after)->Length;
}

bool InCode(Highlighter& colouring, const QTextBlock& block, const QString& text, qsizetype column)
{
    return text.size() <= Highlighter::LongestColouredBlock &&
           !InToken(colouring.Tokens(block, text), column);
}

} // namespace

BracketSearch::BracketSearch(Highlighter& colouring, int caret)
    : FColouring(colouring)
{
    const QTextDocument& document = colouring.Document();
    for (const int position : {caret, caret - 1}) {
        const QChar c = document.characterAt(position);
        if (position < 0 || !IsBracket(c))
            continue;
        const QTextBlock block = document.findBlock(position);
        if (!InCode(colouring, block, block.text(), position - block.position()))
            continue;
        const auto opening = Opening.find(c.unicode());
        FForward = opening != Opening.npos;
        FBracket = c;
        FPartner = FForward ? Closing[opening] : Opening[Closing.find(c.unicode())];
        FPosition = position;
        FBlock = block;
        FColumn = position - block.position();
        FOutcome = Outcome::Pending;
        return;
    }
}

// Whole lines are taken, since a line's tokens cost the same for one character as for all.
BracketSearch::Outcome BracketSearch::Step(qsizetype budget)
{
    for (qsizetype spent = 0; FOutcome == Outcome::Pending && (spent == 0 || spent < budget);) {
        if (!FBlock.isValid()) {
            FOutcome = Outcome::Found;
            return FOutcome;
        }
        const QString text = FBlock.text();
        const qsizetype cost = text.size() + LineCost;
        if (FLooked > Reach || text.size() > Highlighter::LongestColouredBlock) {
            FOutcome = Outcome::Nothing;
            break;
        }
        if (const std::optional<int> match = LookThrough(text)) {
            FMatch = *match;
            FOutcome = Outcome::Found;
        }
        spent += cost;
        FLooked += cost;
        FBlock = FForward ? FBlock.next() : FBlock.previous();
        FColumn = FForward ? 0 : FBlock.length() - 2;
    }
    return FOutcome;
}

std::optional<int> BracketSearch::LookThrough(const QString& text)
{
    const std::vector<SyntaxToken> tokens = FColouring.Tokens(FBlock, text);
    for (qsizetype i = FColumn; i >= 0 && i < text.size(); i += FForward ? 1 : -1) {
        if ((text[i] != FBracket && text[i] != FPartner) || InToken(tokens, i))
            continue;
        FDepth += text[i] == FBracket ? 1 : -1;
        if (FDepth == 0)
            return FBlock.position() + int(i);
    }
    return std::nullopt;
}

std::optional<BracketPair> FindBracketPair(Highlighter& colouring, int caret)
{
    BracketSearch search(colouring, caret);
    if (search.Step(BracketSearch::Reach + Highlighter::LongestColouredBlock) ==
        BracketSearch::Outcome::Found)
        return search.Pair();
    return std::nullopt;
}

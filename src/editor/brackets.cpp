#include "editor/brackets.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <QTextBlock>
#include <QTextDocument>

#include "editor/highlighter.h"

namespace {

constexpr std::u16string_view Opening = u"([{";
constexpr std::u16string_view Closing = u")]}";
// Characters looked at for a partner before giving up, some thousand lines.
constexpr qsizetype Reach = 100000;

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

std::optional<BracketPair> FindPartner(Highlighter& colouring, QTextBlock block, int position)
{
    const QChar bracket = colouring.Document().characterAt(position);
    const auto opening = Opening.find(bracket.unicode());
    const bool forward = opening != std::u16string_view::npos;
    const QChar partner = forward ? Closing[opening] : Opening[Closing.find(bracket.unicode())];
    qsizetype column = position - block.position();
    qsizetype looked = 0;
    for (int depth = 0; block.isValid() && looked <= Reach;) {
        const QString text = block.text();
        if (text.size() > Highlighter::LongestColouredBlock)
            return std::nullopt;
        const std::vector<SyntaxToken> tokens = colouring.Tokens(block, text);
        for (qsizetype i = column; i >= 0 && i < text.size(); i += forward ? 1 : -1) {
            if ((text[i] != bracket && text[i] != partner) || InToken(tokens, i))
                continue;
            depth += text[i] == bracket ? 1 : -1;
            if (depth == 0)
                return BracketPair{position, block.position() + int(i)};
        }
        looked += text.size() + 1;
        block = forward ? block.next() : block.previous();
        column = forward ? 0 : block.length() - 2;
    }
    if (block.isValid())
        return std::nullopt;
    return BracketPair{position, -1};
}

} // namespace

std::optional<BracketPair> FindBracketPair(Highlighter& colouring, int caret)
{
    const QTextDocument& document = colouring.Document();
    for (const int position : {caret, caret - 1}) {
        const char16_t c = document.characterAt(position).unicode();
        if (position < 0 || (Opening.find(c) == Opening.npos && Closing.find(c) == Closing.npos))
            continue;
        const QTextBlock block = document.findBlock(position);
        if (InCode(colouring, block, block.text(), position - block.position()))
            return FindPartner(colouring, block, position);
    }
    return std::nullopt;
}

#pragma once

#include <optional>

class Highlighter;

struct BracketPair
{
    int Position = -1;
    // -1 when the bracket has no partner in the document.
    int Match = -1;
};

// The bracket beside the caret (the one after it first) and its partner, both in the code:
// brackets in comments and literals count for nothing. Empty when no bracket of the code stands
// beside the caret, or when the partner lies too far away to look for it while the caret moves.
std::optional<BracketPair> FindBracketPair(Highlighter& colouring, int caret);

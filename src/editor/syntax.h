#pragma once

#include <vector>

#include <QChar>
#include <QStringView>

// What a stretch of a line is, for its colour.
enum class SyntaxKind : unsigned char
{
    Comment,
    Keyword,
    Type,
    Number,
    String,
    Escape,
    Preprocessor,
    TargetLine,
    Address,
    Opcode,
    Mnemonic,
    Label,
    Dimmed,
};
inline constexpr int SyntaxKindCount = int(SyntaxKind::Dimmed) + 1;

// The scanners' digits: only ASCII ones make numbers in C and in the listing.
inline bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

inline bool IsAsciiHexDigit(QChar c)
{
    return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

struct SyntaxToken
{
    qsizetype Start = 0;
    qsizetype Length = 0;
    SyntaxKind Kind = SyntaxKind::Comment;

    bool operator==(const SyntaxToken&) const = default;
};

// Scans one line, given the state the line before it ended in (0 before the first line), and
// returns the state this line ends in: what it leaves open, such as a block comment. States
// are 0..15. Tokens come in order and do not overlap; tokens may be null when only the state
// is wanted.
using LineScanner = int (*)(QStringView line, int state, std::vector<SyntaxToken>* tokens);

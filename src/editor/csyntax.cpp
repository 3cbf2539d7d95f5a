#include "editor/csyntax.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <string_view>

namespace {

// What a line leaves open, in the low bits of the state; InDirective marks a preprocessor
// directive continued on the next line.
enum Mode : int
{
    Code = 0,
    BlockComment = 1,
    LineComment = 2,
    StringLiteral = 3,
    CharLiteral = 4,
    // A block comment whose line ended in a star and a splice: a slash next closes it.
    BlockCommentStar = 5,
};
constexpr int ModeMask = 7;
constexpr int InDirective = 8;
static_assert((ModeMask | InDirective) <= 15, "a line's state fits in four bits");

constexpr std::array<std::string_view, 82> Keywords{"NULL",
                                                    "_Alignas",
                                                    "_Alignof",
                                                    "_Atomic",
                                                    "_Bool",
                                                    "_Complex",
                                                    "_Generic",
                                                    "_Imaginary",
                                                    "_Noreturn",
                                                    "_Static_assert",
                                                    "_Thread_local",
                                                    "__alignof",
                                                    "__alignof__",
                                                    "__asm",
                                                    "__asm__",
                                                    "__attribute",
                                                    "__attribute__",
                                                    "__complex__",
                                                    "__const",
                                                    "__const__",
                                                    "__extension__",
                                                    "__flash",
                                                    "__flash1",
                                                    "__flash2",
                                                    "__flash3",
                                                    "__flash4",
                                                    "__flash5",
                                                    "__func__",
                                                    "__imag",
                                                    "__imag__",
                                                    "__inline",
                                                    "__inline__",
                                                    "__label__",
                                                    "__memx",
                                                    "__real",
                                                    "__real__",
                                                    "__restrict",
                                                    "__restrict__",
                                                    "__signed",
                                                    "__signed__",
                                                    "__typeof",
                                                    "__typeof__",
                                                    "__volatile",
                                                    "__volatile__",
                                                    "asm",
                                                    "auto",
                                                    "break",
                                                    "case",
                                                    "char",
                                                    "const",
                                                    "continue",
                                                    "default",
                                                    "do",
                                                    "double",
                                                    "else",
                                                    "enum",
                                                    "extern",
                                                    "false",
                                                    "float",
                                                    "for",
                                                    "goto",
                                                    "if",
                                                    "inline",
                                                    "int",
                                                    "long",
                                                    "register",
                                                    "restrict",
                                                    "return",
                                                    "short",
                                                    "signed",
                                                    "sizeof",
                                                    "static",
                                                    "struct",
                                                    "switch",
                                                    "true",
                                                    "typedef",
                                                    "typeof",
                                                    "union",
                                                    "unsigned",
                                                    "void",
                                                    "volatile",
                                                    "while"};

constexpr std::array<std::string_view, 35> Types{
    "bool",           "int16_t",       "int32_t",       "int64_t",        "int8_t",
    "int_farptr_t",   "int_fast16_t",  "int_fast32_t",  "int_fast64_t",   "int_fast8_t",
    "int_least16_t",  "int_least32_t", "int_least64_t", "int_least8_t",   "intmax_t",
    "intptr_t",       "ptrdiff_t",     "size_t",        "ssize_t",        "uint16_t",
    "uint32_t",       "uint64_t",      "uint8_t",       "uint_farptr_t",  "uint_fast16_t",
    "uint_fast32_t",  "uint_fast64_t", "uint_fast8_t",  "uint_least16_t", "uint_least32_t",
    "uint_least64_t", "uint_least8_t", "uintmax_t",     "uintptr_t",      "wchar_t"};

static_assert(std::ranges::is_sorted(Keywords) && std::ranges::is_sorted(Types),
              "the word tables are searched by halving");

constexpr qsizetype LongestWord = 16;
static_assert(std::ranges::all_of(Keywords, [](auto word) { return word.size() <= LongestWord; }));
static_assert(std::ranges::all_of(Types, [](auto word) { return word.size() <= LongestWord; }));

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\f' || c == u'\v';
}

bool IsOctalDigit(QChar c)
{
    return c >= u'0' && c <= u'7';
}

bool IsIdentifierStart(QChar c)
{
    // The compiler takes a dollar sign as a letter.
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
}

bool IsIdentifierChar(QChar c)
{
    return IsIdentifierStart(c) || IsAsciiDigit(c);
}

bool IsExponent(QChar c)
{
    return c == u'e' || c == u'E' || c == u'p' || c == u'P';
}

// One line under the scanner, with the tokens found so far.
class CLine
{
public:
    CLine(QStringView line, std::vector<SyntaxToken>* tokens)
        : Line(line)
        , Tokens(tokens)
    {}

    int Scan(int state);

private:
    int ScanCode(qsizetype i, bool directive, bool lineStart);
    std::optional<int> Literal(qsizetype start, qsizetype quoteAt, int open, qsizetype& i);
    qsizetype LiteralBody(qsizetype start, qsizetype from, QChar quote);
    qsizetype CloseComment(qsizetype start, qsizetype from);
    int OpenComment(qsizetype from) const;
    qsizetype LeadingComments(qsizetype i);
    qsizetype DirectiveMark(qsizetype i) const;
    qsizetype Directive(qsizetype hash, qsizetype mark);
    qsizetype EscapeEnd(qsizetype backslash) const;
    qsizetype NumberEnd(qsizetype i) const;
    qsizetype WordEnd(qsizetype i) const;
    qsizetype SkipBlanks(qsizetype i) const;
    bool OnlyBlanksAfter(qsizetype i) const { return SkipBlanks(i + 1) == Line.size(); }
    bool EndsInSplice(qsizetype from) const;
    void AddWord(qsizetype start, qsizetype end);
    void Add(qsizetype start, qsizetype end, SyntaxKind kind);

    const QStringView Line;
    std::vector<SyntaxToken>* const Tokens;
};

int CLine::Scan(int state)
{
    const bool directive = state & InDirective;
    switch (state & ModeMask) {
    case BlockCommentStar:
        if (!Line.isEmpty() && Line[0] == u'/') {
            Add(0, 1, SyntaxKind::Comment);
            return ScanCode(1, directive, false);
        }
        if (!Line.isEmpty() && Line[0] == u'\\' && OnlyBlanksAfter(0)) {
            Add(0, Line.size(), SyntaxKind::Comment);
            return state;
        }
        [[fallthrough]];
    case BlockComment: {
        const qsizetype end = CloseComment(0, 0);
        return end < 0 ? OpenComment(0) | (state & InDirective) : ScanCode(end, directive, false);
    }
    case LineComment:
        Add(0, Line.size(), SyntaxKind::Comment);
        return EndsInSplice(0) ? state : Code;
    case StringLiteral:
    case CharLiteral: {
        const qsizetype end = LiteralBody(0, 0, (state & ModeMask) == StringLiteral ? u'"' : u'\'');
        return end < 0 ? state : ScanCode(end, directive, false);
    }
    default:
        return ScanCode(0, directive, !directive);
    }
}

int CLine::ScanCode(qsizetype i, bool directive, bool lineStart)
{
    const qsizetype n = Line.size();
    if (lineStart) {
        i = LeadingComments(0);
        if (const qsizetype mark = DirectiveMark(i); mark > 0) {
            i = Directive(i, mark);
            directive = true;
        }
    }
    const int open = directive ? InDirective : 0;
    while (i < n) {
        const QChar c = Line[i];
        const QChar next = i + 1 < n ? Line[i + 1] : QChar();
        if (c == u'/' && next == u'/') {
            Add(i, n, SyntaxKind::Comment);
            return EndsInSplice(i) ? LineComment | open : Code;
        }
        if (c == u'/' && next == u'*') {
            const qsizetype from = i + 2;
            i = CloseComment(i, from);
            if (i < 0)
                return OpenComment(from) | open;
        } else if (c == u'"' || c == u'\'') {
            if (const auto spliced = Literal(i, i, open, i))
                return *spliced;
        } else if (IsAsciiDigit(c) || (c == u'.' && IsAsciiDigit(next))) {
            const qsizetype end = NumberEnd(i);
            Add(i, end, SyntaxKind::Number);
            i = end;
        } else if (IsIdentifierStart(c)) {
            const qsizetype end = WordEnd(i);
            const QStringView word = Line.sliced(i, end - i);
            const bool prefix = word == u"L" || word == u"u" || word == u"U" || word == u"u8";
            if (prefix && end < n && (Line[end] == u'"' || Line[end] == u'\'')) {
                if (const auto spliced = Literal(i, end, open, i))
                    return *spliced;
            } else {
                AddWord(i, end);
                i = end;
            }
        } else {
            ++i;
        }
    }
    return directive && EndsInSplice(0) ? InDirective : Code;
}

// A literal from start (its prefix, if any) whose opening quote stands at quoteAt; i moves past
// it. Returns the state to end the line in when the literal goes on in the next line.
std::optional<int> CLine::Literal(qsizetype start, qsizetype quoteAt, int open, qsizetype& i)
{
    const QChar quote = Line[quoteAt];
    const qsizetype end = LiteralBody(start, quoteAt + 1, quote);
    if (end < 0)
        return (quote == u'"' ? StringLiteral : CharLiteral) | open;
    i = end;
    return std::nullopt;
}

// The literal's text from `from` up to and including the closing quote; an unclosed literal
// ends with the line. -1 when a backslash at the end carries it on into the next line.
qsizetype CLine::LiteralBody(qsizetype start, qsizetype from, QChar quote)
{
    qsizetype piece = start;
    for (qsizetype i = from; i < Line.size();) {
        if (Line[i] == quote) {
            Add(piece, i + 1, SyntaxKind::String);
            return i + 1;
        }
        if (Line[i] != u'\\') {
            ++i;
            continue;
        }
        if (OnlyBlanksAfter(i)) {
            Add(piece, Line.size(), SyntaxKind::String);
            return -1;
        }
        // Splices go before escapes: this backslash escapes the next line's first character.
        if (Line[i + 1] == u'\\' && OnlyBlanksAfter(i + 1)) {
            Add(piece, i, SyntaxKind::String);
            Add(i, Line.size(), SyntaxKind::Escape);
            return -1;
        }
        Add(piece, i, SyntaxKind::String);
        piece = EscapeEnd(i);
        Add(i, piece, SyntaxKind::Escape);
        i = piece;
    }
    Add(piece, Line.size(), SyntaxKind::String);
    return Line.size();
}

// The comment from start up to and including the "*/" found from `from`; -1 when the line
// ends inside it.
qsizetype CLine::CloseComment(qsizetype start, qsizetype from)
{
    const qsizetype close = Line.indexOf(u"*/", from);
    Add(start, close < 0 ? Line.size() : close + 2, SyntaxKind::Comment);
    return close < 0 ? -1 : close + 2;
}

// The state of a line that ends inside a block comment opened or continued at `from`.
int CLine::OpenComment(qsizetype from) const
{
    qsizetype end = Line.size();
    while (end > from && IsBlank(Line[end - 1]))
        --end;
    const bool starSpliced = end - 2 >= from && Line[end - 1] == u'\\' && Line[end - 2] == u'*';
    return starSpliced ? BlockCommentStar : BlockComment;
}

// Comments closed on the line count as blanks before a directive's mark.
qsizetype CLine::LeadingComments(qsizetype i)
{
    for (i = SkipBlanks(i); Line.sliced(i).startsWith(u"/*"); i = SkipBlanks(i)) {
        const qsizetype close = Line.indexOf(u"*/", i + 2);
        if (close < 0)
            return i;
        Add(i, close + 2, SyntaxKind::Comment);
        i = close + 2;
    }
    return i;
}

// The length of the directive's mark at i: "#" or its digraph "%:"; 0 when there is none.
qsizetype CLine::DirectiveMark(qsizetype i) const
{
    if (Line.sliced(i).startsWith(u'#'))
        return 1;
    return Line.sliced(i).startsWith(u"%:") ? 2 : 0;
}

qsizetype CLine::Directive(qsizetype hash, qsizetype mark)
{
    const qsizetype name = SkipBlanks(hash + mark);
    const qsizetype nameEnd = WordEnd(name);
    Add(hash, nameEnd, SyntaxKind::Preprocessor);
    const QStringView word = Line.sliced(name, nameEnd - name);
    const qsizetype header = SkipBlanks(nameEnd);
    if ((word != u"include" && word != u"include_next") || header == Line.size() ||
        Line[header] != u'<')
        return nameEnd;
    const qsizetype close = Line.indexOf(u'>', header);
    const qsizetype end = close < 0 ? Line.size() : close + 1;
    Add(header, end, SyntaxKind::String);
    return end;
}

qsizetype CLine::EscapeEnd(qsizetype backslash) const
{
    const auto digits = [this](qsizetype from, qsizetype most, bool (*accepts)(QChar)) {
        qsizetype end = from;
        while (end < Line.size() && end - from < most && accepts(Line[end]))
            ++end;
        return end;
    };
    const qsizetype i = backslash + 1;
    const QChar c = Line[i];
    if (IsOctalDigit(c))
        return digits(i, 3, IsOctalDigit);
    if (c == u'x')
        return digits(i + 1, LLONG_MAX, IsAsciiHexDigit);
    if (c == u'u' || c == u'U')
        return digits(i + 1, c == u'u' ? 4 : 8, IsAsciiHexDigit);
    // An escaped character outside the BMP is a surrogate pair: never split it.
    return i + (c.isHighSurrogate() && i + 1 < Line.size() && Line[i + 1].isLowSurrogate() ? 2 : 1);
}

// The compiler's preprocessing number: digits, letters, dots and a sign after an exponent, so
// 0x1F, 0b1010, 017, 4000000UL and 1.5e-3f are each one number.
qsizetype CLine::NumberEnd(qsizetype i) const
{
    qsizetype end = i + 1;
    while (end < Line.size()) {
        const QChar c = Line[end];
        if (IsIdentifierChar(c) || c == u'.' ||
            ((c == u'+' || c == u'-') && IsExponent(Line[end - 1])))
            ++end;
        else
            break;
    }
    return end;
}

qsizetype CLine::WordEnd(qsizetype i) const
{
    while (i < Line.size() && IsIdentifierChar(Line[i]))
        ++i;
    return i;
}

qsizetype CLine::SkipBlanks(qsizetype i) const
{
    while (i < Line.size() && IsBlank(Line[i]))
        ++i;
    return i;
}

// A backslash at the end of the line, perhaps followed by blanks, splices the next line on.
bool CLine::EndsInSplice(qsizetype from) const
{
    qsizetype end = Line.size();
    while (end > from && IsBlank(Line[end - 1]))
        --end;
    return end > from && Line[end - 1] == u'\\';
}

void CLine::AddWord(qsizetype start, qsizetype end)
{
    if (!Tokens || end - start > LongestWord)
        return;
    char ascii[LongestWord];
    for (qsizetype i = start; i < end; ++i)
        ascii[i - start] = char(Line[i].unicode());
    const std::string_view word(ascii, std::size_t(end - start));
    if (std::ranges::binary_search(Keywords, word))
        Add(start, end, SyntaxKind::Keyword);
    else if (std::ranges::binary_search(Types, word))
        Add(start, end, SyntaxKind::Type);
}

void CLine::Add(qsizetype start, qsizetype end, SyntaxKind kind)
{
    if (Tokens && end > start)
        Tokens->push_back({start, end - start, kind});
}

} // namespace

int ScanCLine(QStringView line, int state, std::vector<SyntaxToken>* tokens)
{
    return CLine(line, tokens).Scan(state);
}

#include "editor/listingsyntax.h"

#include <algorithm>

#include "editor/csyntax.h"

namespace {

bool IsSymbolChar(QChar c)
{
    return IsAsciiDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
           c == u'.' || c == u'$';
}

bool IsSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// One line of the listing under the scanner. Its lines are "  119 0000 81E0      <tab>ldi ..."
// for code, "  11:blink.c      **** <C source>" for the source it repeats, and page headers
// "GAS LISTING ...", all but the first after a form feed.
class ListingLine
{
public:
    ListingLine(QStringView line, std::vector<SyntaxToken>* tokens)
        : Line(line)
        , Tokens(tokens)
    {}

    int Scan(int state);

private:
    int SourceLine(qsizetype colon, int state);
    void CodePrefix(qsizetype numberEnd, qsizetype end);
    void Assembly(qsizetype i);
    void Operands(qsizetype i);
    qsizetype Skip(qsizetype i, bool (*accepts)(QChar)) const;
    void Add(qsizetype start, qsizetype end, SyntaxKind kind);

    const QStringView Line;
    std::vector<SyntaxToken>* const Tokens;
};

int ListingLine::Scan(int state)
{
    if (Line.startsWith(u'\f') || Line.startsWith(u"GAS LISTING")) {
        Add(0, Line.size(), SyntaxKind::Dimmed);
        return state;
    }
    const qsizetype number = Skip(0, [](QChar c) { return c == u' '; });
    const qsizetype numberEnd = Skip(number, IsAsciiDigit);
    if (numberEnd == number || numberEnd == Line.size())
        return state;
    if (Line[numberEnd] == u':')
        return SourceLine(numberEnd, state);
    if (Line[numberEnd] != u' ')
        return state;
    Add(number, numberEnd, SyntaxKind::Dimmed);
    const qsizetype tab = Line.indexOf(u'\t', numberEnd);
    const qsizetype prefixEnd = tab < 0 ? Line.size() : tab;
    CodePrefix(numberEnd, prefixEnd);
    Assembly(prefixEnd);
    return state;
}

// The C source after "**** " goes on with the state of the source line before it.
int ListingLine::SourceLine(qsizetype colon, int state)
{
    const qsizetype stars = Line.indexOf(u"****", colon);
    if (stars < 0)
        return state;
    Add(0, stars + 4, SyntaxKind::Dimmed);
    const qsizetype source = std::min(stars + 5, Line.size());
    const std::size_t first = Tokens ? Tokens->size() : 0;
    const int end = ScanCLine(Line.sliced(source), state, Tokens);
    if (Tokens)
        for (auto token = Tokens->begin() + qsizetype(first); token != Tokens->end(); ++token)
            token->Start += source;
    return end;
}

// " 0000 81E0 " after the line number: the address, then the bytes of the instruction; lines
// that continue a long run of data leave the address blank.
void ListingLine::CodePrefix(qsizetype numberEnd, qsizetype end)
{
    qsizetype i = numberEnd + 1;
    if (i + 4 <= end && Skip(i, IsAsciiHexDigit) == i + 4) {
        Add(i, i + 4, SyntaxKind::Address);
        i += 4;
    }
    while (i < end) {
        const qsizetype bytes = Skip(i, IsAsciiHexDigit);
        Add(i, std::min(bytes, end), SyntaxKind::Opcode);
        i = std::max(bytes, i + 1);
    }
}

void ListingLine::Assembly(qsizetype i)
{
    i = Skip(i, IsSpaceOrTab);
    const qsizetype wordEnd = Skip(i, IsSymbolChar);
    if (wordEnd == i) {
        Operands(i);
        return;
    }
    const qsizetype after = Skip(wordEnd, IsSpaceOrTab);
    if (wordEnd < Line.size() && Line[wordEnd] == u':') {
        Add(i, wordEnd + 1, SyntaxKind::Label);
        Assembly(wordEnd + 1);
        return;
    }
    if (after < Line.size() && Line[after] == u'=')
        Add(i, wordEnd, SyntaxKind::Label);
    else
        Add(i, wordEnd, Line[i] == u'.' ? SyntaxKind::Preprocessor : SyntaxKind::Mnemonic);
    Operands(wordEnd);
}

// Strings and comments among the operands; the rest stays plain.
void ListingLine::Operands(qsizetype i)
{
    while (i < Line.size()) {
        if (Line[i] == u';') {
            Add(i, Line.size(), SyntaxKind::Comment);
            return;
        }
        if (Line.sliced(i).startsWith(u"/*")) {
            const qsizetype close = Line.indexOf(u"*/", i + 2);
            const qsizetype end = close < 0 ? Line.size() : close + 2;
            Add(i, end, SyntaxKind::Comment);
            i = end;
        } else if (Line[i] == u'"') {
            qsizetype end = i + 1;
            while (end < Line.size() && Line[end] != u'"')
                end += Line[end] == u'\\' ? 2 : 1;
            end = std::min(end + 1, Line.size());
            Add(i, end, SyntaxKind::String);
            i = end;
        } else {
            ++i;
        }
    }
}

qsizetype ListingLine::Skip(qsizetype i, bool (*accepts)(QChar)) const
{
    while (i < Line.size() && accepts(Line[i]))
        ++i;
    return i;
}

void ListingLine::Add(qsizetype start, qsizetype end, SyntaxKind kind)
{
    if (Tokens && end > start)
        Tokens->push_back({start, end - start, kind});
}

} // namespace

int ScanListingLine(QStringView line, int state, std::vector<SyntaxToken>* tokens)
{
    return ListingLine(line, tokens).Scan(state);
}

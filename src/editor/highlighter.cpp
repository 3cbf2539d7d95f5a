#include "editor/highlighter.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QTextDocument>
#include <QTextLayout>

#include "editor/targetdirective.h"

namespace {

// A block's user state: the state it starts and ends in, whether it holds a target line, and
// whether its layout has its formats (and with the target line marked or not). Unknown marks
// a block whose text changed since.
constexpr int Unknown = -1;
constexpr int EndShift = 4;
constexpr int StateMask = 0xF;
constexpr int HoldsTargetLine = 1 << 8;
constexpr int Formatted = 1 << 9;
constexpr int FormattedAsTarget = 1 << 10;

int Pack(int start, int end, bool holdsTargetLine)
{
    return start | end << EndShift | (holdsTargetLine ? HoldsTargetLine : 0);
}

int StartOf(int packed)
{
    return packed & StateMask;
}

int EndOf(int packed)
{
    return packed >> EndShift & StateMask;
}

// Between two events the states are worked out for this long at most, so typing stays quick
// while a large document is still being followed.
constexpr qint64 FollowStepNanoseconds = 2'000'000;
constexpr int FollowChunk = 32;
// Blocks worked out at once, in a few milliseconds, before a view further on is coloured from
// a guess.
constexpr int ReachAtOnce = 2000;

} // namespace

Highlighter::Highlighter(QTextDocument& document, SyntaxDefinition syntax)
    : FDocument(document)
    , FSyntax(syntax)
{
    FFollow.setSingleShot(true);
    FFollow.setInterval(0);
    connect(&FFollow, &QTimer::timeout, this, &Highlighter::Follow);
    connect(&FDocument, &QTextDocument::contentsChange, this, &Highlighter::ContentsChange);
    ContentsChange(0, 0, FDocument.characterCount());
}

Highlighter::~Highlighter() = default;

void Highlighter::SetFormats(const std::array<QTextCharFormat, SyntaxKindCount>& formats)
{
    FFormats = formats;
    for (QTextBlock block = FDocument.begin(); block.isValid(); block = block.next())
        if (block.userState() != Unknown)
            block.setUserState(block.userState() & ~Formatted);
}

void Highlighter::Colour(const QTextBlock& first, const QTextBlock& last)
{
    if (last.blockNumber() - FKnown <= ReachAtOnce)
        KnowStatesBefore(last.blockNumber() + 1);
    int number = first.blockNumber();
    int state = StartState(first, number);
    int changedFrom = -1;
    int changedTo = -1;
    for (QTextBlock block = first; block.isValid(); block = block.next(), ++number) {
        const Formatting formatting = Format(block, number, state);
        if (formatting.Changed) {
            changedFrom = changedFrom < 0 ? block.position() : changedFrom;
            changedTo = block.position() + block.length();
        }
        state = formatting.End;
        if (block == last)
            break;
    }
    // One mark for every block coloured: Qt lays a single marked block out again at once, but
    // leaves a run of them to be laid out when painted, so a screen coloured before its first
    // paint is laid out once, with its formats, rather than plain and then again.
    if (changedFrom >= 0)
        FDocument.markContentsDirty(changedFrom, changedTo - changedFrom);
    FOutdated = false;
    if (!Settled())
        FFollow.start();
}

std::vector<SyntaxToken> Highlighter::Tokens(const QTextBlock& block, const QString& text)
{
    std::vector<SyntaxToken> tokens;
    ScanBlock(text, StartState(block, block.blockNumber()), &tokens);
    return tokens;
}

void Highlighter::RemoveFormats()
{
    FFollow.stop();
    for (QTextBlock block = FDocument.begin(); block.isValid(); block = block.next()) {
        if (block.userState() != Unknown && (block.userState() & Formatted) &&
            !block.layout()->formats().isEmpty()) {
            block.layout()->clearFormats();
            FDocument.markContentsDirty(block.position(), block.length());
        }
        block.setUserState(Unknown);
    }
    FKnown = 0;
    FTargetBlock = -1;
}

bool Highlighter::Settled() const
{
    return FKnown >= FDocument.blockCount();
}

// A block's text is scanned line by line: a line separator inside a block is a line break in
// the saved file, and the rule for the target line works on the lines of the saved file.
Highlighter::BlockScan Highlighter::ScanBlock(const QString& text, int state,
                                              std::vector<SyntaxToken>* tokens) const
{
    BlockScan scan{state};
    for (qsizetype start = 0;;) {
        const qsizetype separator = text.indexOf(QChar::LineSeparator, start);
        const qsizetype end = separator < 0 ? text.size() : separator;
        const QStringView line = QStringView(text).sliced(start, end - start);
        const std::size_t first = tokens ? tokens->size() : 0;
        scan.End = FSyntax.Scan(line, scan.End, tokens);
        if (tokens)
            for (std::size_t i = first; i < tokens->size(); ++i)
                (*tokens)[i].Start += start;
        if (FSyntax.MarksTargetLine && scan.TargetStart < 0 && TargetDirective(line)) {
            scan.TargetStart = start;
            scan.TargetLength = line.size();
        }
        if (separator < 0)
            return scan;
        start = separator + 1;
    }
}

// Called with the document already changed: the changed blocks lose what was known of them,
// and the states after them are worked out again when needed. Blocks an edit creates start
// unknown, but which part of a split block keeps the old state is up to Qt, so the whole
// changed range is marked.
//
// A shown block typed in gets its formats at once: Qt lays the block out after this signal, and
// formats set later, when it is painted, would have it laid out a second time at every key.
void Highlighter::ContentsChange(int position, int, int added)
{
    const QTextBlock last = FDocument.findBlock(position + added);
    QTextBlock block = FDocument.findBlock(position);
    const bool retype = block == last && block.userState() != Unknown &&
                        (block.userState() & Formatted) && FKnown > block.blockNumber();
    FKnown = std::min(FKnown, block.blockNumber());
    if (FTargetBlock >= FKnown)
        FTargetBlock = -1;
    for (QTextBlock changed = block; changed.isValid(); changed = changed.next()) {
        changed.setUserState(Unknown);
        if (changed == last)
            break;
    }
    if (retype && Format(block, FKnown, StartState(block, FKnown)).Changed)
        FDocument.markContentsDirty(block.position(), block.length());
    // A document replaced whole (emptied, then filled) is painted whole: its first screen is
    // coloured then, and following starts after it rather than delaying it. Any other change may
    // lie out of view and still change what the view shows.
    if (position > 0 || added < FDocument.characterCount() - 1)
        FFollow.start();
}

// Known near the part worked out; further on, the state the block was last scanned with, or
// none open, until following puts it right.
int Highlighter::StartState(const QTextBlock& block, int number)
{
    if (number - FKnown <= ReachAtOnce)
        KnowStatesBefore(number + 1);
    return block.userState() == Unknown ? 0 : StartOf(block.userState());
}

void Highlighter::KnowStatesBefore(int blockNumber)
{
    if (FKnown >= blockNumber)
        return;
    QTextBlock block = FDocument.findBlockByNumber(FKnown);
    int state = FKnown == 0 ? 0 : EndOf(block.previous().userState());
    for (; FKnown < blockNumber && block.isValid(); ++FKnown, block = block.next())
        state = Verify(block, FKnown, state);
}

// A block whose text is unchanged and that starts in the state it was scanned with keeps what
// was found; any other is scanned again.
int Highlighter::Verify(QTextBlock& block, int number, int state)
{
    int packed = block.userState();
    if (packed == Unknown || StartOf(packed) != state) {
        FOutdated = FOutdated || (packed != Unknown && (packed & Formatted));
        const BlockScan scan = ScanBlock(block.text(), state, nullptr);
        packed = Pack(state, scan.End, scan.TargetStart >= 0);
        block.setUserState(packed);
    }
    if ((packed & HoldsTargetLine) && FTargetBlock < 0)
        FTargetBlock = number;
    FOutdated = FOutdated || ((packed & Formatted) &&
                              bool(packed & FormattedAsTarget) != (number == FTargetBlock));
    return EndOf(packed);
}

// Colours the block as starting in start. Only a block in the part worked out can be the target
// line.
Highlighter::Formatting Highlighter::Format(QTextBlock& block, int number, int start)
{
    const int packed = block.userState();
    const bool target = number < FKnown && number == FTargetBlock;
    if (packed != Unknown && StartOf(packed) == start && (packed & Formatted) &&
        bool(packed & FormattedAsTarget) == target)
        return {EndOf(packed), false};
    const QString text = block.text();
    std::vector<SyntaxToken> tokens;
    const BlockScan scan =
        ScanBlock(text, start, text.size() <= LongestColouredBlock ? &tokens : nullptr);
    const bool coloured =
        text.size() <= LongestColouredBlock && tokens.size() <= std::size_t(MostColouredTokens);
    if (!coloured)
        tokens.clear();
    QList<QTextLayout::FormatRange> ranges;
    const qsizetype targetEnd = scan.TargetStart + scan.TargetLength;
    for (const SyntaxToken& token : tokens)
        if (!target || token.Start < scan.TargetStart || token.Start >= targetEnd)
            ranges.append({int(token.Start), int(token.Length), FFormats[int(token.Kind)]});
    if (target && coloured) {
        ranges.append(
            {int(scan.TargetStart), int(scan.TargetLength), FFormats[int(SyntaxKind::TargetLine)]});
        std::ranges::sort(ranges, {}, &QTextLayout::FormatRange::start);
    }
    // setFormats leaves a pending change that the next edit would report as part of its own; the
    // caller marks the block dirty, which has it laid out again and closes that change
    // unannounced.
    const bool changed = block.layout()->formats() != ranges;
    if (changed)
        block.layout()->setFormats(ranges);
    block.setUserState(Pack(start, scan.End, scan.TargetStart >= 0) | Formatted |
                       (target ? FormattedAsTarget : 0));
    return {scan.End, changed};
}

void Highlighter::Follow()
{
    QElapsedTimer clock;
    clock.start();
    while (!Settled() && clock.nsecsElapsed() < FollowStepNanoseconds)
        KnowStatesBefore(FKnown + FollowChunk);
    if (!Settled())
        FFollow.start();
    if (FOutdated) {
        FOutdated = false;
        emit FormatsOutdated();
    }
}

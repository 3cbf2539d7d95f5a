#pragma once

#include <array>
#include <vector>

#include <QObject>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTimer>

#include "editor/syntax.h"

class QTextDocument;

struct SyntaxDefinition
{
    LineScanner Scan = nullptr;
    // Whether the line that picks the target device when the file is loaded stands out.
    bool MarksTargetLine = false;
};

// Colours a document lazily. A block gets its formats only when it is about to be painted; the
// states that carry comments and literals from line to line are worked out up to there at once,
// and for the rest of the document in short steps between events (for a document replaced whole,
// from its first colouring on, so that no step delays the screen it is loaded into). A view far
// beyond the part worked out is coloured at once from a guess, and FormatsOutdated asks for it to
// be painted again when the following finds the guess wrong. Formats go onto the block layouts,
// never into the text: the text, the undo stack, the modified flag and every cursor stay as they
// are, and the document sends no change signal for them.
class Highlighter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Highlighter)

public:
    // Longer blocks keep the plain look: a layout with a format every few characters of a
    // megabyte-long line would make typing in it crawl.
    static constexpr int LongestColouredBlock = 10000;
    // Nor does a block with more tokens than this: each token is a run of its own in the layout,
    // laid out and drawn again at every key typed in the block.
    static constexpr int MostColouredTokens = 64;

    Highlighter(QTextDocument& document, SyntaxDefinition syntax);
    ~Highlighter() override;

    void SetFormats(const std::array<QTextCharFormat, SyntaxKindCount>& formats);
    // Gives the blocks from first to last their formats; called before they are painted.
    void Colour(const QTextBlock& first, const QTextBlock& last);
    // The tokens of the block whose text is given, scanned with the state the lines before it
    // leave.
    std::vector<SyntaxToken> Tokens(const QTextBlock& block, const QString& text);
    // Takes the formats off all layouts again, leaving the document as plain as it came.
    void RemoveFormats();
    // True when the states of all blocks are known.
    bool Settled() const;
    QTextDocument& Document() const { return FDocument; }

signals:
    // Blocks coloured from a guess, or before the target line was known, need colouring again.
    void FormatsOutdated();

private:
    struct BlockScan
    {
        int End = 0;
        qsizetype TargetStart = -1;
        qsizetype TargetLength = 0;
    };

    // The state a block ends in, and whether its layout got other formats.
    struct Formatting
    {
        int End = 0;
        bool Changed = false;
    };

    BlockScan ScanBlock(const QString& text, int state, std::vector<SyntaxToken>* tokens) const;
    void ContentsChange(int position, int removed, int added);
    void KnowStatesBefore(int blockNumber);
    int StartState(const QTextBlock& block, int number);
    int Verify(QTextBlock& block, int number, int state);
    Formatting Format(QTextBlock& block, int number, int start);
    void Follow();

    QTextDocument& FDocument;
    const SyntaxDefinition FSyntax;
    std::array<QTextCharFormat, SyntaxKindCount> FFormats;
    // The blocks before this one have states that follow from the text before them.
    int FKnown = 0;
    // The first of those blocks that holds a target line, -1 when none does.
    int FTargetBlock = -1;
    // Set when following found a block's formats out of date.
    bool FOutdated = false;
    QTimer FFollow;
};

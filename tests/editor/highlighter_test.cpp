#include "editor/highlighter.h"

#include <random>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPlainTextDocumentLayout>
#include <QSignalSpy>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

#include "editor/csyntax.h"
#include "editor/syntaxcolours.h"
#include "editor/targetdirective.h"
#include "support/qtprinters.h"

namespace {

// A document as the editor holds it, coloured with the C scanner and the light colours.
class Colouring : public ::testing::Test
{
protected:
    Colouring()
    {
        Document.setDocumentLayout(new QPlainTextDocumentLayout(&Document));
        Colours.SetFormats(Palette.Formats);
    }

    void ColourAll() { Colours.Colour(Document.firstBlock(), Document.lastBlock()); }

    // The block's formats as tag:text, the tag telling the kind by its format.
    QString Shown(int blockNumber)
    {
        const QTextBlock block = Document.findBlockByNumber(blockNumber);
        QStringList parts;
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            const auto kind = std::ranges::find(Palette.Formats, range.format);
            const QString tag =
                QStringLiteral("cktnsepTaomld").mid(kind - Palette.Formats.begin(), 1);
            parts << tag + ':' + block.text().mid(range.start, range.length);
        }
        return parts.join(' ');
    }

    QStringList TargetLines()
    {
        QStringList lines;
        for (int i = 0; i < Document.blockCount(); ++i)
            if (Shown(i).contains(QStringLiteral("T:")))
                lines << Document.findBlockByNumber(i).text();
        return lines;
    }

    void Insert(int position, const QString& text)
    {
        QTextCursor cursor(&Document);
        cursor.setPosition(position);
        cursor.insertText(text);
    }

    void FollowToTheEnd()
    {
        const QDeadlineTimer deadline(10000);
        while (!Colours.Settled() && !deadline.hasExpired())
            QApplication::processEvents();
        ASSERT_TRUE(Colours.Settled());
    }

    SyntaxColours Palette = ColoursFor(QPalette(Qt::black, Qt::white));
    QTextDocument Document;
    Highlighter Colours{Document, {ScanCLine, true}};
};

// The tokens of every block scanned from the top, line after line.
std::vector<std::vector<SyntaxToken>> FreshScan(const QTextDocument& document)
{
    std::vector<std::vector<SyntaxToken>> blocks;
    int state = 0;
    for (QTextBlock block = document.firstBlock(); block.isValid(); block = block.next()) {
        std::vector<SyntaxToken>& tokens = blocks.emplace_back();
        qsizetype offset = 0;
        for (const QString& line : block.text().split(QChar::LineSeparator)) {
            const std::size_t first = tokens.size();
            state = ScanCLine(line, state, &tokens);
            for (std::size_t i = first; i < tokens.size(); ++i)
                tokens[i].Start += offset;
            offset += line.size() + 1;
        }
    }
    return blocks;
}

} // namespace

TEST_F(Colouring, FormatsOnlyTheBlocksAskedForAndFollowsTheRestInTheBackground)
{
    Document.setPlainText(QStringLiteral("int a;\n").repeated(5000));
    Colours.Colour(Document.findBlockByNumber(10), Document.findBlockByNumber(19));
    EXPECT_EQ(Shown(10), "k:int");
    EXPECT_EQ(Shown(9), "");
    EXPECT_EQ(Shown(4000), "");

    FollowToTheEnd();
    EXPECT_EQ(Shown(4000), "") << "following works out states, not formats";
    Insert(Document.findBlockByNumber(3000).position(), QStringLiteral("/*"));
    Colours.Colour(Document.findBlockByNumber(4000), Document.findBlockByNumber(4000));
    EXPECT_EQ(Shown(4000), "c:int a;") << "the comment opened a thousand lines above reaches it";
    EXPECT_FALSE(Colours.Settled()) << "an edit leaves the blocks after it to be followed again";
    FollowToTheEnd();
}

TEST_F(Colouring, FollowsALoadedDocumentFromItsFirstColouringAnEditAtOnce)
{
    Document.setPlainText(QStringLiteral("int a;\n").repeated(5000));
    QApplication::processEvents();
    EXPECT_FALSE(Colours.Settled()) << "nothing followed before the first screen is coloured";
    ColourAll();
    FollowToTheEnd();

    QSignalSpy outdated(&Colours, &Highlighter::FormatsOutdated);
    Insert(0, QStringLiteral("/*"));
    FollowToTheEnd();
    EXPECT_GE(outdated.count(), 1) << "an edit out of view still changes what the view shows";
}

TEST_F(Colouring, FarViewIsColouredAtOnceFromAGuessThatFollowingPutsRight)
{
    Document.setPlainText(QStringLiteral("/*\n") + QStringLiteral("int a;\n").repeated(9000) +
                          QStringLiteral("//#TARGET ATtiny26\nint b;"));
    QSignalSpy outdated(&Colours, &Highlighter::FormatsOutdated);
    Colours.Colour(Document.findBlockByNumber(9000), Document.lastBlock());
    EXPECT_EQ(Shown(9000), "k:int") << "the guess: no comment open";
    EXPECT_EQ(Shown(9001), "c://#TARGET ATtiny26") << "not yet known to pick the device";

    FollowToTheEnd();
    EXPECT_GE(outdated.count(), 1);
    Colours.Colour(Document.findBlockByNumber(9000), Document.lastBlock());
    EXPECT_EQ(Shown(9000), "c:int a;");
    EXPECT_EQ(Shown(9001), "T://#TARGET ATtiny26");
    EXPECT_EQ(Shown(9002), "c:int b;");
}

TEST_F(Colouring, CommentOpenedAboveRecoloursTheLinesBelowAndUndoTakesItBack)
{
    Document.setPlainText(QStringLiteral("int a;\nint b;\nchar c;"));
    Document.clearUndoRedoStacks();
    ColourAll();
    EXPECT_EQ(Shown(2), "k:char");

    Insert(0, QStringLiteral("/*"));
    ColourAll();
    EXPECT_EQ(Shown(0), "c:/*int a;");
    EXPECT_EQ(Shown(2), "c:char c;");
    EXPECT_EQ(Document.availableUndoSteps(), 1) << "colouring adds no undo step";

    Insert(Document.findBlockByNumber(1).position() + 6, QStringLiteral("*/"));
    ColourAll();
    EXPECT_EQ(Shown(1), "c:int b;*/");
    EXPECT_EQ(Shown(2), "k:char");

    Document.undo();
    Document.undo();
    ColourAll();
    EXPECT_EQ(Shown(0), "k:int");
    EXPECT_EQ(Shown(2), "k:char");
    Document.redo();
    ColourAll();
    EXPECT_EQ(Shown(2), "c:char c;");
}

TEST_F(Colouring, OnlyTheLineThatPicksTheDeviceStandsOut)
{
    const QString text = QStringLiteral("// #TARGET AT90S2313\n//#TARGET ATmega999\nint x;\n"
                                        "//#target attiny26 second board\n//#TARGET AT90S8515\n"
                                        "//#TARGET\n");
    Document.setPlainText(text);
    ColourAll();
    EXPECT_EQ(TargetLines(), QStringList{"//#target attiny26 second board"});
    EXPECT_EQ(Shown(3), "T://#target attiny26 second board");
    EXPECT_EQ(Shown(4), "c://#TARGET AT90S8515");
    EXPECT_EQ(TargetDirective(text), 11) << "the line shown is the line loading reads";

    QTextCursor cursor(Document.findBlockByNumber(1));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QStringLiteral("//#TARGET ATmega103"));
    ColourAll();
    EXPECT_EQ(TargetLines(), QStringList{"//#TARGET ATmega103"});
    EXPECT_EQ(Shown(3), "c://#target attiny26 second board");

    cursor.select(QTextCursor::BlockUnderCursor);
    cursor.removeSelectedText();
    ColourAll();
    EXPECT_EQ(TargetLines(), QStringList{"//#target attiny26 second board"});

    // A line separator inside a block is a line break in the saved file.
    Document.setPlainText(QStringLiteral("int a; // a\u2028//#TARGET ATtiny26\u2028char b;"));
    ColourAll();
    EXPECT_EQ(Shown(0), "k:int c:// a T://#TARGET ATtiny26 k:char");
}

TEST_F(Colouring, SendsNoSignalAndLeavesCursorsAndUndoAlone)
{
    Document.setPlainText(QStringLiteral("int a; /* open\n\"x\"\n//#TARGET ATtiny26\n"));
    Document.clearUndoRedoStacks();
    Document.setModified(false);
    QTextCursor selection(&Document);
    selection.setPosition(9);
    selection.setPosition(3, QTextCursor::KeepAnchor);
    QStringList signals_;
    QObject::connect(
        &Document, &QTextDocument::contentsChange, [&](int from, int removed, int added) {
            signals_ << QStringLiteral("contentsChange %1 %2 %3").arg(from).arg(removed).arg(added);
        });
    QObject::connect(&Document, &QTextDocument::contentsChanged,
                     [&] { signals_ << QStringLiteral("contentsChanged"); });
    QObject::connect(&Document, &QTextDocument::undoCommandAdded,
                     [&] { signals_ << QStringLiteral("undoCommandAdded"); });
    QObject::connect(&Document, &QTextDocument::modificationChanged,
                     [&] { signals_ << QStringLiteral("modificationChanged"); });

    ColourAll();
    Colours.SetFormats(ColoursFor(QPalette(Qt::white, Qt::black)).Formats);
    ColourAll();
    Colours.Tokens(Document.lastBlock(), Document.lastBlock().text());
    EXPECT_EQ(signals_, QStringList());
    EXPECT_EQ(selection.anchor(), 9);
    EXPECT_EQ(selection.position(), 3);
    EXPECT_FALSE(Document.isModified());
    EXPECT_EQ(Document.availableUndoSteps(), 0);

    Insert(20, QStringLiteral("x"));
    signals_.sort();
    EXPECT_EQ(signals_, (QStringList{"contentsChange 20 0 1", "contentsChanged",
                                     "modificationChanged", "undoCommandAdded"}))
        << "an edit after colouring reports only itself";
    signals_.clear();
    Colours.RemoveFormats();
    EXPECT_EQ(signals_, QStringList());
    EXPECT_EQ(Shown(0), "");
}

TEST_F(Colouring, AShownLineTypedInHasItsFormatsBeforeItIsPaintedAgain)
{
    Document.setPlainText(QStringLiteral("int a;\nint b;"));
    ColourAll();
    Insert(4, QStringLiteral("long "));
    EXPECT_EQ(Shown(0), "k:int k:long") << "Qt lays the line out once, with its formats";
    Insert(11, QStringLiteral("\n// x"));
    EXPECT_EQ(Shown(1), "") << "new lines wait for their painting";
}

TEST_F(Colouring, LinesTooLongOrTooDenseStayPlainButStillCarryTheirState)
{
    const int most = Highlighter::MostColouredTokens;
    const struct
    {
        QString Line;
        bool Coloured;
    } cases[] = {
        {QStringLiteral("int ").repeated(5000), false},
        {QStringLiteral("int ").repeated(most - 1), true},
        {QStringLiteral("int ").repeated(most), false},
        {QStringLiteral("0,").repeated(most), false},
        {QStringLiteral("/*") + QStringLiteral("x").repeated(9990) + QStringLiteral("*/"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line.size());
        Document.setPlainText(c.Line + QStringLiteral("/*\nint b;"));
        ColourAll();
        EXPECT_EQ(Shown(0).isEmpty(), !c.Coloured);
        EXPECT_EQ(Shown(1), "c:int b;");
    }
}

TEST_F(Colouring, AfterAnyEditsTheStatesAreThoseOfAFreshScan)
{
    Document.setPlainText(
        QStringLiteral("int a; /* b */\nchar* s = \"x\";\n#define D \\\n  1\n").repeated(60));
    std::mt19937 random(16);
    const QStringList pieces{"/*", "*/", "\"", "'", "\\", "\n", "//", "#", "x", "\u2028"};
    for (int edit = 0; edit < 300; ++edit) {
        QTextCursor cursor(&Document);
        cursor.setPosition(int(random() % unsigned(Document.characterCount() - 1)));
        if (random() % 4 == 0)
            cursor.deleteChar();
        else
            cursor.insertText(pieces[int(random() % unsigned(pieces.size()))]);
        const QTextBlock shown =
            Document.findBlockByNumber(int(random() % unsigned(Document.blockCount())));
        Colours.Colour(shown, shown.next().isValid() ? shown.next() : shown);
        if (edit % 7 == 0)
            QApplication::processEvents();
    }
    FollowToTheEnd();
    const auto fresh = FreshScan(Document);
    for (QTextBlock block = Document.firstBlock(); block.isValid(); block = block.next()) {
        SCOPED_TRACE(block.blockNumber());
        ASSERT_EQ(Colours.Tokens(block, block.text()), fresh[std::size_t(block.blockNumber())]);
    }
}

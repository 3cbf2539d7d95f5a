#include "editor/sourceedit.h"

#include <string_view>

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/finddialog.h"
#include "app/main.h"
#include "build/messages.h"
#include "editor/syntaxcolours.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"

namespace {

QPalette Dark()
{
    QPalette palette(QColor(0xEF, 0xF0, 0xF1), QColor(0x31, 0x36, 0x3B));
    palette.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    palette.setColor(QPalette::Text, QColor(0xEF, 0xF0, 0xF1));
    return palette;
}

class Editor : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(Prompts.Answers.empty()); }

    // A shown main window whose editor and listing pane are decorated or plain, the editor
    // focused.
    TMainFM& Window(bool decorated = true)
    {
        auto& main = *Windows.emplace_back(std::make_unique<TMainFM>(Prompts, QStringList{}));
        Source(main)->SetDecorated(decorated);
        qobject_cast<SourceEdit*>(main.Listing())->SetDecorated(decorated);
        main.show();
        QApplication::setActiveWindow(&main);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&main));
        main.Editor()->setFocus();
        return main;
    }

    static SourceEdit* Source(TMainFM& main) { return qobject_cast<SourceEdit*>(main.Editor()); }

    static void SetCaret(QPlainTextEdit* edit, int position, int anchor = -1)
    {
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
    }

    static QColor GutterPixelAt(SourceEdit* edit, const QTextCursor& line)
    {
        return edit->Gutter()->grab().toImage().pixelColor(2, edit->cursorRect(line).center().y());
    }

    static QColor GutterPixelAt(SourceEdit* edit, int block)
    {
        return GutterPixelAt(edit, QTextCursor(edit->document()->findBlockByNumber(block)));
    }

    // The tool tip the gutter shows at that height, empty for none.
    static QString GutterTipAt(SourceEdit* edit, int y)
    {
        QHelpEvent tip(QEvent::ToolTip, QPoint(2, y), QPoint(100, 100));
        QApplication::sendEvent(edit->Gutter(), &tip);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    // A line of the compiler's output in the message list, as a build puts it there.
    static void AddMessage(TMainFM& main, const QString& line)
    {
        const TMessageRow row = SplitMessage(line);
        new QTreeWidgetItem(main.Messages(), {row.Message, row.File, row.Line});
    }

    // Right of the line's text, where only the line's mark is drawn.
    static QColor TextPixelAtCaret(QPlainTextEdit* edit)
    {
        const QImage shown = edit->viewport()->grab().toImage();
        return shown.pixelColor(shown.width() - 2, edit->cursorRect().center().y());
    }

    ConfigHome Config;
    ScriptedPrompts Prompts;
    TempDir Dir;
    std::vector<std::unique_ptr<TMainFM>> Windows;
};

} // namespace

TEST_F(Editor, KeepsItsFontWrapAndTabAndNumbersTheLinesInThatFont)
{
    SourceEdit* edit = Source(Window());
    EXPECT_EQ(edit->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(edit->font().pixelSize(), 15);
    EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("\t")) << "Tab inserts a tab";
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_EQ(edit->blockCount(), 3) << "Shift+Enter starts a line the gutter counts";
    EXPECT_FALSE(edit->document()->toRawText().contains(QChar::LineSeparator));
    edit->clear();

    EXPECT_EQ(edit->Gutter()->font(), edit->font());
    const int digit = QFontMetrics(edit->font()).horizontalAdvance(u'9');
    edit->setPlainText(QStringLiteral("\n").repeated(8));
    const int oneDigit = edit->Gutter()->width();
    edit->setPlainText(QStringLiteral("\n").repeated(9));
    EXPECT_EQ(edit->Gutter()->width(), oneDigit + digit);
    edit->setPlainText(QStringLiteral("\n").repeated(99));
    EXPECT_EQ(edit->Gutter()->width(), oneDigit + 2 * digit);
    EXPECT_EQ(edit->viewport()->x(), edit->Gutter()->geometry().right() + 1)
        << "the text starts right of the gutter";

    edit->SetDecorated(false);
    EXPECT_FALSE(edit->Gutter()->isVisible());
    EXPECT_EQ(edit->viewport()->x(), edit->Gutter()->x()) << "plain, the text takes the space";
    EXPECT_TRUE(edit->extraSelections().isEmpty());
}

TEST_F(Editor, GrowingGutterLaysNoLineOutAgain)
{
    SourceEdit* edit = Source(Window());
    edit->setPlainText(QStringLiteral("x\n").repeated(98));
    edit->grab();
    ASSERT_EQ(edit->document()->firstBlock().layout()->lineCount(), 1);
    const int twoDigits = edit->Gutter()->width();
    QTextCursor end(edit->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("\nx"));
    EXPECT_EQ(edit->Gutter()->width(),
              twoDigits + QFontMetrics(edit->font()).horizontalAdvance(u'9'))
        << "line 100 needs a third digit";
    EXPECT_EQ(edit->document()->firstBlock().layout()->lineCount(), 1)
        << "the lines stay laid out as they were";
    EXPECT_EQ(edit->horizontalScrollBar()->maximum(), 0) << "no scrolling for short lines";
    SetCaret(edit, 0);
    const QImage shown = edit->viewport()->grab().toImage();
    const int right = shown.width() - 1 - int(edit->document()->documentMargin());
    EXPECT_EQ(shown.pixelColor(right, edit->cursorRect().center().y()),
              ColoursFor(edit->palette()).CurrentLine)
        << "the caret's line is still marked up to the right margin";
}

// Qt shaped a whole line again to draw it and again to place the caret, which in a line of 5 000
// characters took most of a keystroke; a line that keeps its shaped text must be the caret's
// alone, or every long line visited would hold its own.
TEST_F(Editor, OnlyTheCaretsLongLineKeepsItsShapedText)
{
    SourceEdit* edit = Source(Window());
    const QString line(SourceEdit::LongLine, u'x');
    edit->setPlainText("a\n" + line + '\n' + line + "\nb");
    const struct
    {
        int Line;
        int Kept;
    } steps[] = {{0, -1}, {1, 1}, {2, 2}, {3, -1}, {1, 1}, {0, -1}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Line);
        SetCaret(edit, edit->document()->findBlockByNumber(step.Line).position() + 1);
        for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next())
            EXPECT_EQ(block.layout()->cacheEnabled(), block.blockNumber() == step.Kept)
                << block.blockNumber();
    }
}

// The lines in view are counted before any is laid out, so that each is laid out once, with its
// colours; a count that fell short would leave the bottom line plain.
TEST_F(Editor, EveryLineInViewIsColouredAtItsFirstPaint)
{
    SourceEdit edit(SourceEdit::Language::C);
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.show();
    for (const char* family : {"Courier New", "DejaVu Sans Mono"})
        for (const int pixels : {13, 15, 19}) {
            QFont font(QString::fromLatin1(family));
            font.setPixelSize(pixels);
            edit.setFont(font);
            const int line = QFontMetrics(font).height();
            for (int height = 200; height < 200 + line; ++height) {
                SCOPED_TRACE(testing::Message() << family << ' ' << pixels << "px, " << height);
                edit.resize(300, height);
                edit.setPlainText(QStringLiteral("int a;\n").repeated(100));
                edit.grab();
                const QTextBlock bottom =
                    edit.cursorForPosition({0, edit.viewport()->height() - 1}).block();
                ASSERT_GT(bottom.blockNumber(), 5);
                EXPECT_FALSE(bottom.layout()->formats().isEmpty());
            }
        }
}

TEST_F(Editor, DoubleClickedMessageLineIsTheMarkedLineInTextAndGutter)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    main.Editor()->setPlainText(QStringLiteral("int a;\n").repeated(40));
    AddMessage(main, QStringLiteral("blink.c:12: error: expected ';'"));
    QTreeWidgetItem* row = main.Messages()->topLevelItem(0);
    main.Messages()->setCurrentItem(row);
    emit main.Messages()->itemDoubleClicked(row, 0);
    QApplication::processEvents();

    EXPECT_EQ(edit->textCursor().blockNumber(), 11);
    const SyntaxColours colours = ColoursFor(edit->palette());
    EXPECT_EQ(TextPixelAtCaret(edit), colours.CurrentLine);
    EXPECT_EQ(GutterPixelAt(edit, edit->textCursor()), colours.GutterCurrentLine);

    SetCaret(edit, 0);
    EXPECT_EQ(GutterPixelAt(edit, 0), colours.GutterCurrentLine) << "the gutter follows the caret";
    SetCaret(edit, 7 * 11);
    EXPECT_EQ(GutterPixelAt(edit, 11), colours.GutterCurrentLine);
    edit->verticalScrollBar()->setValue(0);
    EXPECT_EQ(GutterPixelAt(edit, 0), colours.GutterBackground);
}

TEST_F(Editor, BracketBesideTheCaretIsMarkedWithItsPartner)
{
    SourceEdit* edit = Source(Window());
    edit->setPlainText(QStringLiteral("if (f(a) /* ) */) {\n}\n("));
    const SyntaxColours colours = ColoursFor(edit->palette());
    const auto marks = [edit] {
        QStringList shown;
        for (const QTextEdit::ExtraSelection& mark : edit->extraSelections())
            shown << QString::number(mark.cursor.selectionStart()) + mark.cursor.selectedText();
        return shown.join(' ');
    };
    SetCaret(edit, 3);
    EXPECT_EQ(marks(), QStringLiteral("3( 16)"));
    EXPECT_EQ(edit->extraSelections()[0].format.background().color(), colours.Bracket);
    SetCaret(edit, 20);
    EXPECT_EQ(marks(), QStringLiteral("20} 18{"));
    SetCaret(edit, 12);
    EXPECT_EQ(marks(), QString()) << "a bracket in a comment is not marked";
    SetCaret(edit, 23);
    EXPECT_EQ(marks(), QStringLiteral("22("));
    EXPECT_EQ(edit->extraSelections()[0].format.background().color(), colours.UnmatchedBracket);
}

TEST_F(Editor, ColouringNeverChangesTheDocumentTheCaretOrTheSavedBytes)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    const QByteArray bytes = "//#TARGET ATtiny26\r\n/* Z\xE4hler\xA0(\x81\x9D \r\n"
                             "int main(void) { return \"x\\\"; }\r\n\t'\r\n" +
                             QByteArray("uint8_t a[2] = {0x01, 2}; // (ok)\r\n").repeated(300);
    const QString path = Dir.Write("colours.c", bytes);
    main.LoadDocument(path);
    edit->grab();
    for (const int position : {43, 44, 60, 70})
        SetCaret(edit, position);
    ASSERT_FALSE(edit->document()->firstBlock().layout()->formats().isEmpty());

    SetCaret(edit, 25, 40);
    const QString panel = main.StatusPanel(0);
    QStringList seen;
    QObject::connect(edit, &QPlainTextEdit::textChanged, [&] { seen << "textChanged"; });
    QObject::connect(
        edit->document(), &QTextDocument::contentsChange, [&](int from, int removed, int added) {
            seen << QStringLiteral("contentsChange %1 %2 %3").arg(from).arg(removed).arg(added);
        });
    QObject::connect(edit->document(), &QTextDocument::undoCommandAdded, [&] { seen << "undo"; });
    edit->grab();
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
    edit->grab();
    edit->setPalette(Dark());
    edit->grab();
    edit->setPalette(QPalette());
    edit->SetDecorated(false);
    edit->SetDecorated(true);
    edit->grab();
    QApplication::processEvents();

    EXPECT_EQ(seen, QStringList());
    EXPECT_FALSE(main.Modified());
    EXPECT_EQ(main.StatusPanel(1), QString()) << "never \"Geändert\"";
    EXPECT_EQ(edit->document()->availableUndoSteps(), 0);
    EXPECT_EQ(edit->textCursor().anchor(), 40);
    EXPECT_EQ(edit->textCursor().position(), 25);
    EXPECT_EQ(main.StatusPanel(0), panel);
    main.SaveDocument();
    EXPECT_EQ(TempDir::Read(path), bytes);

    SetCaret(edit, 3);
    QTest::keyClick(edit, Qt::Key_X);
    edit->grab();
    EXPECT_EQ(seen.filter(QStringLiteral("contentsChange")), QStringList{"contentsChange 3 0 1"})
        << "an edit reports only itself";
    EXPECT_EQ(edit->document()->availableUndoSteps(), 1);
}

TEST_F(Editor, SearchReplaceAndCaretPanelAreTheSameWithAndWithoutColours)
{
    const QString text =
        QStringLiteral("int a = 1; /* int */\nprintf(\"int\");\n\u00a0int\u00a0x;\n"
                       "uint8_t y; //#TARGET ATtiny26\n(int) {int}\n");
    QStringList results[2];
    for (const bool decorated : {true, false}) {
        TMainFM& main = Window(decorated);
        QStringList& found = results[decorated];
        main.Editor()->setPlainText(text);
        main.Editor()->grab();
        for (const int position : {0, 5, 22, 40, 55, int(text.size())}) {
            SetCaret(main.Editor(), position);
            found << main.StatusPanel(0);
        }
        FindDialog& replace = *main.ReplaceDialogRD();
        replace.SetSearchText(QStringLiteral("int"));
        replace.findChildren<QCheckBox*>()[0]->setChecked(true);
        SetCaret(main.Editor(), 0);
        Prompts.Answers = {QMessageBox::Ok};
        do {
            emit replace.FindNext();
            found << QString::number(main.Editor()->textCursor().selectionStart());
        } while (main.Editor()->textCursor().hasSelection());
        SetCaret(main.Editor(), 0);
        replace.SetReplaceText(QStringLiteral("long"));
        Prompts.Answers = {QMessageBox::Ok};
        emit replace.Replace(true);
        found << main.Editor()->toPlainText()
              << QString::number(main.Editor()->document()->availableUndoSteps());
    }
    EXPECT_EQ(results[true], results[false]);
    EXPECT_EQ(results[true].mid(0, 6),
              (QStringList{"1:  1 ", "1:  6 ", "2:  2 ", "3:  5 ", "4:  12 ", "6:  1 "}));
}

TEST_F(Editor, PaletteChangeRecoloursTheText)
{
    SourceEdit* edit = Source(Window());
    edit->setPlainText(QStringLiteral("int a;"));
    const auto inLayout = [edit] {
        edit->grab();
        const QTextLayout* line = edit->document()->firstBlock().layout();
        return line->formats().value(0).format.foreground().color();
    };
    const auto keyword = [](const QPalette& palette) {
        return ColoursFor(palette).Formats[int(SyntaxKind::Keyword)].foreground().color();
    };
    EXPECT_EQ(inLayout(), keyword(edit->palette()));
    edit->setPalette(Dark());
    const QColor dark = keyword(Dark());
    EXPECT_EQ(inLayout(), dark);
    const QImage shown = edit->viewport()->grab().toImage();
    int inKeywordColour = 0;
    for (int y = 0; y < edit->cursorRect().bottom(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            inKeywordColour += shown.pixelColor(x, y).rgb() == dark.rgb();
    EXPECT_GT(inKeywordColour, 5) << "the keyword is drawn in its colour";
}

TEST_F(Editor, ListingPaneTellsAddressOpcodeAndMnemonicApart)
{
    TMainFM& main = Window();
    main.Listing()->setPlainText(QStringLiteral("  119 0000 81E0      \t\tldi r24,lo8(1)"));
    main.Listing()->grab();
    QStringList colours;
    for (const auto& range : main.Listing()->document()->firstBlock().layout()->formats())
        colours << range.format.foreground().color().name();
    ASSERT_EQ(colours.size(), 4);
    colours.removeDuplicates();
    EXPECT_EQ(colours.size(), 4);
}

// The file's unit and the braces are decided below; here the keys and the steps to undo.
TEST_F(Editor, EnterKeepsTheIndentAndBracesChangeItEachOneStepToUndo)
{
    SourceEdit* edit = Source(Window());
    edit->setPlainText(QStringLiteral("  if (a) {"));
    edit->moveCursor(QTextCursor::End);
    for (const char key : std::string_view("\nx\n}"))
        key == '\n' ? QTest::keyClick(edit, Qt::Key_Return) : QTest::keyClick(edit, key);
    QStringList undone;
    for (; edit->document()->isUndoAvailable(); edit->undo())
        undone << edit->toPlainText();
    EXPECT_EQ(undone, (QStringList{"  if (a) {\n    x\n  }", "  if (a) {\n    x\n    ",
                                   "  if (a) {\n    x", "  if (a) {\n    "}));
}

// A closing brace takes a level off only where it is code on a line of its own: typed in a block
// comment it once took the comment's line back, and typed before "else" it took that line back.
TEST_F(Editor, ClosingBraceMovesBackOnlyOnALineOfItsOwn)
{
    SourceEdit* edit = Source(Window());
    const char* const cases[][2] = {{"  /* a\n  |", "  /* a\n  }"},
                                    {"  /* a */\n  |", "  /* a */\n}"},
                                    {"  // a\n  |", "  // a\n}"},
                                    {"  s = \"a\\\n  |", "  s = \"a\\\n  }"},
                                    {"  {\n    x();\n  |else", "  {\n    x();\n  }else"},
                                    {"  {\n    x();\n    | ", "  {\n    x();\n  } "}};
    for (const auto& [text, typed] : cases) {
        SCOPED_TRACE(text);
        const QString before = QString::fromUtf8(text);
        edit->setPlainText(QString(before).remove(u'|'));
        SetCaret(edit, int(before.indexOf(u'|')));
        QTest::keyClick(edit, '}');
        EXPECT_EQ(edit->toPlainText(), QString::fromUtf8(typed));
    }
}

TEST_F(Editor, TabDoesNotLeaveTheReadOnlyListing)
{
    TMainFM& main = Window();
    main.Listing()->setPlainText(QStringLiteral("   1 0000 0FEF  ldi r16,0xff\n   2 0002 00C0"));
    for (const char* line : {"a.c:1: error: x", "a.c:2: error: y"})
        new QTreeWidgetItem(main.Messages(), {line, "a.c", "1"});
    QTest::mouseClick(main.Listing()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    ASSERT_EQ(QApplication::focusWidget(), main.Listing());
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(QApplication::focusWidget(), main.Listing()) << key;
        EXPECT_TRUE(main.Messages()->selectedItems().isEmpty());
    }
    EXPECT_EQ(main.Listing()->textCursor().blockNumber(), 1) << "Down moved in the listing";
}

// The caret's line is drawn by the editor under the text, so the target line's own background
// stays, and an empty pane draws it without asking Qt for a full-width selection.
TEST_F(Editor, CaretsLineMarkLiesUnderTheTargetLine)
{
    SourceEdit* edit = Source(Window());
    const SyntaxColours colours = ColoursFor(edit->palette());
    for (const char* text : {"//#TARGET ATtiny26\nint a;", ""}) {
        SCOPED_TRACE(text);
        edit->setPlainText(QString::fromUtf8(text));
        while (!edit->ColouringSettled())
            QApplication::processEvents();
        const QImage shown = edit->viewport()->grab().toImage();
        const int y = edit->cursorRect().center().y();
        EXPECT_EQ(shown.pixelColor(shown.width() - 2, y), colours.CurrentLine);
        EXPECT_TRUE(edit->extraSelections().isEmpty());
        if (*text) {
            QTextCursor blank(edit->document());
            blank.setPosition(9);
            EXPECT_EQ(shown.pixelColor(edit->cursorRect(blank).center().x() + 3, y),
                      colours.Formats[int(SyntaxKind::TargetLine)].background().color());
        }
    }
}

TEST_F(Editor, FarBracketPartnerIsMarkedOnlyOnceFoundBetweenEvents)
{
    SourceEdit* edit = Source(Window());
    edit->setPlainText(QStringLiteral("{\n") + QStringLiteral("int a;\n").repeated(2000) + '}');
    SetCaret(edit, 0);
    EXPECT_TRUE(edit->BracketSearchPending());
    EXPECT_TRUE(edit->extraSelections().isEmpty()) << "nothing is marked before it is known";
    while (edit->BracketSearchPending())
        QApplication::processEvents();
    ASSERT_EQ(edit->extraSelections().size(), 2);
    EXPECT_EQ(edit->extraSelections()[1].cursor.selectionStart(), 14002);
}

TEST_F(Editor, CompilerMessagesMarkTheirLinesUntilTheNextBuildOrAnotherDocument)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    const QString path = Dir.Write("blink.c", QByteArray("int a;\n").repeated(20));
    const QStringList lines{path + ": In function 'main':",
                            path + ":3:5: error: 'x' undeclared",
                            "/usr/lib/avr/include/avr/io.h:5:1: warning: redefined",
                            path + ":8:1: warning: unused variable 'y'",
                            path + ":3:9: note: reported only once",
                            path + ":12:1: warning: no return"};
    const auto build = [&] {
        main.Messages()->clear();
        for (const QString& line : lines)
            AddMessage(main, line);
    };
    main.LoadDocument(path);
    build();
    const SyntaxColours colours = ColoursFor(edit->palette());
    EXPECT_EQ(GutterPixelAt(edit, 2), colours.ErrorMark);
    EXPECT_EQ(GutterPixelAt(edit, 7), colours.WarningMark);
    EXPECT_EQ(GutterPixelAt(edit, 4), colours.GutterBackground)
        << "a header's line 5 is no line of this file";
    const QTextCursor third(edit->document()->findBlockByNumber(2));
    EXPECT_EQ(GutterTipAt(edit, edit->cursorRect(third).center().y()), MessageToolTip(lines[1]));

    SetCaret(edit, 0);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Return);
    // F8 or Shift+F8, the row it selects and the line the caret lands on, two lines further down.
    const int steps[][3] = {{0, 1, 4}, {0, 3, 9}, {0, 5, 13}, {0, 1, 4}, {1, 5, 13}, {1, 3, 9}};
    for (const auto& [shift, row, line] : steps) {
        QTest::keyClick(edit, Qt::Key_F8, shift ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(main.Messages()->indexOfTopLevelItem(main.Messages()->currentItem()), row);
        EXPECT_EQ(edit->textCursor().blockNumber(), line) << row;
        EXPECT_EQ(QApplication::focusWidget(), edit);
    }

    main.Messages()->clear();
    EXPECT_EQ(GutterPixelAt(edit, 4), colours.GutterBackground)
        << "the next build starts without marks";
    build();
    Prompts.Answers = {QMessageBox::No};
    main.NewDocument();
    QTreeWidgetItem* const current = main.Messages()->currentItem();
    QTest::keyClick(edit, Qt::Key_F8);
    EXPECT_EQ(main.Messages()->currentItem(), current) << "nothing left to go to";
    EXPECT_EQ(edit->MessageMarkLine(1), -1);
}

// The gutter below the last line is no line: it once showed the last line's messages.
TEST_F(Editor, GutterBelowTheLastLineShowsNoMessage)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    const QString path = Dir.Write("one.c", "int a;");
    main.LoadDocument(path);
    AddMessage(main, path + ":1:5: error: x");
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
    for (const int y : {edit->Gutter()->height() - 3, edit->cursorRect().center().y()})
        EXPECT_EQ(GutterTipAt(edit, y).isEmpty(), y != edit->cursorRect().center().y()) << y;
}

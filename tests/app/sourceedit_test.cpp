#include "editor/sourceedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/finddialog.h"
#include "app/main.h"
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

    static QColor GutterPixelAtCaret(SourceEdit* edit)
    {
        return edit->Gutter()->grab().toImage().pixelColor(1, edit->cursorRect().center().y());
    }

    ConfigHome Config;
    ScriptedPrompts Prompts;
    TempDir Dir;
    std::vector<std::unique_ptr<TMainFM>> Windows;
};

} // namespace

TEST_F(Editor, KeepsItsFontWrapAndTabAndNumbersTheLinesInThatFont)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
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
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
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

TEST_F(Editor, DoubleClickedMessageLineIsTheMarkedLineInTextAndGutter)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    main.Editor()->setPlainText(QStringLiteral("int a;\n").repeated(40));
    new QTreeWidgetItem(main.Messages(), {QStringLiteral("blink.c:12: error: expected ';'"),
                                          QStringLiteral("blink.c"), QStringLiteral("12")});
    QTreeWidgetItem* row = main.Messages()->topLevelItem(0);
    main.Messages()->setCurrentItem(row);
    emit main.Messages()->itemDoubleClicked(row, 0);
    QApplication::processEvents();

    EXPECT_EQ(edit->textCursor().blockNumber(), 11);
    const SyntaxColours colours = ColoursFor(edit->palette());
    ASSERT_FALSE(edit->extraSelections().isEmpty());
    const QTextEdit::ExtraSelection line = edit->extraSelections().first();
    EXPECT_EQ(line.cursor.blockNumber(), 11);
    EXPECT_TRUE(line.format.property(QTextFormat::FullWidthSelection).toBool());
    EXPECT_EQ(line.format.background().color(), colours.CurrentLine);
    EXPECT_EQ(GutterPixelAtCaret(edit), colours.CurrentLine);

    SetCaret(edit, 0);
    EXPECT_EQ(GutterPixelAtCaret(edit), colours.CurrentLine) << "the gutter follows the caret";
    SetCaret(edit, 7 * 11);
    EXPECT_EQ(GutterPixelAtCaret(edit), colours.CurrentLine);
    edit->verticalScrollBar()->setValue(0);
    EXPECT_EQ(edit->Gutter()->grab().toImage().pixelColor(
                  1, edit->cursorRect(QTextCursor(edit->document())).center().y()),
              colours.GutterBackground);
}

TEST_F(Editor, BracketBesideTheCaretIsMarkedWithItsPartner)
{
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    edit->setPlainText(QStringLiteral("if (f(a) /* ) */) {\n}\n("));
    const SyntaxColours colours = ColoursFor(edit->palette());
    const auto marks = [edit] {
        QStringList shown;
        for (const QTextEdit::ExtraSelection& mark : edit->extraSelections().mid(1))
            shown << QString::number(mark.cursor.selectionStart()) + mark.cursor.selectedText();
        return shown.join(' ');
    };
    SetCaret(edit, 3);
    EXPECT_EQ(marks(), QStringLiteral("3( 16)"));
    EXPECT_EQ(edit->extraSelections()[1].format.background().color(), colours.Bracket);
    SetCaret(edit, 20);
    EXPECT_EQ(marks(), QStringLiteral("20} 18{"));
    SetCaret(edit, 12);
    EXPECT_EQ(marks(), QString()) << "a bracket in a comment is not marked";
    SetCaret(edit, 23);
    EXPECT_EQ(marks(), QStringLiteral("22("));
    EXPECT_EQ(edit->extraSelections()[1].format.background().color(), colours.UnmatchedBracket);
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
    TMainFM& main = Window();
    SourceEdit* edit = Source(main);
    edit->setPlainText(QStringLiteral("int a;"));
    const auto keyword = [edit] {
        edit->grab();
        return edit->document()
            ->firstBlock()
            .layout()
            ->formats()
            .value(0)
            .format.foreground()
            .color();
    };
    EXPECT_EQ(keyword(),
              ColoursFor(edit->palette()).Formats[int(SyntaxKind::Keyword)].foreground().color());
    edit->setPalette(Dark());
    const QColor dark = ColoursFor(Dark()).Formats[int(SyntaxKind::Keyword)].foreground().color();
    EXPECT_EQ(keyword(), dark);
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

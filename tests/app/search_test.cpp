#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/finddialog.h"
#include "app/main.h"
#include "dialogs/about.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"

namespace {

class Search : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Main.show();
        QApplication::setActiveWindow(&Main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main));
        Editor()->setFocus();
    }

    void TearDown() override
    {
        EXPECT_TRUE(Prompts.Answers.empty()) << "an expected message was not shown";
    }

    QPlainTextEdit* Editor() { return Main.Editor(); }
    FindDialog& Find() { return *Main.FindDialogFD(); }
    FindDialog& Replace() { return *Main.ReplaceDialogRD(); }
    QAction* Action(const char* name) { return Main.findChild<QAction*>(QLatin1String(name)); }

    void Select(QPlainTextEdit* control, int start, int end)
    {
        QTextCursor cursor = control->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        control->setTextCursor(cursor);
    }

    std::pair<int, int> Selection(QPlainTextEdit* control)
    {
        const QTextCursor cursor = control->textCursor();
        return {cursor.selectionStart(), cursor.selectionEnd()};
    }

    void ExpectNoMoreOccurrencesShown()
    {
        ASSERT_FALSE(Prompts.Messages.empty());
        const MessageSpec& shown = Prompts.Messages.back();
        EXPECT_EQ(shown.Text, QStringLiteral("Keine weiteren Vorkommen."));
        EXPECT_EQ(shown.Caption, QStringLiteral("Information"));
        EXPECT_EQ(shown.Buttons, QMessageBox::Ok);
        EXPECT_EQ(shown.Icon, QMessageBox::NoIcon);
        EXPECT_EQ(shown.Owner, nullptr);
    }

    ConfigHome Config;
    ScriptedPrompts Prompts;
    TMainFM Main{Prompts, {}};
};

} // namespace

TEST_F(Search, FindTakesTheSelectionAndNeverFindsItAgain)
{
    Editor()->setPlainText(QStringLiteral("foo bar foo baz foo"));
    Action("FindAC")->trigger();
    EXPECT_TRUE(Find().isVisible());
    EXPECT_EQ(Find().SearchText(), QString()) << "no selection, empty search field";
    Find().hide();

    Select(Editor(), 0, 3);
    Action("FindAC")->trigger();
    EXPECT_EQ(Find().SearchText(), QStringLiteral("foo"));
    emit Find().FindNext();
    EXPECT_FALSE(Find().isVisible()) << "the find dialog closes on its first find-next";
    EXPECT_EQ(Selection(Editor()), std::make_pair(8, 11));

    Action("FindNextAC")->trigger();
    EXPECT_EQ(Selection(Editor()), std::make_pair(16, 19));
    Prompts.Answers = {QMessageBox::Ok};
    Action("FindNextAC")->trigger();
    ExpectNoMoreOccurrencesShown();
    EXPECT_EQ(Selection(Editor()), std::make_pair(19, 19))
        << "no wrap-around: the caret stays after the last hit";
}

TEST_F(Search, OpenDialogKeepsItsTextAndLongSelectionsAreCut)
{
    Editor()->setPlainText(QString(300, QLatin1Char('x')) + QStringLiteral(" word"));
    Select(Editor(), 0, 300);
    Action("FindAC")->trigger();
    EXPECT_EQ(Find().SearchText().size(), 255);
    Find().SearchField()->setText(QStringLiteral("typed"));
    Select(Editor(), 301, 305);
    Action("FindAC")->trigger();
    EXPECT_EQ(Find().SearchText(), QStringLiteral("typed")) << "an open dialog is only raised";
    Find().hide();

    // A character of two UTF-16 units across the limit goes as a whole.
    const QString emoji = QString::fromUtf16(u"\U0001F600");
    Editor()->setPlainText(QString(254, QLatin1Char('x')) + emoji + emoji);
    Select(Editor(), 0, 258);
    Action("FindAC")->trigger();
    EXPECT_EQ(Find().SearchText(), QString(254, QLatin1Char('x')));
    Replace().SearchField()->setText(QString(252, QLatin1Char('y')) + emoji + emoji);
    EXPECT_EQ(Replace().SearchText(), QString(252, QLatin1Char('y')) + emoji);
    Replace().ReplaceField()->setText(QString(254, QLatin1Char('z')) + emoji);
    EXPECT_EQ(Replace().ReplaceText(), QString(254, QLatin1Char('z')));
}

TEST_F(Search, FindNextAlwaysUsesTheFindDialogsText)
{
    Editor()->setPlainText(QStringLiteral("alpha beta alpha beta"));
    Find().SetSearchText(QStringLiteral("beta"));
    Replace().SetSearchText(QStringLiteral("alpha"));
    emit Replace().FindNext();
    EXPECT_EQ(Selection(Editor()), std::make_pair(0, 5));
    Action("FindNextAC")->trigger();
    EXPECT_EQ(Selection(Editor()), std::make_pair(6, 10));
}

TEST_F(Search, WholeWordAndMatchCaseOptions)
{
    Editor()->setPlainText(QStringLiteral("foo_bar Foo foo2 foo"));
    Replace().SetSearchText(QStringLiteral("foo"));
    Replace().findChildren<QCheckBox*>()[0]->setChecked(true);
    emit Replace().FindNext();
    EXPECT_EQ(Selection(Editor()), std::make_pair(8, 11)) << "underscore and digits join words";
    Replace().findChildren<QCheckBox*>()[1]->setChecked(true);
    Select(Editor(), 0, 0);
    emit Replace().FindNext();
    EXPECT_EQ(Selection(Editor()), std::make_pair(17, 20)) << "match case skips Foo";
}

TEST_F(Search, ReplaceAllWorksOnlyAfterTheCaretAndIsOneUndoStep)
{
    const QString text = QStringLiteral("ab x ab x ab x ab");
    Editor()->setPlainText(text);
    Select(Editor(), 6, 6);
    Replace().SetSearchText(QStringLiteral("ab"));
    Replace().SetReplaceText(QStringLiteral("abab"));
    Prompts.Answers = {QMessageBox::Ok};
    emit Replace().Replace(true);
    EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("ab x ab x abab x abab"))
        << "each later occurrence once, the inserted text never again";
    EXPECT_EQ(Prompts.Messages.size(), 1u);
    ExpectNoMoreOccurrencesShown();
    EXPECT_TRUE(Main.Modified());
    Editor()->undo();
    EXPECT_EQ(Editor()->toPlainText(), text);
}

// Qt's own document search folds a no-break space into a blank.
TEST_F(Search, NoBreakSpaceIsNotABlank)
{
    const QString nbsp(QChar(0xA0));
    Editor()->setPlainText(QStringLiteral("a") + nbsp + QStringLiteral("b a b"));
    Find().SetSearchText(QStringLiteral(" "));
    Action("FindNextAC")->trigger();
    EXPECT_EQ(Selection(Editor()), std::make_pair(3, 4));
    Select(Editor(), 0, 0);
    Find().SetSearchText(QStringLiteral("a") + nbsp);
    Action("FindNextAC")->trigger();
    EXPECT_EQ(Selection(Editor()), std::make_pair(0, 2));

    Select(Editor(), 0, 0);
    Replace().SetSearchText(QStringLiteral(" "));
    Replace().SetReplaceText(QStringLiteral("_"));
    Prompts.Answers = {QMessageBox::Ok};
    emit Replace().Replace(true);
    EXPECT_EQ(Editor()->document()->toRawText(),
              QStringLiteral("a") + nbsp + QStringLiteral("b_a_b"));
}

// Only a replacement changes the document, but every one does, even by the text it replaces.
TEST_F(Search, OnlyAReplacementMarksTheDocumentChanged)
{
    TempDir dir;
    Main.LoadDocument(dir.Write(QStringLiteral("a.c"), "foo bar\r\n"));
    Replace().SetSearchText(QStringLiteral("bar"));
    Replace().SetReplaceText(QStringLiteral("BAR"));
    emit Replace().Replace(false);
    EXPECT_EQ(Selection(Editor()), std::make_pair(4, 7)) << "nothing selected: only the search";
    EXPECT_FALSE(Main.Modified());

    Replace().SetSearchText(QStringLiteral("none"));
    Select(Editor(), 0, 0);
    Prompts.Answers = {QMessageBox::Ok, QMessageBox::Ok};
    emit Replace().Replace(false);
    emit Replace().Replace(true);
    EXPECT_FALSE(Main.Modified());

    Replace().findChildren<QCheckBox*>()[1]->setChecked(true);
    Replace().SetSearchText(QStringLiteral("bar"));
    Replace().SetReplaceText(QStringLiteral("bar"));
    Select(Editor(), 0, 0);
    Prompts.Answers = {QMessageBox::Ok};
    emit Replace().Replace(true);
    EXPECT_TRUE(Main.Modified());
    EXPECT_EQ(Main.StatusPanel(1), QStringLiteral("Geändert"));
}

// Replace-all works on one copy of the text; it must still end where pressing replace again
// and again would, also where a whole-word check looks at a replacement just made.
TEST_F(Search, ReplaceAllEndsWhereReplacingOneByOneEnds)
{
    struct Case
    {
        QString Text, Search, Replacement, Expected;
        bool WholeWord;
    };
    const Case cases[] = {
        {"---", "-", "z", "z-z", true},
        {"-b-b", "-b", "", "", true},
        {"-b-b", "-b", "+", "++", true},
        {"Foo foo_bar fOO2 foo", "foo", "x_x", "x_x foo_bar fOO2 x_x", true},
        {"aaaa", "aa", "a", "aa", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        Replace().findChildren<QCheckBox*>()[0]->setChecked(c.WholeWord);
        Replace().SetSearchText(c.Search);
        Replace().SetReplaceText(c.Replacement);
        Editor()->setPlainText(c.Text);
        Prompts.Answers = {QMessageBox::Ok};
        emit Replace().Replace(true);
        EXPECT_EQ(Editor()->toPlainText(), c.Expected);

        Editor()->setPlainText(c.Text);
        do {
            Prompts.Answers = {QMessageBox::Ok};
            emit Replace().Replace(false);
        } while (Editor()->textCursor().hasSelection() && (Prompts.Answers.clear(), true));
        EXPECT_EQ(Editor()->toPlainText(), c.Expected) << "one by one";
    }
}

// Loaded from a file, U+2029, U+FDD0 and U+FDD1 stay characters within their line (the editor
// would break lines there), and a search finds them as they are typed or selected.
TEST_F(Search, CharactersTheEditorTakesForLineBreaksAreFoundAsTheyAre)
{
    TempDir dir;
    // U+10029 (F0 90 80 A9) holds the stand-in of U+2029 as its second half.
    const QString path = dir.Write(
        QStringLiteral("a.c"), "x\xE2\x80\xA9y \xF0\x90\x80\xA9 x\xE2\x80\xA9y \xEF\xB7\x90\r\n");
    Main.LoadDocument(path);
    EXPECT_EQ(Editor()->document()->blockCount(), 2);
    Select(Editor(), 0, 3);
    Action("FindAC")->trigger();
    EXPECT_EQ(Find().SearchText(), QString::fromUtf16(u"x\u2029y"));
    emit Find().FindNext();
    EXPECT_EQ(Selection(Editor()), std::make_pair(7, 10));

    Select(Editor(), 0, 0);
    Replace().SetSearchText(QString(QChar(0x2029)));
    Replace().SetReplaceText(QString(QChar(0xFDD1)));
    Prompts.Answers = {QMessageBox::Ok};
    emit Replace().Replace(true);
    Main.SaveDocument();
    EXPECT_EQ(TempDir::Read(path),
              QByteArray("x\xEF\xB7\x91y \xF0\x90\x80\xA9 x\xEF\xB7\x91y \xEF\xB7\x90\r\n"));
}

TEST_F(Search, ReplaceReplacesTheSelectionWhateverItHoldsAndSelectsTheNextHit)
{
    Editor()->setPlainText(QStringLiteral("one two one two"));
    Replace().SetSearchText(QStringLiteral("two"));
    Replace().SetReplaceText(QStringLiteral("2"));
    Select(Editor(), 0, 3);
    emit Replace().Replace(false);
    EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("2 two one two"));
    EXPECT_EQ(Selection(Editor()), std::make_pair(2, 5));
    emit Replace().Replace(false);
    EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("2 2 one two"));
    EXPECT_EQ(Selection(Editor()), std::make_pair(8, 11));
}

TEST_F(Search, ListingCanBeSearchedButNotReplaced)
{
    Main.Listing()->setPlainText(QStringLiteral("ldi r16 ldi r17"));
    Main.Listing()->setFocus();
    EXPECT_TRUE(Action("FindAC")->isEnabled());
    EXPECT_FALSE(Action("ReplaceAC")->isEnabled());
    Replace().SetSearchText(QStringLiteral("ldi"));
    Replace().SetReplaceText(QStringLiteral("LDI"));
    emit Replace().Replace(true);
    EXPECT_EQ(Main.Listing()->toPlainText(), QStringLiteral("ldi r16 ldi r17"));
    EXPECT_TRUE(Prompts.Messages.empty()) << "replace in the listing does nothing, silently";
    emit Replace().FindNext();
    EXPECT_EQ(Selection(Main.Listing()), std::make_pair(0, 3));

    Find().SetSearchText(QStringLiteral("ldi"));
    Main.Messages()->setFocus();
    for (const char* name : {"FindAC", "FindNextAC", "ReplaceAC"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    emit Replace().FindNext();
    EXPECT_EQ(Selection(Main.Listing()), std::make_pair(0, 3)) << "nothing is searched";
}

TEST_F(Search, DialogsReadAsTheStandardOnes)
{
    Action("ReplaceAC")->trigger();
    EXPECT_EQ(Replace().windowTitle(), QStringLiteral("Ersetzen"));
    EXPECT_EQ(Find().windowTitle(), QStringLiteral("Suchen"));
    QStringList texts;
    for (const QLabel* label : Replace().findChildren<QLabel*>())
        texts << label->text();
    for (const QCheckBox* box : Replace().findChildren<QCheckBox*>())
        texts << box->text();
    for (const QPushButton* button : Replace().findChildren<QPushButton*>())
        texts << button->text() + (button->isDefault() ? "*" : "");
    EXPECT_EQ(texts, QStringList({"Suchen &nach:", "Ersetzen &durch:", "Nur &ganzes Wort suchen",
                                  "Groß-/&Kleinschreibung", "&Weitersuchen*", "&Ersetzen",
                                  "&Alle ersetzen", "Abbrechen"}));
    EXPECT_EQ(Replace().focusWidget(), Replace().SearchField());
    QWidget* next = Replace().SearchField()->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, Replace().ReplaceField()) << "Tab goes from the search to the replacement";
    Replace().SearchField()->setText(QString(300, QLatin1Char('y')));
    EXPECT_EQ(Replace().SearchText().size(), 255);
}

// Two boxes with the same access key: the key only moved the focus between them.
TEST_F(Search, EachCheckBoxIsTickedByItsOwnKey)
{
    for (FindDialog* dialog : {&Find(), &Replace()}) {
        dialog->show();
        QApplication::setActiveWindow(dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog, Qt::Key_G, Qt::AltModifier);
        QTest::keyClick(dialog, Qt::Key_K, Qt::AltModifier);
        // A box's access key clicks it a moment later, as a button shows its press.
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->WholeWord() && dialog->MatchCase(); }))
            << dialog->windowTitle().toStdString();
    }
}

// Opening a menu with the keyboard gives the menu bar the focus for a while; the Edit menu must
// still work on the editor, and after a dialog the keys go to the editor again.
TEST_F(Search, KeyboardChosenCommandsKeepWorkingOnTheEditor)
{
    Editor()->setPlainText(QStringLiteral("foo bar foo bar"));
    QTest::keyClick(&Main, Qt::Key_B, Qt::AltModifier);
    QMenu* edit = Main.findChild<QMenu*>(QStringLiteral("EditMI"));
    QTRY_VERIFY(edit->isVisible());
    EXPECT_EQ(Main.ActiveControl(), Editor());
    for (const char* name : {"FindAC", "ReplaceAC", "EditSelectAllAC"})
        EXPECT_TRUE(Action(name)->isEnabled()) << name;

    QTest::keyClick(edit, Qt::Key_S);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Find()));
    QTest::keyClicks(Find().SearchField(), QStringLiteral("bar"));
    QTest::keyClick(Find().SearchField(), Qt::Key_Return);
    EXPECT_FALSE(Find().isVisible());
    EXPECT_EQ(Selection(Editor()), std::make_pair(4, 7));
    QApplication::setActiveWindow(&Main);
    EXPECT_EQ(QApplication::focusWidget(), Editor());
    QTest::keyClick(&Main, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(Selection(Editor()), std::make_pair(12, 15));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("baz"));
    EXPECT_EQ(Editor()->toPlainText(), QStringLiteral("foo bar foo baz"));

    Main.SetDialogs({nullptr, new TAboutFM(&Main), nullptr});
    QTimer::singleShot(0, &Main, [] { QApplication::activeModalWidget()->close(); });
    QTest::keyClick(&Main, Qt::Key_H, Qt::AltModifier);
    QMenu* help = Main.findChild<QMenu*>(QStringLiteral("HelpMI"));
    QTRY_VERIFY(help->isVisible());
    QTest::keyClick(help, Qt::Key_Return);
    QApplication::setActiveWindow(&Main);
    EXPECT_EQ(QApplication::focusWidget(), Editor());
    EXPECT_TRUE(Action("FindNextAC")->isEnabled());

    QTest::keyClick(&Main, Qt::Key_Alt);
    ASSERT_EQ(QApplication::focusWidget(), Main.menuBar());
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::setActiveWindow(&Main);
    EXPECT_EQ(QApplication::focusWidget(), Editor()) << "Alt, another window, and back";
}

// A restore from the window's icon once put the focus back into the search field with its text
// selected, so the next key typed into the replacement overwrote the search text.
TEST_F(Search, ARestoredReplaceDialogKeepsTheFieldTheUserWasIn)
{
    Editor()->setPlainText(QStringLiteral("alpha beta"));
    Select(Editor(), 0, 5);
    Action("ReplaceAC")->trigger();
    ASSERT_EQ(Replace().focusWidget(), Replace().SearchField());
    EXPECT_TRUE(Replace().SearchField()->hasSelectedText()) << "a new showing starts there";
    Replace().ReplaceField()->setFocus();
    QTest::keyClicks(Replace().ReplaceField(), QStringLiteral("gam"));

    Replace().setWindowState(Qt::WindowMinimized);
    Replace().setWindowState(Qt::WindowNoState);
    QTest::keyClicks(Replace().focusWidget(), QStringLiteral("ma"));
    EXPECT_EQ(Replace().SearchText(), QStringLiteral("alpha"));
    EXPECT_EQ(Replace().ReplaceText(), QStringLiteral("gamma"));
}

TEST_F(Search, GoToLinePutsTheCaretAtTheStartOfTheNearestLineInView)
{
    Editor()->setPlainText(QStringLiteral("    x;\n").repeated(300) + QStringLiteral("    y;"));
    const struct
    {
        std::optional<int> Answer;
        int Line;
    } cases[] = {{250, 250}, {std::nullopt, 250}, {0, 1}, {9999, 301}, {-7, 1}, {120, 120}};
    int caretLine = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer.value_or(-1000));
        Prompts.NumberAnswers = {c.Answer};
        QTest::keyClick(Editor(), Qt::Key_G, Qt::ControlModifier);
        ASSERT_EQ(Prompts.NumberRequests.size(), 1u);
        const NumberSpec asked = Prompts.NumberRequests[0];
        Prompts.NumberRequests.clear();
        EXPECT_EQ(asked.Text, QStringLiteral("Zeilennummer (1 bis 301):"));
        EXPECT_EQ(asked.Caption, QStringLiteral("Gehe zu Zeile"));
        EXPECT_EQ(asked.Value, caretLine);
        caretLine = c.Line;
        EXPECT_EQ(Editor()->textCursor().position(),
                  Editor()->document()->findBlockByNumber(c.Line - 1).position());
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return Editor()->viewport()->rect().contains(Editor()->cursorRect()); }));
    }
}

#include "editor/textsearch.h"

#include <QTextDocument>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

namespace {

const QString Pair = QString::fromUtf16(u"\U00010029"); // its second half stands for U+2029
const QString Half(QChar(0xDC29));
const QString NoBreak(QChar(0xA0));

std::pair<int, int> Selection(const QTextCursor& cursor)
{
    return cursor.isNull() ? std::pair(-1, -1)
                           : std::pair(cursor.selectionStart(), cursor.selectionEnd());
}

} // namespace

TEST(FindForward, OptionsAndCharactersDecideTheMatch)
{
    const struct
    {
        QString Text;
        SearchOptions Options;
        int From;
        std::pair<int, int> Hit;
    } cases[] = {
        {"foo_bar Foo foo2 foo", {"foo", true, false}, 0, {8, 11}}, // '_' and digits join words
        {"foo_bar Foo foo2 foo", {"foo", true, true}, 0, {17, 20}}, // case skips "Foo"
        {"foo_bar Foo foo2 foo", {"foo", false, false}, 1, {8, 11}},
        {"xab ab", {"ab", true, false}, 1, {4, 6}}, // the start inside a word is no word start
        {"a" + NoBreak + "b a b", {" ", false, false}, 0, {3, 4}}, // no-break space is no blank
        {"foo bar foo", {"foo", false, false}, 8, {8, 11}},
        {"foo bar foo", {"foo", false, false}, 9, {-1, -1}}, // no wrap-around
        {"ab\ncd ab", {"ab", false, false}, 1, {6, 8}},      // on in the next line
        {"abc", {"", false, false}, 0, {-1, -1}},
        {Half + Pair, {Half, false, false}, 0, {0, 1}},
        {Half + Pair, {Half, false, false}, 1, {-1, -1}}, // never half of a pair
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString() + " / " + c.Options.Text.toStdString());
        const QTextDocument document(c.Text);
        EXPECT_EQ(Selection(FindForward(document, c.From, c.Options)), c.Hit);
    }
}

// Replace works on the selection whatever it holds and goes on from its end; replace-all
// replaces each later occurrence once, where replacing one by one would, in one undo step.
TEST(ReplaceAndFind, ReplacesAndSelectsTheNextHit)
{
    const struct
    {
        QString Text;
        std::pair<int, int> Selected;
        SearchOptions Options;
        QString Replacement;
        bool All;
        QString Expected;
        std::pair<int, int> After;
        bool Same = false; // replaced by the same text, which is an edit all the same
    } cases[] = {
        {"one two one two", {0, 3}, {"two"}, "2", false, "2 two one two", {2, 5}},
        {"foo bar", {0, 0}, {"bar"}, "BAR", false, "foo bar", {4, 7}},
        {"foo bar", {4, 7}, {"bar"}, "bar", false, "foo bar", {7, 7}, true},
        {"a b", {2, 3}, {"b"}, "c", false, "a c", {3, 3}},
        {"ab x ab x ab x ab", {6, 6}, {"ab"}, "abab", true, "ab x ab x abab x abab", {21, 21}},
        {"xx ab ab", {0, 2}, {"ab"}, "c", true, "c c c", {5, 5}},
        {"---", {0, 0}, {"-", true}, "z", true, "z-z", {3, 3}}, // "z-" is no word start
        {"-b-b", {0, 0}, {"-b", true}, "", true, "", {0, 0}},
        {"aaaa", {0, 0}, {"aa"}, "a", true, "aa", {2, 2}},
        {"Foo foo", {0, 0}, {"foo", false, true}, "bar", true, "Foo bar", {7, 7}},
        {"a" + NoBreak + "b a b", {0, 0}, {" "}, "_", true, "a" + NoBreak + "b_a_b", {6, 6}},
        {"foo bar", {0, 0}, {"bar"}, "bar", true, "foo bar", {7, 7}, true},
        {"foo", {1, 1}, {"x"}, "y", true, "foo", {1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString() + (c.All ? " / all " : " / ") +
                     c.Options.Text.toStdString());
        QTextDocument document(c.Text);
        document.clearUndoRedoStacks();
        QTextCursor caret(&document);
        caret.setPosition(c.Selected.first);
        caret.setPosition(c.Selected.second, QTextCursor::KeepAnchor);
        const QTextCursor after = ReplaceAndFind(caret, c.Options, c.Replacement, c.All);
        EXPECT_EQ(document.toRawText(), c.Expected);
        EXPECT_EQ(Selection(after), c.After);
        EXPECT_EQ(document.isUndoAvailable(), c.Same || c.Expected != c.Text);
        document.undo();
        EXPECT_EQ(document.toRawText(), c.Text) << "one undo step";
    }
}

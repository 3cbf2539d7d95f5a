#include "editor/messagemarks.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(MessageMarks, MarksStayWithTheirLinesText)
{
    QTextDocument document(QStringLiteral("a\nb\nc\nd"));
    MessageMarks marks;
    marks.Add(document, 0, 2, MessageMarks::Kind::Warning, QStringLiteral("w"));
    marks.Add(document, 1, 3, MessageMarks::Kind::Warning, QStringLiteral("w3"));
    marks.Add(document, 2, 3, MessageMarks::Kind::Error, QStringLiteral("e3"));
    marks.Add(document, 3, 9, MessageMarks::Kind::Error, QStringLiteral("past the end"));
    marks.Add(document, 4, 0, MessageMarks::Kind::Error, QStringLiteral("line 0"));
    EXPECT_EQ(marks.BlockOf(0), 1);
    EXPECT_EQ(marks.BlockOf(3), -1) << "a line the file does not have is not marked";
    EXPECT_EQ(marks.BlockOf(4), -1);

    QTextCursor(&document).insertText(QStringLiteral("new\nlines\n"));
    QTextCursor(document.findBlockByNumber(3)).insertText(QStringLiteral("x\n"));
    QTextCursor(document.findBlockByNumber(5)).insertText(QStringLiteral("in the line "));
    EXPECT_EQ(marks.BlockOf(0), 4) << "lines inserted above move the mark down";
    EXPECT_EQ(marks.BlockOf(1), 5) << "text typed into the line keeps it there";

    const auto shown = marks.Between(0, 10);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown.at(5).Worst, MessageMarks::Kind::Error);
    EXPECT_EQ(shown.at(5).Text, QStringLiteral("w3\ne3"));
    EXPECT_EQ(marks.Between(5, 5).size(), 1u);
    marks.Clear();
    EXPECT_TRUE(marks.Empty());
}

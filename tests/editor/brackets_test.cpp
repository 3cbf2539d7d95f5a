#include "editor/brackets.h"

#include <QPlainTextDocumentLayout>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "editor/csyntax.h"
#include "editor/highlighter.h"

namespace {

class Brackets : public ::testing::Test
{
protected:
    Brackets() { Document.setDocumentLayout(new QPlainTextDocumentLayout(&Document)); }

    // "position>match", "position>none" for a bracket without partner, "-" for no bracket.
    std::string Pair(const QString& text, int caret)
    {
        Document.setPlainText(text);
        const auto pair = FindBracketPair(Colours, caret);
        if (!pair)
            return "-";
        return std::to_string(pair->Position) + '>' +
               (pair->Match < 0 ? std::string("none") : std::to_string(pair->Match));
    }

    QTextDocument Document;
    Highlighter Colours{Document, {ScanCLine, false}};
};

} // namespace

TEST_F(Brackets, PartnerIsFoundInTheCodeOnly)
{
    const QString call = QStringLiteral("f(a, \")\", ')', /* ) */ b[1]); // )");
    EXPECT_EQ(Pair(call, 1), "1>27") << "the one after the caret first";
    EXPECT_EQ(Pair(call, 28), "27>1") << "then the one before it";
    EXPECT_EQ(Pair(call, 6), "-") << "a bracket in a literal is no bracket";
    EXPECT_EQ(Pair(call, 11), "-") << "nor in a character literal";
    EXPECT_EQ(Pair(call, 19), "-") << "nor in a comment";
    EXPECT_EQ(Pair(call, 34), "-");

    EXPECT_EQ(Pair(QStringLiteral("(a)(b)"), 3), "3>5");
    EXPECT_EQ(Pair(QStringLiteral("[(])"), 0), "0>2") << "each kind counts only its own";
    EXPECT_EQ(Pair(QStringLiteral("{\n  if (x) {\n  } /* } */\n}"), 0), "0>25");
    EXPECT_EQ(Pair(QStringLiteral("{\n  if (x) {\n  } /* } */\n}"), 26), "25>0");
    EXPECT_EQ(Pair(QStringLiteral("/*\n (\n*/"), 4), "-")
        << "a comment opened lines above hides the bracket";
}

TEST_F(Brackets, MissingPartnerAndPartnerOutOfReach)
{
    EXPECT_EQ(Pair(QStringLiteral("(()"), 0), "0>none");
    EXPECT_EQ(Pair(QStringLiteral("int a;\n}"), 8), "7>none");
    EXPECT_EQ(Pair(QStringLiteral("(\n") + QStringLiteral("int a;\n").repeated(20000) + ')', 0),
              "-")
        << "a partner too far away is not looked for while the caret moves";
    EXPECT_EQ(Pair(QStringLiteral("(") + QStringLiteral("a").repeated(20000) + ')', 0), "-")
        << "nor in a line too long to colour";
}

// Each step stays within its characters, however far the partner is, and the steps together
// come to what one search at once finds.
TEST_F(Brackets, SearchGoesOnInBoundedSteps)
{
    const QString row = QStringLiteral("    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,\n");
    const int close = 2 + 1000 * int(row.size());
    const struct
    {
        QString Text;
        int Caret;
        BracketSearch::Outcome Outcome;
        int Match;
    } cases[] = {
        {"{\n" + row.repeated(40000) + "}", 0, BracketSearch::Outcome::Nothing, -1},
        {"{\n" + row.repeated(1000) + "}", 0, BracketSearch::Outcome::Found, close},
        {"{\n" + row.repeated(1000) + "}", close + 1, BracketSearch::Outcome::Found, 0},
        {"{\n" + row.repeated(1000), 0, BracketSearch::Outcome::Found, -1},
        {"x\n" + row.repeated(1000) + "}", close + 1, BracketSearch::Outcome::Found, -1},
    };
    const qsizetype step = 4000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Caret);
        Document.setPlainText(c.Text);
        BracketSearch search(Colours, c.Caret);
        int steps = 0;
        for (qsizetype looked = 0; search.Step(step) == BracketSearch::Outcome::Pending; ++steps) {
            EXPECT_LE(search.Looked() - looked, step + row.size() + BracketSearch::LineCost);
            looked = search.Looked();
        }
        EXPECT_GT(steps, 2);
        EXPECT_EQ(search.Result(), c.Outcome);
        EXPECT_EQ(search.Pair().Match, c.Match);
        const auto atOnce = FindBracketPair(Colours, c.Caret);
        EXPECT_EQ(atOnce.has_value(), c.Outcome == BracketSearch::Outcome::Found);
    }
}

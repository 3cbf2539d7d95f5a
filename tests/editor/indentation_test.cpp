#include "editor/indentation.h"

#include <QTextDocument>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(Indentation, TheFilesOwnUnitIsATabOrItsStepOfSpaces)
{
    const struct
    {
        const char* Text;
        const char* Unit;
    } cases[] = {
        {"", "\t"},
        {"int a;\n", "\t"},
        {"f()\n{\n\tx();\n\tif (a) {\n\t\ty();\n\t}\n}\n", "\t"},
        {"f()\n{\n    x();\n    if (a) {\n        y();\n    }\n}\n", "    "},
        {"f()\n{\n  x();\n  if (a) {\n    y();\n\n    z();\n  }\n}\n", "  "},
        {"f()\n{\n\tx();\n\ty();\n    z();\n}\n", "\t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const QTextDocument document(QString::fromUtf8(c.Text));
        EXPECT_EQ(IndentUnit(document), QString::fromUtf8(c.Unit));
    }
}

TEST(Indentation, NewLinesKeepTheIndentAndBracesChangeIt)
{
    const struct
    {
        const char* Before;
        const char* Unit;
        const char* Indent;
    } cases[] = {
        {"\tint a;", "\t", "\t"},
        {"  \t x = 1;", "\t", "  \t "},
        {"int f(void) {", "\t", "\t"},
        {"    if (a) {  ", "    ", "        "},
        {"    {", "  ", "      "},
        {"", "\t", ""},
        {"  ", "\t", "  "},
        {"x = \"{\" + 1", "\t", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Before);
        EXPECT_EQ(NewLineIndent(QString::fromUtf8(c.Before), QString::fromUtf8(c.Unit)),
                  QString::fromUtf8(c.Indent));
    }
    const struct
    {
        const char* Blanks;
        const char* Unit;
        const char* Left;
    } closing[] = {{"\t\t", "\t", "\t"},       {"        ", "    ", "    "},
                   {"    \t", "    ", "    "}, {"      ", "    ", "  "},
                   {"  ", "    ", ""},         {"", "\t", ""}};
    for (const auto& c : closing) {
        SCOPED_TRACE(c.Blanks);
        EXPECT_EQ(ClosingBraceIndent(QString::fromUtf8(c.Blanks), QString::fromUtf8(c.Unit)),
                  QString::fromUtf8(c.Left));
    }
}

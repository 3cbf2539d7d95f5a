#include "editor/indentation.h"

#include <QTextDocument>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(Indentation, TheFilesOwnUnitIsATabOrItsStepOfSpaces)
{
    const char* const cases[][2] = {
        {"", "\t"},
        {"f()\n{\n\tx();\n\tif (a) {\n\t\ty();\n\t}\n}\n", "\t"},
        {"f()\n{\n    x();\n    if (a) {\n        y();\n    }\n}\n", "    "},
        {"f()\n{\n  x();\n  if (a) {\n    y();\n\n    z();\n  }\n}\n", "  "},
        {"f()\n{\n\tx();\n\ty();\n    z();\n}\n", "\t"}};
    for (const auto& [text, unit] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(IndentUnit(QTextDocument(QString::fromUtf8(text))), QString::fromUtf8(unit));
    }
}

// Each case: the text left of the caret or the blanks before a closing brace, the unit, and
// the indentation that follows.
TEST(Indentation, NewLinesKeepTheIndentAndBracesChangeIt)
{
    const char* const newLines[][3] = {{"  \t x = 1;", "\t", "  \t "},
                                       {"int f(void) {", "\t", "\t"},
                                       {"    if (a) {  ", "    ", "        "},
                                       {"", "\t", ""},
                                       {"x = \"{\" + 1", "\t", ""}};
    for (const auto& [before, unit, indent] : newLines)
        EXPECT_EQ(NewLineIndent(QString::fromUtf8(before), QString::fromUtf8(unit)),
                  QString::fromUtf8(indent))
            << before;
    const char* const closing[][3] = {{"\t\t", "\t", "\t"},       {"        ", "    ", "    "},
                                      {"    \t", "    ", "    "}, {"      ", "    ", "  "},
                                      {"  ", "    ", ""},         {"", "\t", ""}};
    for (const auto& [blanks, unit, left] : closing)
        EXPECT_EQ(ClosingBraceIndent(QString::fromUtf8(blanks), QString::fromUtf8(unit)),
                  QString::fromUtf8(left))
            << '"' << blanks << '"';
}

#include "editor/csyntax.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "support/qtprinters.h"
#include "support/syntaxtags.h"

namespace {

// Scans the lines one after another and shows each token as tag:text, lines separated by " | ".
QString Colours(const QStringList& lines, int* endState = nullptr)
{
    QStringList shown;
    int state = 0;
    for (const QString& line : lines) {
        std::vector<SyntaxToken> tokens;
        const int end = ScanCLine(line, state, &tokens);
        EXPECT_EQ(ScanCLine(line, state, nullptr), end) << "the state needs no tokens";
        state = end;
        shown << ShownTokens(line, tokens);
    }
    if (endState)
        *endState = state;
    return shown.join(QStringLiteral(" | "));
}

QString Colours(const char* line, int* endState = nullptr)
{
    return Colours(QStringList{QString::fromUtf8(line)}, endState);
}

} // namespace

TEST(CSyntax, KeywordsTypesAndNumbers)
{
    EXPECT_EQ(
        Colours("static const uint8_t table[] = {0x1F, 0b1010, 017, 4000000UL, 1.5e-3f, .5};"),
        "k:static k:const t:uint8_t n:0x1F n:0b1010 n:017 n:4000000UL n:1.5e-3f n:.5");
    EXPECT_EQ(Colours("int integer = sizeof x1 + uint16_tx + 0xE+1;"), "k:int k:sizeof n:0xE+1")
        << "words that only begin like keywords stay plain; a sign after E belongs to the number";
    EXPECT_EQ(Colours("volatile bool done = false; size_t n; int_fast8_t f;"),
              "k:volatile t:bool k:false t:size_t t:int_fast8_t");
}

TEST(CSyntax, CommentsOnOneLineAndAcrossLines)
{
    int state = 0;
    EXPECT_EQ(Colours({"x = 1; // count / 2", "int a; /* one */ int b; /* open", "still /* inside",
                       "*/ return 0; /*/ not closed", "done */"},
                      &state),
              "n:1 c:// count / 2 | k:int c:/* one */ k:int c:/* open | c:still /* inside"
              " | c:*/ k:return n:0 c:/*/ not closed | c:done */");
    EXPECT_EQ(state, 0);

    EXPECT_EQ(Colours({"// a line comment ending in a backslash \\", "goes on here", "int here;"}),
              "c:// a line comment ending in a backslash \\ | c:goes on here | k:int")
        << "the compiler splices the comment's next line on";

    Colours("/* opened", &state);
    EXPECT_NE(state, 0);
    EXPECT_EQ(Colours("\"/* no comment */\" // \"no string\""),
              "s:\"/* no comment */\" c:// \"no string\"");
}

TEST(CSyntax, LiteralsWithTheirEscapes)
{
    EXPECT_EQ(Colours(R"(puts("a\"b\n\x1Fz\101!");)"),
              R"(s:"a e:\" s:b e:\n e:\x1F s:z e:\101 s:!")");
    EXPECT_EQ(Colours(R"(c = '\''; d = '"'; e = L"w"; f = u8"x";)"),
              R"(s:' e:\' s:' s:'"' s:L"w" s:u8"x")");
    EXPECT_EQ(Colours(R"(s = "\u00e4\U0001F600\777";)"), R"(s:" e:\u00e4 e:\U0001F600 e:\777 s:")");

    int state = -1;
    EXPECT_EQ(Colours("s = \"never closed; int", &state), "s:\"never closed; int")
        << "an unclosed literal ends with its line";
    EXPECT_EQ(state, 0);

    EXPECT_EQ(Colours({"s = \"spliced \\", "on; int\" int"}, &state),
              "s:\"spliced \\ | s:on; int\" k:int");
    EXPECT_EQ(state, 0);

    const QString pair =
        QStringLiteral("\"\\") + QChar(0xD83D) + QChar(0xDE00) + QStringLiteral("\"");
    std::vector<SyntaxToken> tokens;
    ScanCLine(pair, 0, &tokens);
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1], (SyntaxToken{1, 3, SyntaxKind::Escape})) << "a surrogate pair stays whole";
}

TEST(CSyntax, PreprocessorDirectives)
{
    EXPECT_EQ(Colours("#include <avr/io.h>"), "p:#include s:<avr/io.h>");
    EXPECT_EQ(Colours("  #  define F_CPU 4000000UL // clock"),
              "p:#  define n:4000000UL c:// clock");
    EXPECT_EQ(Colours("#include \"board.h\""), "p:#include s:\"board.h\"");
    EXPECT_EQ(Colours("x = a # b;"), "") << "only a # that starts the line opens a directive";

    int state = 0;
    EXPECT_EQ(
        Colours({"#define TWICE(a) \\", "    ((a) * 2) /* spans", "  lines */ + 1", "int after;"},
                &state),
        "p:#define | n:2 c:/* spans | c:  lines */ n:1 | k:int");
    EXPECT_EQ(state, 0);

    EXPECT_EQ(Colours("//#TARGET AT90S8515"), "c://#TARGET AT90S8515")
        << "the target line is a comment to the compiler";
}

TEST(CSyntax, TheCompilersOwnKeywordsAndAddressSpaces)
{
    for (const char* word :
         {"__restrict", "__asm", "__typeof", "__real__", "__imag__", "__const__", "__inline",
          "__volatile", "__signed__", "__label__", "__flash", "__flash1", "__flash5", "__memx"}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(Colours(word), QStringLiteral("k:") + word);
    }
    EXPECT_EQ(Colours("__flash6 __memx_ a$int $int"), "") << "a dollar sign is a letter";
}

TEST(CSyntax, SplicesDigraphsAndCommentsBeforeDirectives)
{
    const struct
    {
        QStringList Lines;
        const char* Shown;
    } cases[] = {
        {{"/* c *\\", "/ int a;"}, "c:/* c *\\ | c:/ k:int"},
        {{"/* c *\\", "\\", "/ int a;"}, "c:/* c *\\ | c:\\ | c:/ k:int"},
        {{"/* c *\\", " / int a; */"}, "c:/* c *\\ | c: / int a; */"},
        {{"/*\\", "/ int a; */"}, "c:/*\\ | c:/ int a; */"},
        {{"s = \"abc\\\\", "n\" int"}, "s:\"abc e:\\\\ | s:n\" k:int"},
        {{"/* c */ #define X 1"}, "c:/* c */ p:#define n:1"},
        {{" /* a */ /* b */ # include <io.h>"}, "c:/* a */ c:/* b */ p:# include s:<io.h>"},
        {{"%:define X 1", "%: include <io.h>"}, "p:%:define n:1 | p:%: include s:<io.h>"},
        {{"x /* c */ #define"}, "c:/* c */"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Lines.join('|').toStdString());
        int state = -1;
        EXPECT_EQ(Colours(c.Lines, &state), QString::fromUtf8(c.Shown));
        EXPECT_EQ(state, 0) << "nothing is left open";
    }
}

#include "editor/listingsyntax.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "support/qtprinters.h"
#include "support/syntaxtags.h"

namespace {

// The listing's lines scanned one after another, each token as tag:text, lines separated by
// " | ".
QString ListingColours(const QStringList& lines)
{
    QStringList shown;
    int state = 0;
    for (const QString& line : lines) {
        std::vector<SyntaxToken> tokens;
        state = ScanListingLine(line, state, &tokens);
        shown << ShownTokens(line, tokens);
    }
    return shown.join(QStringLiteral(" | "));
}

} // namespace

TEST(ListingSyntax, AddressOpcodeAndMnemonicOfACodeLine)
{
    EXPECT_EQ(ListingColours({"  119 0000 81E0      \t\tldi r24,lo8(1)",
                              "  125 0004 8091 0000 \t\tlds r24,counter"}),
              "d:119 a:0000 o:81E0 m:ldi | d:125 a:0004 o:8091 o:0000 m:lds");
    EXPECT_EQ(ListingColours(
                  {"  172 0000 4861 6C6C \t\t.string\t\"Hallo; Welt\"", "  172      6F20 5765 "}),
              "d:172 a:0000 o:4861 o:6C6C p:.string s:\"Hallo; Welt\" | d:172 o:6F20 o:5765")
        << "a continued run of data has no address";
}

TEST(ListingSyntax, LabelsDirectivesAndComments)
{
    EXPECT_EQ(ListingColours({"  108               \tmain:", "  111               \t.LM0:",
                              "  110               \t\t.stabn\t68,0,10,.LM0-.LFBB1",
                              "    2               \t__SP_H__ = 0x3e",
                              "  113               \t/* prologue: function */",
                              "  151               \t ;  5 \"d.c\" 1"}),
              "d:108 l:main: | d:111 l:.LM0: | d:110 p:.stabn | d:2 l:__SP_H__"
              " | d:113 c:/* prologue: function */ | d:151 c:;  5 \"d.c\" 1");
    EXPECT_EQ(ListingColours({"GAS LISTING /tmp/ccEvPu2z.s \t\t\tpage 1",
                              "\fGAS LISTING x.s\t\tpage 2", "DEFINED SYMBOLS"}),
              "d:GAS LISTING /tmp/ccEvPu2z.s \t\t\tpage 1 | d:\fGAS LISTING x.s\t\tpage 2 | ");
}

TEST(ListingSyntax, RepeatedSourceIsColouredAsC)
{
    EXPECT_EQ(ListingColours(
                  {"   2:blink.c       **** /* Blinks an LED",
                   "  109               \t\t.stabd\t46,0,0", "   3:blink.c       **** on PB0 */",
                   "   9:blink.c       **** int main(void)", "   5:blink.c       **** "}),
              "d:   2:blink.c       **** c:/* Blinks an LED | d:109 p:.stabd"
              " | d:   3:blink.c       **** c:on PB0 */ | d:   9:blink.c       **** k:int k:void"
              " | d:   5:blink.c       ****")
        << "a comment runs on across the code lines between its source lines";
}

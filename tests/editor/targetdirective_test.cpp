#include "editor/targetdirective.h"

#include <QString>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(TargetDirective, FirstKnownDeviceOnALineOfItsOwnIsTheTarget)
{
    const struct
    {
        const char* Text;
        std::optional<int> Target;
    } cases[] = {
        {"//#TARGET ATtiny26", 11},
        {"//#target attiny26", 11}, // keyword and name without regard to case
        {"//#Target ATMEGA103", 12},
        {"   \t//#TARGET AT90S2313", 1}, // indentation
        {"//#TARGETATmega103", 12},      // no blank needed
        {"//#TARGET\tATtiny22", 10},     // tab separates
        {"//#TARGET \t  AT90S4433\t", 6},
        {"//#TARGET AT90S8515 // main board", 8}, // text after the word
        {"// #TARGET AT90S2313", std::nullopt},   // blank inside the keyword
        {"//#TARGET: AT90S8515", std::nullopt},   // the word read is the colon
        {"//#TARGET", std::nullopt},
        {"x //#TARGET AT90S2313", std::nullopt}, // must start the line
        {"int a;\n//#TARGET ATmega999\n\n//#TARGET ATtiny26\n//#TARGET AT90S2313", 11},
        {"//#TARGET unknown\n//#TARGET ATtiny26", 0}, // unknown is a row too
        {"int main(void) { return 0; }\n", std::nullopt},
        {"", std::nullopt},
        {"//#TARGET ATtıny26", std::nullopt}, // non-ASCII letters match nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TargetDirective(QString::fromUtf8(c.Text)), c.Target);
    }
}

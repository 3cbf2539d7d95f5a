#include "editor/targetdirective.h"

#include <QString>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

namespace {

std::optional<int> Target(const char* text)
{
    return TargetDirective(QString::fromUtf8(text));
}

} // namespace

TEST(TargetDirective, KeywordAndNameMatchWithoutRegardToCase)
{
    EXPECT_EQ(Target("//#TARGET ATtiny26"), 11);
    EXPECT_EQ(Target("//#target attiny26"), 11);
    EXPECT_EQ(Target("//#Target ATMEGA103"), 12);
}

TEST(TargetDirective, SpacingAroundTheName)
{
    EXPECT_EQ(Target("   \t//#TARGET AT90S2313"), 1) << "indentation";
    EXPECT_EQ(Target("//#TARGETATmega103"), 12) << "no blank needed";
    EXPECT_EQ(Target("//#TARGET\tATtiny22"), 10) << "tab separates";
    EXPECT_EQ(Target("//#TARGET \t  AT90S4433\t"), 6);
    EXPECT_EQ(Target("//#TARGET AT90S8515 // main board"), 8) << "text after the word";
    EXPECT_EQ(Target("// #TARGET AT90S2313"), std::nullopt) << "blank inside the keyword";
    EXPECT_EQ(Target("//#TARGET: AT90S8515"), std::nullopt) << "the word read is the colon";
    EXPECT_EQ(Target("//#TARGET"), std::nullopt);
    EXPECT_EQ(Target("x //#TARGET AT90S2313"), std::nullopt) << "must start the line";
}

TEST(TargetDirective, FirstKnownDeviceWins)
{
    EXPECT_EQ(Target("int a;\n//#TARGET ATmega999\n\n//#TARGET ATtiny26\n//#TARGET AT90S2313"), 11);
    EXPECT_EQ(Target("//#TARGET unknown\n//#TARGET ATtiny26"), 0) << "unknown is a row too";
    EXPECT_EQ(Target("int main(void) { return 0; }\n"), std::nullopt);
    EXPECT_EQ(Target(""), std::nullopt);
    EXPECT_EQ(Target("//#TARGET ATtıny26"), std::nullopt) << "non-ASCII letters match nothing";
}

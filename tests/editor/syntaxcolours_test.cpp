#include "editor/syntaxcolours.h"

#include <cmath>

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include <gtest/gtest.h>

namespace {

double Luminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

// The contrast ratio of two colours as the accessibility guidelines define it, 1 to 21.
double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette Dark()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    palette.setColor(QPalette::Text, QColor(0xEF, 0xF0, 0xF1));
    palette.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3B));
    palette.setColor(QPalette::Highlight, QColor(0x3D, 0xAE, 0xE9));
    return palette;
}

} // namespace

TEST(SyntaxColours, EveryColourReadsWellOnLightAndDarkPalettes)
{
    const QPalette light = QApplication::style()->standardPalette();
    for (const QPalette& palette : {light, Dark()}) {
        SCOPED_TRACE(palette.color(QPalette::Base).name().toStdString());
        const SyntaxColours colours = ColoursFor(palette);
        const QColor base = palette.color(QPalette::Base);
        for (int kind = 0; kind < SyntaxKindCount; ++kind) {
            SCOPED_TRACE(kind);
            const QTextCharFormat& format = colours.Formats[kind];
            const QColor ground = format.hasProperty(QTextFormat::BackgroundBrush)
                                      ? format.background().color()
                                      : base;
            EXPECT_GE(Contrast(format.foreground().color(), ground), 4.5);
            if (!format.hasProperty(QTextFormat::BackgroundBrush)) {
                EXPECT_GE(Contrast(format.foreground().color(), colours.CurrentLine), 4.5)
                    << "also on the caret's line";
            }
        }
        const QColor text = palette.color(QPalette::Text);
        EXPECT_GE(Contrast(text, colours.CurrentLine), 7.0);
        EXPECT_GE(Contrast(text, colours.Bracket), 4.5);
        EXPECT_GE(Contrast(text, colours.UnmatchedBracket), 4.5);
        EXPECT_GE(Contrast(colours.GutterText, colours.GutterBackground), 4.5);
        EXPECT_GE(Contrast(colours.GutterCurrentText, colours.CurrentLine), 7.0);
        EXPECT_LT(Contrast(base, colours.CurrentLine), 1.3) << "the caret's line is only hinted";
        EXPECT_GT(Contrast(base, colours.CurrentLine), 1.03);
    }
    EXPECT_NE(ColoursFor(light).Formats[int(SyntaxKind::Keyword)],
              ColoursFor(Dark()).Formats[int(SyntaxKind::Keyword)]);
}

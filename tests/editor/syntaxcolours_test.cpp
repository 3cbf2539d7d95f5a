#include "editor/syntaxcolours.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include <gtest/gtest.h>

namespace {

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
        EXPECT_GE(Contrast(colours.GutterCurrentText, colours.GutterCurrentLine), 7.0);
        for (const QColor& mark : {colours.ErrorMark, colours.WarningMark})
            EXPECT_GE(Contrast(colours.GutterCurrentText, mark), 4.5) << "the marked line's number";
        EXPECT_LT(Contrast(base, colours.CurrentLine), 1.4) << "the caret's line is only hinted";
        const struct
        {
            QColor Mark, Under;
            double Least;
        } marks[] = {{colours.CurrentLine, base, 1.25},
                     {colours.Bracket, base, 1.25},
                     {colours.Bracket, colours.CurrentLine, 1.25},
                     {colours.UnmatchedBracket, colours.CurrentLine, 1.25},
                     {colours.GutterBackground, base, 1.2},
                     {colours.GutterCurrentLine, colours.GutterBackground, 1.25},
                     {colours.ErrorMark, colours.GutterBackground, 1.5},
                     {colours.WarningMark, colours.GutterBackground, 1.5}};
        for (const auto& m : marks) {
            SCOPED_TRACE(m.Mark.name().toStdString() + " on " + m.Under.name().toStdString());
            EXPECT_GE(Contrast(m.Mark, m.Under), m.Least);
        }
        EXPECT_NE(colours.ErrorMark, colours.WarningMark);
    }
    EXPECT_NE(ColoursFor(light).Formats[int(SyntaxKind::Keyword)],
              ColoursFor(Dark()).Formats[int(SyntaxKind::Keyword)]);
}

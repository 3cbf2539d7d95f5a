#pragma once

#include <array>

#include <QColor>
#include <QTextCharFormat>

#include "editor/syntax.h"

class QPalette;

// The editor's colours for one palette: calm tones that keep their contrast on the light
// palettes and lighter ones for the dark palettes.
struct SyntaxColours
{
    std::array<QTextCharFormat, SyntaxKindCount> Formats;
    QColor CurrentLine;
    QColor Bracket;
    QColor UnmatchedBracket;
    QColor GutterBackground;
    QColor GutterCurrentLine;
    QColor GutterText;
    QColor GutterCurrentText;
    // Behind the number of a line a compiler message names.
    QColor ErrorMark;
    QColor WarningMark;
};

// How far each mark (the caret's line, a bracket) stands apart from what lies under it, as a
// contrast ratio.
inline constexpr double MarkContrast = 1.25;

SyntaxColours ColoursFor(const QPalette& palette);
// The contrast ratio of two colours as the accessibility guidelines define it, 1 to 21.
double Contrast(const QColor& a, const QColor& b);

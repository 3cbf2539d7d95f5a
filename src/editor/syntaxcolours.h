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
    QColor GutterText;
    QColor GutterCurrentText;
};

SyntaxColours ColoursFor(const QPalette& palette);

#include "editor/syntaxcolours.h"

#include <algorithm>
#include <cmath>

#include <QPalette>

namespace {

struct Tones
{
    QRgb Comment;
    QRgb Keyword;
    QRgb Type;
    QRgb Number;
    QRgb String;
    QRgb Escape;
    QRgb Preprocessor;
    QRgb Opcode;
    QRgb Dimmed;
    QRgb TargetText;
    QRgb TargetBackground;
};

constexpr Tones LightTones{0x56685A, 0x1D4FA0, 0x146E68, 0x8F5500, 0xA33B22, 0xA02C5A,
                           0x7440A0, 0x5E6B1F, 0x666666, 0x4A2E00, 0xFBE3A0};
constexpr Tones DarkTones{0x9AAE9E, 0x8CB2FF, 0x62C8BC, 0xE3B474, 0xEC9C80, 0xF293BA,
                          0xCDA8EC, 0xB5C27A, 0xA8A8A8, 0xFFE7AA, 0x4F4016};

QColor Mix(const QColor& from, const QColor& to, double share)
{
    const auto channel = [share](int a, int b) {
        return int(std::lround(a + (b - a) * share));
    };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

double Luminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

// The least share of towards mixed into from that sets the mix apart from from by the contrast
// ratio given (1 to 21, as the accessibility guidelines define it). A fixed share would vanish
// on some palettes: the same tenth of the highlight is plain on a light base, lost on a dark one.
QColor Apart(const QColor& from, const QColor& towards, double contrast)
{
    const double own = Luminance(from) + 0.05;
    for (int percent = 1; percent < 100; ++percent) {
        const QColor mix = Mix(from, towards, percent / 100.0);
        const double other = Luminance(mix) + 0.05;
        if (std::max(own, other) / std::min(own, other) >= contrast)
            return mix;
    }
    return towards;
}

} // namespace

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a) + 0.05, lb = Luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

SyntaxColours ColoursFor(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const QColor highlight = palette.color(QPalette::Highlight);
    const bool dark = base.lightness() < 128;
    const Tones& tones = dark ? DarkTones : LightTones;

    SyntaxColours colours;
    const auto set = [&colours](SyntaxKind kind, QRgb rgb) {
        colours.Formats[int(kind)].setForeground(QColor(rgb));
    };
    set(SyntaxKind::Comment, tones.Comment);
    set(SyntaxKind::Keyword, tones.Keyword);
    set(SyntaxKind::Type, tones.Type);
    set(SyntaxKind::Number, tones.Number);
    set(SyntaxKind::String, tones.String);
    set(SyntaxKind::Escape, tones.Escape);
    set(SyntaxKind::Preprocessor, tones.Preprocessor);
    set(SyntaxKind::TargetLine, tones.TargetText);
    colours.Formats[int(SyntaxKind::TargetLine)].setBackground(QColor(tones.TargetBackground));
    set(SyntaxKind::Address, tones.Number);
    set(SyntaxKind::Opcode, tones.Opcode);
    set(SyntaxKind::Mnemonic, tones.Keyword);
    set(SyntaxKind::Label, tones.Type);
    set(SyntaxKind::Dimmed, tones.Dimmed);

    // A highlight too close to the base to be seen mixed in gives way to the text colour.
    const QColor mark = Contrast(base, highlight) >= 1.5 ? highlight : text;
    const QColor red(0xD0, 0x30, 0x30), amber(0xE8, 0xA0, 0x00);
    colours.CurrentLine = Apart(base, mark, MarkContrast);
    // The caret's bracket lies on the caret's line, so it stands out against that line.
    colours.Bracket = Apart(colours.CurrentLine, mark, MarkContrast);
    colours.UnmatchedBracket = Apart(colours.CurrentLine, red, MarkContrast);
    colours.GutterBackground = Apart(base, text, 1.2);
    colours.GutterCurrentLine = Apart(colours.GutterBackground, mark, MarkContrast);
    colours.GutterText = QColor(tones.Dimmed);
    colours.GutterCurrentText = text;
    colours.ErrorMark = Apart(colours.GutterBackground, red, 1.6);
    colours.WarningMark = Apart(colours.GutterBackground, amber, 1.6);
    return colours;
}

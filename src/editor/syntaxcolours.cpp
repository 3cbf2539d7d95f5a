#include "editor/syntaxcolours.h"

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

} // namespace

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

    colours.CurrentLine = Mix(base, highlight, dark ? 0.12 : 0.09);
    colours.Bracket = Mix(base, highlight, 0.40);
    colours.UnmatchedBracket = Mix(base, QColor(0xD0, 0x30, 0x30), 0.45);
    colours.GutterBackground = Mix(base, text, 0.05);
    colours.GutterText = QColor(tones.Dimmed);
    colours.GutterCurrentText = text;
    return colours;
}

#pragma once

#include <vector>

#include <QString>
#include <QStringList>

#include "editor/syntax.h"

// A line's tokens as the scanner tests compare them: each as tag:text, separated by blanks, the
// tag a letter for the token's kind ("k:int n:3").
inline QString ShownTokens(const QString& line, const std::vector<SyntaxToken>& tokens)
{
    const auto tag = [](SyntaxKind kind) {
        switch (kind) {
        case SyntaxKind::Comment:
            return 'c';
        case SyntaxKind::Keyword:
            return 'k';
        case SyntaxKind::Type:
            return 't';
        case SyntaxKind::Number:
            return 'n';
        case SyntaxKind::String:
            return 's';
        case SyntaxKind::Escape:
            return 'e';
        case SyntaxKind::Preprocessor:
            return 'p';
        case SyntaxKind::Address:
            return 'a';
        case SyntaxKind::Opcode:
            return 'o';
        case SyntaxKind::Mnemonic:
            return 'm';
        case SyntaxKind::Label:
            return 'l';
        case SyntaxKind::Dimmed:
            return 'd';
        default:
            return '?';
        }
    };
    QStringList parts;
    for (const SyntaxToken& token : tokens)
        parts << QString(1, QLatin1Char(tag(token.Kind))) + ':' +
                     line.sliced(token.Start, token.Length);
    return parts.join(' ');
}

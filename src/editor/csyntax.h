#pragma once

#include "editor/syntax.h"

// The C scanner: comments (also across lines), string and character literals with their
// escapes, numbers, keywords, the common integer types and preprocessor directives. A line
// ending in a backslash continues a directive, a line comment or a literal, as the compiler
// splices such lines.
int ScanCLine(QStringView line, int state, std::vector<SyntaxToken>* tokens);

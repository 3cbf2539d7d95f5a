#pragma once

#include <QString>
#include <QStringView>

class QTextDocument;

// One level of indentation in the document: a tab, or the number of spaces the file indents by
// when it indents with spaces. Only the first lines are looked at, so an Enter stays quick in a
// file of any size.
QString IndentUnit(const QTextDocument& document);

// What a new line starts with when Enter is pressed after before, the text left of the caret on
// its line: the same leading blanks, one level more after an opening brace.
QString NewLineIndent(QStringView before, const QString& unit);

// The leading blanks of a line of nothing but blanks, one level less, for a closing brace typed
// at their end; the blanks as they are when they are empty.
QString ClosingBraceIndent(QStringView blanks, const QString& unit);

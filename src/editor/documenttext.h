#pragma once

#include <QString>

class QTextDocument;

// The editor's document breaks lines at U+2029, U+FDD0 and U+FDD1 and shows U+2028 as a line
// break, so a file holding them would come back with line ends in their place. Text put into
// the document holds these four as stand-ins that valid UTF-8 and Windows-1252 never decode
// to (lone low surrogates, shown as a replacement sign), and text taken out gets them back.
QString ToDocument(QString text);
QString FromDocument(QString text);

// Raw text of the document, whole or a selection, as a file holds it: '\n' where its lines end,
// also at a line separator, and the stand-ins turned back into their characters.
QString FileText(QString raw);
QString DocumentText(const QTextDocument& document);

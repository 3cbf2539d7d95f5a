#include "editor/documenttext.h"

#include <algorithm>

#include <QPlainTextDocumentLayout>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

// Every character valid UTF-8 can hold, but for the line ends, goes into the editor's document
// and comes out as it was, on the line it was on.
TEST(DocumentText, EveryCharacterComesBackAsItWas)
{
    QString text;
    for (char32_t c = 0; c < 0x110000; ++c)
        if (c != '\r' && c != '\n' && (c < 0xD800 || c > 0xDFFF))
            text += QString::fromUcs4(&c, 1);
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    document.setPlainText(ToDocument(text + QStringLiteral("\nint x;")));
    EXPECT_EQ(document.blockCount(), 2);
    const QString back = DocumentText(document);
    const auto [a, b] = std::mismatch(text.begin(), text.end(), back.begin(), back.end());
    EXPECT_EQ(a, text.end()) << "first change at U+" << std::hex << int(a->unicode()) << " to U+"
                             << (b == back.end() ? 0 : int(b->unicode()));
    EXPECT_EQ(back.sliced(text.size()), QStringLiteral("\nint x;"));

    const QString marks = QString::fromUtf16(u"\u2028\u2029\uFDD0\uFDD1");
    EXPECT_EQ(FromDocument(ToDocument(marks)), marks);
    EXPECT_EQ(ToDocument(marks).size(), marks.size()) << "positions stay as they are";
}

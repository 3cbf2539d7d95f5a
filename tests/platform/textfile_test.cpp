#include "platform/textfile.h"

#include <QDir>

#include <gtest/gtest.h>

#include "platform/fileerror.h"
#include "support/tempdir.h"

namespace {

QByteArray RoundTrip(const QByteArray& bytes, TextEncoding* read = nullptr)
{
    TextFileContents contents = DecodeText(bytes);
    if (read)
        *read = contents.Encoding;
    return EncodeText(contents.Text, contents.Encoding);
}

} // namespace

TEST(TextFile, Utf8AndWindows1252SurviveLoadAndSave)
{
    TextEncoding encoding{};
    const QByteArray utf8 = "// Z\xC3\xA4hler f\xC3\xBCr \xE2\x82\xAC\r\nint x;\r\n";
    EXPECT_EQ(RoundTrip(utf8, &encoding), utf8);
    EXPECT_EQ(encoding, TextEncoding::Utf8);
    EXPECT_EQ(DecodeText(utf8).Text, QStringLiteral("// Zähler für €\nint x;\n"));

    const QByteArray ansi = "// Z\xE4hler f\xFCr \x80 und \xDF\r\n";
    EXPECT_EQ(RoundTrip(ansi, &encoding), ansi);
    EXPECT_EQ(encoding, TextEncoding::Windows1252);
    EXPECT_EQ(DecodeText(ansi).Text, QStringLiteral("// Zähler für € und ß\n"));

    const QByteArray bom = "\xEF\xBB\xBF//#TARGET ATtiny26\r\n";
    EXPECT_EQ(RoundTrip(bom, &encoding), bom);
    EXPECT_EQ(encoding, TextEncoding::Utf8WithBom);
    EXPECT_TRUE(DecodeText(bom).Text.startsWith(QLatin1String("//#TARGET")));
}

TEST(TextFile, EveryByteOfAWindows1252FileSurvives)
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            bytes += char(b);
    bytes += "\r\n";
    TextEncoding encoding{};
    EXPECT_EQ(RoundTrip(bytes, &encoding), bytes);
    EXPECT_EQ(encoding, TextEncoding::Windows1252);

    const QString text = DecodeText("\x81\x8D\x8F\x90\x9D").Text;
    EXPECT_EQ(text, QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D"));
}

TEST(TextFile, LineEndsAreReadInEveryFormAndWrittenAsCrLf)
{
    const TextFileContents mixed = DecodeText("a\nb\r\nc\rd");
    EXPECT_EQ(mixed.Text, QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(RoundTrip("a\nb\r\nc\rd\n"), QByteArray("a\r\nb\r\nc\r\nd\r\n"));
    EXPECT_EQ(RoundTrip("\r\n\r\n"), QByteArray("\r\n\r\n"));
    EXPECT_EQ(RoundTrip(""), QByteArray());
}

TEST(TextFile, CharacterOutsideWindows1252IsWrittenAsUtf8)
{
    TextEncoding encoding = TextEncoding::Windows1252;
    EXPECT_EQ(EncodeText(QStringLiteral("Grüße"), encoding), QByteArray("Gr\xFC\xDF"
                                                                        "e"));
    EXPECT_EQ(encoding, TextEncoding::Windows1252);
    EXPECT_EQ(EncodeText(QStringLiteral("Grüße → Ω"), encoding),
              QByteArray("Gr\xC3\xBC\xC3\x9F"
                         "e \xE2\x86\x92 \xCE\xA9"));
    EXPECT_EQ(encoding, TextEncoding::Utf8);
    // A C1 character that Windows-1252 gives to a printable sign has no byte of its own.
    encoding = TextEncoding::Windows1252;
    EncodeText(QString(QChar(0x80)), encoding);
    EXPECT_EQ(encoding, TextEncoding::Utf8);
}

TEST(TextFile, ReadAndWriteErrorsNameThePath)
{
    TempDir dir;
    const QString missing = dir.Path("missing.c");
    try {
        ReadTextFile(missing);
        FAIL() << "reading a missing file must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message, QStringLiteral("Cannot open file ") + missing);
    }
    const QString nowhere = dir.Path("no/such/dir/a.c");
    try {
        WriteTextFile(nowhere, QStringLiteral("x"), TextEncoding::Utf8);
        FAIL() << "writing into a missing directory must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message, QStringLiteral("Cannot create file ") + nowhere);
    }
    EXPECT_THROW(ReadTextFile(dir.Path("")), FileError);
}

// A write that runs out of space (here: the file size limit) must leave the old file whole.
TEST(TextFile, FailedWriteLeavesTheOldFileIntact)
{
    TempDir dir;
    const QByteArray old = "int old;\r\n";
    const QString path = dir.Write("a.c", old);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    {
        FileSizeLimit full(1000);
        EXPECT_THROW(WriteTextFile(path, QString(5000, QLatin1Char('x')), TextEncoding::Utf8),
                     FileError);
    }

    EXPECT_EQ(TempDir::Read(path), old);
    EXPECT_EQ(QDir(dir.Path("")).entryList(QDir::Files), QStringList{"a.c"});

    WriteTextFile(path, QStringLiteral("int new;\n"), TextEncoding::Utf8);
    EXPECT_EQ(TempDir::Read(path), QByteArray("int new;\r\n"));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::ReadGroup)
        << "saving keeps the file's permissions";
}

// An unfinished UTF-8 sequence at the very end once made a file count as UTF-8 and lose the
// bytes of that sequence on the next save.
TEST(TextFile, EveryShortFileSurvivesLoadAndSave)
{
    int lost = 0;
    const auto check = [&lost](const QByteArray& bytes) {
        if (bytes.contains('\r') || bytes.contains('\n'))
            return;
        if (RoundTrip(bytes) != bytes && ++lost <= 5)
            ADD_FAILURE() << "changed: " << bytes.toHex().constData();
    };
    for (int first = 0; first < 256; ++first) {
        check(QByteArray(1, char(first)));
        for (int second = 0; second < 256; ++second)
            check(QByteArray{char(first), char(second)});
    }
    EXPECT_EQ(lost, 0);

    const QByteArray mass = "// Ma\xDF";
    TextEncoding encoding{};
    EXPECT_EQ(RoundTrip(mass, &encoding), mass);
    EXPECT_EQ(encoding, TextEncoding::Windows1252);
    EXPECT_EQ(DecodeText(mass).Text, QStringLiteral("// Maß"));
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF\xEF\xBB\xBFx").Text, QChar(0xFEFF) + QStringLiteral("x"));
}

TEST(TextFile, LinesAreDecodedOneByOne)
{
    EXPECT_EQ(DecodeLine("int x = \"Gr\xC3\xBC\xC3\x9F\";"), QStringLiteral("int x = \"Grüß\";"));
    EXPECT_EQ(DecodeLine("int x = \"Gr\xFC\xDF\";"), QStringLiteral("int x = \"Grüß\";"));
    EXPECT_EQ(DecodeLine("Ma\xC3"), QStringLiteral("MaÃ"));
    EXPECT_EQ(DecodeLine(""), QString());
}

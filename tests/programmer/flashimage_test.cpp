#include "programmer/flashimage.h"

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace {

// One record with its checksum, as a tool writes it.
QByteArray Record(int type, int offset, std::initializer_list<std::uint8_t> data)
{
    QByteArray raw;
    for (const int byte : {int(data.size()), offset >> 8, offset, type})
        raw.append(char(byte));
    raw.append(reinterpret_cast<const char*>(std::data(data)), qsizetype(data.size()));
    int sum = 0;
    for (const char byte : raw)
        sum += std::uint8_t(byte);
    return ':' + (raw + char(-sum)).toHex().toUpper() + '\n';
}

const QByteArray End = ":00000001FF\n";

} // namespace

TEST(ParseImage, IntelHexRecordsAreTheImageAndEachFaultNamesItsLine)
{
    const QByteArray ab = Record(0, 0, {0xAB, 0xCD});
    const QString notARecord = QStringLiteral("kein gültiger Intel-HEX-Satz");
    const struct
    {
        const char* Name;
        QByteArray File;
        QString Problem;
        std::size_t At = 0; // the word where Words start
        std::vector<std::uint16_t> Words = {};
    } cases[] = {
        {"a gap and an odd end are erased bytes",
         Record(0, 1, {0xAB, 0xCD}) + Record(0, 4, {0x11}) + End,
         {},
         0,
         {0xABFF, 0xFFCD, 0xFF11}},
        {"CR LF, lower case, blank lines, start addresses",
         Record(3, 0, {0, 0, 0, 0}).toLower().replace('\n', "\r\n") + "\n" + ab +
             Record(5, 0, {0, 0, 0, 0}) + End + "\n",
         {},
         0,
         {0xCDAB}},
        {"a linear base",
         Record(4, 0, {0, 1}) + Record(0, 2, {0xAB, 0xCD}) + End,
         {},
         0x8000,
         {0xFFFF, 0xCDAB}},
        {"a segment base",
         Record(2, 0, {0x10, 0}) + Record(0, 0xFFFE, {0xAB, 0xCD}) + End,
         {},
         0xFFFE,
         {0xFFFF, 0xCDAB}},
        {"records after the end are not read", ab + End + Record(0, 0, {0, 0}), {}, 0, {0xCDAB}},
        {"a wrong checksum", ab + ":02000000ABCD87\n" + End, "Zeile 2: Prüfsumme falsch"},
        {"a count that does not fit", ":0300000001029A\n" + End, "Zeile 1: " + notARecord},
        {"half a byte", ":020000000102FA0\n", "Zeile 1: " + notARecord},
        {"an address of one byte", Record(4, 0, {1}) + End, "Zeile 1: " + notARecord},
        {"an unknown type", ab + Record(6, 0, {1, 2}), "Zeile 2: unbekannter Satztyp 06"},
        {"beyond 256 KB", Record(4, 0, {0, 3}) + Record(0, 0xFFFF, {0xAB, 0xCD}) + End,
         "Zeile 2: Daten bei Adresse 0x40000, hinter der Grenze von 256 KB"},
        {"no end record", ab + ab + "\n", "Zeile 2: danach fehlt der Endesatz :00000001FF"},
        {"no data", End, "enthält keine Daten"},
        {"a UTF-8 mark, leading blanks", "\xEF\xBB\xBF" + ab + " \t" + End, {}, 0, {0xCDAB}},
        {"a record begun, then no record", ab + "\x01\x7F\n" + End, "Zeile 2: " + notARecord},
        {"only a colon", ":", "Zeile 1: " + notARecord},
        {"same bytes twice", ab + Record(0, 1, {0xCD, 0x11}) + End, {}, 0, {0xCDAB, 0xFF11}},
        {"other bytes at a place written before", ab + Record(0, 1, {0x11}) + End,
         "Zeile 2: Adresse 0x1 hat schon andere Daten"},
        {"no record first: raw", "end\n:0100000001FE\n", {}, 0, {0x6E65, 0x0A64}},
        {"raw with an odd byte", "\x01\x02\x03", {}, 0, {0x0201}},
        {"raw, one byte", "\x01", "enthält kein ganzes Wort"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ImageParse parse = ParseImage(c.File);
        EXPECT_EQ(parse.Problem, c.Problem);
        if (!c.Problem.isEmpty())
            continue;
        ASSERT_TRUE(parse.Image);
        const std::vector<std::uint16_t>& words = parse.Image->Words;
        ASSERT_GE(words.size(), c.At + c.Words.size());
        EXPECT_EQ(std::vector(words.begin() + c.At, words.begin() + c.At + c.Words.size()),
                  c.Words);
        EXPECT_EQ(parse.Image->OddByteDropped, c.File == "\x01\x02\x03");
    }
}

// A flash read back and saved as .hex must load as the same words, past the first 64 KB too.
TEST(ToIntelHex, ReadsBackAsTheSameImage)
{
    EXPECT_EQ(ToIntelHex("\x01\x02\x03"), ":03000000010203F7\r\n:00000001FF\r\n");
    QByteArray bytes(0x10020, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 256);
    const ImageParse parse = ParseIntelHex(ToIntelHex(bytes));
    ASSERT_TRUE(parse.Image) << parse.Problem.toStdString();
    const std::vector<std::uint16_t>& words = parse.Image->Words;
    ASSERT_EQ(words.size(), 0x8010u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(words.data()), bytes.size()), bytes);
}

TEST(LoadImageFile, ProblemsNameThePathAndWhatToDo)
{
    TempDir dir;
    const QString elf = dir.Write("blink.elf", "\x7F"
                                               "ELF\x01\x01\x01");
    const QString hex = dir.Write("bad.hex", ":0100000001FF\n");
    const QString missing = dir.Path("missing.bin");
    const struct
    {
        QString Path;
        QString Problem = {};
    } cases[] = {
        {elf, elf + ": eine ELF-Datei – blink.hex oder blink.bin flashen"},
        {hex, hex + ": Zeile 1: Prüfsumme falsch"},
        {missing, missing + ": " + QString::fromLocal8Bit(std::strerror(ENOENT))},
        {"/dev/null", "/dev/null: keine gewöhnliche Datei"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const ImageParse load = LoadImageFile(c.Path);
        EXPECT_FALSE(load.Image);
        EXPECT_EQ(load.Problem, c.Problem);
    }
}

#include "programmer/flashimage.h"

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace {

// One record with its checksum, as a tool writes it.
QByteArray Record(int type, int offset, const QByteArray& data)
{
    QByteArray raw;
    raw.append(char(data.size())).append(char(offset >> 8)).append(char(offset)).append(char(type));
    raw += data;
    int sum = 0;
    for (const char byte : raw)
        sum += std::uint8_t(byte);
    return ':' + (raw + char(-sum)).toHex().toUpper() + '\n';
}

const QByteArray End = ":00000001FF\n";
const QByteArray Zeros(4, '\0');

QByteArray Bytes(std::initializer_list<std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(std::data(bytes)), qsizetype(bytes.size()));
}

std::vector<std::uint16_t> Words(std::initializer_list<std::uint16_t> words)
{
    return words;
}

} // namespace

TEST(ParseImage, IntelHexRecordsAreTheImageAndEachFaultNamesItsLine)
{
    const QByteArray ab("\xAB\xCD", 2);
    const struct
    {
        const char* Name;
        QByteArray File;
        std::vector<std::uint16_t> Words; // empty: no image
        QString Problem;
    } cases[] = {
        {"a gap and an odd end are erased bytes", Record(0, 1, ab) + Record(0, 4, "\x11") + End,
         Words({0xABFF, 0xFFCD, 0xFF11}), ""},
        {"CR LF, lower case, blank lines, start addresses",
         Record(3, 0, Zeros).toLower().replace('\n', "\r\n") + "\n" + Record(0, 0, ab) +
             Record(5, 0, Zeros) + End + "\n",
         Words({0xCDAB}), ""},
        {"records after the end are not read", Record(0, 0, ab) + End + Record(0, 0, Zeros),
         Words({0xCDAB}), ""},
        {"a wrong checksum",
         Record(0, 0, ab) + ":02000000ABCD87\n" + End,
         {},
         "Zeile 2: Prüfsumme falsch"},
        {"a count that does not fit",
         ":0300000001029A\n" + End,
         {},
         "Zeile 1: kein gültiger Intel-HEX-Satz"},
        {"half a byte", ":020000000102FA0\n", {}, "Zeile 1: kein gültiger Intel-HEX-Satz"},
        {"an address record of one byte",
         Record(4, 0, Bytes({1})) + End,
         {},
         "Zeile 1: kein gültiger Intel-HEX-Satz"},
        {"an unknown type",
         Record(0, 0, ab) + Record(6, 0, ab),
         {},
         "Zeile 2: unbekannter Satztyp 06"},
        {"beyond 256 KB",
         Record(4, 0, Bytes({0, 3})) + Record(0, 0xFFFF, ab) + End,
         {},
         "Zeile 2: Daten bei Adresse 0x40000, hinter der Grenze von 256 KB"},
        {"no end record",
         Record(0, 0, ab) + Record(0, 2, ab) + "\n",
         {},
         "Zeile 2: danach fehlt der Endesatz :00000001FF"},
        {"no data", End, {}, "enthält keine Daten"},
        {"one line of text is raw data", ":0100000001FE\nend\n", Words({0x303A, 0x3031}), ""},
        {"raw: the odd byte is dropped", "\x01\x02\x03", Words({0x0201}), ""},
        {"raw: a single byte", "\x01", {}, "enthält kein ganzes Wort"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ImageParse parse = ParseImage(c.File);
        EXPECT_EQ(parse.Problem, c.Problem);
        if (!c.Problem.isEmpty() || c.Words.empty())
            continue;
        ASSERT_TRUE(parse.Image);
        const std::vector<std::uint16_t>& words = parse.Image->Words;
        EXPECT_EQ(std::vector(words.begin(), words.begin() + c.Words.size()), c.Words);
        EXPECT_EQ(parse.Image->OddByteDropped, QByteArray(c.Name).startsWith("raw: the odd"));
    }
}

TEST(ParseImage, BasesPlaceTheDataAtTheirAddress)
{
    const QByteArray ab("\xAB\xCD", 2);
    const struct
    {
        QByteArray File;
        std::size_t Word;
    } cases[] = {{Record(4, 0, Bytes({0, 1})) + Record(0, 2, ab) + End, 0x8001},
                 {Record(2, 0, Bytes({0x10, 0})) + Record(0, 0xFFFE, ab) + End, 0xFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Word);
        const ImageParse parse = ParseImage(c.File);
        ASSERT_TRUE(parse.Image) << parse.Problem.toStdString();
        EXPECT_EQ(parse.Image->Words.size(), c.Word + 1);
        EXPECT_EQ(parse.Image->Words[c.Word], 0xCDAB);
        EXPECT_EQ(parse.Image->Words[c.Word - 1], 0xFFFF);
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
        QString Problem;
    } cases[] = {
        {elf, elf + ": eine ELF-Datei – blink.hex oder blink.bin flashen"},
        {hex, hex + ": Zeile 1: Prüfsumme falsch"},
        {missing, missing + ": " + QString::fromLocal8Bit(std::strerror(ENOENT))},
        {dir.Path({}), dir.Path({}) + ": " + QString::fromLocal8Bit(std::strerror(EISDIR))},
        {"/dev/null", "/dev/null: keine gewöhnliche Datei"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const ImageParse load = LoadImageFile(c.Path);
        EXPECT_FALSE(load.Image);
        EXPECT_EQ(load.Problem, c.Problem);
    }
}

#include "programmer/flashimage.h"

#include <algorithm>
#include <cstring>

#include <QByteArrayView>
#include <QFileInfo>

#include "platform/files.h"

namespace {

// A HEX file of MaxImageBytes in records of one byte each takes about 3.5 MB; what is longer
// cannot be an image, and reading on would only fill memory.
constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
constexpr std::uint8_t Erased = 0xFF;
constexpr int RecordOverhead = 5; // count, address (2), type, checksum
constexpr char Utf8Mark[] = "\xEF\xBB\xBF";

enum RecordType
{
    Data = 0x00,
    End = 0x01,
    SegmentAddress = 0x02,
    SegmentStart = 0x03,
    LinearAddress = 0x04,
    LinearStart = 0x05
};

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The lines without their ends and the blanks around them: "\r\n" files are as common as "\n"
// ones, editors leave blanks behind, and some start a text with the UTF-8 byte order mark.
QList<QByteArray> Lines(const QByteArray& bytes)
{
    const QByteArray text = bytes.startsWith(Utf8Mark) ? bytes.sliced(3) : bytes;
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines)
        line = line.trimmed();
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the end of the last line
    return lines;
}

bool IsRecordShape(const QByteArray& line)
{
    return line.size() > 1 && line.front() == ':' &&
           std::all_of(line.begin() + 1, line.end(), IsHexDigit);
}

ImageParse Failure(const QString& problem)
{
    return {std::nullopt, problem};
}

ImageParse Failure(int line, const QString& problem)
{
    return Failure(QStringLiteral("Zeile %1: ").arg(line) + problem);
}

std::vector<std::uint16_t> Words(QByteArrayView bytes)
{
    std::vector<std::uint16_t> words(std::size_t(bytes.size() + 1) / 2);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::uint8_t high = 2 * i + 1 < std::size_t(bytes.size()) ? bytes[2 * i + 1] : Erased;
        words[i] = std::uint16_t(std::uint8_t(bytes[2 * i]) | high << 8);
    }
    return words;
}

// Where the records put their data, the records' address base and the line being read.
struct HexReader
{
    QByteArray Image;
    QByteArray Written; // 1 for each byte of Image that a record gave
    std::uint32_t Base = 0;
    int Line = 0;

    std::optional<ImageParse> Take(const QByteArray& record);
    std::optional<ImageParse> Place(std::uint32_t address, QByteArrayView data);
};

// The data bytes a record of the type must carry: nothing for data (any number), -1 for a type
// not known.
std::optional<int> DataBytes(int type)
{
    switch (type) {
    case Data:
        return std::nullopt;
    case End:
        return 0;
    case SegmentAddress:
    case LinearAddress:
        return 2;
    case SegmentStart:
    case LinearStart:
        return 4;
    }
    return -1;
}

// Nothing while the file goes on; an image after the end record, or the line's problem.
std::optional<ImageParse> HexReader::Take(const QByteArray& record)
{
    const int count = std::uint8_t(record[0]);
    const int type = std::uint8_t(record[3]);
    const std::optional<int> expected = DataBytes(type);
    if (expected == -1)
        return Failure(Line,
                       QStringLiteral("unbekannter Satztyp ") +
                           QString::number(type, 16).rightJustified(2, QLatin1Char('0')).toUpper());
    if (record.size() != RecordOverhead + count || (expected && count != *expected))
        return Failure(Line, QStringLiteral("kein gültiger Intel-HEX-Satz"));
    std::uint8_t sum = 0;
    for (const char byte : record)
        sum = std::uint8_t(sum + std::uint8_t(byte));
    if (sum != 0)
        return Failure(Line, QStringLiteral("Prüfsumme falsch"));
    const QByteArrayView data = QByteArrayView(record).sliced(4, count);
    const std::uint32_t value = count == 2 ? std::uint8_t(data[0]) << 8 | std::uint8_t(data[1]) : 0;
    switch (type) {
    case Data:
        return Place(Base + (std::uint8_t(record[1]) << 8 | std::uint8_t(record[2])), data);
    case End:
        if (Image.isEmpty())
            return Failure(QStringLiteral("enthält keine Daten"));
        return ImageParse{FlashImage{Words(Image)}};
    case SegmentAddress:
        Base = value << 4;
        break;
    case LinearAddress:
        Base = value << 16;
        break;
    }
    return std::nullopt;
}

std::optional<ImageParse> HexReader::Place(std::uint32_t address, QByteArrayView data)
{
    const std::uint64_t end = std::uint64_t(address) + std::uint64_t(data.size());
    if (end > MaxImageBytes)
        return Failure(Line,
                       QString::asprintf("Daten bei Adresse 0x%llX, hinter der Grenze "
                                         "von 256 KB",
                                         std::max<unsigned long long>(address, MaxImageBytes)));
    if (end > std::uint64_t(Image.size())) {
        Image.resize(qsizetype(end), char(Erased));
        Written.resize(qsizetype(end), 0);
    }
    // Two files pasted into one, or a tool's fault: which of the two is meant cannot be told.
    for (qsizetype i = 0; i < data.size(); ++i)
        if (Written[address + i] && Image[address + i] != data[i])
            return Failure(Line, QString::asprintf("Adresse 0x%llX hat schon andere Daten",
                                                   static_cast<unsigned long long>(address + i)));
    std::memcpy(Image.data() + address, data.data(), std::size_t(data.size()));
    std::fill_n(Written.data() + address, data.size(), 1);
    return std::nullopt;
}

// The file's name with the other suffix, for the ELF file built beside the .hex and .bin.
QString Sibling(const QString& path, const char* suffix)
{
    return QFileInfo(path).completeBaseName() + QLatin1String(suffix);
}

QString SystemReason(int error)
{
    if (error == 0)
        return QStringLiteral("keine gewöhnliche Datei");
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool IsIntelHex(const QByteArray& bytes)
{
    QByteArrayView text = bytes;
    if (text.startsWith(Utf8Mark))
        text = text.sliced(3);
    text = text.trimmed();
    const QByteArrayView line =
        text.first(text.contains('\n') ? text.indexOf('\n') : text.size()).trimmed();
    return line.startsWith(':') && std::all_of(line.begin() + 1, line.end(), IsHexDigit);
}

ImageParse ParseIntelHex(const QByteArray& bytes)
{
    HexReader reader;
    int lastRecord = 0;
    for (const QByteArray& line : Lines(bytes)) {
        ++reader.Line;
        if (line.isEmpty())
            continue;
        lastRecord = reader.Line;
        if (!IsRecordShape(line) || line.size() % 2 == 0)
            return Failure(reader.Line, QStringLiteral("kein gültiger Intel-HEX-Satz"));
        if (std::optional<ImageParse> done = reader.Take(QByteArray::fromHex(line.sliced(1))))
            return *done;
    }
    // A file cut off in a copy or a download must not pass for a shorter program.
    return Failure(lastRecord, QStringLiteral("danach fehlt der Endesatz :00000001FF"));
}

ImageParse ParseImage(const QByteArray& bytes)
{
    if (IsIntelHex(bytes))
        return ParseIntelHex(bytes);
    const QByteArrayView used =
        QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), MaxImageBytes));
    if (used.size() < 2)
        return Failure(QStringLiteral("enthält kein ganzes Wort"));
    const bool odd = used.size() % 2 != 0;
    return {FlashImage{Words(odd ? used.chopped(1) : used), odd}};
}

ImageParse LoadImageFile(const QString& path)
{
    const QString where = path + QStringLiteral(": ");
    int error = 0;
    const std::optional<QByteArray> bytes =
        ReadRegularFile(path, MaxFileBytes + 1, nullptr, &error);
    if (!bytes)
        return Failure(where + SystemReason(error));
    if (bytes->startsWith("\x7F"
                          "ELF"))
        return Failure(where + QStringLiteral("eine ELF-Datei – ") + Sibling(path, ".hex") +
                       QStringLiteral(" oder ") + Sibling(path, ".bin") +
                       QStringLiteral(" flashen"));
    if (bytes->size() > MaxFileBytes && IsIntelHex(*bytes))
        return Failure(where + QStringLiteral("zu groß für ein Abbild von höchstens 256 KB"));
    ImageParse parse = ParseImage(*bytes);
    if (!parse.Image)
        parse.Problem.prepend(where);
    return parse;
}

QByteArray ToIntelHex(const QByteArray& bytes)
{
    constexpr int RecordBytes = 16;
    QByteArray hex;
    const auto record = [&hex](int type, std::uint16_t offset, QByteArrayView data) {
        QByteArray raw;
        raw.append(char(data.size())).append(char(offset >> 8)).append(char(offset & 0xFF));
        raw.append(char(type)).append(data);
        std::uint8_t sum = 0;
        for (const char byte : raw)
            sum = std::uint8_t(sum + std::uint8_t(byte));
        raw.append(char(std::uint8_t(-sum)));
        hex += ':' + raw.toHex().toUpper() + "\r\n";
    };
    for (qsizetype at = 0; at < bytes.size(); at += RecordBytes) {
        if (at > 0 && at % 0x10000 == 0) {
            const char upper[] = {char(at >> 24), char(at >> 16)};
            record(LinearAddress, 0, QByteArrayView(upper, 2));
        }
        record(Data, std::uint16_t(at & 0xFFFF),
               QByteArrayView(bytes).sliced(at).first(
                   std::min<qsizetype>(RecordBytes, bytes.size() - at)));
    }
    record(End, 0, {});
    return hex;
}

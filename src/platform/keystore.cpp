#include "platform/keystore.h"

#include <algorithm>
#include <array>

#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/filelock.h"
#include "platform/files.h"
#include "platform/textfile.h"

namespace {

constexpr std::array<const char*, 7> HiveFiles{
    "classesroot.reg",     "user.reg",          "localmachine.reg", "users.reg",
    "performancedata.reg", "currentconfig.reg", "dyndata.reg"};
static_assert(HiveFiles.size() == std::size_t(TRootKey::HKeyDynData) + 1);

// Far beyond any list of recent files, and still small enough to read whole.
constexpr qint64 MaxHiveSize = 64 << 20;

std::optional<QStringConverter::Encoding> Utf16Encoding(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringConverter::Utf16LE;
    if (bytes.startsWith("\xFE\xFF"))
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

struct FileLine
{
    QByteArrayView Bytes;   // line end included
    QByteArrayView Content; // without the line end
    bool Ended = true;
};

struct SplitFile
{
    std::vector<FileLine> Lines;
    QString LineEnd;   // the first one in the file; empty when there is none
    bool Whole = true; // false for UTF-16 with an odd byte at the end
};

// Lines end in LF or CR LF, so that a raw CR inside a value stays in its line; only a file
// without any LF is taken to end its lines in CR alone. UTF-16 is split by its code units.
SplitFile SplitLines(QByteArrayView bytes, std::optional<QStringConverter::Encoding> utf16)
{
    const qsizetype width = utf16 ? 2 : 1;
    SplitFile split;
    if (bytes.size() % width != 0) {
        split.Whole = false;
        return split;
    }
    const bool bigEndian = utf16 == QStringConverter::Utf16BE;
    const qsizetype units = bytes.size() / width;
    const auto unit = [&](qsizetype i) -> char16_t {
        const auto byte = [&](qsizetype at) {
            return char16_t(static_cast<unsigned char>(bytes[at]));
        };
        if (width == 1)
            return byte(i);
        return bigEndian ? char16_t(byte(2 * i) << 8 | byte(2 * i + 1))
                         : char16_t(byte(2 * i + 1) << 8 | byte(2 * i));
    };
    bool anyLf = false;
    for (qsizetype i = 0; i < units && !anyLf; ++i)
        anyLf = unit(i) == u'\n';
    const char16_t end = anyLf ? u'\n' : u'\r';
    qsizetype start = 0;
    for (qsizetype i = 0; i < units; ++i) {
        if (unit(i) != end)
            continue;
        const qsizetype contentEnd = anyLf && i > start && unit(i - 1) == u'\r' ? i - 1 : i;
        if (split.LineEnd.isEmpty())
            split.LineEnd = contentEnd < i ? QStringLiteral("\r\n") : QString(QChar(end));
        split.Lines.push_back({bytes.sliced(start * width, (i + 1 - start) * width),
                               bytes.sliced(start * width, (contentEnd - start) * width), true});
        start = i + 1;
    }
    if (start < units) {
        const QByteArrayView rest = bytes.sliced(start * width);
        split.Lines.push_back({rest, rest, false});
    }
    return split;
}

// Line breaks get escapes of their own so that a value always stays on one line of the file.
QString Quoted(const QString& text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            quoted += QLatin1String("\\\\");
            break;
        case '"':
            quoted += QLatin1String("\\\"");
            break;
        case '\n':
            quoted += QLatin1String("\\n");
            break;
        case '\r':
            quoted += QLatin1String("\\r");
            break;
        default:
            quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

// Reads the quoted text whose opening quote is at pos; pos then stands behind the closing one.
// A backslash before any other character is kept, so a hand-written "C:\temp" reads as meant.
std::optional<QString> Unquote(QStringView line, qsizetype& pos)
{
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return text;
        }
        if (c != QLatin1Char('\\') || pos + 1 == line.size()) {
            text += c;
            continue;
        }
        const QChar next = line[++pos];
        if (next == QLatin1Char('n'))
            text += QLatin1Char('\n');
        else if (next == QLatin1Char('r'))
            text += QLatin1Char('\r');
        else if (next == QLatin1Char('\\') || next == QLatin1Char('"'))
            text += next;
        else
            text += line.sliced(pos - 1, 2);
    }
    return std::nullopt;
}

QString ValueLine(const QString& name, const QString& value)
{
    return (name.isEmpty() ? QStringLiteral("@") : Quoted(name)) + QLatin1Char('=') + Quoted(value);
}

} // namespace

KeyStore::KeyStore(TRootKey rootKey)
    : FRootKey(rootKey)
{}

KeyStore::~KeyStore()
{
    Flush();
}

QString KeyStore::HiveFileName(TRootKey rootKey)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        return {};
    return base + QLatin1String("/quennor/") + QLatin1String(HiveFiles[std::size_t(rootKey)]);
}

std::unique_ptr<FileLock> KeyStore::LockHive(TRootKey rootKey, int waitMs)
{
    const QString hive = HiveFileName(rootKey);
    if (hive.isEmpty() || !MakePrivateFolder(QFileInfo(hive).path()))
        return nullptr;
    return std::make_unique<FileLock>(hive + QStringLiteral(".lock"), waitMs);
}

void KeyStore::SetRootKey(TRootKey rootKey)
{
    CloseKey();
    Flush();
    FRootKey = rootKey;
    FLines.clear();
    FDirty = false;
}

bool KeyStore::OpenKey(const QString& path, bool create)
{
    CloseKey();
    const QString key = path.startsWith(QLatin1Char('\\')) ? path.mid(1) : path;
    if (key.contains(QLatin1Char('\n')) || key.contains(QLatin1Char('\r')))
        return false;
    // Changes not yet written (LazyWrite) are newer than the file.
    if (!FDirty && !Load())
        return false;
    FIndex.reset();
    FLastValue.reset();
    FKeyLine = FindKey(key);
    // The folder holds what the user works on, so it is the user's alone when it is made here.
    if (FKeyLine < 0 && create && MakePrivateFolder(QFileInfo(FFileName).path()))
        FKeyLine = CreateKey(key);
    return FKeyLine >= 0;
}

bool KeyStore::CloseKey()
{
    FKeyLine = -1;
    FIndex.reset();
    return FLazyWrite || Flush();
}

QStringList KeyStore::ValueNames() const
{
    QStringList names;
    if (FKeyLine < 0)
        return names;
    QSet<QString> seen;
    for (int i = FKeyLine + 1, end = KeyEnd(); i < end; ++i) {
        const Line& line = FLines[i];
        if (line.Type != Line::Kind::Value || seen.contains(line.Name.toCaseFolded()))
            continue;
        seen.insert(line.Name.toCaseFolded());
        names += line.Name;
    }
    return names;
}

std::optional<QString> KeyStore::ReadString(const QString& name) const
{
    const QList<int> lines = ValueLines(name);
    if (lines.isEmpty())
        return std::nullopt;
    return FLines[lines.first()].String;
}

bool KeyStore::WriteString(const QString& name, const QString& value)
{
    if (FKeyLine < 0)
        return false;
    Line line = MadeLine(ValueLine(name, value), Line::Kind::Value, name, value);
    const QList<int> lines = ValueLines(name);
    const int at = lines.isEmpty() ? ValuesEnd() : lines.first();
    if (!lines.isEmpty()) {
        FLines[at] = std::move(line);
        // A hand-edited file may hold a name twice; left alone, the second would come back as
        // the value once the first is deleted.
        for (const int i : lines.sliced(1))
            FLines[i].Type = Line::Kind::Removed;
        FLastValue.reset();
    } else if (at < int(FLines.size()) && FLines[at].Type == Line::Kind::Removed) {
        FLines[at] = std::move(line); // in place of a deleted value, so nothing moves
        FLastValue = at;
    } else {
        // Every value line of the key lies before this place, so the index stays right.
        FLines.insert(FLines.begin() + at, std::move(line));
        FLastValue = at;
    }
    (*FIndex)[name.toCaseFolded()] = {at};
    FDirty = true;
    return true;
}

bool KeyStore::DeleteValue(const QString& name)
{
    if (FKeyLine < 0)
        return false;
    const QList<int> lines = ValueLines(name);
    for (const int i : lines)
        FLines[i].Type = Line::Kind::Removed;
    FIndex->remove(name.toCaseFolded());
    FLastValue.reset();
    FDirty = FDirty || !lines.isEmpty();
    return !lines.isEmpty();
}

// Blanks around "=" are allowed, as people write them by hand.
KeyStore::Line KeyStore::ParseLine(QStringView text)
{
    const Line other{{}, true, Line::Kind::Other, {}, {}};
    const QStringView line = text.trimmed();
    if (line.size() >= 2 && line.front() == QLatin1Char('[') && line.back() == QLatin1Char(']'))
        return {{}, true, Line::Kind::Key, line.sliced(1, line.size() - 2).toString(), {}};
    qsizetype pos = 1;
    QString name;
    if (line.startsWith(QLatin1Char('"'))) {
        pos = 0;
        const auto quoted = Unquote(line, pos);
        if (!quoted)
            return other;
        name = *quoted;
    } else if (!line.startsWith(QLatin1Char('@'))) {
        return other;
    }
    const QStringView rest = line.sliced(pos).trimmed();
    if (rest.size() < 2 || rest.front() != QLatin1Char('='))
        return other;
    const QStringView data = rest.sliced(1).trimmed();
    if (!data.startsWith(QLatin1Char('"')))
        return {{}, true, Line::Kind::Value, name, std::nullopt};
    qsizetype end = 0;
    const auto value = Unquote(data, end);
    if (!value || end != data.size())
        return other;
    return {{}, true, Line::Kind::Value, name, value};
}

bool KeyStore::Load()
{
    FLines.clear();
    FUtf16.reset();
    FLineEnd = QStringLiteral("\r\n");
    FFileName = HiveFileName(FRootKey);
    if (FFileName.isEmpty())
        return false;
    if (!QFileInfo::exists(FFileName))
        return true;
    // A FIFO or a device and a huge file are no hive and are not overwritten either.
    const std::optional<QByteArray> bytes = ReadRegularFile(FFileName, MaxHiveSize + 1);
    if (!bytes || bytes->size() > MaxHiveSize)
        return false;
    return Parse(*bytes);
}

// A value of another type may go on over further lines, each but the last ending in a
// backslash; a line that reads as a key or a value never continues one.
bool KeyStore::Parse(const QByteArray& bytes)
{
    FUtf16 = Utf16Encoding(bytes);
    const SplitFile split = SplitLines(bytes, FUtf16);
    if (!split.Whole)
        return false;
    if (!split.LineEnd.isEmpty())
        FLineEnd = split.LineEnd;
    bool continues = false;
    for (std::size_t i = 0; i < split.Lines.size(); ++i) {
        const FileLine& fileLine = split.Lines[i];
        QString text = Decoded(fileLine.Content);
        if (i == 0 && text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        Line line = ParseLine(text);
        if (continues && line.Type == Line::Kind::Other) {
            FLines.back().Bytes += fileLine.Bytes;
            FLines.back().Ended = fileLine.Ended;
        } else {
            line.Bytes = fileLine.Bytes.toByteArray();
            line.Ended = fileLine.Ended;
            FLines.push_back(std::move(line));
        }
        const Line& last = FLines.back();
        continues = last.Type == Line::Kind::Value && !last.String &&
                    QStringView(text).trimmed().endsWith(QLatin1Char('\\'));
    }
    return true;
}

bool KeyStore::Flush()
{
    if (!FDirty)
        return true;
    const QByteArray lineEnd = Encoded(FLineEnd);
    const auto last = std::find_if(FLines.rbegin(), FLines.rend(), [](const Line& line) {
        return line.Type != Line::Kind::Removed;
    });
    const Line* lastWritten = last == FLines.rend() ? nullptr : &*last;
    QByteArray bytes;
    for (const Line& line : FLines) {
        if (line.Type == Line::Kind::Removed)
            continue;
        bytes += line.Bytes;
        if (!line.Ended && &line != lastWritten)
            bytes += lineEnd;
    }
    if (!SaveFileAtomically(FFileName, bytes, 0600))
        return false;
    FDirty = false;
    return true;
}

KeyStore::Line KeyStore::MadeLine(const QString& text, Line::Kind type, const QString& name,
                                  const std::optional<QString>& string) const
{
    return {Encoded(text + FLineEnd), true, type, name, string};
}

QString KeyStore::Decoded(QByteArrayView bytes) const
{
    if (!FUtf16)
        return DecodeLine(bytes);
    QStringDecoder decoder(*FUtf16, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArray KeyStore::Encoded(const QString& text) const
{
    if (!FUtf16)
        return text.toUtf8();
    QStringEncoder encoder(*FUtf16);
    return encoder.encode(text);
}

int KeyStore::FindKey(const QString& path) const
{
    for (int i = 0; i < int(FLines.size()); ++i)
        if (FLines[i].Type == Line::Kind::Key &&
            FLines[i].Name.compare(path, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int KeyStore::CreateKey(const QString& path)
{
    if (FLines.empty())
        FLines.push_back(MadeLine(QStringLiteral("REGEDIT4"), Line::Kind::Other));
    if (!EndsInBlankLine())
        FLines.push_back(MadeLine(QString(), Line::Kind::Other));
    FLines.push_back(MadeLine(QLatin1Char('[') + path + QLatin1Char(']'), Line::Kind::Key, path));
    FDirty = true;
    return int(FLines.size()) - 1;
}

bool KeyStore::EndsInBlankLine() const
{
    for (auto line = FLines.rbegin(); line != FLines.rend(); ++line)
        if (line->Type != Line::Kind::Removed)
            return line->Type == Line::Kind::Other && Decoded(line->Bytes).trimmed().isEmpty();
    return false;
}

int KeyStore::KeyEnd() const
{
    for (int i = FKeyLine + 1; i < int(FLines.size()); ++i)
        if (FLines[i].Type == Line::Kind::Key)
            return i;
    return int(FLines.size());
}

// Where a new value goes. Cached, so that writing a whole list after clearing it takes one pass.
int KeyStore::ValuesEnd()
{
    if (!FLastValue) {
        FLastValue = FKeyLine;
        for (int i = FKeyLine + 1, end = KeyEnd(); i < end; ++i)
            if (FLines[i].Type == Line::Kind::Value)
                FLastValue = i;
    }
    return *FLastValue + 1;
}

// Built when first needed after lines moved, so that reading or deleting every value of a
// large key takes one pass instead of one per value.
QList<int> KeyStore::ValueLines(const QString& name) const
{
    if (FKeyLine < 0)
        return {};
    if (!FIndex) {
        FIndex.emplace();
        for (int i = FKeyLine + 1, end = KeyEnd(); i < end; ++i)
            if (FLines[i].Type == Line::Kind::Value)
                (*FIndex)[FLines[i].Name.toCaseFolded()].append(i);
    }
    return FIndex->value(name.toCaseFolded());
}

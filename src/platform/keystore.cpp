#include "platform/keystore.h"

#include <array>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace {

constexpr std::array<const char*, 7> HiveFiles{
    "classesroot.reg",     "user.reg",          "localmachine.reg", "users.reg",
    "performancedata.reg", "currentconfig.reg", "dyndata.reg"};
static_assert(HiveFiles.size() == std::size_t(TRootKey::HKeyDynData) + 1);

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
    FKeyLine = FindKey(key);
    if (FKeyLine < 0 && create && QDir().mkpath(QFileInfo(FFileName).path()))
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
    Line line{ValueLine(name, value), Line::Kind::Value, name, value};
    const QList<int> lines = ValueLines(name);
    if (!lines.isEmpty()) {
        FLines[lines.first()] = std::move(line);
        // A hand-edited file may hold a name twice; left alone, the second would come back as
        // the value once the first is deleted.
        for (const int i : lines.sliced(1))
            FLines[i].Type = Line::Kind::Removed;
        (*FIndex)[name.toCaseFolded()] = {lines.first()};
    } else {
        int at = FKeyLine + 1;
        for (int i = at, end = KeyEnd(); i < end; ++i)
            if (FLines[i].Type == Line::Kind::Value)
                at = i + 1;
        FLines.insert(FLines.begin() + at, std::move(line));
        FIndex.reset();
    }
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
    FDirty = FDirty || !lines.isEmpty();
    return !lines.isEmpty();
}

KeyStore::Line KeyStore::ParseLine(const QString& text)
{
    const Line other{text, Line::Kind::Other, {}, {}};
    const QStringView line = QStringView(text).trimmed();
    if (line.size() >= 2 && line.front() == QLatin1Char('[') && line.back() == QLatin1Char(']'))
        return {text, Line::Kind::Key, line.sliced(1, line.size() - 2).toString(), {}};
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
    if (pos + 1 >= line.size() || line[pos] != QLatin1Char('='))
        return other;
    const QStringView data = line.sliced(pos + 1);
    if (!data.startsWith(QLatin1Char('"')))
        return {text, Line::Kind::Value, name, std::nullopt};
    qsizetype end = 0;
    const auto value = Unquote(data, end);
    if (!value || end != data.size())
        return other;
    return {text, Line::Kind::Value, name, value};
}

bool KeyStore::Load()
{
    FLines.clear();
    FEncoding = TextEncoding::Utf8;
    FFileName = HiveFileName(FRootKey);
    if (FFileName.isEmpty())
        return false;
    QFile file(FFileName);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const TextFileContents contents = DecodeText(bytes);
    FEncoding = contents.Encoding;
    QStringList lines = contents.Text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast(); // what follows the last line end
    for (qsizetype i = 0; i < lines.size(); ++i) {
        Line line = ParseLine(lines[i]);
        // A value of another type may go on over further lines, each but the last ending in
        // a backslash.
        while (line.Type == Line::Kind::Value && !line.String && i + 1 < lines.size() &&
               line.Text.trimmed().endsWith(QLatin1Char('\\')))
            line.Text += QLatin1Char('\n') + lines[++i];
        FLines.push_back(std::move(line));
    }
    return true;
}

bool KeyStore::Flush()
{
    if (!FDirty)
        return true;
    QString text;
    for (const Line& line : FLines)
        if (line.Type != Line::Kind::Removed)
            text += line.Text + QLatin1Char('\n');
    if (!SaveFileAtomically(FFileName, EncodeText(text, FEncoding)))
        return false;
    FDirty = false;
    return true;
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
        FLines.push_back(ParseLine(QStringLiteral("REGEDIT4")));
    if (!FLines.back().Text.trimmed().isEmpty())
        FLines.push_back(ParseLine(QString()));
    FLines.push_back({QLatin1Char('[') + path + QLatin1Char(']'), Line::Kind::Key, path, {}});
    FDirty = true;
    return int(FLines.size()) - 1;
}

int KeyStore::KeyEnd() const
{
    for (int i = FKeyLine + 1; i < int(FLines.size()); ++i)
        if (FLines[i].Type == Line::Kind::Key)
            return i;
    return int(FLines.size());
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

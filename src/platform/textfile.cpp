#include "platform/textfile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/backupcopies.h"
#include "platform/fileattributes.h"
#include "platform/fileerror.h"

namespace {

// Bytes 0x80..0x9F of Windows-1252. The five bytes the code page leaves undefined map to the
// C1 control character of the same number, so every byte of a file survives a load and save.
constexpr std::array<char16_t, 32> Cp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

QString DecodeCp1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

int Cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < int(Cp1252High.size()); ++i)
        if (Cp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

// Empty optional when a character has no Windows-1252 byte.
std::optional<QByteArray> EncodeCp1252(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const int b = Cp1252Byte(c.unicode());
        if (b < 0)
            return std::nullopt;
        *out++ = char(b);
    }
    return bytes;
}

// Stateless, so that an unfinished sequence at the end is an error instead of being held back
// for input that never comes: the text would lose its last bytes. A byte-order mark here is text,
// not a marker to drop.
std::optional<QString> DecodeUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

// One pass in place: QString::replace with a shorter text moves the tail once per hit, which
// grows with the square of the size for large sources.
QString NormaliseLineEnds(QString text, LineEnd& lineEnds)
{
    bool lf = false;
    bool other = false;
    QChar* const begin = text.data();
    const QChar* const end = begin + text.size();
    QChar* out = begin;
    for (const QChar* in = begin; in != end; ++in) {
        if (*in != QLatin1Char('\r')) {
            lf = lf || *in == QLatin1Char('\n');
            *out++ = *in;
            continue;
        }
        other = true;
        if (in + 1 != end && in[1] == QLatin1Char('\n'))
            ++in;
        *out++ = QLatin1Char('\n');
    }
    text.truncate(out - begin);
    lineEnds = lf && !other ? LineEnd::Lf : LineEnd::CrLf;
    return text;
}

// One pass: QString::replace with a longer text moves the tail once per batch of hits, which
// grows with the square of the size for large sources.
QString WithCrLf(const QString& text)
{
    QString result;
    result.reserve(text.size() + text.count(QLatin1Char('\n')));
    const QStringView view(text);
    qsizetype start = 0;
    for (qsizetype end; (end = view.indexOf(QLatin1Char('\n'), start)) >= 0; start = end + 1) {
        result += view.sliced(start, end - start);
        result += QLatin1String("\r\n");
    }
    result += view.sliced(start);
    return result;
}

enum class Outcome
{
    Written,
    Failed,
    NotPossible,
};

// old: what the replaced file carries, none for a new file, which then gets newFileMode when
// given. The temporary file is the saver's, with the saver's group and the folder's default
// access list, so it is given the old file's attributes after the writing (which clears set-id
// bits). Where it cannot carry them all, or the folder refuses the rename (an append-only
// folder), the replace is not possible.
Outcome ReplaceAtomically(const QString& path, const QByteArray& bytes, const FileAttributes* old,
                          std::optional<mode_t> newFileMode, FileStamp* stamp)
{
    // Unbuffered, so that a short write shows in write()'s result: a buffered QSaveFile
    // commits a truncated file when only its final flush fails.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Outcome::NotPossible;
    if (file.write(bytes) != bytes.size())
        return Outcome::Failed;
    if (old && !old->GiveTo(file.handle())) {
        file.cancelWriting();
        return Outcome::NotPossible;
    }
    if (!old && newFileMode && ::fchmod(file.handle(), *newFileMode) != 0)
        return Outcome::Failed;
    const FileStamp written = StampOfHandle(file.handle());
    if (!file.commit())
        return file.error() == QFileDevice::RenameError ? Outcome::NotPossible : Outcome::Failed;
    if (stamp)
        *stamp = written;
    return Outcome::Written;
}

bool Overwrite(QFile& file, const QByteArray& bytes)
{
    return file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size()) &&
           ::fsync(file.handle()) == 0;
}

// For files the atomic replace would change beyond their text: the same file gets the new
// bytes, so its links, owner, group, attributes and folder stay as they are.
std::optional<FileStamp> WriteInPlace(const QString& path, const QByteArray& bytes)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return std::nullopt;
    QFile file;
    struct stat info = {};
    if (!file.open(handle, QIODevice::ReadWrite | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return std::nullopt;
    }
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    const std::optional<QString> backup = BackupCopies::Make(path, old);
    if (!backup)
        return std::nullopt;
    const bool written = Overwrite(file, bytes);
    // Without the old bytes back in place, the copy is all that is left of them.
    if (written || Overwrite(file, old))
        BackupCopies::Remove(*backup);
    if (!written)
        return std::nullopt;
    return StampOfHandle(handle);
}

// Atomically where that keeps the file as it was but for its contents; otherwise in place: in a
// folder the saver cannot write to, for a file with more than one name, and for attributes the
// saver's new file cannot take. Only regular files are replaced (symbolic links are followed).
std::optional<FileStamp> ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    struct stat old = {};
    FileStamp stamp;
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        if (errno == ENOENT &&
            ReplaceAtomically(path, bytes, nullptr, std::nullopt, &stamp) == Outcome::Written)
            return stamp;
        return std::nullopt;
    }
    if (!S_ISREG(old.st_mode))
        return std::nullopt;
    const std::optional<FileAttributes> attributes =
        old.st_nlink == 1 ? FileAttributes::Of(path) : std::nullopt;
    if (!attributes)
        return WriteInPlace(path, bytes);
    switch (ReplaceAtomically(path, bytes, &*attributes, std::nullopt, &stamp)) {
    case Outcome::Written:
        return stamp;
    case Outcome::Failed:
        return std::nullopt;
    case Outcome::NotPossible:
        return WriteInPlace(path, bytes);
    }
    return std::nullopt;
}

} // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& bytes,
                        std::optional<mode_t> newFileMode)
{
    struct stat old = {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    return ReplaceAtomically(path, bytes, nullptr, exists ? std::nullopt : newFileMode, nullptr) ==
           Outcome::Written;
}

TextFileContents DecodeText(const QByteArray& bytes)
{
    const bool bom = bytes.startsWith(Utf8Bom);
    const QByteArrayView body = bom ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
    TextFileContents contents;
    if (std::optional<QString> text = DecodeUtf8(body)) {
        contents.Text = NormaliseLineEnds(std::move(*text), contents.Format.LineEnds);
        contents.Format.Encoding = bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
    } else {
        contents.Text = NormaliseLineEnds(DecodeCp1252(bytes), contents.Format.LineEnds);
        contents.Format.Encoding = TextEncoding::Windows1252;
    }
    return contents;
}

QString DecodeLine(QByteArrayView bytes)
{
    std::optional<QString> text = DecodeUtf8(bytes);
    return text ? std::move(*text) : DecodeCp1252(bytes);
}

std::optional<QByteArray> EncodeText(const QString& text, const TextFormat& format)
{
    const QString ended = format.LineEnds == LineEnd::CrLf ? WithCrLf(text) : text;
    if (format.Encoding == TextEncoding::Windows1252)
        return EncodeCp1252(ended);
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray bytes = utf8.encode(ended);
    if (format.Encoding == TextEncoding::Utf8WithBom)
        bytes.prepend(Utf8Bom);
    return bytes;
}

TextFileContents ReadTextFile(const QString& path)
{
    FileStamp stamp;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, -1, &stamp);
    if (!bytes)
        throw FileError::CannotOpen(path);
    TextFileContents contents = DecodeText(*bytes);
    contents.Stamp = stamp;
    return contents;
}

FileStamp WriteFileContents(const QString& path, const QByteArray& bytes)
{
    const std::optional<FileStamp> stamp = ReplaceFileContents(path, bytes);
    if (!stamp)
        throw FileError::CannotCreate(path);
    return *stamp;
}

FileStamp WriteTextFile(const QString& path, const QString& text, const TextFormat& format)
{
    const std::optional<QByteArray> bytes = EncodeText(text, format);
    if (!bytes)
        throw FileError::CannotCreate(path);
    return WriteFileContents(path, *bytes);
}

#include "platform/textfile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>

#include "platform/fileerror.h"
#include "platform/files.h"

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

QString NormaliseLineEnds(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
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

// The temporary file is created by the saver, so it would take the saver's own group: a shared
// file would lock its group out. The owner can only be kept by root; the group by any member.
bool KeepOwnerAndGroup(int handle, const struct stat& old)
{
    return ::fchown(handle, old.st_uid, old.st_gid) == 0 ||
           ::fchown(handle, uid_t(-1), old.st_gid) == 0;
}

// old: the file being replaced, none for a new one, which then gets newFileMode when given.
Outcome ReplaceAtomically(const QString& path, const QByteArray& bytes, const struct stat* old,
                          std::optional<mode_t> newFileMode = std::nullopt)
{
    // Unbuffered, so that a short write shows in write()'s result: a buffered QSaveFile
    // commits a truncated file when only its final flush fails.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Outcome::NotPossible;
    if (old && !KeepOwnerAndGroup(file.handle(), *old)) {
        file.cancelWriting();
        return Outcome::NotPossible;
    }
    if (!old && newFileMode && ::fchmod(file.handle(), *newFileMode) != 0)
        return Outcome::Failed;
    return file.write(bytes) == bytes.size() && file.commit() ? Outcome::Written : Outcome::Failed;
}

// QStandardPaths knows the state folder only from Qt 6.7 on.
QString StateFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base =
        QDir::isAbsolutePath(state) ? state : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/quennor");
}

bool SyncToDisk(const QString& path)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        return false;
    const bool synced = ::fsync(handle) == 0;
    ::close(handle);
    return synced;
}

// A copy of the old contents that survives a crash while the file is rewritten in place; its
// path, or nothing when it could not be made.
std::optional<QString> MakeBackup(const QString& path, const QByteArray& old)
{
    const QString folder = StateFolder();
    if (!QDir().mkpath(folder))
        return std::nullopt;
    // Part of the name only, so that the copy's name stays within the length a name may have.
    QTemporaryFile copy(folder + QLatin1Char('/') + QFileInfo(path).fileName().left(64) +
                        QStringLiteral(".XXXXXX"));
    copy.setAutoRemove(false);
    if (!copy.open())
        return std::nullopt;
    // Qt may open the copy without a name; asking for it links the copy into the folder, which
    // must happen before the folder is synced.
    const QString name = copy.fileName();
    if (!name.isEmpty() && copy.write(old) == old.size() && copy.flush() &&
        ::fsync(copy.handle()) == 0 && SyncToDisk(folder))
        return name;
    copy.remove();
    return std::nullopt;
}

bool Overwrite(QFile& file, const QByteArray& bytes)
{
    return file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size()) &&
           ::fsync(file.handle()) == 0;
}

// For files the atomic replace would change beyond their text: the same file gets the new
// bytes, so its links, owner, group and folder stay as they are.
bool WriteInPlace(const QString& path, const QByteArray& bytes)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return false;
    QFile file;
    struct stat info = {};
    if (!file.open(handle, QIODevice::ReadWrite | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return false;
    }
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const std::optional<QString> backup = MakeBackup(path, old);
    if (!backup)
        return false;
    const bool written = Overwrite(file, bytes);
    // Without the old bytes back in place, the copy is all that is left of them.
    if (written || Overwrite(file, old))
        QFile::remove(*backup);
    return written;
}

// Atomically where that keeps the file as it was but for its contents; otherwise in place: in a
// folder the saver cannot write to, for a file with more than one name, and where the group
// could not be kept. Only regular files are replaced (symbolic links are followed).
bool ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    struct stat old = {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0)
        return errno == ENOENT && SaveFileAtomically(path, bytes);
    if (!S_ISREG(old.st_mode))
        return false;
    if (old.st_nlink == 1) {
        const Outcome outcome = ReplaceAtomically(path, bytes, &old);
        if (outcome != Outcome::NotPossible)
            return outcome == Outcome::Written;
    }
    return WriteInPlace(path, bytes);
}

} // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& bytes,
                        std::optional<mode_t> newFileMode)
{
    struct stat old = {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    return ReplaceAtomically(path, bytes, nullptr, exists ? std::nullopt : newFileMode) ==
           Outcome::Written;
}

TextFileContents DecodeText(const QByteArray& bytes)
{
    const bool bom = bytes.startsWith(Utf8Bom);
    const QByteArrayView body = bom ? QByteArrayView(bytes).sliced(3) : QByteArrayView(bytes);
    if (std::optional<QString> text = DecodeUtf8(body))
        return {NormaliseLineEnds(std::move(*text)),
                bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8};
    return {NormaliseLineEnds(DecodeCp1252(bytes)), TextEncoding::Windows1252};
}

QString DecodeLine(QByteArrayView bytes)
{
    std::optional<QString> text = DecodeUtf8(bytes);
    return text ? std::move(*text) : DecodeCp1252(bytes);
}

QByteArray EncodeText(const QString& text, TextEncoding& encoding)
{
    const QString crlf = WithCrLf(text);
    if (encoding == TextEncoding::Windows1252) {
        if (auto bytes = EncodeCp1252(crlf))
            return *bytes;
        encoding = TextEncoding::Utf8;
    }
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray bytes = utf8.encode(crlf);
    if (encoding == TextEncoding::Utf8WithBom)
        bytes.prepend(Utf8Bom);
    return bytes;
}

TextFileContents ReadTextFile(const QString& path)
{
    const std::optional<QByteArray> bytes = ReadRegularFile(path);
    if (!bytes)
        throw FileError::CannotOpen(path);
    return DecodeText(*bytes);
}

TextEncoding WriteTextFile(const QString& path, const QString& text, TextEncoding encoding)
{
    if (!ReplaceFileContents(path, EncodeText(text, encoding)))
        throw FileError::CannotCreate(path);
    return encoding;
}

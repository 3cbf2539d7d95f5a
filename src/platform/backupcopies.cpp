#include "platform/backupcopies.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "platform/files.h"
#include "platform/textfile.h"

namespace {

const QString RecordSuffix = QStringLiteral(".path");

// A path is at most 4096 bytes; anything longer is no record of ours.
constexpr qint64 LongestRecord = 16 * 1024;

bool SyncToDisk(const QString& path)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        return false;
    const bool synced = ::fsync(handle) == 0;
    ::close(handle);
    return synced;
}

std::optional<QString> RecordedPath(const QString& record)
{
    const std::optional<QByteArray> bytes = ReadRegularFile(record, LongestRecord);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

QStringList Records()
{
    QStringList records;
    const QDir folder(BackupCopies::Folder());
    for (const QString& name : folder.entryList({QLatin1Char('*') + RecordSuffix}, QDir::Files))
        records << folder.filePath(name);
    return records;
}

} // namespace

// QStandardPaths knows the state folder only from Qt 6.7 on.
QString BackupCopies::Folder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base =
        QDir::isAbsolutePath(state) ? state : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/quennor");
}

std::optional<QString> BackupCopies::Make(const QString& path, const QByteArray& old)
{
    const QString folder = Folder();
    if (!MakePrivateFolder(folder))
        return std::nullopt;
    // Part of the name only, so that the copy's name and its record's stay within the length a
    // name may have; the record tells the whole path.
    QTemporaryFile copy(folder + QLatin1Char('/') + QFileInfo(path).fileName().left(64) +
                        QStringLiteral(".XXXXXX"));
    copy.setAutoRemove(false);
    if (!copy.open())
        return std::nullopt;
    // Qt may open the copy without a name; asking for it links the copy into the folder, which
    // must happen before the folder is synced.
    const QString name = copy.fileName();
    if (name.isEmpty()) {
        copy.remove();
        return std::nullopt;
    }
    const QString record = name + RecordSuffix;
    if (copy.write(old) == old.size() && copy.flush() && ::fsync(copy.handle()) == 0 &&
        SaveFileAtomically(record, path.toUtf8(),
                           QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
        SyncToDisk(folder))
        return name;
    Remove(name);
    return std::nullopt;
}

void BackupCopies::Remove(const QString& copy)
{
    QFile::remove(copy);
    QFile::remove(copy + RecordSuffix);
}

QStringList BackupCopies::Of(const QString& path)
{
    QStringList copies;
    for (const QString& record : Records()) {
        const QString copy = record.chopped(RecordSuffix.size());
        const std::optional<QString> recorded = RecordedPath(record);
        if (recorded && QFileInfo(copy).isFile() && SameFile(*recorded, path))
            copies << copy;
    }
    return copies;
}

void BackupCopies::Prune(int days)
{
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-days);
    const QDir folder(Folder());
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files)) {
        const bool record = file.fileName().endsWith(RecordSuffix);
        if (record && !QFileInfo::exists(file.filePath().chopped(RecordSuffix.size())))
            QFile::remove(file.filePath());
        else if (!record && file.lastModified() < oldest)
            Remove(file.filePath());
    }
}

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 GrowthChunk = 64 * 1024;

FileStamp Stamp(const struct stat& status)
{
    return {quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

} // namespace

std::optional<FileStamp> StampOf(const QString& path)
{
    struct stat status
    {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return Stamp(status);
}

FileStamp StampOfHandle(int handle)
{
    struct stat status
    {};
    ::fstat(handle, &status);
    return Stamp(status);
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, FileStamp* stamp,
                                          int* error)
{
    int ignored = 0;
    int& reason = error ? *error : ignored;
    // Opening without blocking and checking the opened file, not the name: a FIFO put in the
    // file's place after a check of the name would still block the open.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = errno;
        return std::nullopt;
    }
    struct stat status
    {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        reason = S_ISDIR(status.st_mode) ? EISDIR : 0;
        ::close(fd);
        return std::nullopt;
    }
    if (stamp)
        *stamp = Stamp(status);
    QFile file;
    reason = EIO; // QFile tells no error number, and a read error of a regular file is rare
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    if (maxBytes < 0) {
        QByteArray bytes = file.readAll();
        return file.error() == QFileDevice::NoError ? std::optional(bytes) : std::nullopt;
    }
    // QFile reserves the whole request before it reads, so a generous limit would cost a buffer of
    // its size for every small file: ask for what the file holds, and go on only if it grew.
    QByteArray bytes;
    qint64 request = std::min(maxBytes, qint64(status.st_size) + 1);
    while (request > 0) {
        const QByteArray chunk = file.read(request);
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        bytes += chunk;
        if (chunk.size() < request)
            break;
        request = std::min(maxBytes - bytes.size(), GrowthChunk);
    }
    return bytes;
}

bool SameFile(const QString& first, const QString& second)
{
    if (first == second)
        return true;
    struct stat a
    {};
    struct stat b
    {};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool MakePrivateFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    return parent != info.absoluteFilePath() && MakePrivateFolder(parent) &&
           (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || QFileInfo(folder).isDir());
}

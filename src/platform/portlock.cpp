#include "platform/portlock.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/files.h"

namespace {

// The process a lock file names: ASCII digits (the usual form) or a binary int (the oldest).
std::optional<long> LockOwner(const QByteArray& content)
{
    bool number = false;
    const long pid = content.trimmed().toLong(&number);
    if (number)
        return pid;
    if (content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        return binary;
    }
    return std::nullopt;
}

// A lock that cannot be read or understood is taken for a live one, of a process not known:
// better to leave a port alone than to disturb another program on it. The lock directory is
// open to everyone, so the file is read only as a plain file: a pipe put there would otherwise
// hold the search for ever.
std::optional<PortHolder> LockHolder(const QString& lockFile)
{
    const PortHolder unknown{PortHolder::LockFile, 0};
    struct stat file = {};
    if (::stat(QFile::encodeName(lockFile).constData(), &file) != 0)
        return errno != ENOENT && errno != ENOTDIR ? std::optional(unknown) : std::nullopt;
    const std::optional<QByteArray> content = ReadRegularFile(lockFile, 64);
    const std::optional<long> owner = content ? LockOwner(*content) : std::nullopt;
    if (!owner || *owner <= 0)
        return unknown;
    if (*owner == getpid() || (::kill(pid_t(*owner), 0) != 0 && errno != EPERM))
        return std::nullopt;
    return PortHolder{PortHolder::LockFile, *owner};
}

// Programs name the lock after the device as they were given it, so both the name used here
// and the device a link leads to are looked up.
std::optional<PortHolder> Locked(const QString& path, const QString& lockDirectory)
{
    const QFileInfo device(path);
    const QString names[] = {device.fileName(), QFileInfo(device.canonicalFilePath()).fileName()};
    for (const QString& name : names) {
        const auto holder = name.isEmpty()
                                ? std::nullopt
                                : LockHolder(lockDirectory + QStringLiteral("/LCK..") + name);
        if (holder)
            return holder;
    }
    return std::nullopt;
}

// Pseudo-terminals of different devpts instances share device numbers, so the file system the
// node lives on must match as well.
bool SameDevice(const std::filesystem::path& link, const struct stat& device)
{
    struct stat target = {};
    return ::stat(link.c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
           target.st_rdev == device.st_rdev && target.st_dev == device.st_dev;
}

std::optional<PortHolder> OpenInAnotherProcess(const struct stat& device)
{
    namespace fs = std::filesystem;
    const std::string self = std::to_string(getpid());
    std::error_code error;
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string pid = process->path().filename();
        if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code unreadable;
        for (fs::directory_iterator fd(process->path() / "fd", unreadable);
             !unreadable && fd != end; fd.increment(unreadable))
            if (SameDevice(fd->path(), device))
                return PortHolder{PortHolder::OpenFile, std::stol(pid)};
    }
    return std::nullopt;
}

} // namespace

std::optional<PortHolder> FindPortHolder(const QString& path, const QString& lockDirectory)
{
    struct stat device = {};
    if (::stat(QFile::encodeName(path).constData(), &device) != 0 || !S_ISCHR(device.st_mode))
        return std::nullopt;
    if (const auto holder = Locked(path, lockDirectory))
        return holder;
    return OpenInAnotherProcess(device);
}

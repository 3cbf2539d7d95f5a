#include "platform/filelock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>

namespace {

constexpr auto RetryEvery = std::chrono::milliseconds(5);

} // namespace

// Polled, since flock has no timeout of its own. The lock file is never removed: a program that
// opened it just before the removal would lock a file no one else sees.
FileLock::FileLock(const QString& path, int waitMs)
    : FHandle(::open(QFile::encodeName(path).constData(),
                     O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600))
{
    if (FHandle < 0)
        return;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        FHeld = ::flock(FHandle, LOCK_EX | LOCK_NB) == 0;
        if (FHeld || errno != EWOULDBLOCK || waited.elapsed() >= waitMs)
            return;
        std::this_thread::sleep_for(RetryEvery);
    }
}

FileLock::~FileLock()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

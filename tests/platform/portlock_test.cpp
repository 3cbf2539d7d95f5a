#include "platform/portlock.h"

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include "support/pseudoterminal.h"
#include "support/tempdir.h"

namespace {

QByteArray BinaryPid(int pid)
{
    return QByteArray(reinterpret_cast<const char*>(&pid), sizeof pid);
}

} // namespace

TEST(FindPortHolder, LockFilesOfLiveProgramsHoldTheDevice)
{
    PseudoTerminal device;
    TempDir locks;
    QProcess ended;
    ended.start(QStringLiteral("true"));
    ASSERT_TRUE(ended.waitForStarted());
    const int gone = int(ended.processId());
    ASSERT_TRUE(ended.waitForFinished());
    EXPECT_FALSE(FindPortHolder(device.Path(), locks.Path(".")));

    struct Case
    {
        const char* Name;
        QByteArray Content;
        long Holder; // -1: free
    };
    const Case cases[] = {
        {"a live program, ten digits", QByteArray::number(getppid()).rightJustified(10) + '\n',
         getppid()},
        {"a live program, binary", BinaryPid(getppid()), getppid()},
        {"a program that has ended", QByteArray::number(gone).rightJustified(10) + '\n', -1},
        {"this very program", QByteArray::number(getpid()) + '\n', -1},
        {"a lock that names nothing readable", "busy\n", 0},
    };
    const QString lock = locks.Path("LCK.." + device.Name());
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        locks.Write("LCK.." + device.Name(), test.Content);
        const std::optional<PortHolder> holder = FindPortHolder(device.Path(), locks.Path("."));
        EXPECT_EQ(holder ? holder->Pid : -1, test.Holder);
        EXPECT_TRUE(!holder || holder->How == PortHolder::LockFile);
    }
    QFile::remove(lock);

    SCOPED_TRACE("a lock on the name of a link to the device");
    ASSERT_TRUE(QFile::link(device.Path(), locks.Path("board")));
    locks.Write("LCK..board", QByteArray::number(getppid()) + '\n');
    EXPECT_TRUE(FindPortHolder(locks.Path("board"), locks.Path(".")));
    EXPECT_FALSE(FindPortHolder(device.Path(), locks.Path("."))) << "the device has another name";
}

// Anyone may put files into the lock directory, a pipe among them; opening one to read would
// wait for a writer for ever.
TEST(FindPortHolder, APipeForALockNeitherHangsNorFreesThePort)
{
    PseudoTerminal device;
    TempDir locks;
    const QString pipe = locks.Path("LCK.." + device.Name());
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0666), 0);
    std::atomic<bool> answered = false;
    std::atomic<bool> rescued = false;
    std::thread writer([&] {
        for (int wait = 0; wait < 2000 && !answered; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (answered)
            return;
        rescued = true; // a writer ends the wait of a reader stuck on the pipe
        const int fd = open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    });
    EXPECT_TRUE(FindPortHolder(device.Path(), locks.Path(".")));
    answered = true;
    writer.join();
    EXPECT_FALSE(rescued) << "the check waited for a writer";
}

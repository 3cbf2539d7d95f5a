#include "platform/files.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/tempdir.h"

TEST(ReadRegularFile, ReadsUpToTheLimitAndOnlyWhatTheFileHolds)
{
    TempDir dir;
    const QByteArray bytes = QByteArray(300, 'x') + QByteArray(1, '\0') + "end";
    const QString path = dir.Write(QStringLiteral("store"), bytes);
    const struct
    {
        qint64 Limit;
        qsizetype Size;
    } cases[] = {{-1, bytes.size()},
                 {0, 0},
                 {10, 10},
                 {qint64(bytes.size()), bytes.size()},
                 {64 * 1024 * 1024 + 1, bytes.size()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Limit);
        const std::optional<QByteArray> read = ReadRegularFile(path, c.Limit);
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, bytes.left(c.Size));
        EXPECT_LT(read->capacity(), 4096) << "no buffer of the limit's size";
    }
}

TEST(ReadRegularFile, OnlyRegularFiles)
{
    TempDir dir;
    const QString fifo = dir.Path(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path :
         {fifo, dir.Path({}), QStringLiteral("/dev/zero"), dir.Path(QStringLiteral("missing"))}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(ReadRegularFile(path, 10));
    }
}

#include "platform/backupcopies.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace {

void SetAge(const QString& path, int days)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-days),
                                 QFileDevice::FileModificationTime));
}

} // namespace

// A copy that a crash left behind once could not be told from the copies of other files of the
// same name, and stayed for ever.
TEST(BackupCopies, ACopyIsFoundByItsFileAndGoesAfterThirtyDays)
{
    TempDir dir;
    StateHome state(dir.Path("xdg/state"));
    const QString path = dir.Write("a.c", "new");
    ASSERT_TRUE(QFile::link(path, dir.Path("link.c")));
    ASSERT_TRUE(QDir().mkpath(dir.Path("other")));
    const std::optional<QString> recent = BackupCopies::Make(path, "old");
    const std::optional<QString> namesake = BackupCopies::Make(dir.Path("other/a.c"), "other");
    const std::optional<QString> stale = BackupCopies::Make(path, "older");
    ASSERT_TRUE(recent && namesake && stale);
    for (const char* made : {"xdg/state", "xdg/state/quennor"}) { // they show what is saved
        struct stat folder = {};
        EXPECT_EQ(::stat(QFile::encodeName(dir.Path(made)).constData(), &folder), 0);
        EXPECT_EQ(folder.st_mode & 0777, 0700u) << made;
    }
    EXPECT_EQ(TempDir::Read(*recent), QByteArray("old"));
    EXPECT_EQ(BackupCopies::Of(dir.Path("link.c")).size(), 2) << "by any name of the file";

    SetAge(*recent, 29);
    SetAge(*stale, 31);
    QFile::remove(*namesake);
    BackupCopies::Prune();
    EXPECT_EQ(BackupCopies::Of(path), QStringList{*recent});
    EXPECT_EQ(QDir(BackupCopies::Folder()).entryList(QDir::Files).size(), 2)
        << "the recent copy and its record; the stale one and the namesake's record are gone";
}

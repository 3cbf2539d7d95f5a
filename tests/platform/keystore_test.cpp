#include "platform/keystore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include "support/tempdir.h"
#include "support/unprivileged.h"

namespace {

const QString MruKey = QStringLiteral("\\Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory");

} // namespace

TEST(KeyStore, ValuesComeBackInCreationOrderFromAFileAPersonCanRead)
{
    ConfigHome home;
    const QString awkward = QStringLiteral("/home/jörg/\"neu\"\\a.c\nzweite Zeile");
    {
        KeyStore store;
        store.SetLazyWrite(false);
        ASSERT_TRUE(store.OpenKey(MruKey, true));
        for (const char* name : {"Count", "MaxFiles", "H0", "H1"})
            EXPECT_TRUE(store.WriteString(QLatin1String(name), QStringLiteral("1")));
        EXPECT_TRUE(store.WriteString(QStringLiteral("H1"), awkward));
        EXPECT_TRUE(store.CloseKey());
        EXPECT_EQ(
            TempDir::Read(home.Hive()),
            QByteArray("REGEDIT4\r\n\r\n[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]"
                       "\r\n\"Count\"=\"1\"\r\n\"MaxFiles\"=\"1\"\r\n\"H0\"=\"1\"\r\n"
                       "\"H1\"=\"/home/j\xC3\xB6rg/\\\"neu\\\"\\\\a.c\\nzweite Zeile\"\r\n"));
    }
    KeyStore store;
    ASSERT_TRUE(store.OpenKey(
        QStringLiteral("software\\TARNWICK\\quennor\\mru\\mainfm\\mruhistory"), false));
    EXPECT_EQ(store.ValueNames(), (QStringList{"Count", "MaxFiles", "H0", "H1"}));
    EXPECT_EQ(store.ReadString(QStringLiteral("h1")), awkward);
    EXPECT_EQ(store.ReadString(QStringLiteral("H2")), std::nullopt);
    EXPECT_TRUE(store.DeleteValue(QStringLiteral("maxfiles")));
    EXPECT_FALSE(store.DeleteValue(QStringLiteral("MaxFiles")));
    EXPECT_TRUE(store.WriteString(QStringLiteral("MaxFiles"), QStringLiteral("10")));
    EXPECT_EQ(store.ValueNames(), (QStringList{"Count", "H0", "H1", "MaxFiles"}));
}

TEST(KeyStore, EverythingButTheChangedValuesKeepsItsBytes)
{
    ConfigHome home;
    const QByteArray before =
        "REGEDIT4\r\n; von Hand\r\n\r\n[Software\\Other]\r\n"
        "\"Pfad\"=\"C:\\temp\"\r\n\"Size\"=dword:00000010\r\n\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
        "kaputt \"=\r\n\r\n[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]"
        "\r\n@=\"standard\"\r\n\"Count\"=\"2\"\r\nnicht lesbar\r\n"
        "\"Flags\"=dword:00000001\r\n\"H0\"=\"offen\r\n\"H0\"=\"/a.c\"\r\n"
        "\"h0\"=\"/doppelt.c\"\r\n\r\n[Software\\Later]\r\n\"X\"=\"y\"\r\n";
    home.WriteHive(before);

    KeyStore store;
    store.SetLazyWrite(false);
    ASSERT_TRUE(store.OpenKey(MruKey, false));
    EXPECT_EQ(store.ValueNames(), (QStringList{"", "Count", "Flags", "H0"}));
    EXPECT_EQ(store.ReadString(QString()), QStringLiteral("standard"));
    EXPECT_EQ(store.ReadString(QStringLiteral("Flags")), std::nullopt) << "not a string";
    EXPECT_EQ(store.ReadString(QStringLiteral("H0")), QStringLiteral("/a.c"));
    EXPECT_TRUE(store.DeleteValue(QStringLiteral("Flags")));
    EXPECT_TRUE(store.WriteString(QStringLiteral("H0"), QStringLiteral("/b.c")));
    EXPECT_TRUE(store.WriteString(QStringLiteral("H1"), QStringLiteral("/c.c")));
    EXPECT_TRUE(store.CloseKey());

    QByteArray after = before;
    after.replace("\"Flags\"=dword:00000001\r\n", "");
    after.replace("\"H0\"=\"/a.c\"\r\n\"h0\"=\"/doppelt.c\"\r\n",
                  "\"H0\"=\"/b.c\"\r\n\"H1\"=\"/c.c\"\r\n");
    EXPECT_EQ(TempDir::Read(home.Hive()), after);

    ASSERT_TRUE(store.OpenKey(QStringLiteral("Software\\Other"), false));
    EXPECT_EQ(store.ValueNames(), (QStringList{"Pfad", "Size", "Blob"}));
    EXPECT_EQ(store.ReadString(QStringLiteral("Pfad")), QStringLiteral("C:\\temp"))
        << "a backslash that escapes nothing is kept";
}

TEST(KeyStore, BadHiveFilesAreSurvived)
{
    {
        SCOPED_TRACE("missing file: no key, and reading creates nothing");
        ConfigHome home;
        KeyStore store;
        EXPECT_FALSE(store.OpenKey(MruKey, false));
        EXPECT_FALSE(QFile::exists(home.Hive()));
    }
    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("\xFF\xFE\x00\x01[\r\n\"\"\"=\x80\r\n", 14),
          QByteArray("REGEDIT9\r\n[Software\\Neu]\r\n\"A\"=hex(7):00\r\n")}) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        ConfigHome home;
        home.WriteHive(bytes);
        KeyStore store;
        store.SetLazyWrite(false);
        EXPECT_FALSE(store.OpenKey(MruKey, false));
        ASSERT_TRUE(store.OpenKey(MruKey, true));
        EXPECT_TRUE(store.WriteString(QStringLiteral("Count"), QStringLiteral("0")));
        EXPECT_TRUE(store.CloseKey());
        EXPECT_TRUE(TempDir::Read(home.Hive()).startsWith(bytes));
        ASSERT_TRUE(store.OpenKey(MruKey, false));
        EXPECT_EQ(store.ValueNames(), QStringList{"Count"});
    }
    {
        SCOPED_TRACE("a hive that cannot be read is neither read nor overwritten");
        ConfigHome home;
        QDir().mkpath(home.Hive());
        KeyStore store;
        EXPECT_FALSE(store.OpenKey(MruKey, false));
        EXPECT_FALSE(store.OpenKey(MruKey, true));
        EXPECT_FALSE(store.WriteString(QStringLiteral("Count"), QStringLiteral("0")));
        EXPECT_TRUE(QFileInfo(home.Hive()).isDir());
    }
    {
        SCOPED_TRACE("a FIFO, a huge file and half a UTF-16 character are neither read nor "
                     "overwritten, and nothing waits");
        ConfigHome home;
        home.WriteHive({});
        QFile huge(home.Hive("localmachine.reg"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(64) << 20 | 1));
        huge.close();
        const QByteArray odd("\xFF\xFE[\0A\0]\0\r\0\n\0x", 13);
        home.Dir.Write(QStringLiteral("quennor/users.reg"), odd);
        QFile::remove(home.Hive());
        ASSERT_EQ(mkfifo(QFile::encodeName(home.Hive()).constData(), 0600), 0);
        for (const TRootKey hive :
             {TRootKey::HKeyCurrentUser, TRootKey::HKeyLocalMachine, TRootKey::HKeyUsers}) {
            KeyStore store(hive);
            EXPECT_FALSE(store.OpenKey(QStringLiteral("A"), false));
            EXPECT_FALSE(store.OpenKey(MruKey, true));
        }
        EXPECT_FALSE(QFileInfo(home.Hive()).isFile()) << "still the FIFO";
        EXPECT_EQ(QFileInfo(huge.fileName()).size(), qint64(64) << 20 | 1);
        EXPECT_EQ(TempDir::Read(home.Hive("users.reg")), odd);
    }
    {
        SCOPED_TRACE("no place to write the hive, and a key path that would break the file");
        ConfigHome home;
        home.Dir.Write(QStringLiteral("quennor"), "eine Datei");
        KeyStore store;
        EXPECT_FALSE(store.OpenKey(MruKey, true));
        EXPECT_FALSE(store.OpenKey(QStringLiteral("Software\nX"), true));
    }
}

// A write that runs out of space (here: the file size limit) must leave the previous list.
TEST(KeyStore, FailedWriteKeepsThePreviousHive)
{
    ConfigHome home;
    const QByteArray before =
        "REGEDIT4\r\n\r\n[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]"
        "\r\n\"Count\"=\"1\"\r\n\"H0\"=\"/a.c\"\r\n";
    home.WriteHive(before);
    KeyStore store;
    store.SetLazyWrite(false);
    ASSERT_TRUE(store.OpenKey(MruKey, true));
    EXPECT_TRUE(store.DeleteValue(QStringLiteral("H0")));
    EXPECT_TRUE(store.WriteString(QStringLiteral("H0"), QString(5000, QLatin1Char('x'))));

    bool written = true;
    {
        FileSizeLimit full(1000);
        written = store.CloseKey();
    }

    EXPECT_FALSE(written);
    EXPECT_EQ(TempDir::Read(home.Hive()), before);
    EXPECT_EQ(QDir(home.Dir.Path(QStringLiteral("quennor"))).entryList(QDir::Files),
              QStringList{"user.reg"});
}

TEST(KeyStore, LazyWriteKeepsChangesUntilTheStoreIsReleased)
{
    ConfigHome home;
    {
        KeyStore store;
        ASSERT_TRUE(store.OpenKey(QStringLiteral("Software\\A"), true));
        EXPECT_TRUE(store.WriteString(QStringLiteral("X"), QStringLiteral("1")));
        EXPECT_TRUE(store.CloseKey());
        EXPECT_FALSE(QFile::exists(home.Hive()));
        ASSERT_TRUE(store.OpenKey(QStringLiteral("Software\\A"), false)) << "the pending key";
        EXPECT_EQ(store.ReadString(QStringLiteral("X")), QStringLiteral("1"));

        store.SetRootKey(TRootKey::HKeyLocalMachine);
        EXPECT_TRUE(QFile::exists(home.Hive())) << "switching the hive writes the old one";
        ASSERT_TRUE(store.OpenKey(QStringLiteral("Software\\B"), true));
        EXPECT_TRUE(store.WriteString(QStringLiteral("Y"), QStringLiteral("2")));
        EXPECT_FALSE(QFile::exists(home.Hive("localmachine.reg")));
    }
    EXPECT_TRUE(
        TempDir::Read(home.Hive("localmachine.reg")).contains("[Software\\B]\r\n\"Y\"=\"2\""));
    EXPECT_FALSE(TempDir::Read(home.Hive()).contains("Software\\B"));
}

TEST(KeyStore, EachLineReadsInItsOwnEncodingSoOneStrayByteGarblesNothing)
{
    ConfigHome home;
    const QByteArray before = "REGEDIT4\r\n; Kommentar mit \x80\x81 Stra\xDF"
                              "e\r\n\r\n"
                              "[Software\\Other]\r\n\"Name\"=\"J\xF6rg \x9C\"\r\n\r\n"
                              "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\r\n"
                              "\"H0\"=\"/home/j\xC3\xB6rg/a.c\"\r\n\"H1\"=\"/home/j\xF6rg/b.c\"\r\n"
                              "\"H2\"=\"/home/\xD0\x96\xC3\xA4/c.c\"\r\n\"H3\"=\"/x\xC3\"\r\n";
    home.WriteHive(before);
    KeyStore store;
    store.SetLazyWrite(false);
    ASSERT_TRUE(store.OpenKey(MruKey, false));
    EXPECT_EQ(store.ReadString(QStringLiteral("H0")), QStringLiteral("/home/jörg/a.c"));
    EXPECT_EQ(store.ReadString(QStringLiteral("H1")), QStringLiteral("/home/jörg/b.c"));
    EXPECT_EQ(store.ReadString(QStringLiteral("H2")), QStringLiteral("/home/Жä/c.c"));
    EXPECT_EQ(store.ReadString(QStringLiteral("H3")), QStringLiteral("/xÃ"))
        << "an unfinished sequence makes its line Windows-1252";
    EXPECT_TRUE(store.WriteString(QStringLiteral("H1"), QStringLiteral("/home/jörg/b.c")));
    EXPECT_TRUE(store.CloseKey());
    QByteArray after = before;
    after.replace("\"H1\"=\"/home/j\xF6rg/b.c\"", "\"H1\"=\"/home/j\xC3\xB6rg/b.c\"");
    EXPECT_EQ(TempDir::Read(home.Hive()), after) << "only the written line becomes UTF-8";

    ASSERT_TRUE(store.OpenKey(QStringLiteral("Software\\Other"), false));
    EXPECT_EQ(store.ReadString(QStringLiteral("Name")), QStringLiteral("Jörg œ"));
}

// Each file holds a foreign key and ours; after writing ours only its value lines differ, and
// they are written in the file's encoding and with its line end.
TEST(KeyStore, ForeignLinesKeepTheirBytesAndLineEnds)
{
    const QString cyrillic = QStringLiteral("/home/Юрий/проект.c");
    const auto utf16 = [](QStringConverter::Encoding encoding, const QString& text) {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        return QByteArray(encoder.encode(text));
    };
    const QString wideBefore = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                              "[Software\\Other]\r\n\"Pfad\"=\"C:\\\\Müll\"\r\n");
    const QString wideAfter = wideBefore +
                              QStringLiteral("\r\n[Software\\Tarnwick\\Quennor\\MRU"
                                             "\\MainFM\\MRUHistory]\r\n\"H0\"=\"") +
                              cyrillic + QStringLiteral("\"\r\n");
    struct Case
    {
        const char* Trace;
        QByteArray Before;
        QByteArray After;
        const char* ForeignName;
        QString ForeignValue;
    };
    const Case cases[] = {
        {"LF ends and a raw CR inside a foreign value",
         "REGEDIT4\n\n[Software\\Other]\n\"Text\"=\"eins\rzwei\"\n\"X\"=\"\xE4\"\n",
         "REGEDIT4\n\n[Software\\Other]\n\"Text\"=\"eins\rzwei\"\n\"X\"=\"\xE4\"\n\n"
         "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\n\"H0\"=\"" +
             cyrillic.toUtf8() + "\"\n",
         "Text", QStringLiteral("eins\rzwei")},
        {"CR ends only, and no line end after the last line",
         "REGEDIT4\r\r[Software\\Other]\r\"X\"=\"M\xFCll\"",
         "REGEDIT4\r\r[Software\\Other]\r\"X\"=\"M\xFCll\"\r\r"
         "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\r\"H0\"=\"" +
             cyrillic.toUtf8() + "\"\r",
         "X", QStringLiteral("Müll")},
        {"UTF-16 little-endian", utf16(QStringConverter::Utf16LE, wideBefore),
         utf16(QStringConverter::Utf16LE, wideAfter), "Pfad", QStringLiteral("C:\\Müll")},
        {"UTF-16 big-endian", utf16(QStringConverter::Utf16BE, wideBefore),
         utf16(QStringConverter::Utf16BE, wideAfter), "Pfad", QStringLiteral("C:\\Müll")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Trace);
        ConfigHome home;
        home.WriteHive(c.Before);
        {
            KeyStore store;
            store.SetLazyWrite(false);
            ASSERT_TRUE(store.OpenKey(MruKey, true));
            EXPECT_TRUE(store.WriteString(QStringLiteral("H0"), cyrillic));
            EXPECT_TRUE(store.CloseKey());
            EXPECT_EQ(TempDir::Read(home.Hive()), c.After);
        }
        KeyStore store;
        ASSERT_TRUE(store.OpenKey(MruKey, false));
        EXPECT_EQ(store.ReadString(QStringLiteral("H0")), cyrillic);
        ASSERT_TRUE(store.OpenKey(QStringLiteral("Software\\Other"), false));
        EXPECT_EQ(store.ReadString(QLatin1String(c.ForeignName)), c.ForeignValue);
    }
}

TEST(KeyStore, HandEditedShapesAreRead)
{
    ConfigHome home;
    home.WriteHive("REGEDIT4\r\n\r\n[Software\\Other]\r\n\"Blob\"=hex:01,02,\\\r\n"
                   "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\r\n"
                   "  \"Count\" = \"2\"  \r\n@ =\t\"standard\"\r\n\"Bin\"=hex:03,\\ \r\n"
                   "\"H0\"   =\"/a.c\"\r\n\"H1\"= \"/b.c\"\r\n");
    KeyStore store;
    ASSERT_TRUE(store.OpenKey(MruKey, false)) << "the header after a trailing backslash";
    EXPECT_EQ(store.ValueNames(), (QStringList{"Count", "", "Bin", "H0", "H1"}));
    EXPECT_EQ(store.ReadString(QStringLiteral("Count")), QStringLiteral("2"));
    EXPECT_EQ(store.ReadString(QString()), QStringLiteral("standard"));
    EXPECT_EQ(store.ReadString(QStringLiteral("H0")), QStringLiteral("/a.c"));
    EXPECT_EQ(store.ReadString(QStringLiteral("H1")), QStringLiteral("/b.c"));
}

// Recent paths tell what a user works on. Root reads every file, so another user tries.
TEST(KeyStore, NewHiveAndFolderAreTheUsersAlone)
{
    ConfigHome home;
    ASSERT_TRUE(QFile::setPermissions(home.Dir.Path(QString()),
                                      QFile::permissions(home.Dir.Path(QString())) |
                                          QFileDevice::ExeOther | QFileDevice::ReadOther));
    for (int write = 0; write < 2; ++write) {
        KeyStore store;
        store.SetLazyWrite(false);
        ASSERT_TRUE(store.OpenKey(MruKey, true));
        EXPECT_TRUE(store.WriteString(QStringLiteral("H0"), QStringLiteral("/geheim.c")));
        EXPECT_TRUE(store.CloseKey());
    }
    const QString folder = home.Dir.Path(QStringLiteral("quennor"));
    const auto mode = [](const QString& path) {
        return QFile::permissions(path) &
               ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    };
    EXPECT_EQ(mode(folder),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(mode(home.Hive()), QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        << "also after it was replaced";

    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to start a child as another user";
    const QString readable = home.Dir.Write(QStringLiteral("offen.txt"), "offen");
    QFile::setPermissions(readable, QFile::permissions(readable) | QFileDevice::ReadOther);
    const auto readsAsNobody = [](const QString& path) {
        QProcess cat;
        cat.start(QStringLiteral("setpriv"),
                  Unprivileged::AsNobody({}) + QStringList{QStringLiteral("cat"), path});
        return cat.waitForFinished() && cat.exitStatus() == QProcess::NormalExit &&
               cat.exitCode() == 0 && cat.readAllStandardOutput() == TempDir::Read(path);
    };
    EXPECT_TRUE(readsAsNobody(readable)) << "the child reaches the folder";
    const QFileDevice::Permissions everyone = QFileDevice::ReadOther | QFileDevice::ExeOther;
    const auto openedUp = [&](const QString& path) {
        const QFileDevice::Permissions made = QFile::permissions(path);
        QFile::setPermissions(path, made | everyone);
        EXPECT_FALSE(readsAsNobody(home.Hive()));
        QFile::setPermissions(path, made);
    };
    {
        SCOPED_TRACE("the folder alone keeps it out");
        openedUp(home.Hive());
    }
    {
        SCOPED_TRACE("the hive alone keeps it out");
        openedUp(folder);
    }
}

// A link whose file is not there yet (a folder of dotfiles) makes the hive where it points, as
// private as one made in its own place.
TEST(KeyStore, NewHiveThroughADanglingLinkIsTheUsersAlone)
{
    ConfigHome home;
    ASSERT_TRUE(QDir().mkpath(home.Dir.Path(QStringLiteral("quennor"))));
    ASSERT_TRUE(QDir().mkpath(home.Dir.Path(QStringLiteral("dotfiles"))));
    const QString target = home.Dir.Path(QStringLiteral("dotfiles/user.reg"));
    ASSERT_TRUE(QFile::link(target, home.Hive()));
    KeyStore store;
    store.SetLazyWrite(false);
    ASSERT_TRUE(store.OpenKey(MruKey, true));
    EXPECT_TRUE(store.WriteString(QStringLiteral("H0"), QStringLiteral("/geheim.c")));
    EXPECT_TRUE(store.CloseKey());
    EXPECT_TRUE(QFileInfo(home.Hive()).isSymLink());
    struct stat made = {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0600u);
}

#include "platform/keystore.h"

#include <QDir>

#include <gtest/gtest.h>

#include "support/tempdir.h"

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

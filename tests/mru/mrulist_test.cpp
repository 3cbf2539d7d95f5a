#include "mru/mrulist.h"

#include <cstdio>
#include <memory>
#include <sys/file.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace {

// Set in the two children that the test of closing together starts: the file each adds, and the
// parent's configuration folder.
constexpr char CloserVariable[] = "QUENNOR_MRU_CLOSER";
constexpr char CloserConfigVariable[] = "QUENNOR_MRU_CLOSER_CONFIG";

const QByteArray MruSection = "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\r\n";

QByteArray Lines(const QList<QByteArray>& lines)
{
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

QStringList Names(const MruList& list)
{
    QStringList names;
    for (const TMruEntry& entry : list.Entries())
        names += entry.FileName;
    return names;
}

// The per-user configuration in a fresh directory.
class MruListTest : public ::testing::Test
{
protected:
    // Set up as the main window sets up its list.
    static std::unique_ptr<MruList> MainList(bool loaded = true)
    {
        auto list = std::make_unique<MruList>();
        list->SetMaxItems(10);
        list->SetLazyWrite(false);
        list->ApplicationName = QStringLiteral("Quennor");
        list->CompanyName = QStringLiteral("Tarnwick");
        list->OwnerName = QStringLiteral("MainFM");
        list->ApplicationVersion = QStringLiteral("MRU");
        list->SerializeList = true;
        if (loaded)
            list->Loaded();
        return list;
    }

    QString Hive(const char* name = "user.reg") const { return Config.Hive(name); }
    void WriteMruValues(const QList<QByteArray>& lines) const
    {
        Config.WriteHive("REGEDIT4\r\n\r\n" + MruSection + Lines(lines));
    }

    ConfigHome Config;
};

} // namespace

TEST(MruCaption, ShortensLongNamesAndShowsEveryCharacterAsItself)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString dir = QStringLiteral("/home/jörg/Projekte/R&D/") + QString(86, QLatin1Char('x'));
    const QString path = dir + QStringLiteral("/Unterordner/noch/tiefer/Blinklicht_v2.c");
    const struct
    {
        const char* Trace;
        QString Name;
        QString Caption;
    } cases[] = {
        {"150 characters", path,
         QStringLiteral("/home/jörg/Projekte/R&&D/xxxxxx…") + path.right(49)},
        {"80 characters fit", QString(80, QLatin1Char('y')), QString(80, QLatin1Char('y'))},
        {"a character is never split",
         QString(29, QLatin1Char('a')) + emoji + QString(39, QLatin1Char('b')) + emoji +
             QString(48, QLatin1Char('c')),
         QString(29, QLatin1Char('a')) + QStringLiteral("…") + QString(48, QLatin1Char('c'))},
        {"the name's own '&' is no accelerator", "/p/R&D.c", "/p/R&&D.c"},
        // A tab once put the rest of the name into the shortcut column.
        {"control characters", "/p/a\tb\nc\x7F.c", QStringLiteral("/p/a\uFFFDb\uFFFDc\uFFFD.c")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Trace);
        EXPECT_EQ(MruList::Caption(c.Name), c.Caption);
    }
    QStringList numbered;
    for (int i : {0, 7, 8, 9})
        numbered += MruList::NumberedCaption(i, QStringLiteral("/a&b.c"));
    EXPECT_EQ(numbered, (QStringList{"&1 /a&&b.c", "&8 /a&&b.c", "9 /a&&b.c", "10 /a&&b.c"}))
        << "the numbers 9 and 10 are no accelerators";
}

TEST_F(MruListTest, NewestFirstPromotedByTheExactNameAndKeptWhole)
{
    auto list = MainList();
    EXPECT_EQ(list->KeyPath(),
              QStringLiteral("\\Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory"));
    for (char c = 'a'; c <= 'k'; ++c)
        EXPECT_EQ(list->AddItem(QStringLiteral("/p/%1.c").arg(QLatin1Char(c))), 0);
    EXPECT_EQ(Names(*list), (QStringList{"/p/k.c", "/p/j.c", "/p/i.c", "/p/h.c", "/p/g.c", "/p/f.c",
                                         "/p/e.c", "/p/d.c", "/p/c.c", "/p/b.c"}))
        << "the eleventh file drops the oldest";

    EXPECT_EQ(list->AddItem(QStringLiteral("/p/e.c")), 0);
    EXPECT_EQ(Names(*list).mid(0, 3), (QStringList{"/p/e.c", "/p/k.c", "/p/j.c"}));
    EXPECT_EQ(list->AddItem(QStringLiteral("/p/j.c"), false, true, 7), 0);
    EXPECT_EQ(Names(*list).mid(0, 3), (QStringList{"/p/j.c", "/p/e.c", "/p/k.c"}));
    EXPECT_EQ(list->Entries()[0].Data, 7);

    const QString longPath = QStringLiteral("/home/jörg/") + QString(140, QLatin1Char('x'));
    for (const QString& name :
         {QStringLiteral("/p/Blink.c"), QStringLiteral("/p/blink.c"), QStringLiteral("/p/R&D.c"),
          QStringLiteral("/p/a\tb.c"), longPath, longPath, longPath})
        list->AddItem(name);
    EXPECT_EQ(Names(*list).mid(0, 6), (QStringList{longPath, "/p/a\tb.c", "/p/R&D.c", "/p/blink.c",
                                                   "/p/Blink.c", "/p/j.c"}))
        << "names that differ in letter case are two files";
    EXPECT_EQ(list->Entries().size(), 10u);
    list.reset();
    EXPECT_EQ(Names(*MainList()).mid(0, 3), (QStringList{longPath, "/p/a\tb.c", "/p/R&D.c"}))
        << "stored whole";
}

TEST_F(MruListTest, LimitTrimsFromTheEnd)
{
    auto list = MainList();
    for (const char* name : {"/a.c", "/b.c", "/c.c"})
        list->AddItem(QLatin1String(name));
    list->SetMaxItems(-1);
    list->SetMaxItems(5);
    EXPECT_EQ(list->Entries().size(), 3u) << "a negative or larger limit removes nothing";
    list->SetMaxItems(2);
    EXPECT_EQ(Names(*list), (QStringList{"/c.c", "/b.c"}));
    list->SetMaxItems(0);
    EXPECT_EQ(list->AddItem(QStringLiteral("/d.c")), -1);
    EXPECT_TRUE(list->Entries().empty());
}

TEST_F(MruListTest, ListSurvivesARestartThroughTheRealFile)
{
    MainList()->AddItem(QStringLiteral("/p/a.c"));
    EXPECT_TRUE(TempDir::Read(Hive()).endsWith(
        MruSection + Lines({"\"Count\"=\"1\"", "\"MaxFiles\"=\"10\"", "\"H0\"=\"/p/a.c\""})));
    MainList()->AddItem(QStringLiteral("/p/b.c"));
    EXPECT_EQ(TempDir::Read(Hive()), "REGEDIT4\r\n\r\n" + MruSection +
                                         Lines({"\"Count\"=\"2\"", "\"MaxFiles\"=\"10\"",
                                                "\"H0\"=\"/p/b.c\"", "\"H1\"=\"/p/a.c\""}));
    EXPECT_EQ(Names(*MainList()), (QStringList{"/p/b.c", "/p/a.c"}));

    const QByteArray stored = TempDir::Read(Hive());
    MainList(false).reset();
    EXPECT_EQ(TempDir::Read(Hive()), stored) << "an owner that never finished loading";
}

TEST_F(MruListTest, DataAfterTheLastBarIsReadAndWrittenBack)
{
    WriteMruValues({"\"Default\"=\"bleibt\"", "\"Count\"=\"4\"", "\"H0\"=\"/x.c|5\"",
                    "\"H1\"=\"/y|z.c|abc\"", "\"H2\"=\"/w.c|-3\"", "\"H3\"=\"/v.c|0\""});
    {
        auto list = MainList();
        EXPECT_EQ(Names(*list), (QStringList{"/x.c", "/y|z.c", "/w.c", "/v.c"}));
        std::vector<int> data;
        for (const TMruEntry& entry : list->Entries())
            data.push_back(entry.Data);
        EXPECT_EQ(data, (std::vector<int>{5, 0, -3, 0}));
    }
    EXPECT_EQ(TempDir::Read(Hive()),
              "REGEDIT4\r\n\r\n" + MruSection +
                  Lines({"\"Default\"=\"bleibt\"", "\"Count\"=\"4\"", "\"MaxFiles\"=\"10\"",
                         "\"H0\"=\"/x.c|5\"", "\"H1\"=\"/y|z.c|0\"", "\"H2\"=\"/w.c|-3\"",
                         "\"H3\"=\"/v.c\""}));
    EXPECT_EQ(Names(*MainList())[1], QStringLiteral("/y|z.c")) << "a bar in a name survives";
}

TEST_F(MruListTest, GarbledValuesNeverLoseTheList)
{
    struct Case
    {
        const char* Trace;
        QList<QByteArray> Values;
        QStringList Entries;
        int MaxItems;
    };
    const Case cases[] = {
        {"Count and MaxFiles not numbers",
         {"\"Count\"=\"viele\"", "\"MaxFiles\"=\"zehn\"", "\"H0\"=\"/a.c\""},
         {"/a.c"},
         10},
        {"Count 0 reads nothing but takes MaxFiles",
         {"\"Count\"=\"0\"", "\"MaxFiles\"=\"3\"", "\"H0\"=\"/a.c\""},
         {},
         3},
        {"no Count", {"\"MaxFiles\"=\"10\"", "\"H0\"=\"/a.c\""}, {}, 10},
        {"MaxFiles limits what is read",
         {"\"Count\"=\"3\"", "\"MaxFiles\"=\"2\"", "\"H0\"=\"/a.c\"", "\"H1\"=\"/b.c\"",
          "\"H2\"=\"/c.c\""},
         {"/a.c", "/b.c"},
         2},
        {"duplicates and values that are no strings",
         {"\"MAXFILES\"=\"-1\"", "\"count\"=dword:00000003", "\"H0\"=\"/a.c\"", "\"H1\"=hex:2f,62",
          "\"H2\"=\"/b.c\"", "\"Hx\"=\"/b.c\"", "\"Hy\"=\"/B.C\"", "kaputt"},
         {"/b.c", "/a.c", "/B.C"},
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Trace);
        WriteMruValues(c.Values);
        auto list = MainList();
        EXPECT_EQ(Names(*list), c.Entries);
        EXPECT_EQ(list->MaxItems(), c.MaxItems);
    }
    QFile::remove(Hive());
    EXPECT_TRUE(MainList()->Entries().empty()) << "missing file";
}

// Both start from a full list; each adds a file and reopens one of the list. Whichever closes
// last puts its own files first and the other's behind them.
TEST_F(MruListTest, TwoInstancesClosingOneAfterTheOtherKeepBothOnesFiles)
{
    QList<QByteArray> full{"\"Count\"=\"10\"", "\"MaxFiles\"=\"10\""};
    for (int i = 0; i < 10; ++i)
        full += "\"H" + QByteArray::number(i) + "\"=\"/" + QByteArray::number(i + 1) + ".c\"";
    const auto stored = [this](const QStringList& names) {
        QList<QByteArray> lines{"\"Count\"=\"" + QByteArray::number(names.size()) + "\"",
                                "\"MaxFiles\"=\"10\""};
        for (int i = 0; i < names.size(); ++i)
            lines += "\"H" + QByteArray::number(i) + "\"=\"" + names[i].toUtf8() + "\"";
        return "REGEDIT4\r\n\r\n" + MruSection + Lines(lines);
    };
    for (const bool firstClosesFirst : {true, false}) {
        SCOPED_TRACE(firstClosesFirst ? "A closes first" : "B closes first");
        WriteMruValues(full);
        auto a = MainList();
        auto b = MainList();
        a->AddItem(QStringLiteral("/a.c"));
        a->AddItem(QStringLiteral("/7.c"));
        b->AddItem(QStringLiteral("/b.c"));
        b->Choose(5);
        EXPECT_EQ(Names(*b).mid(0, 2), (QStringList{"/5.c", "/b.c"}));
        (firstClosesFirst ? a : b).reset();
        (firstClosesFirst ? b : a).reset();
        const QStringList ours = firstClosesFirst ? QStringList{"/5.c", "/b.c", "/7.c", "/a.c"}
                                                  : QStringList{"/7.c", "/a.c", "/5.c", "/b.c"};
        EXPECT_EQ(TempDir::Read(Hive()),
                  stored(ours + QStringList{"/1.c", "/2.c", "/3.c", "/4.c", "/6.c", "/8.c"}));
    }
}

// Each child loads the store, adds its file and closes as soon as the parent lets go of the
// barrier, at the same moment as the other. Without a lock, the one that read the store before
// the other wrote it lost the other's file.
TEST_F(MruListTest, TwoInstancesClosingTogetherLoseNothing)
{
    const QString barrier =
        QStringLiteral("%1/barrier")
            .arg(qEnvironmentVariable(CloserConfigVariable, Config.Dir.Path(QString())));
    if (const QString own = qEnvironmentVariable(CloserVariable); !own.isEmpty()) {
        qputenv("XDG_CONFIG_HOME", qgetenv(CloserConfigVariable));
        auto list = MainList();
        list->AddItem(own);
        QFile wait(barrier);
        ASSERT_TRUE(wait.open(QIODevice::ReadOnly));
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        ASSERT_EQ(::flock(wait.handle(), LOCK_SH), 0);
        return;
    }
    QFile hold(barrier);
    ASSERT_TRUE(hold.open(QIODevice::WriteOnly));
    int lost = 0;
    for (int run = 0; run < 50; ++run) {
        QFile::remove(Hive());
        ASSERT_EQ(::flock(hold.handle(), LOCK_EX), 0);
        QProcess closers[2];
        for (int i = 0; i < 2; ++i) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QLatin1String(CloserVariable), QStringLiteral("/%1.c").arg(i));
            environment.insert(QLatin1String(CloserConfigVariable), Config.Dir.Path(QString()));
            closers[i].setProcessEnvironment(environment);
            closers[i].start(
                QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=MruListTest.") +
                 QLatin1String(::testing::UnitTest::GetInstance()->current_test_info()->name())});
        }
        for (QProcess& closer : closers) {
            QByteArray said;
            while (!said.contains("ready\n") && closer.waitForReadyRead(10000))
                said += closer.readAllStandardOutput();
            ASSERT_TRUE(said.contains("ready\n")) << said.constData();
        }
        ASSERT_EQ(::flock(hold.handle(), LOCK_UN), 0);
        for (QProcess& closer : closers)
            ASSERT_TRUE(closer.waitForFinished(10000) && closer.exitCode() == 0);
        const QStringList names = Names(*MainList());
        lost += int(!names.contains(QStringLiteral("/0.c"))) +
                int(!names.contains(QStringLiteral("/1.c")));
    }
    EXPECT_EQ(lost, 0);
}

// A store whose lock another program keeps is written all the same, after a bounded wait.
TEST_F(MruListTest, AHeldLockDelaysTheWriteButDoesNotStopIt)
{
    auto list = MainList();
    list->AddItem(QStringLiteral("/a.c"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Hive()).path()));
    QFile lock(Hive() + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(lock.handle(), LOCK_EX), 0);
    QElapsedTimer timer;
    timer.start();
    list.reset();
    EXPECT_GE(timer.elapsed(), 1900);
    EXPECT_LT(timer.elapsed(), 5000);
    lock.close();
    EXPECT_EQ(Names(*MainList()), QStringList{"/a.c"});
}

TEST_F(MruListTest, HeldAccessObjectTakesRootKeyAndLazyWrite)
{
    auto list = MainList();
    list->AddItem(QStringLiteral("/a.c"));
    list->SetActiveRegistry(true);
    EXPECT_TRUE(list->ActiveRegistry());
    list->SetLazyWrite(true);
    list->SetRootKey(TRootKey::HKeyCurrentConfig);
    list->SaveToRegistry();
    EXPECT_FALSE(QFile::exists(Hive("currentconfig.reg"))) << "written lazily";
    list->SetActiveRegistry(false);
    EXPECT_TRUE(TempDir::Read(Hive("currentconfig.reg")).contains("\"H0\"=\"/a.c\""));
    EXPECT_FALSE(QFile::exists(Hive()));
}

// A stray byte once turned every non-ASCII path of the store into mojibake, written back at exit.
// Now it changes only how its own line reads.
TEST_F(MruListTest, AStrayByteElsewhereLeavesThePathsAsTheyWere)
{
    const QByteArray comment = "; gespeichert von \x81\xFE\r\n";
    Config.WriteHive("REGEDIT4\r\n" + comment + "\r\n" + MruSection +
                     Lines({"\"Count\"=\"4\"", "\"MaxFiles\"=\"10\"",
                            "\"H0\"=\"/home/j\xC3\xB6rg/a.c\"", "\"H1\"=\"/home/j\xF6rg/b.c\"",
                            "\"H2\"=\"/home/\xD0\x96\xC3\xA4/c.c\"", "\"H3\"=\"/home/\x80.c\""}));
    const QStringList paths{"/home/jörg/a.c", "/home/jörg/b.c", "/home/Жä/c.c", "/home/€.c"};
    EXPECT_EQ(Names(*MainList()), paths);
    EXPECT_EQ(
        TempDir::Read(Hive()),
        "REGEDIT4\r\n" + comment + "\r\n" + MruSection +
            Lines({"\"Count\"=\"4\"", "\"MaxFiles\"=\"10\"", "\"H0\"=\"/home/j\xC3\xB6rg/a.c\"",
                   "\"H1\"=\"/home/j\xC3\xB6rg/b.c\"", "\"H2\"=\"/home/\xD0\x96\xC3\xA4/c.c\"",
                   "\"H3\"=\"/home/\xE2\x82\xAC.c\""}));
    EXPECT_EQ(Names(*MainList()), paths);
}

#include "mru/regmru.h"

#include <memory>
#include <stdexcept>

#include <QAction>
#include <QDir>
#include <QMenu>

#include <gtest/gtest.h>

#include "platform/fileerror.h"
#include "support/tempdir.h"

namespace {

const QByteArray MruSection = "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\r\n";

QByteArray Lines(const QList<QByteArray>& lines)
{
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

QStringList Names(const TRegMru& mru)
{
    QStringList names;
    for (const TMruEntry& entry : mru.Entries())
        names += entry.FileName;
    return names;
}

// A File menu ending in "&Beenden" and an owner named like the main window, with the per-user
// configuration in a fresh directory.
class RegMruTest : public ::testing::Test
{
protected:
    RegMruTest()
    {
        Owner.setObjectName(QStringLiteral("MainFM"));
        FileMI.addAction(QStringLiteral("&Beenden"));
    }

    // Set up as the main window sets up MainMRU.
    std::unique_ptr<TRegMru> MainMru(bool loaded = true)
    {
        auto mru = std::make_unique<TRegMru>(Owner);
        mru->SetMaxItems(10);
        mru->SetLazyWrite(false);
        mru->ApplicationName = QStringLiteral("Quennor");
        mru->CompanyName = QStringLiteral("Tarnwick");
        mru->ApplicationVersion = QStringLiteral("MRU");
        mru->SerializeList = true;
        mru->MenuItem = &FileMI;
        if (loaded)
            mru->Loaded();
        return mru;
    }

    QStringList Menu() const
    {
        QStringList captions;
        for (const QAction* action : FileMI.actions())
            captions += action->isSeparator() ? QStringLiteral("-") : action->text();
        return captions;
    }

    QString Hive(const char* name = "user.reg") const { return Config.Hive(name); }
    void WriteMruValues(const QList<QByteArray>& lines) const
    {
        Config.WriteHive("REGEDIT4\r\n\r\n" + MruSection + Lines(lines));
    }

    ConfigHome Config;
    QObject Owner;
    QMenu FileMI;
};

} // namespace

TEST_F(RegMruTest, NewestFirstNumberedAndPromotedByTheExactName)
{
    auto mru = MainMru();
    EXPECT_EQ(mru->KeyPath(),
              QStringLiteral("\\Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory"));
    EXPECT_EQ(Menu(), QStringList{"&Beenden"}) << "no separator while the list is empty";
    QAction* first = mru->AddItem(QStringLiteral("/p/a.c"));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/a.c"}));
    EXPECT_EQ(first, FileMI.actions().last());

    for (char c = 'b'; c <= 'k'; ++c)
        mru->AddItem(QStringLiteral("/p/%1.c").arg(QLatin1Char(c)));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/k.c", "&2 /p/j.c", "&3 /p/i.c",
                                   "&4 /p/h.c", "&5 /p/g.c", "&6 /p/f.c", "&7 /p/e.c", "&8 /p/d.c",
                                   "9 /p/c.c", "10 /p/b.c"}))
        << "the eleventh file drops the oldest";

    EXPECT_EQ(mru->AddItem(QStringLiteral("/p/e.c")), mru->Items()[0]);
    EXPECT_EQ(Names(*mru).mid(0, 3), (QStringList{"/p/e.c", "/p/k.c", "/p/j.c"}));
    EXPECT_EQ(mru->Entries().size(), 10u);
    EXPECT_EQ(mru->AddItem(QStringLiteral("/p/j.c"), false, true, 7), mru->Items()[0]);
    EXPECT_EQ(Names(*mru).mid(0, 3), (QStringList{"/p/j.c", "/p/e.c", "/p/k.c"}));
    EXPECT_EQ(mru->Entries()[0].Data, 7);

    mru->AddItem(QStringLiteral("/p/Blink.c"));
    EXPECT_EQ(mru->AddItem(QStringLiteral("/p/blink.c")), mru->Items()[0]);
    EXPECT_EQ(Names(*mru).mid(0, 3), (QStringList{"/p/blink.c", "/p/Blink.c", "/p/j.c"}))
        << "names that differ in letter case are two files";
    EXPECT_EQ(mru->Entries().size(), 10u);

    mru->AddItem(QStringLiteral("/p/R&D.c"));
    EXPECT_EQ(Menu()[2], QStringLiteral("&1 /p/R&&D.c")) << "the name's own '&' is no accelerator";
    EXPECT_EQ(mru->Entries()[0].FileName, QStringLiteral("/p/R&D.c"));

    mru->AddItem(QStringLiteral("/p/a\tb\nc.c"));
    EXPECT_EQ(Menu()[2], QStringLiteral("&1 /p/a\uFFFDb\uFFFDc.c"))
        << "a tab in the name once put the rest of it into the shortcut column";
    EXPECT_EQ(mru->Entries()[0].FileName, QStringLiteral("/p/a\tb\nc.c"));
}

TEST_F(RegMruTest, LongNamesAreKeptWholeAndShortenedOnlyInTheCaption)
{
    const QString dir = QStringLiteral("/home/jörg/Projekte/R&D/") + QString(86, QLatin1Char('x'));
    const QString path = dir + QStringLiteral("/Unterordner/noch/tiefer/Blinklicht_v2.c");
    ASSERT_EQ(path.size(), 150);
    {
        auto mru = MainMru();
        for (int i = 0; i < 3; ++i)
            mru->AddItem(path);
        EXPECT_EQ(Names(*mru), QStringList{path});
        EXPECT_EQ(Menu().last(),
                  QStringLiteral("&1 /home/jörg/Projekte/R&&D/xxxxxx…") + path.right(49));
    }
    auto mru = MainMru();
    EXPECT_EQ(Names(*mru), QStringList{path}) << "stored whole";

    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString eighty = QString(80, QLatin1Char('y'));
    const QString split = QString(29, QLatin1Char('a')) + emoji + QString(39, QLatin1Char('b')) +
                          emoji + QString(48, QLatin1Char('c'));
    mru->NumberItems = false;
    mru->AddItem(eighty);
    EXPECT_EQ(mru->Items()[0]->text(), eighty) << "80 characters fit";
    mru->AddItem(split);
    EXPECT_EQ(mru->Items()[0]->text(),
              QString(29, QLatin1Char('a')) + QStringLiteral("…") + QString(48, QLatin1Char('c')))
        << "a character is never split";
}

TEST_F(RegMruTest, SeparatorComesAndGoesWithTheEntries)
{
    auto mru = MainMru();
    for (const char* name : {"/a.c", "/b.c", "/c.c"})
        mru->AddItem(QLatin1String(name));
    mru->SetMaxItems(-1);
    mru->SetMaxItems(5);
    EXPECT_EQ(mru->Entries().size(), 3u) << "a negative or larger limit removes nothing";
    mru->SetMaxItems(2);
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /c.c", "&2 /b.c"}));
    mru->SetMaxItems(0);
    EXPECT_EQ(Menu(), QStringList{"&Beenden"});
    EXPECT_EQ(mru->AddItem(QStringLiteral("/d.c")), nullptr);
    EXPECT_TRUE(mru->Entries().empty());

    mru->SetMaxItems(10);
    QAction* item = mru->AddItem(QStringLiteral("/d.c"));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /d.c"}));
    mru->RemoveItem(item);
    EXPECT_EQ(Menu(), QStringList{"&Beenden"});

    mru->Separator = false;
    mru->NumberItems = false;
    mru->AddItem(QStringLiteral("/e.c"));
    mru->AddItem(QStringLiteral("/f.c"));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "/f.c", "/e.c"}));
}

TEST_F(RegMruTest, ChoosingAnEntryRunsTheHandlerWithAddingDisabled)
{
    auto mru = MainMru();
    for (const char* name : {"/a.c", "/b.c", "/c.c"})
        mru->AddItem(QLatin1String(name));
    QStringList opened;
    bool deleteIt = false;
    mru->OnItemClick = [&](TRegMru& sender, QAction* item, const QString& fileName,
                           bool& canDelete) {
        EXPECT_EQ(&sender, mru.get());
        EXPECT_EQ(item->text(), QStringLiteral("&3 ") + fileName);
        EXPECT_FALSE(canDelete);
        opened += fileName;
        EXPECT_EQ(sender.AddItem(QStringLiteral("/neu.c")), nullptr);
        canDelete = deleteIt;
    };
    FileMI.actions().last()->trigger();
    EXPECT_EQ(opened, QStringList{"/a.c"});
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /a.c", "&2 /c.c", "&3 /b.c"}));
    EXPECT_TRUE(mru->AddingEnabled());

    deleteIt = true;
    FileMI.actions().last()->trigger();
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /a.c", "&2 /c.c"}));

    mru->OnItemClick = [](TRegMru&, QAction*, const QString& fileName, bool& canDelete) {
        canDelete = true;
        throw FileError::CannotOpen(fileName);
    };
    EXPECT_THROW(mru->ItemClick(mru->Items()[1]), FileError);
    EXPECT_TRUE(mru->AddingEnabled());
    EXPECT_EQ(Names(*mru), (QStringList{"/a.c", "/c.c"})) << "neither moved nor removed";

    QString shown;
    mru->OnClickError = [&](const std::exception& error) {
        shown = dynamic_cast<const FileError&>(error).Message;
    };
    FileMI.actions().last()->trigger();
    EXPECT_EQ(shown, QStringLiteral("Cannot open file /c.c"));
    EXPECT_EQ(Names(*mru), (QStringList{"/a.c", "/c.c"}));
}

TEST_F(RegMruTest, ListSurvivesARestartThroughTheRealFile)
{
    MainMru()->AddItem(QStringLiteral("/p/a.c"));
    EXPECT_TRUE(TempDir::Read(Hive()).endsWith(
        MruSection + Lines({"\"Count\"=\"1\"", "\"MaxFiles\"=\"10\"", "\"H0\"=\"/p/a.c\""})));
    {
        auto mru = MainMru();
        mru->AddItem(QStringLiteral("/p/b.c"));
    }
    EXPECT_EQ(TempDir::Read(Hive()), "REGEDIT4\r\n\r\n" + MruSection +
                                         Lines({"\"Count\"=\"2\"", "\"MaxFiles\"=\"10\"",
                                                "\"H0\"=\"/p/b.c\"", "\"H1\"=\"/p/a.c\""}));
    auto mru = MainMru();
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/b.c", "&2 /p/a.c"}));

    const QByteArray stored = TempDir::Read(Hive());
    MainMru(false).reset();
    EXPECT_EQ(TempDir::Read(Hive()), stored) << "an owner that never finished loading";
}

TEST_F(RegMruTest, DataAfterTheLastBarIsReadAndWrittenBack)
{
    WriteMruValues({"\"Default\"=\"bleibt\"", "\"Count\"=\"4\"", "\"H0\"=\"/x.c|5\"",
                    "\"H1\"=\"/y|z.c|abc\"", "\"H2\"=\"/w.c|-3\"", "\"H3\"=\"/v.c|0\""});
    {
        auto mru = MainMru();
        EXPECT_EQ(Names(*mru), (QStringList{"/x.c", "/y|z.c", "/w.c", "/v.c"}));
        std::vector<int> data;
        for (const TMruEntry& entry : mru->Entries())
            data.push_back(entry.Data);
        EXPECT_EQ(data, (std::vector<int>{5, 0, -3, 0}));
        EXPECT_EQ(Menu()[2], QStringLiteral("&1 /x.c"));
    }
    EXPECT_EQ(TempDir::Read(Hive()),
              "REGEDIT4\r\n\r\n" + MruSection +
                  Lines({"\"Default\"=\"bleibt\"", "\"Count\"=\"4\"", "\"MaxFiles\"=\"10\"",
                         "\"H0\"=\"/x.c|5\"", "\"H1\"=\"/y|z.c|0\"", "\"H2\"=\"/w.c|-3\"",
                         "\"H3\"=\"/v.c\""}));
    EXPECT_EQ(Names(*MainMru())[1], QStringLiteral("/y|z.c")) << "a bar in a name survives";
}

TEST_F(RegMruTest, GarbledValuesNeverLoseTheList)
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
        auto mru = MainMru();
        EXPECT_EQ(Names(*mru), c.Entries);
        EXPECT_EQ(mru->MaxItems(), c.MaxItems);
    }
    QFile::remove(Hive());
    EXPECT_TRUE(MainMru()->Entries().empty()) << "missing file";
}

// Both start from a full list; each adds a file and reopens one of the list. Whichever closes
// last puts its own files first and the other's behind them.
TEST_F(RegMruTest, TwoInstancesClosingOneAfterTheOtherKeepBothOnesFiles)
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
        auto a = MainMru();
        auto b = MainMru();
        a->AddItem(QStringLiteral("/a.c"));
        a->AddItem(QStringLiteral("/7.c"));
        b->AddItem(QStringLiteral("/b.c"));
        b->ItemClick(b->Items()[5]);
        EXPECT_EQ(Names(*b).mid(0, 2), (QStringList{"/5.c", "/b.c"}));
        (firstClosesFirst ? a : b).reset();
        (firstClosesFirst ? b : a).reset();
        const QStringList ours = firstClosesFirst ? QStringList{"/5.c", "/b.c", "/7.c", "/a.c"}
                                                  : QStringList{"/7.c", "/a.c", "/5.c", "/b.c"};
        EXPECT_EQ(TempDir::Read(Hive()),
                  stored(ours + QStringList{"/1.c", "/2.c", "/3.c", "/4.c", "/6.c", "/8.c"}));
    }
}

TEST_F(RegMruTest, HeldAccessObjectTakesRootKeyAndLazyWrite)
{
    auto mru = MainMru();
    mru->AddItem(QStringLiteral("/a.c"));
    mru->SetActiveRegistry(true);
    EXPECT_TRUE(mru->ActiveRegistry());
    mru->SetLazyWrite(true);
    mru->SetRootKey(TRootKey::HKeyCurrentConfig);
    mru->SaveToRegistry();
    EXPECT_FALSE(QFile::exists(Hive("currentconfig.reg"))) << "written lazily";
    mru->SetActiveRegistry(false);
    EXPECT_TRUE(TempDir::Read(Hive("currentconfig.reg")).contains("\"H0\"=\"/a.c\""));
    EXPECT_FALSE(QFile::exists(Hive()));
}

// A stray byte once turned every non-ASCII path of the store into mojibake, written back at exit.
// Now it changes only how its own line reads.
TEST_F(RegMruTest, AStrayByteElsewhereLeavesThePathsAsTheyWere)
{
    const QByteArray comment = "; gespeichert von \x81\xFE\r\n";
    Config.WriteHive("REGEDIT4\r\n" + comment + "\r\n" + MruSection +
                     Lines({"\"Count\"=\"4\"", "\"MaxFiles\"=\"10\"",
                            "\"H0\"=\"/home/j\xC3\xB6rg/a.c\"", "\"H1\"=\"/home/j\xF6rg/b.c\"",
                            "\"H2\"=\"/home/\xD0\x96\xC3\xA4/c.c\"", "\"H3\"=\"/home/\x80.c\""}));
    const QStringList paths{"/home/jörg/a.c", "/home/jörg/b.c", "/home/Жä/c.c", "/home/€.c"};
    EXPECT_EQ(Names(*MainMru()), paths);
    EXPECT_EQ(
        TempDir::Read(Hive()),
        "REGEDIT4\r\n" + comment + "\r\n" + MruSection +
            Lines({"\"Count\"=\"4\"", "\"MaxFiles\"=\"10\"", "\"H0\"=\"/home/j\xC3\xB6rg/a.c\"",
                   "\"H1\"=\"/home/j\xC3\xB6rg/b.c\"", "\"H2\"=\"/home/\xD0\x96\xC3\xA4/c.c\"",
                   "\"H3\"=\"/home/\xE2\x82\xAC.c\""}));
    EXPECT_EQ(Names(*MainMru()), paths);
}

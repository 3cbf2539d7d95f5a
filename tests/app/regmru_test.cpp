#include "app/regmru.h"

#include <memory>

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include "platform/fileerror.h"
#include "support/tempdir.h"

namespace {

QStringList Names(const TRegMru& mru)
{
    QStringList names;
    for (const TMruEntry& entry : mru.List().Entries())
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

    // Set up as the main window sets up MainMRU, in the File menu or in none.
    std::unique_ptr<TRegMru> MainMru(QMenu* menu)
    {
        auto mru = std::make_unique<TRegMru>(Owner);
        mru->MenuItem = menu;
        SetUpMainFileList(mru->List());
        mru->List().Loaded();
        return mru;
    }
    std::unique_ptr<TRegMru> MainMru() { return MainMru(&FileMI); }

    QStringList Menu() const
    {
        QStringList captions;
        for (const QAction* action : FileMI.actions())
            captions += action->isSeparator() ? QStringLiteral("-") : action->text();
        return captions;
    }

    ConfigHome Config;
    QObject Owner;
    QMenu FileMI;
};

} // namespace

// The items keep their places in the menu; the entries move through them.
TEST_F(RegMruTest, MenuShowsTheListBelowASeparatorThatComesAndGoesWithIt)
{
    auto mru = MainMru();
    EXPECT_EQ(Menu(), QStringList{"&Beenden"}) << "no separator while the list is empty";
    QAction* first = mru->AddItem(QStringLiteral("/p/a.c"));
    EXPECT_EQ(first, FileMI.actions().last());
    for (const char* name : {"/p/b.c", "/p/R&D.c", "/p/a.c"})
        EXPECT_EQ(mru->AddItem(QLatin1String(name)), first);
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/a.c", "&2 /p/R&&D.c", "&3 /p/b.c"}));

    mru->List().SetMaxItems(1);
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/a.c"}));
    mru->RemoveItem(first);
    EXPECT_EQ(Menu(), QStringList{"&Beenden"});
    mru->List().SetMaxItems(0);
    EXPECT_EQ(mru->AddItem(QStringLiteral("/d.c")), nullptr);

    mru->List().SetMaxItems(10);
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

// Another window writes its list first; the file chosen here still comes before its news.
TEST_F(RegMruTest, AFileChosenFromTheMenuCountsAsThisWindowsOwn)
{
    for (const char* name : {"/1.c", "/2.c", "/3.c"})
        MainMru(nullptr)->AddItem(QLatin1String(name));
    auto mru = MainMru();
    FileMI.actions().last()->trigger();
    MainMru(nullptr)->AddItem(QStringLiteral("/x.c"));
    mru.reset();
    EXPECT_EQ(Names(*MainMru(nullptr)), (QStringList{"/1.c", "/x.c", "/3.c", "/2.c"}));
}

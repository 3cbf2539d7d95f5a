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

    // Set up as the main window sets up MainMRU.
    std::unique_ptr<TRegMru> MainMru()
    {
        auto mru = std::make_unique<TRegMru>(Owner);
        mru->MenuItem = &FileMI;
        MruList& list = mru->List();
        list.SetMaxItems(10);
        list.SetLazyWrite(false);
        list.ApplicationName = QStringLiteral("Quennor");
        list.CompanyName = QStringLiteral("Tarnwick");
        list.ApplicationVersion = QStringLiteral("MRU");
        list.SerializeList = true;
        list.Loaded();
        return mru;
    }

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

// The items stay where they are in the menu; the entries move through them.
TEST_F(RegMruTest, MenuShowsTheListBelowASeparatorThatComesAndGoesWithIt)
{
    auto mru = MainMru();
    EXPECT_EQ(Menu(), QStringList{"&Beenden"}) << "no separator while the list is empty";
    QAction* first = mru->AddItem(QStringLiteral("/p/a.c"));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/a.c"}));
    EXPECT_EQ(first, FileMI.actions().last());
    for (char c = 'b'; c <= 'k'; ++c)
        mru->AddItem(QStringLiteral("/p/%1.c").arg(QLatin1Char(c)));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/k.c", "&2 /p/j.c", "&3 /p/i.c",
                                   "&4 /p/h.c", "&5 /p/g.c", "&6 /p/f.c", "&7 /p/e.c", "&8 /p/d.c",
                                   "9 /p/c.c", "10 /p/b.c"}));
    EXPECT_EQ(FileMI.actions()[2], first);
    EXPECT_EQ(mru->AddItem(QStringLiteral("/p/R&D.c")), mru->Items()[0]);
    EXPECT_EQ(Menu()[2], QStringLiteral("&1 /p/R&&D.c"));

    mru->List().SetMaxItems(2);
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /p/R&&D.c", "&2 /p/k.c"}));
    mru->List().SetMaxItems(0);
    EXPECT_EQ(Menu(), QStringList{"&Beenden"});
    EXPECT_EQ(mru->AddItem(QStringLiteral("/d.c")), nullptr);

    mru->List().SetMaxItems(10);
    mru->RemoveItem(mru->AddItem(QStringLiteral("/d.c")));
    EXPECT_EQ(Menu(), QStringList{"&Beenden"});
    mru->Separator = false;
    mru->NumberItems = false;
    mru->AddItem(QStringLiteral("/e.c"));
    mru->AddItem(QStringLiteral("/f.c"));
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "/f.c", "/e.c"}));

    mru.reset();
    mru = MainMru();
    EXPECT_EQ(Menu(), (QStringList{"&Beenden", "-", "&1 /f.c", "&2 /e.c"}))
        << "the stored list comes back";
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

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include "app/main.h"
#include "mru/regmru.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"

namespace {

class RecentFiles : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(Prompts.Answers.empty()); }

    TMainFM& Window()
    {
        Main = std::make_unique<TMainFM>(Prompts, QStringList{});
        return *Main;
    }

    // The File menu below "&Beenden", as the user reads it.
    QStringList Tail()
    {
        QStringList shown;
        bool below = false;
        for (QAction* item : Main->findChild<QMenu*>(QStringLiteral("FileMI"))->actions()) {
            if (below)
                shown << (item->isSeparator() ? QStringLiteral("----") : item->text());
            below = below || item->objectName() == QLatin1String("ExitMI");
        }
        return shown;
    }

    QAction* Entry(int index) { return Main->RecentFiles()->Items()[std::size_t(index)]; }

    ConfigHome Config;
    ScriptedPrompts Prompts;
    TempDir Dir;
    std::unique_ptr<TMainFM> Main;
};

} // namespace

TEST_F(RecentFiles, OpenedAndSavedFilesComeBackAfterARestart)
{
    const QString a = Dir.Write("a.c", "int a;\r\n");
    const QString b = Dir.Write("b.c", "int b;\r\n");
    TMainFM& first = Window();
    EXPECT_EQ(Tail(), QStringList()) << "no separator for an empty list";
    first.LoadDocument(a);
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + a}));
    first.LoadDocument(b);
    first.LoadDocument(a);
    first.SaveDocument();
    first.LoadDocument(b);
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + b, "&2 " + a}));
    Main.reset();

    const QByteArray store = TempDir::Read(Config.Hive());
    EXPECT_TRUE(store.contains("[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]"));
    EXPECT_TRUE(store.contains("\"Count\"=\"2\""));
    EXPECT_TRUE(store.contains("\"MaxFiles\"=\"10\""));
    EXPECT_TRUE(store.contains(QStringLiteral("\"H0\"=\"%1\"").arg(b).toUtf8()));
    EXPECT_TRUE(store.contains(QStringLiteral("\"H1\"=\"%1\"").arg(a).toUtf8()));

    Window();
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + b, "&2 " + a}));
}

TEST_F(RecentFiles, ChoosingAnEntryOpensItAfterTheSavePrompt)
{
    const QString a = Dir.Write("a.c", "//#TARGET ATtiny26\r\nint a;\r\n");
    const QString b = Dir.Write("b.c", "int b;\r\n");
    TMainFM& main = Window();
    main.LoadDocument(a);
    main.LoadDocument(b);
    main.Listing()->setPlainText(QStringLiteral("old listing"));
    main.Editor()->insertPlainText(QStringLiteral("// changed\n"));

    Prompts.Answers = {QMessageBox::Cancel};
    Entry(1)->trigger();
    EXPECT_EQ(main.FileName(), b) << "cancelled: nothing opened";
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + a, "&2 " + b}))
        << "the chosen entry moves to the top all the same";

    Prompts.Answers = {QMessageBox::No};
    Entry(0)->trigger();
    EXPECT_EQ(main.FileName(), a);
    EXPECT_EQ(main.Target(), 11);
    EXPECT_EQ(main.Listing()->toPlainText(), QString());
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + a, "&2 " + b}));
}

TEST_F(RecentFiles, AnEntryWhoseFileIsGoneStaysWhereItWas)
{
    const QString a = Dir.Write("a.c", "int a;\r\n");
    const QString b = Dir.Write("b.c", "int b;\r\n");
    TMainFM& main = Window();
    main.LoadDocument(a);
    main.LoadDocument(b);
    QFile::remove(a);
    Prompts.Answers = {QMessageBox::Ok};
    Entry(1)->trigger();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text, QStringLiteral("Cannot open file ") + a);
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + b, "&2 " + a}));
    EXPECT_EQ(main.FileName(), b);
}

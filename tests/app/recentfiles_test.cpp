#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include "app/main.h"
#include "app/regmru.h"
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

TEST_F(RecentFiles, LongAndCaseTwinPathsReopenTheRightFile)
{
    QString folder = Dir.Path(QStringLiteral("Projekte & Übungen, alt"));
    while (folder.size() < 130)
        folder += QStringLiteral("/Unterordner");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString longPath = folder + QStringLiteral("/") +
                             QString(150 - folder.size() - 3, QLatin1Char('x')) +
                             QStringLiteral(".c");
    ASSERT_EQ(longPath.size(), 150);
    Dir.Write(QDir(Dir.Path(QString())).relativeFilePath(longPath), "int lang;\r\n");
    const QString upper = Dir.Write("Blink.c", "int gross;\r\n");
    const QString lower = Dir.Write("blink.c", "int klein;\r\n");

    TMainFM& main = Window();
    for (int i = 0; i < 3; ++i)
        main.LoadDocument(longPath);
    EXPECT_EQ(Tail(), QStringList({"----", "&1 " + longPath.left(30).replace("&", "&&") + "…" +
                                               longPath.right(49)}));
    main.LoadDocument(upper);
    main.LoadDocument(lower);
    EXPECT_EQ(Tail().size(), 4);

    struct Choice
    {
        int Index;
        QString Path;
        QString Text;
    };
    for (const Choice& choice : {Choice{1, upper, "int gross;\n"}, Choice{1, lower, "int klein;\n"},
                                 Choice{2, longPath, "int lang;\n"}}) {
        SCOPED_TRACE(choice.Path.toStdString());
        Entry(choice.Index)->trigger();
        EXPECT_EQ(main.FileName(), choice.Path);
        EXPECT_EQ(main.Editor()->toPlainText(), choice.Text);
        EXPECT_EQ(main.RecentFiles()->List().Entries()[0].FileName, choice.Path);
    }
}

// Both windows start from a full list and open a file each; the second to close keeps both.
TEST_F(RecentFiles, TwoWindowsClosedOneAfterTheOtherListBothFiles)
{
    QStringList full;
    for (int i = 0; i < 10; ++i)
        full += Dir.Write(QStringLiteral("%1.c").arg(i), "int x;\r\n");
    Window();
    for (auto name = full.crbegin(); name != full.crend(); ++name)
        Main->LoadDocument(*name);
    Main.reset();

    const QString a = Dir.Write("a.c", "int a;\r\n");
    const QString b = Dir.Write("b.c", "int b;\r\n");
    auto first = std::make_unique<TMainFM>(Prompts, QStringList{});
    auto second = std::make_unique<TMainFM>(Prompts, QStringList{});
    first->LoadDocument(a);
    second->LoadDocument(b);
    first.reset();
    second.reset();

    Window();
    QStringList expected{"----", "&1 " + b, "&2 " + a};
    for (int i = 0; i < 8; ++i)
        expected += (i < 6 ? "&" : "") + QString::number(i + 3) + " " + full[i];
    EXPECT_EQ(Tail(), expected);
}

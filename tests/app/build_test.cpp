#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/main.h"
#include "dialogs/flashstatus.h"
#include "editor/sourceedit.h"
#include "programmer/devicetable.h"
#include "support/boardsim.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"

namespace {

const QByteArray Portable = "int main(void)\r\n{\r\n    volatile unsigned char x = 1;\r\n"
                            "    for (;;)\r\n        x++;\r\n}\r\n";

class Build : public ::testing::Test
{
protected:
    void TearDown() override
    {
        EXPECT_TRUE(Prompts.Answers.empty());
        EXPECT_TRUE(Prompts.SaveAnswers.empty());
    }

    TMainFM& Window(const QString& appDir = {})
    {
        Main = std::make_unique<TMainFM>(Prompts, QStringList{}, appDir);
        return *Main;
    }

    QAction* Action(const QString& name) { return Main->findChild<QAction*>(name); }

    // Each row as "message|file|line".
    QStringList Rows()
    {
        QStringList rows;
        for (int i = 0; i < Main->Messages()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = Main->Messages()->topLevelItem(i);
            rows << item->text(0) + '|' + item->text(1) + '|' + item->text(2);
        }
        return rows;
    }

    // The last row but the memory report that ends a successful build.
    QString CompletionRow()
    {
        QStringList rows = Rows();
        if (!rows.isEmpty() && rows.last().startsWith(QLatin1String("Speicher: ")))
            rows.removeLast();
        return rows.value(rows.size() - 1);
    }

    // Tools that note their name and take their time before the real tool chain does the work,
    // so that requests can arrive while each one runs.
    QString SlowTools()
    {
        const QString appDir = Dir.Path(QStringLiteral("slow/"));
        QDir().mkpath(appDir + QStringLiteral("bin"));
        for (const char* tool : {"avr-gcc", "avr-objcopy"}) {
            const QString path = Dir.Write(
                QStringLiteral("slow/bin/") + tool,
                QByteArray("#!/bin/sh\necho \"$(basename \"$0\")\" >> \"$(dirname \"$0\")/runs\"\n"
                           "sleep 0.25\nexec /usr/bin/") +
                    tool + " \"$@\"\n");
            QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        }
        return appDir;
    }

    QStringList ToolRuns(const QString& appDir)
    {
        return QString::fromUtf8(TempDir::Read(appDir + QStringLiteral("bin/runs")))
            .split('\n', Qt::SkipEmptyParts);
    }

    // Every way a user asks for another build or another file while one build runs.
    void Interfere()
    {
        EXPECT_TRUE(Main->Building());
        for (const char* name : {"CompileMI", "CompileAndFlashMI", "NewMI", "OpenMI", "SaveMI",
                                 "SaveAsMI", "FlashBinMI", "ATtiny26MI", "FuseBitsMI"}) {
            EXPECT_FALSE(Action(QLatin1String(name))->isEnabled()) << name;
            Action(QLatin1String(name))->trigger();
        }
        QTest::keyClick(Main->Editor(), Qt::Key_F9, Qt::ControlModifier);
        QTest::keyClick(Main->Editor(), Qt::Key_F9);
        QTest::keyClick(Main->Editor(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(Main->Editor(), Qt::Key_N, Qt::ControlModifier);
    }

    QString Source(const QString& name, const QByteArray& text)
    {
        const QString path = Dir.Write(name, text);
        Window().LoadDocument(path);
        return path;
    }

    ConfigHome Config;
    ScriptedPrompts Prompts;
    TempDir Dir;
    std::unique_ptr<TMainFM> Main;
};

} // namespace

TEST_F(Build, EverySupportedDeviceCompilesAndReportsItsCodeSize)
{
    const QString source = Source(QStringLiteral("portable.c"), Portable);
    for (int target = 1; target < DeviceCount; ++target) {
        const QString name = QString::fromLatin1(DeviceTable[target].Name);
        SCOPED_TRACE(name.toStdString());
        Action(name + "MI")->trigger();
        Action(QStringLiteral("CompileMI"))->trigger();
        const QString binary = Dir.Path(QStringLiteral("portable.bin"));
        if (target == 13) {
            // Today's compiler no longer knows this chip: the build ends after the compile rows.
            EXPECT_TRUE(Rows().first().startsWith(QStringLiteral("Kompiliere \"") + source));
            EXPECT_FALSE(Rows().join('\n').contains(QStringLiteral("Linke ")));
            continue;
        }
        EXPECT_EQ(Rows().first(), QStringLiteral("Kompiliere \"%1\"...||").arg(source));
        EXPECT_EQ(CompletionRow(),
                  QStringLiteral("Fertig, %1 Bytes Code.||").arg(QFileInfo(binary).size()));
        EXPECT_GT(QFileInfo(binary).size(), 0);
        const TDeviceInfo& chip = DeviceTable[target];
        EXPECT_TRUE(Rows().last().startsWith(QStringLiteral("Speicher: Flash %1 von %2 Bytes (")
                                                 .arg(QFileInfo(binary).size())
                                                 .arg(chip.FlashBytes)));
        EXPECT_TRUE(
            Rows().last().contains(QStringLiteral(", RAM 0 von %1 Bytes").arg(chip.RamBytes)));
    }
    EXPECT_EQ(QDir(Dir.Path("")).entryList(QDir::Files),
              QStringList({"portable.bin", "portable.c", "portable.hex"}))
        << "object and program files are removed, no listing without the option";
}

TEST_F(Build, CompilerMessagesCarryFileAndLineAndADoubleClickGoesThere)
{
    const QString source =
        Source(QStringLiteral("faulty.c"),
               "#include <avr/io.h>\r\n\r\nint main(void)\r\n{\r\n    int unused;\r\n"
               "    return undefined_name;\r\n}\r\n");
    Main->show();
    Action(QStringLiteral("CompileMI"))->trigger();
    const QStringList rows = Rows();
    EXPECT_EQ(rows.first(), QStringLiteral("Kompiliere \"%1\"...||").arg(source));
    EXPECT_FALSE(rows.join('\n').contains(QStringLiteral("Linke"))) << "the build stops";
    const auto withLine = [&](const QString& line) {
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].endsWith(QStringLiteral("|%1|%2").arg(source, line)))
                return i;
        return -1;
    };
    const int warning = withLine(QStringLiteral("5"));
    const int error = withLine(QStringLiteral("6"));
    ASSERT_GE(warning, 0) << rows.join('\n').toStdString();
    ASSERT_GE(error, 0) << rows.join('\n').toStdString();
    EXPECT_TRUE(rows[error].startsWith(source + QStringLiteral(":6:")))
        << "the message keeps its file and line prefix";

    QTreeWidgetItem* row = Main->Messages()->topLevelItem(error);
    Main->Messages()->setCurrentItem(row);
    emit Main->Messages()->itemDoubleClicked(row, 0);
    EXPECT_EQ(Main->Editor()->textCursor().position(),
              Main->Editor()->document()->findBlockByNumber(5).position());
    EXPECT_FALSE(Main->Editor()->textCursor().hasSelection());

    QTreeWidgetItem* status = Main->Messages()->topLevelItem(0);
    Main->Messages()->setCurrentItem(status);
    emit Main->Messages()->itemDoubleClicked(status, 0);
    EXPECT_EQ(Main->Editor()->textCursor().position(),
              Main->Editor()->document()->findBlockByNumber(5).position())
        << "a status row is inert";
}

// A tool tip takes text that looks like markup for markup: "<b>" vanished and "&amp;" became "&".
TEST_F(Build, ToolTipsShowTheCompilersMessageAsWritten)
{
    const QString source = Source(QStringLiteral("tip.c"), "#error <b>x</b> &amp; <img src=y>\n");
    Main->show();
    Action(QStringLiteral("CompileMI"))->trigger();
    const QString message =
        source + QStringLiteral(":1:2: error: #error <b>x</b> &amp; <img src=y>");
    const QTreeWidgetItem* row = Main->Messages()->topLevelItem(1);
    ASSERT_TRUE(row && row->text(0) == message) << Rows().join('\n').toStdString();
    const auto shown = [](const QString& tip) {
        if (!Qt::mightBeRichText(tip))
            return tip;
        QTextDocument document;
        document.setHtml(tip);
        return document.toPlainText();
    };
    EXPECT_EQ(shown(row->toolTip(0)), message) << "the message list";
    auto* edit = qobject_cast<SourceEdit*>(Main->Editor());
    QHelpEvent tip(QEvent::ToolTip,
                   QPoint(2, edit->cursorRect(QTextCursor(edit->document())).center().y()),
                   QPoint(100, 100));
    QApplication::sendEvent(edit->Gutter(), &tip);
    EXPECT_EQ(shown(QToolTip::text()), message) << "the gutter";
}

TEST_F(Build, GotoLineCountsMissingLinesAsEmpty)
{
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("one\ntwo\nthree"));
    for (const auto& [line, position] :
         std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 4}, {3, 8}, {4, 13}, {99, 13}}) {
        TMainFM::GotoLine(&editor, line);
        EXPECT_EQ(editor.textCursor().position(), position) << "line " << line;
    }
}

TEST_F(Build, AMissingHeaderAndAWarningOnlyBuild)
{
    Source(QStringLiteral("header.c"),
           "#include \"nothere.h\"\r\nint main(void) { return 0; }\r\n");
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_TRUE(Rows().join('\n').contains(QStringLiteral("nothere.h")));
    EXPECT_FALSE(CompletionRow().startsWith(QStringLiteral("Fertig")));

    Source(QStringLiteral("warning.c"),
           "int main(void)\r\n{\r\n    int unused;\r\n    return 0;\r\n}\r\n");
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_TRUE(Rows().join('\n').contains(QStringLiteral("|3")));
    EXPECT_TRUE(CompletionRow().startsWith(QStringLiteral("Fertig, ")))
        << "warnings do not stop a build";
}

TEST_F(Build, ListingIsMadeOnlyWithTheOption)
{
    Source(QStringLiteral("listed.c"), Portable);
    const QString listing = Dir.Path(QStringLiteral("listed.lst"));
    Action(QStringLiteral("CreateListingMI"))->trigger();
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_TRUE(QFile::exists(listing));
    EXPECT_TRUE(Main->Listing()->toPlainText().contains(QStringLiteral("x++")));

    Action(QStringLiteral("CreateListingMI"))->trigger();
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_FALSE(QFile::exists(listing)) << "an old listing is deleted";
    EXPECT_EQ(Main->Listing()->toPlainText(), QString());
    EXPECT_TRUE(CompletionRow().startsWith(QStringLiteral("Fertig, ")));
}

TEST_F(Build, OddPathsAndNamesBuildBesideTheSource)
{
    const QString folder = Dir.Path(QStringLiteral("mein \"Projekt\" $HOME `x`; ä"));
    QDir().mkpath(folder);
    const QString source = folder + QStringLiteral("/blink.v1.2.c");
    QFile::copy(QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c"), source);
    Window().LoadDocument(source);
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_TRUE(CompletionRow().startsWith(QStringLiteral("Fertig, ")))
        << Rows().join('\n').toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              QStringList({"blink.v1.2.bin", "blink.v1.2.c", "blink.v1.2.hex"}));
}

TEST_F(Build, ANewDocumentIsNamedFirstAndCancellingStopsEverything)
{
    Window();
    Main->Editor()->setPlainText(QString::fromLatin1(Portable));
    Prompts.SaveAnswers = {QString()};
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_EQ(Main->Messages()->topLevelItemCount(), 0);

    const QString path = Dir.Path(QStringLiteral("named.c"));
    Prompts.SaveAnswers = {path};
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_TRUE(CompletionRow().startsWith(QStringLiteral("Fertig, ")));
    EXPECT_TRUE(QFile::exists(Dir.Path(QStringLiteral("named.bin"))));
}

// Tools that only record how they were called: the command lines as the tools receive them.
TEST_F(Build, ToolsReceiveTheCommandLinesPieceByPiece)
{
    const QString appDir = Dir.Path(QStringLiteral("app/"));
    QDir().mkpath(appDir + QStringLiteral("bin"));
    const QByteArray recorder = "#!/bin/sh\nfor a in \"$(basename \"$0\")\" \"$@\"; do "
                                "printf '[%s]' \"$a\"; done >> \"$(dirname \"$0\")/calls\"\n"
                                "echo >> \"$(dirname \"$0\")/calls\"\n";
    for (const char* tool : {"avr-gcc", "avr-objcopy"}) {
        const QString path = Dir.Write(QStringLiteral("app/bin/") + tool, recorder);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    }
    const QString source = Dir.Write(QStringLiteral("noext"), Portable);
    Window(appDir).LoadDocument(source);
    Main->findChild<QAction*>(QStringLiteral("ATtiny26MI"))->trigger();
    Action(QStringLiteral("CompileMI"))->trigger();

    const QString d = Dir.Path("") + QLatin1Char('/');
    const QStringList calls = QString::fromUtf8(TempDir::Read(appDir + QStringLiteral("bin/calls")))
                                  .split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(calls,
              QStringList({
                  QStringLiteral("[avr-gcc][-c][-g][-Os][-Wall][-Wstrict-prototypes]"
                                 "[-mmcu=attiny26][-I.][-I%1][%1noext][-o][%1noext.o]")
                      .arg(d),
                  QStringLiteral("[avr-gcc][%1noext.o][-Wl,--cref][-mmcu=attiny26][-o]"
                                 "[%1noext.elf]")
                      .arg(d),
                  QStringLiteral("[avr-objcopy][-O][ihex][%1noext.elf][%1noext.hex]").arg(d),
                  QStringLiteral("[avr-objcopy][-O][binary][%1noext.elf][%1noext.bin]").arg(d),
              }));
    EXPECT_EQ(Rows().last(), QStringLiteral("Fertig.||"))
        << "no image written, no size to report, no program file to read the memory use from";
}

TEST_F(Build, CompileAndFlashProgramsTheBoard)
{
    BoardSim board({QStringLiteral("--chip"), QStringLiteral("AT90S8515")});
    board.MapAsPort(5);
    const QString source = Dir.Path(QStringLiteral("blink.c"));
    QFile::copy(QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c"), source);
    TMainFM& main = Window();
    auto* flash = new TFlashFM(&main, Prompts);
    main.SetDialogs({flash, nullptr, nullptr});
    main.LoadDocument(source);
    // A failed pass would wait for OK; close it so the test reports instead of hanging.
    QTimer::singleShot(60000, flash, [flash] { flash->done(0); });
    Action(QStringLiteral("CompileAndFlashMI"))->trigger();

    const QByteArray image = TempDir::Read(Dir.Path(QStringLiteral("blink.bin")));
    ASSERT_FALSE(image.isEmpty());
    EXPECT_EQ(board.FlashBytes(image.size()), image);
    EXPECT_EQ(CompletionRow(), QStringLiteral("Fertig, %1 Bytes Code.||").arg(image.size()));
}

// Events are processed while the tools run; a second request there once started a nested build
// that deleted the files the first one still needed.
TEST_F(Build, ASecondRequestWhileToolsRunStartsNothingAndACloseWaits)
{
    const QString appDir = SlowTools();
    const QString source = Dir.Path(QStringLiteral("blink.c"));
    QFile::copy(QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c"), source);
    TMainFM& main = Window(appDir);
    main.LoadDocument(source);
    main.show();
    QApplication::setActiveWindow(&main);
    bool closedEarly = false;
    const auto interfereAndClose = [&] {
        Interfere();
        main.close();
        closedEarly |= !main.isVisible();
    };
    QTimer::singleShot(0, &main, interfereAndClose);
    QTimer::singleShot(400, &main, interfereAndClose);
    Action(QStringLiteral("CompileMI"))->trigger();

    EXPECT_EQ(ToolRuns(appDir), QStringList({"avr-gcc", "avr-gcc", "avr-objcopy", "avr-objcopy"}));
    EXPECT_EQ(Rows().filter(QStringLiteral("Kompiliere ")).size(), 1);
    EXPECT_TRUE(CompletionRow().startsWith(QStringLiteral("Fertig, ")))
        << Rows().join('\n').toStdString();
    EXPECT_EQ(QDir(Dir.Path("")).entryList(QDir::Files),
              QStringList({"blink.bin", "blink.c", "blink.hex"}));
    EXPECT_EQ(main.Target(), 8);
    EXPECT_EQ(main.FileName(), source);
    EXPECT_FALSE(closedEarly) << "a close waits for the build";
    EXPECT_TRUE(Action(QStringLiteral("CompileMI"))->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !main.isVisible(); }, 2000))
        << "the close goes on once the build has ended";
}

TEST_F(Build, TheFlashDialogOpensOnlyAfterTheOneBuild)
{
    BoardSim::MapPorts({});
    const QString appDir = SlowTools();
    const QString source = Dir.Path(QStringLiteral("blink.c"));
    QFile::copy(QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c"), source);
    TMainFM& main = Window(appDir);
    auto* flash = new TFlashFM(&main, Prompts);
    main.SetDialogs({flash, nullptr, nullptr});
    main.LoadDocument(source);
    main.show();
    QApplication::setActiveWindow(&main);
    QStringList runsAtFlash;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!flash->isVisible() || flash->Running())
            return;
        runsAtFlash << QString::number(ToolRuns(appDir).size());
        flash->done(0);
    });
    watcher.start(50);
    QTimer::singleShot(0, &main, [this] { Interfere(); });
    QTimer::singleShot(400, &main, [this] { Interfere(); });
    Action(QStringLiteral("CompileAndFlashMI"))->trigger();
    qunsetenv("QUENNOR_PORTS");

    EXPECT_EQ(runsAtFlash, QStringList({"4"})) << "one flash dialog, after all four tools";
    EXPECT_EQ(ToolRuns(appDir).size(), 4);
    EXPECT_TRUE(QFile::exists(Dir.Path(QStringLiteral("blink.bin"))));
}

// Emptying the listing pane once reported a caret move, so every build showed "1:  1 ".
TEST_F(Build, TheCaretPanelKeepsTheEditorsPositionThroughABuild)
{
    Source(QStringLiteral("caret.c"), Portable);
    QTextCursor caret = Main->Editor()->textCursor();
    caret.setPosition(Main->Editor()->document()->findBlockByNumber(4).position() + 3);
    Main->Editor()->setTextCursor(caret);
    ASSERT_EQ(Main->StatusPanel(0), QStringLiteral("5:  4 "));
    Action(QStringLiteral("CompileMI"))->trigger();
    EXPECT_EQ(Main->StatusPanel(0), QStringLiteral("5:  4 "));

    Action(QStringLiteral("CreateListingMI"))->trigger();
    for (int build = 0; build < 2; ++build) {
        Action(QStringLiteral("CompileMI"))->trigger();
        ASSERT_FALSE(Main->Listing()->document()->isEmpty());
        EXPECT_EQ(Main->StatusPanel(0), QStringLiteral("5:  4 ")) << "build " << build;
    }
    QTextCursor listing = Main->Listing()->textCursor();
    listing.setPosition(2);
    Main->Listing()->setTextCursor(listing);
    EXPECT_EQ(Main->StatusPanel(0), QStringLiteral("1:  3 ")) << "the user's moves still count";
}

// An error that ends a build half way must not leave the commands switched off.
TEST_F(Build, ABuildEndedByAnErrorGivesTheCommandsBack)
{
    Source(QStringLiteral("x.c"), Portable);
    QDir().mkpath(Dir.Path(QStringLiteral("x.lst")));
    Action(QStringLiteral("CreateListingMI"))->trigger();
    Prompts.Answers = {QMessageBox::Ok};
    Action(QStringLiteral("CompileMI"))->trigger();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_EQ(Prompts.Messages[0].Text,
              QStringLiteral("Cannot open file ") + Dir.Path(QStringLiteral("x.lst")));
    EXPECT_FALSE(Main->Building());
    for (const char* name : {"CompileMI", "CompileAndFlashMI", "NewMI", "SaveMI", "ATtiny26MI"})
        EXPECT_TRUE(Action(QLatin1String(name))->isEnabled()) << name;
}

// A global array that leaves the stack no room is flashed only when the user says so; a build
// alone asks nothing. A program that fits goes straight on, as the flashing test above shows.
TEST_F(Build, CompileAndFlashAsksBeforeFlashingAProgramShortOfRam)
{
    BoardSim::MapPorts({});
    TMainFM& main = Window();
    auto* flash = new TFlashFM(&main, Prompts);
    main.SetDialogs({flash, nullptr, nullptr});
    main.LoadDocument(Dir.Write(QStringLiteral("m.c"), "//#TARGET ATtiny26\r\nchar b[120];\r\n"
                                                       "int main(void) { return b[0]; }\r\n"));
    int flashShown = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (flash->isVisible() && !flash->Running())
            flash->done(++flashShown);
    });
    watcher.start(50);
    const struct
    {
        const char* Command;
        QMessageBox::StandardButton Answer;
        int Flashed;
    } cases[] = {{"CompileAndFlashMI", QMessageBox::No, 0},
                 {"CompileAndFlashMI", QMessageBox::Yes, 1},
                 {"CompileMI", QMessageBox::NoButton, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer);
        Prompts.Messages.clear();
        if (c.Answer != QMessageBox::NoButton)
            Prompts.Answers = {c.Answer};
        flashShown = 0;
        Action(QLatin1String(c.Command))->trigger();
        EXPECT_EQ(flashShown, c.Flashed);
        ASSERT_EQ(Prompts.Messages.size(), c.Answer != QMessageBox::NoButton ? 1u : 0u);
        for (const MessageSpec& question : Prompts.Messages) {
            EXPECT_EQ(question.Text, "Für den Stack bleiben nur 8 Bytes RAM frei, mindestens 16 "
                                     "sind nötig.\n\nTrotzdem flashen?");
            EXPECT_EQ(question.Caption, QStringLiteral("Warnung"));
            EXPECT_EQ(question.Buttons, QMessageBox::Yes | QMessageBox::No);
            EXPECT_EQ(question.Icon, QMessageBox::Warning);
        }
    }
    qunsetenv("QUENNOR_PORTS");
}

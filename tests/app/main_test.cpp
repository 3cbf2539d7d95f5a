#include "app/main.h"

#include <sys/stat.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "dialogs/about.h"
#include "dialogs/flashstatus.h"
#include "dialogs/fusebits.h"
#include "support/boardsim.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"

namespace {

const QString SavePrompt = QStringLiteral("Datei ist nicht gespeichert. Jetzt speichern?");

class MainWindow : public ::testing::Test
{
protected:
    void TearDown() override
    {
        EXPECT_TRUE(Prompts.Answers.empty()) << "a scripted answer was not asked for";
        EXPECT_TRUE(Prompts.OpenAnswers.empty());
        EXPECT_TRUE(Prompts.SaveAnswers.empty());
    }

    TMainFM& Window(QStringList arguments = {})
    {
        Main = std::make_unique<TMainFM>(Prompts, std::move(arguments));
        return *Main;
    }

    void Type(const QString& text) { Main->Editor()->insertPlainText(text); }

    QAction* Action(const char* name) { return Main->findChild<QAction*>(QLatin1String(name)); }

    void ExpectSavePrompt(const MessageSpec& asked)
    {
        EXPECT_EQ(asked.Text, SavePrompt);
        EXPECT_EQ(asked.Caption, QStringLiteral("Warnung"));
        EXPECT_EQ(asked.Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(asked.Icon, QMessageBox::Warning);
    }

    ConfigHome Config;
    ScriptedPrompts Prompts;
    TempDir Dir;
    std::unique_ptr<TMainFM> Main;
};

} // namespace

TEST_F(MainWindow, StartsWithANewCleanDocument)
{
    TMainFM& main = Window();
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - Neu"));
    EXPECT_EQ(main.StatusPanel(1), QString());
    EXPECT_FALSE(main.Modified());
    EXPECT_EQ(main.Target(), 8);
    EXPECT_TRUE(main.NewDocument()) << "a clean document is cleared without asking";
    EXPECT_TRUE(Prompts.Messages.empty());
    EXPECT_EQ(main.GccPath(), main.AppDir() + QStringLiteral("bin/avr-gcc"));
    EXPECT_EQ(main.ObjcopyPath(), main.AppDir() + QStringLiteral("bin/avr-objcopy"));
    EXPECT_TRUE(main.AppDir().endsWith(QLatin1Char('/')));
}

// Each answer, for a new document and for closing the window; Yes on a new document asks for a
// name first, and cancelling that dialog stops the New or the close as well.
TEST_F(MainWindow, SavePromptAnswersDecideWhatHappensToChanges)
{
    const struct
    {
        QMessageBox::StandardButton Answer;
        const char* SaveAs; // the name given in Save As, "" for cancelled, none if not asked
        bool GoesOn;
    } cases[] = {{QMessageBox::Cancel, nullptr, false},
                 {QMessageBox::Yes, "", false},
                 {QMessageBox::Yes, "b.c", true},
                 {QMessageBox::No, nullptr, true}};
    for (const auto& c : cases)
        for (const bool close : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.Answer << ' ' << c.SaveAs << ' ' << close);
            Prompts.Messages.clear();
            Prompts.SaveDialogs.clear();
            TMainFM& main = Window();
            main.show();
            Type(QStringLiteral("int b;\nint c;"));
            EXPECT_TRUE(main.Modified());
            EXPECT_EQ(main.StatusPanel(1), QStringLiteral("Geändert"));
            Prompts.Answers = {c.Answer};
            if (c.SaveAs)
                Prompts.SaveAnswers = {*c.SaveAs ? Dir.Path(c.SaveAs) : QString()};
            if (close)
                Action("ExitMI")->trigger();
            EXPECT_EQ(close ? !main.isVisible() : main.NewDocument(), c.GoesOn);
            ASSERT_EQ(Prompts.Messages.size(), 1u);
            ExpectSavePrompt(Prompts.Messages[0]);
            ASSERT_EQ(Prompts.SaveDialogs.size(), c.SaveAs ? 1u : 0u);
            if (c.SaveAs) {
                EXPECT_EQ(Prompts.SaveDialogs[0].FileName, QString());
            }
            if (c.SaveAs && *c.SaveAs) {
                EXPECT_EQ(TempDir::Read(Dir.Path(c.SaveAs)), QByteArray("int b;\r\nint c;"));
            }
            if (close && c.GoesOn)
                continue; // the window is gone
            EXPECT_EQ(main.Modified(), !c.GoesOn);
            EXPECT_EQ(main.Editor()->toPlainText(),
                      c.GoesOn ? QString() : QStringLiteral("int b;\nint c;"));
            EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - Neu"));
        }
}

TEST_F(MainWindow, LoadingAndSavingKeepNameCaptionAndCleanState)
{
    TMainFM& main = Window();
    const QString path = Dir.Write("blink.c", "int x;\r\n");
    main.LoadDocument(path);
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - ") + path);
    EXPECT_EQ(main.FileName(), path);
    EXPECT_FALSE(main.Modified()) << "loading changes the text but leaves the document clean";
    EXPECT_EQ(main.StatusPanel(1), QString());

    Dir.Write("blink.c", "changed elsewhere");
    Prompts.Answers = {QMessageBox::Yes}; // save over the other program's change
    Action("SaveMI")->trigger();
    EXPECT_EQ(TempDir::Read(path), QByteArray("int x;\r\n"))
        << "Save writes a named document even when it is clean";

    const QString other = Dir.Path("other.c");
    Prompts.SaveAnswers = {other};
    Action("SaveAsMI")->trigger();
    ASSERT_EQ(Prompts.SaveDialogs.size(), 1u);
    const FileDialogSpec& asked = Prompts.SaveDialogs[0];
    EXPECT_EQ(asked.FileName, path);
    EXPECT_EQ(asked.DefaultSuffix, QStringLiteral("c"));
    ASSERT_EQ(asked.Filters.size(), 2u);
    EXPECT_EQ(asked.Filters[0].Label, QStringLiteral("C - Dateien (*.c)"));
    EXPECT_EQ(asked.Filters[0].Pattern, QStringLiteral("*.c"));
    EXPECT_EQ(asked.Filters[1].Label, QStringLiteral("Alle Dateien"));
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - ") + other);
    EXPECT_EQ(TempDir::Read(other), QByteArray("int x;\r\n"));
}

// The caption once named "x.c" for a file "x[*].c": Qt drops "[*]" from captions.
TEST_F(MainWindow, TheCaptionShowsEveryPathAsItIs)
{
    TMainFM& main = Window();
    main.winId();
    for (const char* name : {"x[*].c", "[*][*]y.c", "[*]", "z[*"}) {
        SCOPED_TRACE(name);
        const QString path = Dir.Write(QString::fromUtf8(name), "int x;\r\n");
        main.LoadDocument(path);
        EXPECT_EQ(main.windowHandle()->title(), QStringLiteral("Quennor - ") + path);
    }
}

TEST_F(MainWindow, OpenAfterNoAndCancelledDialogKeepsTheChanges)
{
    TMainFM& main = Window();
    Type(QStringLiteral("unsaved"));
    Prompts.Answers = {QMessageBox::No};
    Prompts.OpenAnswers = {QString()};
    Action("OpenMI")->trigger();
    EXPECT_EQ(main.Editor()->toPlainText(), QStringLiteral("unsaved"));
    EXPECT_EQ(main.StatusPanel(1), QStringLiteral("Geändert"));
    ASSERT_EQ(Prompts.OpenDialogs.size(), 1u);
    EXPECT_EQ(Prompts.OpenDialogs[0].FileName, QString());
}

TEST_F(MainWindow, UnreadableFileShowsTheErrorAndKeepsTheDocument)
{
    TMainFM& main = Window();
    const QString path = Dir.Write("a.c", "int a;\r\n");
    main.LoadDocument(path);
    Type(QStringLiteral("// edit\n"));
    const QString missing = Dir.Path("missing.c");
    Prompts.Answers = {QMessageBox::No, QMessageBox::Ok};
    Prompts.OpenAnswers = {missing};
    Action("OpenMI")->trigger();

    ASSERT_EQ(Prompts.Messages.size(), 2u);
    const MessageSpec& error = Prompts.Messages[1];
    EXPECT_EQ(error.Text, QStringLiteral("Cannot open file ") + missing);
    EXPECT_EQ(error.Caption, QStringLiteral("Quennor"));
    EXPECT_EQ(error.Icon, QMessageBox::Critical);
    EXPECT_EQ(error.Buttons, QMessageBox::Ok);
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - ") + path);
    EXPECT_EQ(main.Editor()->toPlainText(), QStringLiteral("// edit\nint a;\n"));
    EXPECT_TRUE(main.Modified());
}

TEST_F(MainWindow, FailedSaveLeavesTheFileIntactAndTheDocumentChanged)
{
    TMainFM& main = Window();
    const QByteArray old = "int old;\r\n";
    const QString path = Dir.Write("a.c", old);
    main.show();
    main.LoadDocument(path);
    Type(QString(4000, QLatin1Char('x')));
    Prompts.Answers = {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Ok};
    {
        FileSizeLimit full(1000);
        Action("SaveMI")->trigger();
        EXPECT_FALSE(main.close()) << "a failed save in the close prompt keeps the window open";
    }
    ASSERT_EQ(Prompts.Messages.size(), 3u);
    EXPECT_EQ(Prompts.Messages[0].Text, QStringLiteral("Cannot create file ") + path);
    EXPECT_EQ(Prompts.Messages[0].Caption, QStringLiteral("Quennor"));
    ExpectSavePrompt(Prompts.Messages[1]);
    EXPECT_EQ(Prompts.Messages[2].Text, QStringLiteral("Cannot create file ") + path);
    EXPECT_EQ(TempDir::Read(path), old);
    EXPECT_TRUE(main.Modified());
    EXPECT_EQ(main.StatusPanel(1), QStringLiteral("Geändert"));
}

// Any bytes come back as they were but for the line ends, CR LF after saving; among them the
// characters the editor breaks lines at (U+2029, U+FDD0, U+FDD1) or shows as one (U+2028).
TEST_F(MainWindow, SourceBytesSurviveTheEditorUnchangedButForLineEnds)
{
    TMainFM& main = Window();
    const struct
    {
        QByteArray Loaded;
        int Lines;
        QByteArray Saved; // empty: as loaded
    } cases[] = {{"// Z\xE4hler\xA0und\tTab \x81\x9D\nint a;\rint b;\r\n", 4,
                  "// Z\xE4hler\xA0und\tTab \x81\x9D\r\nint a;\r\nint b;\r\n"},
                 {"\xEF\xBB\xBF// \xC3\xA4\xC2\xA0\xE2\x82\xAC\r\n", 2, {}},
                 {"", 1, {}},
                 {"// \xE2\x80\xA8 \xE2\x80\xA9 \xEF\xB7\x90 \xEF\xB7\x91 \xEF\xBF\xBC \xC2\xA0 "
                  "\xF0\x9F\x98\x80\r\nint x;\r\n",
                  3,
                  {}}};
    QString path;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Loaded.toStdString());
        path = Dir.Write(QStringLiteral("c.c"), c.Loaded);
        main.LoadDocument(path);
        EXPECT_EQ(main.Editor()->document()->blockCount(), c.Lines);
        main.SaveDocument();
        EXPECT_EQ(TempDir::Read(path), c.Saved.isEmpty() ? c.Loaded : c.Saved);
    }

    // Typed with Shift+Enter, a line separator shows as a line break and is saved as one.
    main.Editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(main.Editor(), Qt::Key_Return, Qt::ShiftModifier);
    main.SaveDocument();
    EXPECT_EQ(TempDir::Read(path), cases[3].Loaded + "\r\n");
}

// Qt's copy turned no-break spaces into blanks, so moving a line by cut and paste changed it.
TEST_F(MainWindow, CutAndPasteMoveTextWithoutChangingIt)
{
    TMainFM& main = Window();
    const QByteArray bytes = "// a\xC2\xA0"
                             "b \xE2\x80\xA8 \xE2\x80\xA9 \xEF\xB7\x90 \xEF\xB7\x91\tc\r\n"
                             "int x;\r\n";
    const QString path = Dir.Write("moved.c", bytes);
    main.LoadDocument(path);
    main.Editor()->selectAll();
    main.Editor()->cut();
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf8(bytes).replace(QLatin1String("\r\n"), QLatin1String("\n")))
        << "other programs get the file's characters";
    main.Editor()->paste();
    main.SaveDocument();
    EXPECT_EQ(TempDir::Read(path), bytes);

    SCOPED_TRACE("pasted from another program, the marks stay characters, not line breaks");
    QApplication::clipboard()->setText(QString::fromUtf8("x\u2028y\uFDD0z\u00A0"));
    main.Editor()->selectAll();
    main.Editor()->paste();
    main.SaveDocument();
    EXPECT_EQ(TempDir::Read(path), QByteArray("x\xE2\x80\xA8y\xEF\xB7\x90z\xC2\xA0"));
}

TEST_F(MainWindow, CaretPanelShowsLineAndColumnOfTheSelectionStart)
{
    TMainFM& main = Window();
    main.show();
    EXPECT_EQ(main.StatusPanel(0), QStringLiteral("1:  1 "));

    main.Editor()->setPlainText(QStringLiteral("a\nb\nc\nd\nefgh\nijk"));
    QTextCursor cursor = main.Editor()->textCursor();
    cursor.setPosition(8 + 3);
    main.Editor()->setTextCursor(cursor);
    EXPECT_EQ(main.StatusPanel(0), QStringLiteral("5:  4 "));

    cursor.setPosition(9);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    main.Editor()->setTextCursor(cursor);
    EXPECT_EQ(main.StatusPanel(0), QStringLiteral("2:  1 "))
        << "a backward selection shows its start";

    main.Listing()->setPlainText(QStringLiteral("listing\n\tline"));
    QTextCursor listing = main.Listing()->textCursor();
    listing.setPosition(10);
    main.Listing()->setTextCursor(listing);
    EXPECT_EQ(main.StatusPanel(0), QStringLiteral("2:  3 ")) << "a tab counts as one column";
    main.Editor()->setFocus();
    EXPECT_EQ(main.StatusPanel(0), QStringLiteral("2:  3 "));
}

// At line 833 107 the 65-pixel panel showed "3107:  36 ", cut off on its left.
TEST_F(MainWindow, CaretPanelIsWideEnoughForItsText)
{
    TMainFM& main = Window();
    main.show();
    QLabel* panel = main.statusBar()->findChildren<QLabel*>().value(0);
    QFont large = panel->font();
    large.setPixelSize(30);
    panel->setFont(large);
    main.Editor()->setPlainText(QString(999, QLatin1Char('\n')) + QStringLiteral("abc"));
    main.Editor()->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    EXPECT_EQ(panel->text(), QStringLiteral("1000:  4 "));
    EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text()));
}

TEST_F(MainWindow, TargetComesFromMenuChoiceAndFromTheDirectiveOnEveryLoad)
{
    TMainFM& main = Window();
    QAction* mega = Action("ATmega103MI");
    mega->trigger();
    EXPECT_EQ(main.Target(), 12);
    EXPECT_FALSE(main.Modified()) << "choosing a target never touches the text";

    const QString plain = Dir.Write("plain.c", "int main(void) { return 0; }\r\n");
    main.LoadDocument(plain);
    EXPECT_EQ(main.Target(), 12) << "no directive keeps the previous target";

    const QString tiny = Dir.Write("tiny.c", "//#TARGET AT90S2313\r\n");
    EXPECT_TRUE(main.LoadDocument(tiny));
    EXPECT_EQ(main.Target(), 1);
    QMenu* targets = Main->findChild<QMenu*>(QStringLiteral("TargetMI"));
    emit targets->aboutToShow();
    EXPECT_TRUE(Action("AT90S2313MI")->isChecked());
    EXPECT_FALSE(mega->isChecked());

    const QString unknown = Dir.Write("unknown.c", "//#TARGET unknown\r\n");
    EXPECT_TRUE(main.LoadDocument(unknown));
    EXPECT_EQ(main.Target(), 0);
    emit targets->aboutToShow();
    EXPECT_TRUE(Action("AT90S2313MI")->isChecked()) << "index 0 leaves the mark where it was";
}

TEST_F(MainWindow, StartUpLoadsOnlyTheFirstArgument)
{
    const QString first = Dir.Write("first.c", "//#TARGET ATtiny26\r\nint first;\r\n");
    const QString second = Dir.Write("second.c", "int second;\r\n");
    TMainFM& main = Window({first, second});
    main.show();
    EXPECT_EQ(main.FileName(), first);
    EXPECT_EQ(main.Target(), 11);
    EXPECT_EQ(main.Editor()->toPlainText(), QStringLiteral("//#TARGET ATtiny26\nint first;\n"));
    EXPECT_EQ(main.StatusPanel(0), QStringLiteral("1:  1 "));

    const QString current = QDir::currentPath();
    QDir::setCurrent(Dir.Path(""));
    TMainFM& relative = Window({QStringLiteral("second.c")});
    relative.show();
    QDir::setCurrent(current);
    EXPECT_EQ(relative.FileName(), second) << "a relative name is made absolute";
}

// A FIFO once blocked the window before it ever appeared.
TEST_F(MainWindow, StartUpWithAMissingFileOrAFifoOpensEmpty)
{
    const QString fifo = Dir.Path("pipe.c");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    for (const QString& path : {Dir.Path("gone.c"), fifo}) {
        SCOPED_TRACE(path.toStdString());
        Prompts.Messages.clear();
        Prompts.Answers = {QMessageBox::Ok};
        TMainFM& main = Window({path});
        main.show();
        EXPECT_TRUE(main.isVisible());
        ASSERT_EQ(Prompts.Messages.size(), 1u);
        EXPECT_EQ(Prompts.Messages[0].Text, QStringLiteral("Cannot open file ") + path);
        EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - Neu"));
        EXPECT_EQ(main.Editor()->toPlainText(), QString());
    }
}

TEST_F(MainWindow, ListingPaneStartsAt160PixelsAndTogglesThroughTheHiddenViewMenu)
{
    TMainFM& main = Window();
    main.show();
    EXPECT_EQ(main.Listing()->width(), 160);
    EXPECT_EQ(main.Messages()->height(), 100);
    for (const auto& [column, width] : {std::pair{0, 386}, {1, 150}, {2, 60}})
        EXPECT_EQ(main.Messages()->columnWidth(column), width) << column;
    QMenu* view = Main->findChild<QMenu*>(QStringLiteral("ViewMI"));
    EXPECT_FALSE(view->menuAction()->isVisible());
    EXPECT_FALSE(Action("ShowListingMI")->isVisible());

    // A collapsed pane keeps its widget's size but takes no room in the splitter.
    const auto paneWidth = [&] {
        return Main->findChild<QSplitter*>("SourceSP")->sizes()[1];
    };
    QAction* show = Action("ShowListingMI");
    show->trigger();
    EXPECT_EQ(paneWidth(), 0);
    emit view->aboutToShow();
    EXPECT_FALSE(show->isChecked());
    show->trigger();
    EXPECT_EQ(paneWidth(), (main.width() - 3) / 2);
    EXPECT_EQ(main.Listing()->width(), (main.width() - 3) / 2);
    emit view->aboutToShow();
    EXPECT_TRUE(show->isChecked());
}

// Only the listing collapses, and it opens again; the editor, the source area and the message
// list keep their 30 pixels however far their splitter is dragged.
TEST_F(MainWindow, DraggingASplitterHidesOnlyTheListing)
{
    TMainFM& main = Window();
    main.show();
    auto* source = main.findChild<QSplitter*>(QStringLiteral("SourceSP"));
    auto* messages = main.findChild<QSplitter*>(QStringLiteral("MessagesSP"));
    const struct
    {
        QSplitter* Splitter;
        int By;
        int Pane, Least, Most; // the size the pane ends with
    } drags[] = {
        {source, -1000, 0, 30, 30},   {source, 1000, 1, 0, 0},     {source, -300, 1, 290, 310},
        {messages, -1000, 0, 30, 30}, {messages, 1000, 1, 30, 30},
    };
    for (const auto& d : drags) {
        SCOPED_TRACE(d.Splitter->objectName().toStdString() + ' ' + std::to_string(d.By));
        QSplitterHandle* handle = d.Splitter->handle(1);
        const QPoint from = handle->rect().center();
        const QPoint to = from + (d.Splitter->orientation() == Qt::Horizontal ? QPoint(d.By, 0)
                                                                              : QPoint(0, d.By));
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QTest::mouseMove(handle, to);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
        EXPECT_GE(d.Splitter->sizes()[d.Pane], d.Least);
        EXPECT_LE(d.Splitter->sizes()[d.Pane], d.Most);
    }
}

TEST_F(MainWindow, ListingOptionAndPaneContents)
{
    TMainFM& main = Window();
    QMenu* project = Main->findChild<QMenu*>(QStringLiteral("ProjectMI"));
    QAction* option = Action("CreateListingMI");
    EXPECT_FALSE(main.CreateListing());
    option->trigger();
    emit project->aboutToShow();
    EXPECT_TRUE(main.CreateListing());
    EXPECT_TRUE(option->isChecked());

    const QString listing = Dir.Write("a.lst", "   1 0000 0FEF  ldi r16,0xff\r\n");
    main.LoadListing(listing);
    EXPECT_EQ(main.Listing()->toPlainText(), QStringLiteral("   1 0000 0FEF  ldi r16,0xff\n"));
    EXPECT_THROW(main.LoadListing(Dir.Path("none.lst")), std::exception);

    Prompts.OpenAnswers = {Dir.Write("b.c", "int b;\r\n")};
    Action("OpenMI")->trigger();
    EXPECT_EQ(main.Listing()->toPlainText(), QString()) << "opening a file empties the pane";
    EXPECT_TRUE(main.CreateListing()) << "the option stays as set";
}

TEST_F(MainWindow, MenusOfferTheirEntriesWithShortcuts)
{
    Window();
    QStringList menus;
    for (QAction* menu : Main->menuBar()->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions())
            if (!item->isSeparator())
                items << item->text() + ' ' + item->shortcut().toString(QKeySequence::PortableText);
        menus << menu->text() + ": " + items.join('|');
    }
    EXPECT_EQ(menus, QStringList({"&Datei: &Neu Ctrl+N|&Öffnen... Ctrl+O|&Speichern Ctrl+S|"
                                  "&Speichern unter... |&Binärdatei flashen... |&Beenden Alt+X",
                                  "&Bearbeiten: &Rückgängig Ctrl+Z|&Ausschneiden Ctrl+X|"
                                  "&Kopieren Ctrl+C|&Einfügen Ctrl+V|&Löschen Ctrl+Del|"
                                  "A&lles auswählen Ctrl+A|E&rsetzen... Ctrl+R|&Suchen... Ctrl+F|"
                                  "&Weitersuchen Ctrl+L|&Gehe zu Zeile... Ctrl+G",
                                  "&Projekt: &Kompilieren Ctrl+F9|Kompilieren && &Flashen F9|"
                                  "&Nächste Meldung F8|&Vorige Meldung Shift+F8|&Ziel |"
                                  "&Listing erzeugen ",
                                  "&Extras: Fuse Bits... ", "&Ansicht: &Listing-Fenster ",
                                  "&Hilfe: &Über... F1"}));

    QStringList targets;
    for (QAction* item : Main->findChild<QMenu*>(QStringLiteral("TargetMI"))->actions())
        targets << item->text() + (item->isChecked() ? "*" : "");
    EXPECT_EQ(targets, QStringList({"AT90S2313", "AT90S2323", "AT90S2333", "AT90S2343", "AT90S4414",
                                    "AT90S4433", "AT90S4434", "AT90S8515*", "AT90S8535", "ATtiny22",
                                    "ATtiny26", "ATmega103", "ATmega603"}));
}

// A screen reader saw unnamed text and tree controls, and "Speichern &unter...".
TEST_F(MainWindow, AScreenReaderNamesTheControlsAndMenuItems)
{
    TMainFM& main = Window();
    const std::pair<QWidget*, QString> controls[] = {
        {main.Editor(), "Quelltext"}, {main.Listing(), "Listing"}, {main.Messages(), "Meldungen"}};
    for (const auto& [control, name] : controls)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), name);
    QStringList names;
    for (QAction* menu : main.menuBar()->actions()) {
        const QAccessibleInterface* items = QAccessible::queryAccessibleInterface(menu->menu());
        for (int i = 0; i < items->childCount(); ++i)
            names << items->child(i)->text(QAccessible::Name);
    }
    EXPECT_EQ(names.filter(QRegularExpression(QStringLiteral("&\\w"))), QStringList());
}

// With About open, a screen reader pressed "Fuse Bits..." and a second modal dialog opened on
// top. While a modal dialog is open, no menu item acts.
TEST_F(MainWindow, NoMenuItemActsWhileAModalDialogIsOpen)
{
    TMainFM& main = Window();
    auto* about = new TAboutFM(&main);
    main.SetDialogs({nullptr, about, new TFuseBitsFM(&main, Prompts)});
    main.LoadDocument(Dir.Write("a.c", "int a;\r\n"));
    Type(QStringLiteral("x")); // so that a recent file's entry would ask to save
    QAction* recent = main.findChild<QMenu*>(QStringLiteral("FileMI"))->actions().last();
    QStringList onTop; // each closed again, so that the test goes on
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* top = QApplication::activeModalWidget();
        if (top && top != about)
            onTop << top->objectName() << QString::number(top->close());
    });
    closer.start(20);
    QTimer::singleShot(0, about, [&] {
        for (QAction* item : {Action("FuseBitsMI"), Action("FlashBinMI"), recent}) {
            auto* menu = qobject_cast<QMenu*>(item->associatedObjects().value(0));
            QAccessible::queryAccessibleInterface(menu)
                ->child(int(menu->actions().indexOf(item)))
                ->actionInterface()
                ->doAction(QAccessibleActionInterface::pressAction());
        }
        about->reject();
    });
    Action("AboutMI")->trigger();
    EXPECT_EQ(onTop, QStringList());
}

TEST_F(MainWindow, EditActionsFollowTheFocusedControl)
{
    TMainFM& main = Window();
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    main.Editor()->setPlainText(QStringLiteral("alpha beta gamma"));
    main.Listing()->setPlainText(QStringLiteral("listing"));

    main.Editor()->setFocus();
    QTextCursor cursor = main.Editor()->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(11, QTextCursor::KeepAnchor);
    main.Editor()->setTextCursor(cursor);
    EXPECT_TRUE(Action("EditCutAC")->isEnabled());
    EXPECT_TRUE(Action("EditDeleteAC")->isEnabled());
    EXPECT_TRUE(Action("ReplaceAC")->isEnabled());
    QTest::keyClick(main.Editor(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(main.Editor()->toPlainText(), QStringLiteral("alpha gamma"))
        << "Ctrl+Del deletes the selection, not a word";

    main.Listing()->setFocus();
    main.Listing()->selectAll();
    EXPECT_EQ(main.ActiveControl(), main.Listing());
    EXPECT_TRUE(Action("EditCopyAC")->isEnabled());
    EXPECT_FALSE(Action("EditCutAC")->isEnabled());
    EXPECT_FALSE(Action("EditPasteAC")->isEnabled());
    EXPECT_FALSE(Action("EditDeleteAC")->isEnabled());
    EXPECT_TRUE(Action("FindAC")->isEnabled());
    EXPECT_FALSE(Action("ReplaceAC")->isEnabled());

    main.Messages()->setFocus();
    for (const char* name : {"EditUndoAC", "EditCutAC", "EditCopyAC", "EditPasteAC", "EditDeleteAC",
                             "EditSelectAllAC", "FindAC", "FindNextAC", "ReplaceAC"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
}

TEST_F(MainWindow, FlashingABinaryLeavesTheDocumentAloneAndUsesTheChosenTarget)
{
    BoardSim board({"--chip", "ATtiny26"});
    board.MapAsPort(1);
    TMainFM& main = Window();
    auto* flash = new TFlashFM(&main, Prompts);
    main.SetDialogs({flash, nullptr, nullptr});
    Type(QStringLiteral("unsaved"));

    Prompts.OpenAnswers = {QString()};
    Action("FlashBinMI")->trigger();
    ASSERT_EQ(Prompts.OpenDialogs.size(), 1u);
    const FileDialogSpec& asked = Prompts.OpenDialogs[0];
    ASSERT_EQ(asked.Filters.size(), 2u);
    EXPECT_EQ(asked.Filters[0].Label + '|' + asked.Filters[0].Pattern,
              QStringLiteral("Binärdateien (*.bin *.hex)|*.bin *.hex"));
    EXPECT_EQ(asked.Filters[1].Label + '|' + asked.Filters[1].Pattern,
              QStringLiteral("Alle Dateien|*.*"));
    EXPECT_TRUE(board.Frames().isEmpty()) << "cancelled: no board search";

    const QByteArray image("\x01\x02\x03\x04\x05\x06", 6);
    Prompts.OpenAnswers = {Dir.Write(QStringLiteral("any.bin"), image)};
    // The main window's target differs from the chip on the board.
    Prompts.Answers = {QMessageBox::Yes};
    Action("FlashBinMI")->trigger();
    ASSERT_EQ(Prompts.Messages.size(), 1u);
    EXPECT_TRUE(Prompts.Messages[0].Text.startsWith(QStringLiteral("Gefundener Prozessor")));
    EXPECT_FALSE(flash->isVisible());
    const std::vector<std::uint16_t> chip = board.Flash();
    EXPECT_EQ(chip.at(0), 0x0201);
    EXPECT_EQ(chip.at(2), 0x0605);
    EXPECT_TRUE(main.Modified()) << "the document is neither saved nor built";
    EXPECT_EQ(main.windowTitle(), QStringLiteral("Quennor - Neu"));
}

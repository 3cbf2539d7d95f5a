#include "app/main.h"

#include <tuple>
#include <utility>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/backupcopies.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"

namespace {

const QString Changed = QStringLiteral("Die Datei %1 wurde außerhalb von Quennor geändert. ");
const QString Reload =
    Changed + QStringLiteral("Neu laden und die Änderungen in Quennor verwerfen?");
const QString AsUtf8 = QStringLiteral(
    "Die Datei enthält Zeichen, die es in Windows-1252 nicht gibt. Als UTF-8 speichern? Umlaute "
    "und Sonderzeichen ändern dann ihre Bytes.");
constexpr auto NotAsked = QMessageBox::NoButton;

// A shown main window whose file other programs change. Each row of a table loads its own file.
class Document : public ::testing::Test
{
protected:
    void SetUp() override { Main.show(); }
    void TearDown() override { EXPECT_TRUE(Prompts.Answers.empty()) << "an answer was not used"; }

    QString Load(const QByteArray& bytes, QMessageBox::StandardButton answer)
    {
        const QString path = Dir.Write(QStringLiteral("c.c"), bytes);
        Main.LoadDocument(path);
        Prompts.Messages.clear();
        if (answer != NotAsked)
            Prompts.Answers = {answer};
        return path;
    }

    // The user comes back from another program.
    void Reactivate()
    {
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        QApplication::setActiveWindow(&Main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main));
        QApplication::processEvents();
    }

    // Whether the question was the one asked since the last call.
    bool Asked(const QString& question)
    {
        const std::vector<MessageSpec> asked = std::exchange(Prompts.Messages, {});
        for (const MessageSpec& box : asked)
            EXPECT_EQ(std::tie(box.Text, box.Caption, box.Buttons, box.Icon),
                      std::tuple(question, QStringLiteral("Warnung"),
                                 QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No),
                                 QMessageBox::Warning));
        return asked.size() == 1;
    }

    ConfigHome Config;
    TempDir Dir;
    StateHome State{Dir.Path(QStringLiteral("state"))};
    ScriptedPrompts Prompts;
    TMainFM Main{Prompts, {}};
};

} // namespace

// Another program appended a line; saving over it once lost that line without a word.
TEST_F(Document, SavingOverAnotherProgramsChangeAsksFirst)
{
    const struct
    {
        QByteArray Outside; // appended by another program; "-" deletes the file
        QMessageBox::StandardButton Answer;
        QByteArray Saved;
    } cases[] = {{"", NotAsked, "typed a;\n"},
                 {"b;\n", QMessageBox::No, "a;\nb;\n"},
                 {"b;\n", QMessageBox::Yes, "typed a;\n"},
                 {"-", QMessageBox::Yes, "typed a;\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Outside.toStdString() + std::to_string(c.Answer));
        const QString path = Load("a;\n", c.Answer);
        QFile file(path);
        ASSERT_TRUE(c.Outside == "-" ? file.remove()
                                     : file.open(QIODevice::Append) &&
                                           file.write(c.Outside) == c.Outside.size());
        file.close();
        Main.Editor()->insertPlainText(QStringLiteral("typed "));
        EXPECT_EQ(Main.SaveDocument(), c.Answer != QMessageBox::No);
        EXPECT_EQ(Asked(Changed.arg(path) + QStringLiteral("Trotzdem speichern?")),
                  c.Answer != NotAsked);
        EXPECT_EQ(TempDir::Read(path), c.Saved);
        EXPECT_EQ(Main.Modified(), c.Answer == QMessageBox::No);
        if (!Main.Modified()) {
            EXPECT_TRUE(Main.SaveDocument()) << "a saved file is the window's own: no question";
        }
    }
}

// The user was in a shell and comes back: an unchanged document follows the file on disk, a
// changed one only when the user agrees, and each change is asked about once.
TEST_F(Document, ComingBackReloadsWhatAnotherProgramChanged)
{
    const struct
    {
        bool Modified;
        QMessageBox::StandardButton Answer;
    } cases[] = {{false, NotAsked}, {true, QMessageBox::Yes}, {true, QMessageBox::No}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer);
        const QString path = Load("1\n2\n3\n", c.Answer);
        TMainFM::GotoLine(Main.Editor(), 2);
        if (c.Modified)
            Main.Editor()->insertPlainText(QStringLiteral("x"));
        Reactivate();
        EXPECT_TRUE(Prompts.Messages.empty()) << "nothing changed yet";
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append) && file.write("4\n") == 2);
        file.close();
        Reactivate();
        Reactivate();
        EXPECT_EQ(Asked(Reload.arg(path)), c.Answer != NotAsked);
        const bool reloaded = c.Answer != QMessageBox::No;
        EXPECT_EQ(Main.Editor()->toPlainText() == QStringLiteral("1\n2\n3\n4\n"), reloaded);
        EXPECT_EQ(Main.Modified(), !reloaded);
        EXPECT_EQ(Main.Editor()->textCursor().blockNumber(), 1) << "the caret stays on its line";
    }
}

// The change was found while a dialog was open (the user came back and at once pressed a key
// that opened one): the question came over the dialog, and a reload over a question of the
// save would have written the text from before it.
TEST_F(Document, ComingBackWhileADialogIsOpenAsksOnceItIsClosed)
{
    const QString path = Load("1\n", QMessageBox::Yes);
    Main.Editor()->insertPlainText(QStringLiteral("x"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append) && file.write("2\n") == 2);
    file.close();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QApplication::setActiveWindow(&Main);
    QDialog dialog(&Main);
    dialog.setModal(true);
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(Prompts.Messages.empty()) << "asked over the open dialog";
    dialog.close();
    Reactivate();
    EXPECT_TRUE(Asked(Reload.arg(path)));
    EXPECT_EQ(Main.Editor()->toPlainText(), QStringLiteral("1\n2\n"));
}

// One arrow typed into a comment once turned the file's degree signs into two bytes each, and a
// save without edits turned LF into CR LF.
TEST_F(Document, SavingKeepsTheFilesBytesOrAsksBeforeChangingThem)
{
    const struct
    {
        QByteArray Loaded;
        QMessageBox::StandardButton Answer;
        QByteArray Saved;
    } cases[] = {
        {"a\nb\n", NotAsked, "// \xE2\x86\x92\na\nb\n"},
        {"\"\xB0\"\r\n", QMessageBox::No, "\"\xB0\"\r\n"},
        {"\"\xB0\"\r\n", QMessageBox::Yes, "// \xE2\x86\x92\r\n\"\xC2\xB0\"\r\n"},
        {"\xC2\xB0\r\n", NotAsked, "// \xE2\x86\x92\r\n\xC2\xB0\r\n"}, // UTF-8 already
        {"a\r\n", NotAsked, "// \xE2\x86\x92\r\na\r\n"},               // plain ASCII
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Loaded.toStdString());
        const QString path = Load(c.Loaded, c.Answer);
        Main.Editor()->insertPlainText(QStringLiteral("// →\n"));
        EXPECT_EQ(Main.SaveDocument(), c.Answer != QMessageBox::No);
        EXPECT_EQ(Asked(AsUtf8), c.Answer != NotAsked);
        EXPECT_EQ(TempDir::Read(path), c.Saved);
    }
}

// A crash while a file was written in place once left its old contents in the state folder
// without a word.
TEST_F(Document, OpeningAFileTellsOfTheCopyACutOffSaveLeft)
{
    const QString path = Dir.Write(QStringLiteral("c.c"), "new");
    const std::optional<QString> copy = BackupCopies::Make(path, "old");
    ASSERT_TRUE(copy);
    Main.LoadDocument(Dir.Write(QStringLiteral("d.c"), "d"));
    Prompts.Answers = {QMessageBox::Ok};
    Main.LoadDocument(path);
    Main.LoadDocument(path);
    ASSERT_EQ(Prompts.Messages.size(), 1u) << "once a run, for the file the copy belongs to";
    const MessageSpec& told = Prompts.Messages[0];
    EXPECT_EQ(told.Text, QStringLiteral("Ein Speichern von %1 wurde abgebrochen. Der Inhalt der "
                                        "Datei vor diesem Speichern liegt in:\n%2")
                             .arg(path, *copy));
    EXPECT_EQ(std::tie(told.Caption, told.Buttons, told.Icon),
              std::tuple(QStringLiteral("Information"),
                         QMessageBox::StandardButtons(QMessageBox::Ok), QMessageBox::Information));
}

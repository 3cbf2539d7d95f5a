#include "dialogs/qtprompts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include "support/qtprinters.h"
#include "support/scriptedprompts.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

#include "app/application.h"

namespace {

QStringList ButtonTexts(const QMessageBox& box)
{
    QStringList texts;
    for (const auto button :
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok})
        if (const QAbstractButton* shown = box.button(button))
            texts << shown->text();
    return texts;
}

} // namespace

TEST(QtPrompts, MessageBoxesSpeakGermanAndKeepTheirCaption)
{
    SetUpApplication(*qApp);
    const auto box = QtPrompts::MakeMessageBox(
        {QStringLiteral("Datei ist nicht gespeichert. Jetzt speichern?"), QStringLiteral("Warnung"),
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning});
    EXPECT_EQ(ButtonTexts(*box), QStringList({"&Ja", "&Nein", "Abbrechen"}));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Warnung"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::Cancel))
        << "closing the box without a choice cancels";
}

// A file name is text, whatever it looks like: "<b>big</b>.c" was shown as a bold "big.c".
TEST(QtPrompts, MessageBoxesShowFileNamesAsTheyAre)
{
    for (const char* name : {"/tmp/<b>big</b>.c", "/tmp/a&lt;b.c", "/tmp/<img src=x.png>.c"}) {
        SCOPED_TRACE(name);
        const QString text = QStringLiteral("Cannot open file ") + QString::fromUtf8(name);
        const auto box = QtPrompts::MakeMessageBox({text, QStringLiteral("Quennor")});
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

// The chip question was centred over the flash dialog and hid the lines it asks about.
TEST(QtPrompts, AQuestionBesideItsOwnerLeavesTheOwnerInSight)
{
    QWidget owner;
    owner.resize(440, 170);
    for (const int top : {60, 400}) { // below the owner, and above it at the screen's foot
        SCOPED_TRACE(top);
        owner.move(180, top);
        owner.show();
        const auto box = QtPrompts::MakeMessageBox(
            {QStringLiteral("Trotzdem flashen?"), QStringLiteral("Warnung"),
             QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, &owner, true});
        box->show();
        EXPECT_FALSE(box->frameGeometry().intersects(owner.frameGeometry()));
        EXPECT_TRUE(owner.screen()->availableGeometry().contains(box->frameGeometry()));
    }
}

TEST(QtPrompts, FileTypeListShowsTheLabelsExactly)
{
    ScriptedPrompts prompts;
    const auto dialog = QtPrompts::MakeFileDialog(
        {{{QStringLiteral("C - Dateien (*.c)"), QStringLiteral("*.c")},
          {QStringLiteral("Alle Dateien"), QStringLiteral("*.*")},
          {QStringLiteral("Binärdateien (*.bin)"), QStringLiteral("*.bin")}},
         {},
         QStringLiteral("c")},
        true, prompts);
    const auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i)
        shown << types->itemText(i);
    EXPECT_EQ(shown, QStringList({"C - Dateien (*.c)", "Alle Dateien", "Binärdateien (*.bin)"}));
    EXPECT_EQ(dialog->nameFilters(), QStringList({"C - Dateien (*.c) (*.c)", "Alle Dateien (*)",
                                                  "Binärdateien (*.bin) (*.bin)"}))
        << "\"*.*\" lists every file, also names without a dot";
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("c"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
}

namespace {

// Types a name into the save dialog and clicks Save; true when the dialog took it. A question
// whether to overwrite counts as taken, but is noted.
bool Choose(QFileDialog& dialog, const QString& name, bool* askedToOverwrite = nullptr)
{
    bool taken = false;
    const auto connection =
        QObject::connect(&dialog, &QDialog::accepted, [&taken] { taken = true; });
    QTimer::singleShot(0, &dialog, [askedToOverwrite] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            if (askedToOverwrite)
                *askedToOverwrite = true;
            box->close();
        }
    });
    dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
    QObject::disconnect(connection);
    return taken;
}

void ExpectRefusal(const ScriptedPrompts& prompts, const QString& text)
{
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text, text);
    EXPECT_EQ(prompts.Messages[0].Caption, QStringLiteral("Speichern unter"));
    EXPECT_EQ(prompts.Messages[0].Buttons, QMessageBox::Ok);
    EXPECT_EQ(prompts.Messages[0].Icon, QMessageBox::Warning);
}

} // namespace

TEST(QtPrompts, SaveDialogRefusesAFolderThatDoesNotExist)
{
    TempDir dir;
    ScriptedPrompts prompts;
    const auto dialog = QtPrompts::MakeFileDialog({{}, {}, QStringLiteral("c")}, true, prompts);
    dialog->setDirectory(dir.Path(""));
    prompts.Answers = {QMessageBox::Ok};
    EXPECT_FALSE(Choose(*dialog, QStringLiteral("nowhere/blink")));
    ExpectRefusal(prompts,
                  dir.Path("nowhere/blink.c") +
                      QStringLiteral("\nDer Ordner existiert nicht. Bitte einen vorhandenen Ordner "
                                     "wählen."));
    EXPECT_TRUE(Choose(*dialog, QStringLiteral("blink")));
    EXPECT_EQ(dialog->selectedFiles(), QStringList{dir.Path("blink.c")});
}

// Root may write any file, so the read-only case runs as another user.
TEST(QtPrompts, SaveDialogRefusesAReadOnlyFileBeforeAskingToOverwrite)
{
    if (!Unprivileged::InChild()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "a file the user cannot write needs another owner";
        TempDir dir;
        ::chmod(QFile::encodeName(dir.Path("")).constData(), 0755);
        const QString locked = dir.Write(QStringLiteral("locked.c"), "int x;\r\n");
        ::chmod(QFile::encodeName(locked).constData(), 0444);
        Unprivileged::RunAsNobody(dir.Path(""));
        return;
    }
    ScriptedPrompts prompts;
    const auto dialog = QtPrompts::MakeFileDialog({{}, {}, QStringLiteral("c")}, true, prompts);
    dialog->setDirectory(Unprivileged::Fixture());
    prompts.Answers = {QMessageBox::Ok};
    bool asked = false;
    EXPECT_FALSE(Choose(*dialog, QStringLiteral("locked.c"), &asked));
    EXPECT_FALSE(asked) << "refused before the question whether to overwrite";
    ExpectRefusal(prompts, QDir(Unprivileged::Fixture()).filePath(QStringLiteral("locked.c")) +
                               QStringLiteral("\nDie Datei ist schreibgeschützt. Bitte einen "
                                              "anderen Namen wählen."));
}

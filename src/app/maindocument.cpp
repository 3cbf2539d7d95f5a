// The main window's document: its name, its changed state, loading and saving.
#include "app/main.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "app/regmru.h"
#include "dialogs/prompts.h"
#include "editor/documenttext.h"
#include "editor/sourceedit.h"
#include "editor/targetdirective.h"
#include "platform/backupcopies.h"

namespace {

const std::vector<FileFilter> SourceFilters{{QStringLiteral("C - Dateien (*.c)"), "*.c"},
                                            {QStringLiteral("Alle Dateien"), "*.*"}};

const QString ChangedOutside =
    QStringLiteral("Die Datei %1 wurde außerhalb von Quennor geändert. Trotzdem speichern?");
const QString ReloadChanged = QStringLiteral("Die Datei %1 wurde außerhalb von Quennor geändert. "
                                             "Neu laden und die Änderungen in Quennor verwerfen?");
const QString AsUtf8 = QStringLiteral(
    "Die Datei enthält Zeichen, die es in Windows-1252 nicht gibt. Als UTF-8 speichern? Umlaute "
    "und Sonderzeichen ändern dann ihre Bytes.");
const QString CopyLeft = QStringLiteral("Ein Speichern von %1 wurde abgebrochen. Der Inhalt der "
                                        "Datei vor diesem Speichern liegt in:\n%2");

} // namespace

void TMainFM::SetFileName(const QString& path)
{
    FFileName = path;
    QString caption =
        path.isEmpty() ? QStringLiteral("Quennor - Neu") : QStringLiteral("Quennor - ") + path;
    // Qt takes "[*]" in a caption for the place of a modified mark and drops it, so a file
    // "x[*].c" would be shown as "x.c"; doubled, it shows as written.
    setWindowTitle(caption.replace(QLatin1String("[*]"), QLatin1String("[*][*]")));
}

void TMainFM::SetModified(bool flag)
{
    FModified = flag;
    MainSBPanels[1]->setText(flag ? QStringLiteral("Geändert") : QString());
}

QString TMainFM::EditorText() const
{
    return DocumentText(*EditorRE->document());
}

bool TMainFM::QuerySave()
{
    if (!FModified)
        return true;
    const auto answer = FPrompts.Message(
        {QStringLiteral("Datei ist nicht gespeichert. Jetzt speichern?"), QStringLiteral("Warnung"),
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning, this});
    if (answer == QMessageBox::Yes)
        return SaveDocument();
    return answer == QMessageBox::No;
}

bool TMainFM::NewDocument()
{
    if (!QuerySave())
        return false;
    ClearListing();
    EditorRE->clear();
    Source()->ClearMessageMarks();
    FFormat = {};
    FStamp.reset();
    FToldStamp.reset();
    SetFileName({});
    SetModified(false);
    return true;
}

void TMainFM::OpenDocument()
{
    if (!QuerySave())
        return;
    const QString path = FPrompts.OpenFileName({SourceFilters, {}, {}, this});
    if (path.isEmpty())
        return;
    ClearListing();
    LoadDocument(path);
}

bool TMainFM::LoadDocument(const QString& path)
{
    // Read before taking the name, so the caption never names a file whose text is not shown.
    TextFileContents contents = ReadTextFile(path);
    SetFileName(path);
    EditorRE->setPlainText(ToDocument(contents.Text));
    Source()->ClearMessageMarks();
    FFormat = contents.Format;
    FStamp = contents.Stamp;
    FToldStamp.reset();
    SetModified(false);
    MainMRU->AddItem(path);
    ReportBackupCopies(path);
    return ParseTargetDirective();
}

// Untouched lines keep their bytes unless the user agrees that the whole file becomes UTF-8.
bool TMainFM::WriteDocument()
{
    const QString text = EditorText();
    std::optional<QByteArray> bytes = EncodeText(text, FFormat);
    if (!bytes) {
        if (!Ask(AsUtf8))
            return false;
        FFormat.Encoding = TextEncoding::Utf8;
        bytes = EncodeText(text, FFormat);
    }
    FStamp = WriteFileContents(FFileName, *bytes);
    FToldStamp.reset();
    SetModified(false);
    MainMRU->AddItem(FFileName);
    return true;
}

bool TMainFM::SaveDocumentAs()
{
    const QString path =
        FPrompts.SaveFileName({SourceFilters, FFileName, QStringLiteral("c"), this});
    if (path.isEmpty())
        return false;
    SetFileName(path);
    // The dialog has asked before replacing another file.
    FStamp.reset();
    return WriteDocument();
}

bool TMainFM::SaveDocument()
{
    if (FFileName.isEmpty())
        return SaveDocumentAs();
    if (ChangedOnDisk()) {
        FToldStamp = StampOf(FFileName);
        if (!Ask(ChangedOutside.arg(FFileName)))
            return false;
    }
    return WriteDocument();
}

bool TMainFM::Ask(const QString& question)
{
    return FPrompts.Message({question, QStringLiteral("Warnung"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, this}) ==
           QMessageBox::Yes;
}

// Size, modification time or the file itself (a program that saves by replacing) differ from
// what was loaded or written last; a file that is gone has changed as well.
bool TMainFM::ChangedOnDisk() const
{
    return FStamp && StampOf(FFileName) != FStamp;
}

// Another program may have changed the file while the user was elsewhere: an unchanged document
// follows it at once, a changed one only when the user agrees. Each change is asked about once.
// While a dialog or question is open nothing happens: a reload under a question of the save
// would leave the file with the text from before it. The window is activated again once the
// dialog closes.
void TMainFM::FormActivate()
{
    if (FBuilding || !FStamp || QApplication::activeModalWidget())
        return;
    const std::optional<FileStamp> now = StampOf(FFileName);
    if (!now || now == FStamp || now == FToldStamp)
        return;
    FToldStamp = now;
    if (FModified && !Ask(ReloadChanged.arg(FFileName)))
        return;
    ReloadDocument();
}

void TMainFM::ReloadDocument()
{
    const int line = EditorRE->textCursor().blockNumber() + 1;
    LoadDocument(FFileName);
    GotoLine(EditorRE, line);
}

// A copy that a cut-off save left behind is named once per run, when its file is opened.
void TMainFM::ReportBackupCopies(const QString& path)
{
    QStringList copies;
    for (const QString& copy : BackupCopies::Of(path))
        if (!FToldCopies.contains(copy))
            copies << copy;
    if (copies.isEmpty())
        return;
    FToldCopies += copies;
    FPrompts.Message({CopyLeft.arg(path, copies.join(QLatin1Char('\n'))),
                      QStringLiteral("Information"), QMessageBox::Ok, QMessageBox::Information,
                      this});
}

bool TMainFM::ParseTargetDirective()
{
    const auto target = TargetDirective(EditorText());
    if (target)
        FTarget = std::int8_t(*target);
    return target.has_value();
}

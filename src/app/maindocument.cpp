// The main window's document: its name, its changed state, loading and saving.
#include "app/main.h"

#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "app/regmru.h"
#include "dialogs/prompts.h"
#include "editor/documenttext.h"
#include "editor/sourceedit.h"
#include "editor/targetdirective.h"

namespace {

const std::vector<FileFilter> SourceFilters{{QStringLiteral("C - Dateien (*.c)"), "*.c"},
                                            {QStringLiteral("Alle Dateien"), "*.*"}};

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
    FEncoding = TextEncoding::Utf8;
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
    FEncoding = contents.Encoding;
    SetModified(false);
    MainMRU->AddItem(path);
    return ParseTargetDirective();
}

void TMainFM::WriteDocument()
{
    FEncoding = WriteTextFile(FFileName, EditorText(), FEncoding);
    SetModified(false);
    MainMRU->AddItem(FFileName);
}

bool TMainFM::SaveDocumentAs()
{
    const QString path =
        FPrompts.SaveFileName({SourceFilters, FFileName, QStringLiteral("c"), this});
    if (path.isEmpty())
        return false;
    SetFileName(path);
    WriteDocument();
    return true;
}

bool TMainFM::SaveDocument()
{
    if (FFileName.isEmpty())
        return SaveDocumentAs();
    WriteDocument();
    return true;
}

bool TMainFM::ParseTargetDirective()
{
    const auto target = TargetDirective(EditorText());
    if (target)
        FTarget = std::int8_t(*target);
    return target.has_value();
}

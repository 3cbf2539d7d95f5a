// The main window's search and replace handlers.
#include "app/main.h"

#include <algorithm>
#include <limits>

#include <QPlainTextEdit>

#include "app/finddialog.h"
#include "dialogs/prompts.h"
#include "editor/documenttext.h"
#include "editor/textsearch.h"

void TMainFM::ShowFindDialog(FindDialog* dialog)
{
    QPlainTextEdit* control = ActiveTextControl();
    if (!control)
        return;
    if (!dialog->isVisible())
        dialog->SetSearchText(FromDocument(control->textCursor().selectedText()));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TMainFM::FindNextACExecute()
{
    if (QPlainTextEdit* control = ActiveTextControl(); control && !MainFD->SearchText().isEmpty())
        SearchNext(control, *MainFD);
}

// Works on the text control in use, as the search does; the field takes any positive number, and
// one past the end goes to the last line.
void TMainFM::GotoLineACExecute()
{
    QPlainTextEdit* control = ActiveTextControl() ? ActiveTextControl() : EditorRE;
    const int lines = control->document()->blockCount();
    const std::optional<int> line = FPrompts.Number(
        {QStringLiteral("Zeilennummer (1 bis %1):").arg(lines), QStringLiteral("Gehe zu Zeile"),
         control->textCursor().blockNumber() + 1, 1, std::numeric_limits<int>::max(), this});
    if (line)
        GotoLine(control, std::clamp(*line, 1, lines));
}

void TMainFM::MainFDFindAndClose()
{
    MainFD->hide();
    MainFDFind(MainFD);
}

void TMainFM::MainFDFind(FindDialog* sender)
{
    if (QPlainTextEdit* control = ActiveTextControl(); control && sender)
        SearchNext(control, *sender);
}

SearchOptions TMainFM::Options(const FindDialog& dialog)
{
    return {ToDocument(dialog.SearchText()), dialog.WholeWord(), dialog.MatchCase()};
}

void TMainFM::SearchNext(QPlainTextEdit* control, const FindDialog& dialog)
{
    QTextCursor caret = control->textCursor();
    caret.setPosition(caret.selectionEnd());
    const QTextCursor match = FindForward(*control->document(), caret.position(), Options(dialog));
    ShowSearchResult(control, match.isNull() ? caret : match);
}

void TMainFM::ShowSearchResult(QPlainTextEdit* control, const QTextCursor& result)
{
    control->setTextCursor(result);
    control->ensureCursorVisible();
    if (!result.hasSelection())
        FPrompts.Message({QStringLiteral("Keine weiteren Vorkommen."),
                          QStringLiteral("Information"), QMessageBox::Ok, QMessageBox::NoIcon,
                          nullptr});
}

void TMainFM::MainRDReplace(FindDialog* sender, bool all)
{
    QPlainTextEdit* control = ActiveTextControl();
    if (!control || control->isReadOnly() || sender != MainRD)
        return;
    ShowSearchResult(control, ReplaceAndFind(control->textCursor(), Options(*sender),
                                             ToDocument(sender->ReplaceText()), all));
}

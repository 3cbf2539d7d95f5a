// Replace-all in two shapes, each at two sizes in one run: 20 000 and 40 000 hits spread over as
// many lines (1 and 2 MB), and the same hits on one single line (120 000 and 240 000
// characters). Prints the times, the ratio for the doubled size (linear growth gives about 2)
// and whether one undo restores the text.
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include "app/finddialog.h"
#include "app/main.h"
#include "support/scriptedprompts.h"
#include "support/testenvironment.h"

namespace {

QString Repeated(const QString& piece, int count)
{
    QString text;
    text.reserve(count * piece.size());
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

QString ManyLines(int hits)
{
    return Repeated(QStringLiteral("    total += 1; /* add one more tick to the sum */\n"), hits);
}

QString OneLine(int hits)
{
    return Repeated(QStringLiteral("total "), hits);
}

struct Result
{
    double Seconds = 0;
    bool UndoRestores = false;
};

Result ReplaceAll(TMainFM& window, ScriptedPrompts& prompts, const QString& text, int hits)
{
    window.Editor()->setPlainText(text);
    window.Editor()->setFocus();
    FindDialog& dialog = *window.ReplaceDialogRD();
    dialog.SetSearchText(QStringLiteral("total"));
    dialog.SetReplaceText(QStringLiteral("grand_total"));
    prompts.Answers = {QMessageBox::Ok};
    QElapsedTimer timer;
    timer.start();
    emit dialog.Replace(true);
    QApplication::processEvents();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const bool replaced =
        window.Editor()->toPlainText().count(QStringLiteral("grand_total")) == hits;
    window.Editor()->undo();
    return {replaced ? seconds : -1, window.Editor()->toPlainText() == text};
}

void Report(const char* shape, TMainFM& window, ScriptedPrompts& prompts, QString (*source)(int))
{
    const Result small = ReplaceAll(window, prompts, source(20000), 20000);
    const Result large = ReplaceAll(window, prompts, source(40000), 40000);
    std::printf("%s, 20000 hits: %.3f s (undo restores: %s)\n", shape, small.Seconds,
                small.UndoRestores ? "yes" : "no");
    std::printf("%s, 40000 hits: %.3f s (undo restores: %s)\n", shape, large.Seconds,
                large.UndoRestores ? "yes" : "no");
    std::printf("%s, ratio 40000 / 20000 hits: %.2f (linear: 2.00)\n", shape,
                large.Seconds / small.Seconds);
}

} // namespace

int main(int argc, char* argv[])
{
    const auto userFolders = IsolateUserFolders();
    QApplication application(argc, argv);
    ScriptedPrompts prompts;
    TMainFM window(prompts, {});
    window.show();
    QApplication::setActiveWindow(&window);

    Report("many lines (1 and 2 MB)", window, prompts, ManyLines);
    Report("one line (120000 and 240000 characters)", window, prompts, OneLine);
    std::printf("limits: many lines 2.20, one line 2.50\n");
    return 0;
}

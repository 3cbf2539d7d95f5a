// Replace-all on a 1 MB source with 20 000 hits and a 2 MB source with 40 000 hits, in one
// run: prints both times, their ratio (linear growth gives about 2) and whether one undo
// restores the text.
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include "app/finddialog.h"
#include "app/main.h"
#include "support/scriptedprompts.h"

namespace {

QString Source(int hits)
{
    const QString line = QStringLiteral("    total += 1; /* add one more tick to the sum */\n");
    QString text;
    text.reserve(hits * line.size());
    for (int i = 0; i < hits; ++i)
        text += line;
    return text;
}

struct Result
{
    double Seconds = 0;
    bool UndoRestores = false;
};

Result ReplaceAll(TMainFM& window, ScriptedPrompts& prompts, int hits)
{
    const QString text = Source(hits);
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

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ScriptedPrompts prompts;
    TMainFM window(prompts, {});
    window.show();
    QApplication::setActiveWindow(&window);

    const Result small = ReplaceAll(window, prompts, 20000);
    const Result large = ReplaceAll(window, prompts, 40000);
    std::printf("replace-all 1 MB, 20000 hits: %.3f s (undo restores: %s)\n", small.Seconds,
                small.UndoRestores ? "yes" : "no");
    std::printf("replace-all 2 MB, 40000 hits: %.3f s (undo restores: %s)\n", large.Seconds,
                large.UndoRestores ? "yes" : "no");
    std::printf("ratio 2 MB / 1 MB: %.2f (linear: 2.00, limit 2.20)\n",
                large.Seconds / small.Seconds);
    return 0;
}

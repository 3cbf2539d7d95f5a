#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/application.h"
#include "app/main.h"
#include "dialogs/qtprompts.h"
#include "platform/textfile.h"

namespace {

bool Save(QWidget& window, const QString& path)
{
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    if (!saved)
        qWarning("could not write %s", qPrintable(path));
    return saved;
}

// The main window after a build with the listing option: a warning row selected, the listing
// beside the source. The build runs on a copy of the example with an unused variable.
bool SaveBuild(Prompts& prompts, const QString& example, const QString& path)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("blink.c"));
    QString text = ReadTextFile(example).Text;
    text.replace(QStringLiteral("    DDRB = 0x01;"),
                 QStringLiteral("    int unused;\n    DDRB = 0x01;"));
    WriteTextFile(source, text, TextEncoding::Utf8);
    TMainFM window(prompts, {source});
    window.show();
    window.findChild<QAction*>(QStringLiteral("CreateListingMI"))->trigger();
    window.findChild<QAction*>(QStringLiteral("CompileMI"))->trigger();
    window.findChild<QAction*>(QStringLiteral("ShowListingMI"))->trigger();
    window.findChild<QAction*>(QStringLiteral("ShowListingMI"))->trigger();
    QTreeWidget* messages = window.Messages();
    for (int i = 0; i < messages->topLevelItemCount(); ++i)
        if (!messages->topLevelItem(i)->text(2).isEmpty()) {
            messages->setCurrentItem(messages->topLevelItem(i));
            emit messages->itemDoubleClicked(messages->topLevelItem(i), 0);
            break;
        }
    return Save(window, path);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SetUpApplication(application);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    const QString example = QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c");

    QtPrompts prompts;
    TMainFM mainFM(prompts, {example});
    const bool saved = Save(mainFM, out.filePath(QStringLiteral("main-window.png"))) &&
                       SaveBuild(prompts, example, out.filePath(QStringLiteral("build.png")));
    return saved ? 0 : 1;
}

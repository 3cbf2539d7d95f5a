#include <QApplication>
#include <QDir>
#include <QPixmap>

#include "app/application.h"
#include "app/main.h"
#include "dialogs/qtprompts.h"

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
    return Save(mainFM, out.filePath(QStringLiteral("main-window.png"))) ? 0 : 1;
}

// Load and save times of the document for 0.2, 2 and 20 MB sources, and the CPU an idle main
// window uses. Prints times and the growth ratios between sizes.
#include <chrono>
#include <cstdio>
#include <ctime>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main.h"
#include "platform/textfile.h"
#include "support/scriptedprompts.h"
#include "support/testenvironment.h"

namespace {

QString SourceOfSize(qsizetype bytes)
{
    const QString line = QStringLiteral("    PORTB ^= 0x01; /* Zähler für die Blinkschleife */\n");
    QString text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

double Seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

double CpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char* argv[])
{
    const auto userFolders = IsolateUserFolders();
    QApplication application(argc, argv);
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    TMainFM window(prompts, {});
    window.show();

    double previousLoad = 0, previousSave = 0;
    std::printf("%10s %10s %10s %12s %12s\n", "MB", "load s", "save s", "load growth",
                "save growth");
    for (const double megabytes : {0.2, 2.0, 20.0}) {
        const QString path = dir.filePath(QStringLiteral("source%1.c").arg(megabytes));
        WriteTextFile(path, SourceOfSize(qsizetype(megabytes * 1e6)), TextEncoding::Utf8);
        QElapsedTimer timer;
        timer.start();
        window.LoadDocument(path);
        QApplication::processEvents();
        const double load = Seconds(timer);
        window.Editor()->appendPlainText(QStringLiteral("/* edited */"));
        timer.restart();
        window.SaveDocument();
        const double save = Seconds(timer);
        std::printf(
            "%10.1f %10.3f %10.3f %12s %12s\n", megabytes, load, save,
            previousLoad > 0 ? qPrintable(QString::number(load / previousLoad, 'f', 1) + "x") : "-",
            previousSave > 0 ? qPrintable(QString::number(save / previousSave, 'f', 1) + "x")
                             : "-");
        previousLoad = load;
        previousSave = save;
    }

    window.NewDocument();
    const double cpuBefore = CpuSeconds();
    QElapsedTimer idle;
    idle.start();
    QTimer::singleShot(3000, &application, &QApplication::quit);
    QApplication::exec();
    std::printf("idle: %.3f s CPU in %.1f s wall (%.2f%% of one core)\n", CpuSeconds() - cpuBefore,
                Seconds(idle), 100.0 * (CpuSeconds() - cpuBefore) / Seconds(idle));
    return 0;
}

// Load and save times of the document for 0.2, 2 and 20 MB sources, the load time of a 50 MB
// source with CR LF against the same with LF, and the CPU an idle main window uses. Prints times
// and the ratios between them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
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

double LoadSeconds(TMainFM& window, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    window.LoadDocument(path);
    QApplication::processEvents();
    return Seconds(timer);
}

// Normalising line ends once grew with the square of the number of CR LF pairs.
void CompareLineEnds(TMainFM& window, const QTemporaryDir& dir)
{
    const QByteArray line = SourceOfSize(1).toUtf8().chopped(1);
    const auto write = [&](const char* name, const QByteArray& end) {
        QFile file(dir.filePath(QLatin1String(name)));
        file.open(QIODevice::WriteOnly);
        file.write((line + end).repeated(50'000'000 / (line.size() + end.size())));
        return file.fileName();
    };
    const QString lfFile = write("lf.c", "\n");
    const QString crlfFile = write("crlf.c", "\r\n");
    // The best of two alternating rounds, so that a burst of other work on the machine does not
    // decide the ratio.
    double lf = 1e9;
    double crlf = 1e9;
    for (int round = 0; round < 2; ++round) {
        lf = std::min(lf, LoadSeconds(window, lfFile));
        window.NewDocument();
        crlf = std::min(crlf, LoadSeconds(window, crlfFile));
        window.NewDocument();
    }
    std::printf("50 MB load: LF %.3f s, CR LF %.3f s, CR LF/LF %.2f (at most 1.5)\n", lf, crlf,
                crlf / lf);
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
        const double load = LoadSeconds(window, path);
        window.Editor()->appendPlainText(QStringLiteral("/* edited */"));
        QElapsedTimer timer;
        timer.start();
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
    CompareLineEnds(window, dir);
    const double cpuBefore = CpuSeconds();
    QElapsedTimer idle;
    idle.start();
    QTimer::singleShot(3000, &application, &QApplication::quit);
    QApplication::exec();
    std::printf("idle: %.3f s CPU in %.1f s wall (%.2f%% of one core)\n", CpuSeconds() - cpuBefore,
                Seconds(idle), 100.0 * (CpuSeconds() - cpuBefore) / Seconds(idle));
    return 0;
}

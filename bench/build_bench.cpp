// A build of examples/blink.c through the main window's Compile against the same four tool runs
// started directly, in one run: prints both medians and their ratio (target: at most 1.05).
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/main.h"
#include "support/scriptedprompts.h"
#include "support/testenvironment.h"

namespace {

constexpr int Repetitions = 21;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

bool Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(QCoreApplication::applicationDirPath());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

double DirectBuild(const QString& bin, const QString& dir)
{
    const QString base = dir + QStringLiteral("/direct");
    QElapsedTimer timer;
    timer.start();
    const bool built =
        Run(bin + "avr-gcc", {"-c", "-g", "-Os", "-Wall", "-Wstrict-prototypes", "-mmcu=at90s8515",
                              "-I.", "-I" + dir + "/", base + ".c", "-o", base + ".o"}) &&
        Run(bin + "avr-gcc", {base + ".o", "-Wl,--cref", "-mmcu=at90s8515", "-o", base + ".elf"}) &&
        Run(bin + "avr-objcopy", {"-O", "ihex", base + ".elf", base + ".hex"}) &&
        Run(bin + "avr-objcopy", {"-O", "binary", base + ".elf", base + ".bin"});
    QFile::remove(base + ".o");
    QFile::remove(base + ".elf");
    return built ? Seconds(timer) : -1;
}

} // namespace

int main(int argc, char* argv[])
{
    const auto userFolders = IsolateUserFolders();
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString example = QStringLiteral(QUENNOR_SOURCE_DIR "/examples/blink.c");
    QFile::copy(example, dir.filePath("direct.c"));
    QFile::copy(example, dir.filePath("blink.c"));
    ScriptedPrompts prompts;
    TMainFM window(prompts, {});
    window.LoadDocument(dir.filePath("blink.c"));
    QAction* compile = window.findChild<QAction*>(QStringLiteral("CompileMI"));

    std::vector<double> quennor, direct;
    for (int i = 0; i < Repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        compile->trigger();
        quennor.push_back(Seconds(timer));
        direct.push_back(DirectBuild(window.AppDir() + QStringLiteral("bin/"), dir.path()));
    }
    const double ours = Median(quennor);
    const double theirs = Median(direct);
    std::printf("build through Quennor: median %.3f s over %d runs\n", ours, Repetitions);
    std::printf("four tools run directly: median %.3f s\n", theirs);
    std::printf("ratio: %.3f (target <= 1.05)\n", ours / theirs);
    return theirs > 0 ? 0 : 1;
}

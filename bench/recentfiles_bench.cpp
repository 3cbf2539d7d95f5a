// Start (reading the list) and exit (merging and writing it back) of the recent-files list for
// two stores that used to take time growing with the square of their size: a foreign value of
// 40 000 continuation lines with a trailing blank, and 8 000 entries with a negative "MaxFiles".
// Each is measured at its size and at twice that size; linear growth gives a ratio of about 2,
// and more than 2.5 counts as a failure. The list is measured on its own; the same list in a
// menu is shown beside it, since a menu scans all its items for each one added or removed and so
// grows with the square of thousands of entries. An optional argument scales both sizes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include "app/regmru.h"
#include "mru/mrulist.h"
#include "platform/keystore.h"

namespace {

constexpr double MaxRatio = 2.5;
constexpr int Repeats = 5;

const QByteArray MruSection = "[Software\\Tarnwick\\Quennor\\MRU\\MainFM\\MRUHistory]\r\n";

QByteArray ContinuedValue(int lines)
{
    QByteArray bytes = "REGEDIT4\r\n\r\n[Software\\Other]\r\n\"Blob\"=hex:00,\\ \r\n";
    bytes.reserve(bytes.size() + qsizetype(lines) * 20 + 200);
    for (int i = 0; i < lines; ++i)
        bytes += "  01,02,03,04,05,\\ \r\n";
    return bytes + "  06\r\n\r\n" + MruSection +
           "\"Count\"=\"1\"\r\n\"MaxFiles\"=\"10\"\r\n\"H0\"=\"/home/jörg/a.c\"\r\n";
}

QByteArray ManyEntries(int entries)
{
    QByteArray bytes = "REGEDIT4\r\n\r\n" + MruSection + "\"Count\"=\"" +
                       QByteArray::number(entries) + "\"\r\n\"MaxFiles\"=\"-1\"\r\n";
    for (int i = 0; i < entries; ++i)
        bytes += "\"H" + QByteArray::number(i) + "\"=\"/home/jörg/projekt/datei" +
                 QByteArray::number(i) + ".c\"\r\n";
    return bytes;
}

struct Times
{
    double Start = 1e9;
    double Exit = 1e9;
};

double Seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// One start and exit from the given store, set up as the main window sets up its list: the list
// alone, or shown in a menu.
Times Measure(const QByteArray& store, bool inMenu)
{
    const QString hive = KeyStore::HiveFileName(TRootKey::HKeyCurrentUser);
    QDir().mkpath(QFileInfo(hive).path());
    QFile file(hive);
    if (!file.open(QIODevice::WriteOnly) || file.write(store) != store.size())
        std::exit(2);
    file.close();
    QObject owner;
    QMenu menu;
    std::unique_ptr<TRegMru> shown;
    std::unique_ptr<MruList> alone;
    if (inMenu) {
        shown = std::make_unique<TRegMru>(owner);
        shown->MenuItem = &menu;
    } else {
        alone = std::make_unique<MruList>();
    }
    MruList& list = shown ? shown->List() : *alone;
    SetUpMainFileList(list);
    Times times;
    QElapsedTimer timer;
    timer.start();
    list.Loaded();
    times.Start = Seconds(timer);
    list.AddItem(QStringLiteral("/home/jörg/neu.c"));
    timer.restart();
    shown.reset();
    alone.reset();
    times.Exit = Seconds(timer);
    return times;
}

// The best of a few runs of each size, taken in turns so that both see the same load.
bool Report(const char* shape, int size, const std::function<QByteArray(int)>& store,
            bool inMenu = false)
{
    const QByteArray singleStore = store(size);
    const QByteArray doubledStore = store(2 * size);
    Times single;
    Times doubled;
    for (int run = 0; run < Repeats; ++run) {
        for (auto [times, bytes] : {std::pair{&single, &singleStore}, {&doubled, &doubledStore}}) {
            const Times now = Measure(*bytes, inMenu);
            times->Start = std::min(times->Start, now.Start);
            times->Exit = std::min(times->Exit, now.Exit);
        }
    }
    const double startRatio = doubled.Start / single.Start;
    const double exitRatio = doubled.Exit / single.Exit;
    const bool linear = startRatio <= MaxRatio && exitRatio <= MaxRatio;
    std::printf("%-24s %8d %9.3f %9.3f %8d %9.3f %9.3f %7.2f %7.2f  %s\n", shape, size,
                single.Start, single.Exit, 2 * size, doubled.Start, doubled.Exit, startRatio,
                exitRatio,
                inMenu   ? "(menu)"
                : linear ? "ok"
                         : "TOO SLOW");
    return linear || inMenu;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication application(argc, argv);
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;

    std::printf("%-24s %8s %9s %9s %8s %9s %9s %7s %7s\n", "store", "size", "start s", "exit s",
                "2x size", "start s", "exit s", "start", "exit");
    const bool continued = Report("continuation lines", int(40000 * scale), ContinuedValue);
    const bool entries = Report("entries, MaxFiles -1", int(8000 * scale), ManyEntries);
    Report("the same in a menu", int(8000 * scale), ManyEntries, true);
    std::printf("ratios for the doubled size; at most %.1f is linear\n", MaxRatio);
    return continued && entries ? 0 : 1;
}

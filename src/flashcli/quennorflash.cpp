// quennor-flash: the programming board from a terminal. Flashes an image as the flash dialog
// does, compares or reads the flash, or reads and writes the fuse bytes of an ATtiny26.
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "commands.h"
#include "interrupts.h"
#include "options.h"
#include "report.h"

namespace {

const char* const Help =
    "\n"
    "Schreibt ein Abbild (.bin oder Intel HEX) in den Flash des Chips auf dem Programmiergerät\n"
    "und prüft es, wie es der Flash-Dialog von Quennor tut; vergleicht oder liest den Flash,\n"
    "oder liest und schreibt die Fuse Bits eines ATtiny26.\n"
    "\n"
    "  --port N|DEVICE     COMn (1 bis 8, aus QUENNOR_PORTS) oder ein Gerät wie /dev/ttyUSB0\n"
    "                      (ttyUSB0 genügt); ohne --port werden COM1 bis COM8 durchsucht\n"
    "  --target NAME|any   der Prozessor, der geflasht werden soll (--list-devices nennt\n"
    "                      alle), oder any für jeden gefundenen; zum Flashen nötig\n"
    "  --allow-other-chip  flasht auch einen anderen Prozessor als --target\n"
    "  --allow-truncate    flasht von einem Abbild, das größer als der Flash ist, nur den\n"
    "                      Teil, der hineinpasst\n"
    "  --strict            lehnt ein Abbild ungerader Länge ab, statt sein letztes Byte\n"
    "                      wegzulassen\n"
    "  --verify IMAGE      vergleicht den Flash mit dem Abbild, ohne zu löschen\n"
    "  --read FILE         liest den Flash in FILE, als Intel HEX, wenn FILE auf .hex endet\n"
    "  --length BYTES      liest mit --read nur so viele Bytes\n"
    "  --read-fuses        gibt die Fuse Bytes aus: low=0xE1 high=0xF7\n"
    "  --write-fuses L:H   schreibt sie (hexadezimal; Bits 7..5 von H werden 1), liest sie\n"
    "                      zurück und zeigt alt → neu\n"
    "  --unlock            erlaubt --write-fuses, andere Bits als SUT1, SUT0, BODLEVEL und\n"
    "                      BODEN zu ändern\n"
    "  -q, --quiet         nur Fehler, Warnungen und die erfragten Werte\n"
    "  -v, --verbose       dazu jeder versuchte Port und die Dauer jeder Phase\n"
    "  --list-devices      nennt die Prozessoren\n"
    "  --version           nennt die Version\n"
    "  -h, --help          zeigt diese Hilfe\n"
    "\n"
    "Ohne die passende Bestätigung endet quennor-flash vor dem Löschen mit Exit-Code 2.\n"
    "\n"
    "Exit-Codes: 0 Erfolg, 1 Fehler, 2 nicht bestätigt, 64 falscher Aufruf, 130 Strg+C.\n";

int Run(const FlashOptions& options, Report& report)
{
    switch (options.What) {
    case FlashOptions::Flash:
        return FlashFile(options, report);
    case FlashOptions::Verify:
        return VerifyFile(options, report);
    case FlashOptions::Read:
        return ReadIntoFile(options, report);
    case FlashOptions::ReadFuses:
        return ReadFuseBytes(options, report);
    case FlashOptions::WriteFuses:
        return WriteFuseBytes(options, report);
    case FlashOptions::ListDevices:
        return ListDevices(report);
    case FlashOptions::Version:
        report.Value(QStringLiteral("quennor-flash " QUENNOR_VERSION));
        return ExitSuccess;
    case FlashOptions::Help:
        report.Value(QString::fromUtf8(FlashUsage) + QString::fromUtf8(Help).chopped(1));
        return ExitSuccess;
    }
    return ExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // Qt's own messages about the command line, in the language of the rest.
    QTranslator translator;
    if (translator.load(QStringLiteral("qtbase_de"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
    QString error;
    const auto options = ParseFlashOptions(QCoreApplication::arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "quennor-flash: %s\n%s", error.toUtf8().constData(), FlashUsage);
        return ExitUsage;
    }
    CatchInterrupts();
    Report report(options->Talk);
    const int code = Run(*options, report);
    if (report.OutputError() == 0)
        return code;
    std::fprintf(stderr, "quennor-flash: Standardausgabe nicht geschrieben: %s\n",
                 std::strerror(report.OutputError()));
    return code == ExitSuccess ? ExitFailure : code;
}

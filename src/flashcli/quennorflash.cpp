// quennor-flash: the programming board from a terminal. Flashes a binary image as the flash
// dialog does, or reads and writes the fuse bytes of an ATtiny26.
#include <cstdio>

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
    "Schreibt eine Binärdatei in den Flash des Chips auf dem Programmiergerät und prüft sie,\n"
    "wie es der Flash-Dialog von Quennor tut, oder liest und schreibt die Fuse Bits eines\n"
    "ATtiny26.\n"
    "\n"
    "  --port N|DEVICE     COMn (1 bis 8, aus QUENNOR_PORTS) oder ein Gerät wie /dev/ttyUSB0;\n"
    "                      ohne --port werden COM1 bis COM8 durchsucht\n"
    "  --target NAME       fragt, wenn ein anderer Prozessor gefunden wird (--list-devices)\n"
    "  --yes               beantwortet die Fragen und die Warnung beim Freischalten mit Ja;\n"
    "                      ohne --yes endet quennor-flash dort mit Exit-Code 2\n"
    "  --read-fuses        gibt die Fuse Bytes aus: low=0xE1 high=0xF7\n"
    "  --write-fuses L:H   schreibt sie (hexadezimal); Bits 7..5 von H werden 1\n"
    "\n"
    "Exit-Codes: 0 Erfolg, 1 Fehler, 2 Frage verneint, 64 falscher Aufruf, 130 Strg+C.\n";

int Run(const FlashOptions& options)
{
    Report report;
    switch (options.What) {
    case FlashOptions::Flash:
        return FlashImage(options, report);
    case FlashOptions::ReadFuses:
        return ReadFuseBytes(options, report);
    case FlashOptions::WriteFuses:
        return WriteFuseBytes(options, report);
    case FlashOptions::ListDevices:
        return ListDevices(report);
    case FlashOptions::Version:
        std::fputs("quennor-flash " QUENNOR_VERSION "\n", stdout);
        return ExitSuccess;
    case FlashOptions::Help:
        std::fputs(FlashUsage, stdout);
        std::fputs(Help, stdout);
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
    const int code = Run(*options);
    return InterruptRequested() ? InterruptExitCode() : code;
}

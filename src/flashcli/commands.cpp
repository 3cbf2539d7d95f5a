#include "commands.h"

#include <QSaveFile>

#include "interrupts.h"
#include "options.h"
#include "programmer/devicetable.h"
#include "programmer/flashimage.h"
#include "programmer/flashtexts.h"
#include "report.h"
#include "session.h"

namespace {

// The image of the file, or nothing once the user has been told why not.
std::optional<FlashImage> LoadImage(const FlashOptions& options, Report& report, const char* verb)
{
    ImageParse load = LoadImageFile(options.File);
    if (!load.Image) {
        report.Error(FlashTexts::Unreadable());
        report.Error(Printable(load.Problem));
        return std::nullopt;
    }
    if (load.Image->OddByteDropped) {
        report.Error(Printable(options.File) +
                     QStringLiteral(": ungerade Länge: das letzte Byte wird nicht ") +
                     QLatin1String(verb));
        if (options.Strict) {
            report.Error(QStringLiteral("Abgelehnt: --strict nimmt nur ganze Wörter."));
            return std::nullopt;
        }
    }
    return std::move(load.Image);
}

// Low byte first, as the chip holds the words and a .bin file keeps them.
QByteArray Bytes(const std::vector<std::uint16_t>& words)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(words.size()) * 2);
    for (const std::uint16_t word : words)
        bytes.append(char(word & 0xFF)).append(char(word >> 8));
    return bytes;
}

// Written whole or not at all: a cut-off copy of a flash would pass for a short program.
int Save(const FlashOptions& options, Report& report, QByteArray bytes)
{
    if (options.Length && bytes.size() < *options.Length) {
        report.Error(QStringLiteral("Der Flash hat nur %1 Bytes, nicht %2 (--length).")
                         .arg(bytes.size())
                         .arg(*options.Length));
        return ExitFailure;
    }
    if (options.Length)
        bytes.truncate(*options.Length);
    const bool hex = options.File.endsWith(QLatin1String(".hex"), Qt::CaseInsensitive);
    QSaveFile file(options.File);
    if (!file.open(QIODevice::WriteOnly) || file.write(hex ? ToIntelHex(bytes) : bytes) < 0 ||
        !file.commit()) {
        report.Error(Printable(options.File) + QStringLiteral(": ") + file.errorString());
        return ExitFailure;
    }
    report.Line(QStringLiteral("%1 Bytes in %2 geschrieben.")
                    .arg(bytes.size())
                    .arg(Printable(options.File)));
    return ExitSuccess;
}

void ShowFuseChange(Report& report, const char* name, std::uint8_t before, std::uint8_t after)
{
    report.Line(QString::asprintf("%s 0x%02X → 0x%02X", name, before, after));
}

// The fuses as they are after the write, against what was written.
int CheckFuses(Session& session, Report& report, FuseAccess& access, FuseBytes before,
               FuseBytes written)
{
    FuseBytes after;
    const FuseResult read = access.Read(after);
    if (!read.Ok)
        return session.Failed(read);
    ShowFuseChange(report, "low", before.Low, after.Low);
    ShowFuseChange(report, "high", before.High, after.High);
    written.High |= UnusedHighBits;
    if (after == written)
        return ExitSuccess;
    report.Error(QString::asprintf("Die Fuse Bits lesen sich anders als geschrieben: "
                                   "low=0x%02X high=0x%02X statt low=0x%02X high=0x%02X.",
                                   after.Low, after.High, written.Low, written.High));
    return ExitFailure;
}

// Loads the image and runs one pass over it: a write with its comparison, or a comparison alone.
template <typename Pass>
int PassOverImage(const FlashOptions& options, Report& report, const char* verb,
                  const QString& notDone, Pass run)
{
    const std::optional<FlashImage> image = LoadImage(options, report, verb);
    if (!image)
        return ExitFailure;
    Session session(options, report, notDone);
    FlashPass pass;
    session.Follow(pass);
    return session.End(run(pass, *image));
}

} // namespace

int FlashFile(const FlashOptions& options, Report& report)
{
    return PassOverImage(options, report, "geschrieben", QStringLiteral("Nicht geflasht"),
                         [&](FlashPass& pass, const FlashImage& image) {
                             return pass.Run(image, options.Port, options.Target);
                         });
}

int VerifyFile(const FlashOptions& options, Report& report)
{
    return PassOverImage(options, report, "verglichen", QStringLiteral("Nicht überprüft"),
                         [&](FlashPass& pass, const FlashImage& image) {
                             return pass.Verify(image, options.Port, options.Target);
                         });
}

int ReadIntoFile(const FlashOptions& options, Report& report)
{
    Session session(options, report, QStringLiteral("Nicht gelesen"));
    FlashPass pass;
    session.Follow(pass);
    std::vector<std::uint16_t> words;
    const int wanted = options.Length ? (*options.Length + 1) / 2 : -1;
    const int code = session.End(pass.Read(options.Port, options.Target, wanted, words));
    return code == ExitSuccess ? Save(options, report, Bytes(words)) : code;
}

int ReadFuseBytes(const FlashOptions& options, Report& report)
{
    Session session(options, report, QStringLiteral("Nicht gelesen"));
    FuseAccess access(options.Port, InterruptRequested, session.PortTried());
    FuseBytes fuses;
    const FuseResult result = session.ConnectAndRead(access, fuses);
    if (!result.Ok)
        return session.Failed(result);
    report.Value(QString::asprintf("low=0x%02X high=0x%02X", fuses.Low, fuses.High));
    return ExitSuccess;
}

// The fuses are read first, so that only a confirmed change touches the guarded bits, and
// again afterwards, so that the user sees what the chip holds now.
int WriteFuseBytes(const FlashOptions& options, Report& report)
{
    Session session(options, report, QStringLiteral("Nicht geschrieben"));
    FuseAccess access(options.Port, InterruptRequested, session.PortTried());
    FuseBytes before;
    const FuseResult connected = session.ConnectAndRead(access, before);
    if (!connected.Ok)
        return session.Failed(connected);
    if (ChangesLockedFuses(before, options.Fuses) && !options.Unlock) {
        report.Error(FlashTexts::UnlockWarning());
        report.Error(QStringLiteral("Nicht geschrieben: --unlock bestätigt die Warnung."));
        return ExitDeclined;
    }
    if (InterruptRequested())
        return Session::Cancelled(report);
    const FuseResult written = access.Write(options.Fuses);
    if (!written.Ok)
        return session.Failed(written);
    report.Line(written.Text);
    return CheckFuses(session, report, access, before, options.Fuses);
}

int ListDevices(Report& report)
{
    for (int row = 1; row < DeviceCount; ++row)
        report.Value(DeviceTable[row].FlashWords > 0 ? FlashTexts::DeviceLine(row)
                                                     : QString::fromLatin1(DeviceTable[row].Name));
    return ExitSuccess;
}

#include "commands.h"

#include "interrupts.h"
#include "options.h"
#include "programmer/devicetable.h"
#include "programmer/flashpass.h"
#include "programmer/flashtexts.h"
#include "report.h"

namespace {

QString Caption(FlashPhase phase)
{
    return phase == FlashPhase::Programming ? FlashTexts::ProgrammingCaption()
                                            : FlashTexts::VerifyingCaption();
}

int Cancelled(Report& report)
{
    report.Error(QStringLiteral("Abgebrochen."));
    return InterruptExitCode();
}

// A failure as the dialogs say it, the port the system refused named on a line of its own.
int Failed(Report& report, const QString& text, const QString& deniedDevice)
{
    if (InterruptRequested())
        return Cancelled(report);
    report.Error(text);
    if (!deniedDevice.isEmpty())
        report.Error(Printable(FlashTexts::NoAccessHint(deniedDevice)));
    return ExitFailure;
}

void FollowPass(FlashPass& pass, const FlashOptions& options, Report& report, QString& refused)
{
    pass.CancelRequested = InterruptRequested;
    pass.OnFound = [&report](const QString& board, const QString& device) {
        report.Line(Printable(board));
        report.Line(device);
    };
    pass.OnQuestion = [&](const QString& question) {
        if (options.Yes)
            report.Line(question + QStringLiteral(" Ja (--yes)"));
        else
            refused = question;
        return options.Yes;
    };
    pass.OnPhase = [&report](FlashPhase phase) {
        if (phase == FlashPhase::Verifying)
            report.Finish(Caption(FlashPhase::Programming), FlashTexts::Finished());
        report.Progress(Caption(phase), 0, QString());
    };
    pass.OnProgress = [&report](FlashPhase phase, double percent, const QString& remaining) {
        report.Progress(Caption(phase), percent, remaining);
    };
}

// Finds the board, checks for an ATtiny26 and reads both fuse bytes.
FuseResult ConnectAndRead(FuseAccess& access, Report& report, FuseBytes& fuses)
{
    report.Status(FlashTexts::Searching());
    FuseResult result = access.Connect();
    if (result.Ok)
        result = access.Read(fuses);
    return result;
}

} // namespace

int FlashImage(const FlashOptions& options, Report& report)
{
    FlashPass pass;
    QString refused;
    FollowPass(pass, options, report, refused);
    report.Status(FlashTexts::Searching());
    const FlashResult result = pass.Run(options.Image, options.Port, options.Target);
    switch (result.Outcome) {
    case FlashResult::Done:
        report.Finish(Caption(FlashPhase::Verifying), result.Text);
        return ExitSuccess;
    case FlashResult::Declined:
        report.Error(refused);
        report.Error(QStringLiteral("Nicht geflasht: --yes beantwortet die Frage mit Ja."));
        return ExitDeclined;
    case FlashResult::Cancelled:
        return Cancelled(report);
    case FlashResult::Unreadable:
    case FlashResult::NotFound:
    case FlashResult::WriteFailed:
    case FlashResult::ReadFailed:
    case FlashResult::Mismatch:
        return Failed(report, result.Text, result.DeniedDevice);
    }
    return ExitFailure;
}

int ReadFuseBytes(const FlashOptions& options, Report& report)
{
    FuseAccess access(options.Port, InterruptRequested);
    FuseBytes fuses;
    const FuseResult result = ConnectAndRead(access, report, fuses);
    if (!result.Ok)
        return Failed(report, result.Text, result.DeniedDevice);
    report.Line(QString::asprintf("low=0x%02X high=0x%02X", fuses.Low, fuses.High));
    return ExitSuccess;
}

// The fuses are read first, so that only a confirmed change touches the guarded bits.
int WriteFuseBytes(const FlashOptions& options, Report& report)
{
    FuseAccess access(options.Port, InterruptRequested);
    FuseBytes current;
    FuseResult result = ConnectAndRead(access, report, current);
    if (!result.Ok)
        return Failed(report, result.Text, result.DeniedDevice);
    if (ChangesLockedFuses(current, options.Fuses) && !options.Yes) {
        report.Error(FlashTexts::UnlockWarning());
        report.Error(QStringLiteral("Nicht geschrieben: --yes bestätigt die Warnung."));
        return ExitDeclined;
    }
    if (InterruptRequested())
        return Cancelled(report);
    result = access.Write(options.Fuses);
    if (!result.Ok)
        return Failed(report, result.Text, {});
    report.Line(result.Text);
    return ExitSuccess;
}

int ListDevices(Report& report)
{
    for (int row = 1; row < DeviceCount; ++row)
        report.Line(DeviceTable[row].FlashWords > 0 ? FlashTexts::DeviceLine(row)
                                                    : QString::fromLatin1(DeviceTable[row].Name));
    return ExitSuccess;
}

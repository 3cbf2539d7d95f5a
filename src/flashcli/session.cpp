#include "session.h"

#include "commands.h"
#include "interrupts.h"
#include "options.h"
#include "programmer/flashtexts.h"
#include "report.h"
#include "search.h"

namespace {

QString Caption(FlashPhase phase)
{
    switch (phase) {
    case FlashPhase::Programming:
        return FlashTexts::ProgrammingCaption();
    case FlashPhase::Verifying:
        return FlashTexts::VerifyingCaption();
    case FlashPhase::Reading:
        return QStringLiteral("Lesen:");
    }
    return {};
}

QString Seconds(qint64 milliseconds)
{
    return QString::number(double(milliseconds) / 1000, 'f', 2)
               .replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(" s");
}

} // namespace

Session::Session(const FlashOptions& options, Report& report, const QString& undone)
    : FOptions(options)
    , FReport(report)
    , FUndone(undone)
    , FTimed(QStringLiteral("Suche:"))
{
    FTimer.start();
    FReport.Status(FlashTexts::Searching());
}

void Session::Follow(FlashPass& pass)
{
    pass.CancelRequested = InterruptRequested;
    pass.OnPortTried = PortTried();
    pass.OnFound = [this](const QString& board, const QString& device) {
        FReport.Line(Printable(board));
        FReport.Line(device);
        EndPhase({});
    };
    pass.OnQuestion = [this](const QString& question) {
        return Confirm(question);
    };
    pass.OnPhase = [this](FlashPhase phase) {
        BeginPhase(phase);
    };
    pass.OnProgress = [this](FlashPhase phase, double percent, const QString& remaining) {
        FReport.Progress(Caption(phase), percent, remaining);
    };
}

std::function<void(const PortAttempt&)> Session::PortTried()
{
    return [this](const PortAttempt& attempt) {
        FAttempts.push_back(attempt);
        if (attempt.What != PortAttempt::Stopped)
            FReport.Note(Printable(AttemptLine(attempt, FOptions.Port)));
    };
}

FuseResult Session::ConnectAndRead(FuseAccess& access, FuseBytes& fuses)
{
    FuseResult result = access.Connect();
    if (result.Ok) {
        EndPhase({});
        result = access.Read(fuses);
    }
    return result;
}

// Each risk has an option of its own, so that accepting a cut image never flashes another chip.
bool Session::Confirm(const QString& question)
{
    const bool otherChip = question == FlashTexts::TargetQuestion();
    const QString option =
        otherChip ? QStringLiteral("--allow-other-chip") : QStringLiteral("--allow-truncate");
    const bool confirmed = otherChip ? FOptions.AllowOtherChip : FOptions.AllowTruncate;
    if (confirmed) {
        FReport.Notice(question + QStringLiteral(" Ja (") + option + QLatin1Char(')'));
    } else {
        FRefused = question;
        FConfirmation = option;
    }
    return confirmed;
}

void Session::BeginPhase(FlashPhase phase)
{
    if (FRunning == FlashPhase::Programming)
        FReport.Finish(Caption(*FRunning), FlashTexts::Finished());
    EndPhase(Caption(phase));
    FRunning = phase;
    FReport.Progress(Caption(phase), 0, QString());
}

// With -v, the time the phase took, once its line stands.
void Session::EndPhase(const QString& next)
{
    if (!FTimed.isEmpty())
        FReport.Note(FTimed + QLatin1Char(' ') + Seconds(FTimer.elapsed()));
    FTimed = next;
    FTimer.restart();
}

int Session::End(const FlashResult& result)
{
    if (result.Outcome == FlashResult::Done) {
        FReport.Finish(Caption(FRunning.value_or(FlashPhase::Verifying)), result.Text);
        EndPhase({});
        return ExitSuccess;
    }
    EndPhase({});
    switch (result.Outcome) {
    case FlashResult::Declined:
        FReport.Error(FRefused);
        FReport.Error(FUndone + QStringLiteral(": ") + FConfirmation +
                      QStringLiteral(" beantwortet die Frage mit Ja."));
        return ExitDeclined;
    case FlashResult::Cancelled:
        return Cancelled(FReport);
    case FlashResult::NotFound:
        return NotFound(result.Text);
    default:
        FReport.Error(result.Text);
        return ExitFailure;
    }
}

int Session::Failed(const FuseResult& result)
{
    EndPhase({});
    if (result.Cancelled)
        return Cancelled(FReport);
    if (result.Text == FlashTexts::NotFound())
        return NotFound(result.Text);
    FReport.Error(result.Text);
    return ExitFailure;
}

int Session::Cancelled(Report& report)
{
    report.Error(QStringLiteral("Abgebrochen."));
    return InterruptExitCode();
}

// The dialogs' words, then the port that best says why.
int Session::NotFound(const QString& text)
{
    FReport.Error(text);
    const QString why = SearchSummary(FAttempts, FOptions.Port);
    if (!why.isEmpty())
        FReport.Error(Printable(why));
    return ExitFailure;
}

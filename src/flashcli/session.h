#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QString>

#include "programmer/avrflash2.h"
#include "programmer/flashpass.h"
#include "programmer/fuses.h"

class Report;
struct FlashOptions;

// One task of quennor-flash with the board, as the user is told it: the ports the search tried,
// the board and the phases, the questions that only their own option answers, each phase's
// time when verbose, and the exit code of how it ended.
class Session final
{
public:
    // undone opens the line of a question not confirmed: "Nicht geflasht".
    Session(const FlashOptions& options, Report& report, const QString& undone);

    void Follow(FlashPass& pass);
    std::function<void(const PortAttempt&)> PortTried();
    // Finds the board, checks for an ATtiny26 and reads both fuse bytes.
    FuseResult ConnectAndRead(FuseAccess& access, FuseBytes& fuses);

    int End(const FlashResult& result);
    int Failed(const FuseResult& result);
    // "Abgebrochen." as the last line, and the code of the signal that asked.
    static int Cancelled(Report& report);

private:
    bool Confirm(const QString& question);
    void BeginPhase(FlashPhase phase);
    void EndPhase(const QString& next);
    int NotFound(const QString& text);

    const FlashOptions& FOptions;
    Report& FReport;
    QString FUndone;
    std::vector<PortAttempt> FAttempts;
    QElapsedTimer FTimer;
    QString FTimed;                     // the caption of the phase being timed
    std::optional<FlashPhase> FRunning; // the transfer under way
    QString FRefused;                   // the question not confirmed
    QString FConfirmation;              // the option that would have confirmed it
};

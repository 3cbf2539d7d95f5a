#include "search.h"

#include <algorithm>

#include "programmer/avrflash2.h"
#include "programmer/flashtexts.h"
#include "programmer/portchoice.h"

namespace {

QString Refusal(const PortAttempt& attempt)
{
    const QString process = QString::number(attempt.Holder);
    switch (attempt.Refusal) {
    case PortRefusal::NoDevice:
        return attempt.Device.isEmpty() ? QStringLiteral("kein Gerät in QUENNOR_PORTS")
                                        : QStringLiteral("kein solches Gerät");
    case PortRefusal::NoAccess:
        return QStringLiteral("kein Zugriff");
    case PortRefusal::InUse:
        return attempt.Holder
                   ? QStringLiteral("von Prozess ") + process + QStringLiteral(" geöffnet")
                   : QStringLiteral("von einem anderen Programm geöffnet");
    case PortRefusal::Locked:
        return attempt.Holder
                   ? QStringLiteral("gesperrt für Prozess ") + process +
                         QStringLiteral(" (Sperrdatei in /var/lock)")
                   : QStringLiteral("gesperrt (Sperrdatei in /var/lock ohne lesbaren Prozess)");
    case PortRefusal::OwnTerminal:
        return QStringLiteral("das Terminal, in dem quennor-flash selbst läuft");
    case PortRefusal::NotSerial:
        return QStringLiteral("keine serielle Schnittstelle");
    }
    return {};
}

QString Signature(const PortAttempt& attempt)
{
    return QString::asprintf("0x%06X", unsigned(attempt.Signature));
}

QString Reason(const PortAttempt& attempt)
{
    const QString board = QStringLiteral("Programmiergerät antwortet, ");
    switch (attempt.What) {
    case PortAttempt::Found:
        return QStringLiteral("Programmiergerät gefunden");
    case PortAttempt::Refused:
        return Refusal(attempt);
    case PortAttempt::Silent:
        return QStringLiteral("keine Antwort");
    case PortAttempt::NoBoard:
        return QStringLiteral("antwortet, aber nicht wie ein Programmiergerät");
    case PortAttempt::NoProgMode:
        return board + QStringLiteral("bestätigt aber den Programmiermodus nicht");
    case PortAttempt::NoSignature:
        return board + QStringLiteral("aber der Chip sendet keine Signatur");
    case PortAttempt::EmptySignature:
        return board + QStringLiteral("aber kein Chip (leere Signatur ") + Signature(attempt) +
               QLatin1Char(')');
    case PortAttempt::UnknownSignature:
        return board + QStringLiteral("aber der Chip ist unbekannt (Signatur ") +
               Signature(attempt) + QLatin1Char(')');
    case PortAttempt::NoParameters:
        return board + QStringLiteral("nimmt aber die Parameter des Chips nicht an");
    case PortAttempt::Stopped:
        return QStringLiteral("abgebrochen");
    }
    return {};
}

// How much a port's fate tells about where the board is.
int Weight(const PortAttempt& attempt)
{
    switch (attempt.What) {
    case PortAttempt::Silent:
        return 3;
    case PortAttempt::NoBoard:
        return 4;
    case PortAttempt::Refused:
        switch (attempt.Refusal) {
        case PortRefusal::NoDevice:
            return 1;
        case PortRefusal::NotSerial:
            return 2;
        case PortRefusal::NoAccess:
            return 5;
        case PortRefusal::InUse:
        case PortRefusal::Locked:
        case PortRefusal::OwnTerminal:
            return 6;
        }
        return 0;
    case PortAttempt::Found:
    case PortAttempt::Stopped:
        return 0;
    default:
        return 7;
    }
}

} // namespace

QString AttemptLine(const PortAttempt& attempt, const PortChoice& port)
{
    const QString place = port.Place(attempt.Port);
    const QString where = place == attempt.Device || attempt.Device.isEmpty()
                              ? place
                              : place + QStringLiteral(" (") + attempt.Device + QLatin1Char(')');
    return where + QStringLiteral(": ") + Reason(attempt);
}

QString SearchSummary(const std::vector<PortAttempt>& attempts, const PortChoice& port)
{
    const auto best = std::max_element(
        attempts.begin(), attempts.end(),
        [](const PortAttempt& a, const PortAttempt& b) { return Weight(a) < Weight(b); });
    if (best == attempts.end())
        return {};
    if (best->What == PortAttempt::Refused && best->Refusal == PortRefusal::NoAccess)
        return FlashTexts::NoAccessHint(best->Device);
    if (Weight(*best) == 1 && attempts.size() > 1)
        return QStringLiteral("COM%1 bis COM%2: keines der Geräte ist vorhanden")
            .arg(attempts.front().Port)
            .arg(attempts.back().Port);
    return AttemptLine(*best, port);
}

#pragma once

#include <QString>

// The words of the programming operations, shared by the dialogs and quennor-flash: each text
// is kept here once and shown by both exactly so.
namespace FlashTexts {

inline QString Searching()
{
    return QStringLiteral("Suche...");
}

inline QString NotFound()
{
    return QStringLiteral("Nicht gefunden!");
}

// Said with "Nicht gefunden!" when the search met a port the system refused to the user: the
// usual cause on a fresh system, and one the user can mend.
inline QString NoAccessHint(const QString& device)
{
    return QStringLiteral("Kein Zugriff auf ") + device +
           QStringLiteral(" – Benutzer zur Gruppe dialout hinzufügen.");
}

// Joined, not substituted: the board's texts may themselves hold "%1".
inline QString BoardLine(const QString& software, const QString& hardware, const QString& place)
{
    return software + QStringLiteral(" auf ") + hardware + QStringLiteral(" an ") + place +
           QStringLiteral(" gefunden.");
}

// "ATtiny26, 2K Flash, paged" for the device table's row.
QString DeviceLine(int device);

inline QString ProgrammingCaption()
{
    return QStringLiteral("Programmieren:");
}

inline QString VerifyingCaption()
{
    return QStringLiteral("Überprüfen:");
}

inline QString TargetQuestion()
{
    return QStringLiteral("Gefundener Prozessor unterscheidet sich vom eingestellten Zielsystem. "
                          "Trotzdem flashen?");
}

inline QString SizeQuestion()
{
    return QStringLiteral("Flash-Speicher reicht nicht aus. Trotzdem flashen?");
}

inline QString Unreadable()
{
    return QStringLiteral("Could not open input file for flashing!");
}

inline QString WriteError(int byte)
{
    return QStringLiteral("Schreibfehler bei Byte ") + QString::number(byte) + QLatin1Char('.');
}

inline QString ReadError(int byte)
{
    return QStringLiteral("Lesefehler bei Byte ") + QString::number(byte) + QLatin1Char('.');
}

inline QString Mismatch(int byte)
{
    return QStringLiteral("Fehler bei Byte ") + QString::number(byte);
}

inline QString Finished()
{
    return QStringLiteral("Fertig.");
}

inline QString NotATtiny26()
{
    return QStringLiteral("Kein ATTiny26!");
}

inline QString LowFuseUnreadable()
{
    return QStringLiteral("Konnte Low Fuse Bits nicht lesen");
}

inline QString HighFuseUnreadable()
{
    return QStringLiteral("Konnte High Fuse Bits nicht lesen");
}

inline QString LowFuseUnwritable()
{
    return QStringLiteral("Konnte Low Fuse Bits nicht schreiben");
}

inline QString HighFuseUnwritable()
{
    return QStringLiteral("Konnte High Fuse Bits nicht schreiben");
}

inline QString FusesRead()
{
    return QStringLiteral("Fuse Bits gelesen.");
}

inline QString FusesWritten()
{
    return QStringLiteral("Fuse Bits geschrieben.");
}

inline QString UnlockWarning()
{
    return QStringLiteral("Wirklich alle Fuse Bits freischalten? Falsches Setzen der Fuse Bits "
                          "kann\ndazu führen, dass sich der AVR nicht mehr programmieren lässt!");
}

} // namespace FlashTexts

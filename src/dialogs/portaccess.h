#pragma once

#include <QString>

// Said below "Nicht gefunden!" when the search met a port the system refused to the user:
// the usual cause on a fresh system, and one the user can mend.
inline QString NoAccessHint(const QString& device)
{
    return QStringLiteral("Kein Zugriff auf %1 – Benutzer zur Gruppe dialout hinzufügen.")
        .arg(device);
}

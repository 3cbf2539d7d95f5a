#pragma once

#include <vector>

#include <QString>

struct PortAttempt;
struct PortChoice;

// How the board search fared on one port, as "COM2 (/dev/ttyUSB1): von Prozess 812 geöffnet".
QString AttemptLine(const PortAttempt& attempt, const PortChoice& port);

// The one line that best says why a search found no board: a board that answered without a
// known chip before a port another program holds, before a port the user may not open, before
// silence, before devices that are no serial ports or do not exist.
QString SearchSummary(const std::vector<PortAttempt>& attempts, const PortChoice& port);

#include "flashcli/search.h"

#include <gtest/gtest.h>

#include "programmer/avrflash2.h"
#include "programmer/portchoice.h"

namespace {

using A = PortAttempt;

A Refused(int port, PortRefusal why, long holder = 0)
{
    return {port, QStringLiteral("/dev/ttyUSB%1").arg(port - 1), A::Refused, why, holder};
}

A Tried(int port, A::Kind what, std::uint32_t signature = 0)
{
    return {port,     QStringLiteral("/dev/ttyUSB%1").arg(port - 1), what, PortRefusal::NoDevice, 0,
            signature};
}

} // namespace

// After "Nicht gefunden!" one line says why: the port that tells most about where the board is.
TEST(SearchSummary, NamesThePortThatTellsMost)
{
    const A missing = Refused(1, PortRefusal::NoDevice);
    const struct
    {
        std::vector<A> Attempts;
        QString Line;
        PortChoice Port = {};
    } cases[] = {
        {{missing, Refused(2, PortRefusal::NoDevice)},
         "COM1 bis COM2: keines der Geräte ist vorhanden"},
        {{missing, Tried(2, A::Silent), Refused(3, PortRefusal::NoAccess)},
         "Kein Zugriff auf /dev/ttyUSB2 – Benutzer zur Gruppe dialout hinzufügen."},
        {{Refused(1, PortRefusal::NoAccess), Refused(2, PortRefusal::InUse, 812)},
         "COM2 (/dev/ttyUSB1): von Prozess 812 geöffnet"},
        {{Refused(1, PortRefusal::Locked, 77), Tried(2, A::UnknownSignature, 0x123456)},
         "COM2 (/dev/ttyUSB1): Programmiergerät antwortet, aber der Chip ist unbekannt "
         "(Signatur 0x123456)"},
        {{Tried(1, A::EmptySignature, 0xFFFFFF)},
         "/dev/ttyUSB0: Programmiergerät antwortet, aber kein Chip (leere Signatur 0xFFFFFF)",
         PortChoice{-1, "/dev/ttyUSB0"}},
        {{A{3, {}, A::Refused}}, "COM3: kein Gerät in QUENNOR_PORTS", PortChoice{3, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line.toStdString());
        EXPECT_EQ(SearchSummary(c.Attempts, c.Port), c.Line);
    }
}

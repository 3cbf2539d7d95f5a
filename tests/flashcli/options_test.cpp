#include "flashcli/options.h"

#include <gtest/gtest.h>

#include "support/tempdir.h"

// Each risk has its own confirmation, flashing names its target, and a port must exist.
TEST(ParseFlashOptions, EachOptionMeansOneThing)
{
    TempDir dir;
    const QString tty = dir.Write("board", {});
    using O = FlashOptions;
    const struct
    {
        QStringList Arguments;
        QString Error; // empty: parsed
        O::Mode What = O::Flash;
        std::optional<int> Target = {};
        QString Port = {}; // the device, or "COMn"
        QString File = {};
    } cases[] = {
        {{"b.hex"},
         "Flashen braucht --target NAME (--list-devices nennt alle) oder --target any für jeden "
         "gefundenen Chip"},
        {{"--target", "ANY", "b.hex"}, "", O::Flash, std::nullopt, "COM-1", "b.hex"},
        {{"--target", "attiny26", "--port", "COM5", "b.bin"}, "", O::Flash, 11, "COM5", "b.bin"},
        {{"--port", "null", "--verify", "b.bin"}, "", O::Verify, {}, "/dev/null", "b.bin"},
        {{"--port", tty, "--read", "o.hex", "--length", "0x800"}, "", O::Read, {}, tty, "o.hex"},
        {{"--port", "nothing-here", "--read-fuses"},
         "--port braucht 1 bis 8 (COM1 bis COM8) oder ein vorhandenes Gerät, nicht nothing-here"},
        {{"--yes", "--target", "any", "b.bin"},
         "--yes gibt es nicht mehr: jedes Risiko hat seine eigene Bestätigung, "
         "--allow-other-chip, --allow-truncate oder --unlock"},
        {{"--unlock", "--target", "any", "b.bin"}, "--unlock gilt nur bei --write-fuses"},
        {{"--allow-truncate", "--read", "o.bin"},
         "--allow-truncate gilt nur beim Flashen und Überprüfen"},
        {{"--length", "0", "--read", "o.bin"}, "--length braucht 1 bis 262144 Bytes"},
        {{"-q", "-v", "--read-fuses"}, "-q und -v schließen sich aus"},
        {{"--port", "\x1B]0;x\a", "--read-fuses"},
         "--port braucht 1 bis 8 (COM1 bis COM8) oder ein vorhandenes Gerät, nicht \\x1B]0;x\\x07"},
        {{"--read", ""}, "--read ohne Wert"},
        {{"--target", "", "b.bin"}, "--target ohne Wert"},
        {{"--target", "any", ""}, "leerer Dateiname"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Arguments.join(' ').toStdString());
        QString error;
        const std::optional<FlashOptions> options = ParseFlashOptions(c.Arguments, error);
        EXPECT_EQ(error, c.Error);
        if (!options)
            continue;
        EXPECT_EQ(options->What, c.What);
        EXPECT_EQ(options->Target, c.Target);
        EXPECT_EQ(options->Port.Device.isEmpty() ? "COM" + QString::number(options->Port.Number)
                                                 : options->Port.Device,
                  c.Port.isEmpty() ? "COM-1" : c.Port);
        EXPECT_EQ(options->File, c.File);
    }
}

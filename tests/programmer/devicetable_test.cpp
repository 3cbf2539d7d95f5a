#include "programmer/devicetable.h"

#include <QMap>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(DeviceTable, SignatureLookupFindsOnlyRowsWithAKnownSignature)
{
    EXPECT_EQ(DeviceBySignature(0x1E9109), 11);
    EXPECT_EQ(DeviceBySignature(0x1E9701), 12);
    EXPECT_EQ(DeviceBySignature(0x1E9103), 10);
    EXPECT_EQ(DeviceBySignature(0x1E9101), 1);
    EXPECT_EQ(DeviceBySignature(0x123456), 0);
    EXPECT_EQ(DeviceBySignature(0x000000), 0) << "the name-only rows must never be identified";
    EXPECT_EQ(DeviceBySignature(0xFFFFFF), 0);
    for (int row = 1; row < DeviceCount; ++row) {
        SCOPED_TRACE(row);
        const std::uint32_t signature = DeviceTable[row].Signature;
        EXPECT_EQ(DeviceBySignature(signature), signature ? row : 0);
    }
}

TEST(DeviceTable, NameLookupIgnoresCaseAndIncludesUnknown)
{
    EXPECT_EQ(DeviceByName("atmega103"), 12);
    EXPECT_EQ(DeviceByName("ATMEGA103"), 12);
    EXPECT_EQ(DeviceByName("AtTiny26"), 11);
    EXPECT_EQ(DeviceByName("unknown"), 0);
    EXPECT_EQ(DeviceByName("UNKNOWN"), 0);
    EXPECT_EQ(DeviceByName("ATmega1030"), std::nullopt);
    EXPECT_EQ(DeviceByName("ATmega10"), std::nullopt);
    EXPECT_EQ(DeviceByName(""), std::nullopt);
}

TEST(DeviceTable, RowsCarryTheBoardParametersOfTheirChip)
{
    const TDeviceInfo& none = DeviceTable[0];
    EXPECT_EQ(none.Name, "unknown");
    EXPECT_EQ(none.Signature | none.FlashWords | none.EepromWords | none.Paged | none.PageWords |
                  none.EraseWait | none.FlashWait | none.EepromWait | none.PollValues,
              0u);
    const TDeviceInfo& tiny = DeviceTable[11];
    EXPECT_EQ(tiny.PageWords, 16);
    EXPECT_EQ(tiny.EraseWait, 294);
    EXPECT_EQ(tiny.FlashWait, 147);
    EXPECT_EQ(tiny.EepromWait, 294);
    EXPECT_EQ(DeviceTable[12].EraseWait, 1441);
    EXPECT_EQ(DeviceTable[12].FlashWait, 720);
    EXPECT_EQ(DeviceTable[3].PollValues, 0xFF00u);
    EXPECT_EQ(DeviceTable[6].PollValues, 0xFF00u);
}

namespace {

// The memory macros of the chip's avr-libc header as the compiler's preprocessor defines them,
// empty when the compiler does not know the chip.
QMap<QString, int> HeaderMacros(const QString& mcu)
{
    QProcess gcc;
    gcc.start(QStringLiteral(QUENNOR_BINARY_DIR "/bin/avr-gcc"),
              {"-mmcu=" + mcu, "-E", "-dM", "-x", "c", "-"});
    gcc.write("#include <avr/io.h>\n");
    gcc.closeWriteChannel();
    if (!gcc.waitForFinished(20000) || gcc.exitCode() != 0)
        return {};
    QMap<QString, int> macros;
    static const QRegularExpression define(
        QStringLiteral("^#define (RAMSTART|RAMEND|E2END|FLASHEND) (0x[0-9A-Fa-f]+)$"),
        QRegularExpression::MultilineOption);
    for (const auto& match : define.globalMatch(QString::fromLatin1(gcc.readAllStandardOutput())))
        macros[match.captured(1)] = match.captured(2).toInt(nullptr, 16);
    return macros;
}

} // namespace

TEST(DeviceTable, MemorySizesAreThoseOfTheChipsHeader)
{
    QStringList unchecked;
    for (int row = 1; row < DeviceCount; ++row) {
        const TDeviceInfo& chip = DeviceTable[row];
        const QString name = QString::fromLatin1(chip.Name);
        SCOPED_TRACE(name.toStdString());
        const QMap<QString, int> macros = HeaderMacros(name.toLower());
        if (macros.isEmpty()) {
            unchecked << name;
            continue;
        }
        ASSERT_EQ(macros.size(), 4);
        EXPECT_EQ(chip.RamBytes, macros["RAMEND"] - macros["RAMSTART"] + 1);
        EXPECT_EQ(chip.EepromBytes, macros["E2END"] + 1);
        EXPECT_EQ(chip.FlashBytes, macros["FLASHEND"] + 1);
    }
    EXPECT_EQ(unchecked, QStringList{"ATmega603"}) << "today's compiler knows every other chip";
}

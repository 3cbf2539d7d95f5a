#include "build/memoryuse.h"

#include <gtest/gtest.h>

#include "support/qtprinters.h"

TEST(MemoryUse, FlashHoldsTheInitialValuesAndRamEveryVariable)
{
    const std::vector<TElfSection> sections{{".text", 100}, {".data", 40},   {".bss", 20},
                                            {".noinit", 5}, {".eeprom", 10}, {".stab", 1380}};
    const TMemoryUse use = MemoryUse(sections);
    EXPECT_EQ(QList<qint64>({use.Flash, use.Ram, use.Eeprom.value_or(-1)}),
              QList<qint64>({140, 65, 10}));
    EXPECT_FALSE(MemoryUse({{".text", 100}}).Eeprom) << "no EEPROM share without its section";
}

TEST(MemoryUse, TheRowGivesEachShareAndWarnsWhenAMemoryDoesNotSuffice)
{
    const TChipMemory tiny{2048, 128, 128};
    const QString share = QStringLiteral("Speicher: Flash 80 von 2048 Bytes (4 %), RAM %1.");
    const QString stack = QStringLiteral(" Warnung: Für den Stack bleiben nur %1 RAM frei, "
                                         "mindestens 16 sind nötig.");
    const struct
    {
        TMemoryUse Use;
        TChipMemory Chip;
        QString Text;
    } cases[] = {
        {{80, 12, {}}, tiny, share.arg("12 von 128 Bytes (9 %)")},
        {{80, 112, {}}, tiny, share.arg("112 von 128 Bytes (88 %)")},
        {{80, 113, {}}, tiny, share.arg("113 von 128 Bytes (88 %)") + stack.arg("15 Bytes")},
        {{80, 127, {}}, tiny, share.arg("127 von 128 Bytes (99 %)") + stack.arg("1 Byte")},
        {{80, 128, {}}, tiny, share.arg("128 von 128 Bytes (100 %)") + stack.arg("0 Bytes")},
        {{80, 129, {}},
         tiny,
         share.arg("129 von 128 Bytes (101 %)") +
             " Warnung: Die Variablen brauchen 1 Byte mehr RAM, als der Chip hat."},
        {{2100, 0, 200},
         tiny,
         "Speicher: Flash 2100 von 2048 Bytes (103 %), RAM 0 von 128 Bytes (0 %), EEPROM 200 von "
         "128 Bytes (156 %). Warnung: Das Programm ist 52 Bytes größer als der Flash. Die "
         "EEPROM-Daten sind 72 Bytes größer als das EEPROM."},
        {{80, 300, 1}, {}, "Speicher: Flash 80 Bytes, RAM 300 Bytes, EEPROM 1 Byte."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        EXPECT_EQ(MemoryText(c.Use, c.Chip), c.Text);
        const QString ram = RamWarning(c.Use, c.Chip);
        EXPECT_EQ(ram.isEmpty(), !c.Text.contains(QStringLiteral(" RAM frei")) &&
                                     !c.Text.contains(QStringLiteral("mehr RAM")));
        EXPECT_TRUE(c.Text.endsWith(ram)) << "the row's last warning is the RAM's";
    }
}

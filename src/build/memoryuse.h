#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "build/elfsections.h"

// The sizes of a chip's three memories in bytes; 0 throughout for a chip that is not known.
struct TChipMemory
{
    qint64 Flash = 0;
    qint64 Ram = 0;
    qint64 Eeprom = 0;
};

// What a program takes of each memory, counted as the tool chain counts it. Eeprom is empty
// when the program puts nothing there.
struct TMemoryUse
{
    qint64 Flash = 0;
    qint64 Ram = 0;
    std::optional<qint64> Eeprom;
};

TMemoryUse MemoryUse(const std::vector<TElfSection>& sections);

// Why the program cannot run for lack of RAM, empty when the RAM suffices or the chip is not
// known.
QString RamWarning(const TMemoryUse& use, const TChipMemory& chip);

// The row after a build's completion row: each memory used of the chip's, with a warning when
// one of them does not suffice.
QString MemoryText(const TMemoryUse& use, const TChipMemory& chip);

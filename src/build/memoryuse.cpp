#include "build/memoryuse.h"

#include <algorithm>

#include <QStringList>

namespace {

// The stack holds return addresses and what an interrupt saves: a C function that calls
// another and one interrupt already take more than this.
constexpr qint64 MinimumStackBytes = 16;

qint64 SectionSize(const std::vector<TElfSection>& sections, const char* name)
{
    qint64 size = 0;
    for (const TElfSection& section : sections)
        if (section.Name == name)
            size += section.Size;
    return size;
}

bool HasSection(const std::vector<TElfSection>& sections, const char* name)
{
    return std::any_of(sections.begin(), sections.end(),
                       [name](const TElfSection& section) { return section.Name == name; });
}

QString Bytes(qint64 count)
{
    return count == 1 ? QStringLiteral("1 Byte") : QStringLiteral("%1 Bytes").arg(count);
}

// Rounded, except that a memory not quite full never shows 100 % and one overfull never does
// either.
qint64 Percent(qint64 used, qint64 total)
{
    const qint64 rounded = (used * 100 + total / 2) / total;
    if (used < total)
        return std::min<qint64>(rounded, 99);
    if (used > total)
        return std::max<qint64>(rounded, 101);
    return 100;
}

QString Share(const char* memory, qint64 used, qint64 total)
{
    if (total <= 0)
        return QLatin1String(memory) + QLatin1Char(' ') + Bytes(used);
    return QStringLiteral("%1 %2 von %3 Bytes (%4 %)")
        .arg(QLatin1String(memory))
        .arg(used)
        .arg(total)
        .arg(Percent(used, total));
}

} // namespace

TMemoryUse MemoryUse(const std::vector<TElfSection>& sections)
{
    const qint64 data = SectionSize(sections, ".data");
    TMemoryUse use;
    // The initial values of the variables are copied from the flash at start.
    use.Flash = SectionSize(sections, ".text") + data;
    use.Ram = data + SectionSize(sections, ".bss") + SectionSize(sections, ".noinit");
    if (HasSection(sections, ".eeprom"))
        use.Eeprom = SectionSize(sections, ".eeprom");
    return use;
}

QString RamWarning(const TMemoryUse& use, const TChipMemory& chip)
{
    if (chip.Ram <= 0)
        return {};
    if (use.Ram > chip.Ram)
        return QStringLiteral("Die Variablen brauchen %1 mehr RAM, als der Chip hat.")
            .arg(Bytes(use.Ram - chip.Ram));
    if (chip.Ram - use.Ram < MinimumStackBytes)
        return QStringLiteral("Für den Stack bleiben nur %1 RAM frei, mindestens %2 sind nötig.")
            .arg(Bytes(chip.Ram - use.Ram))
            .arg(MinimumStackBytes);
    return {};
}

QString MemoryText(const TMemoryUse& use, const TChipMemory& chip)
{
    QStringList shares{Share("Flash", use.Flash, chip.Flash), Share("RAM", use.Ram, chip.Ram)};
    if (use.Eeprom)
        shares << Share("EEPROM", *use.Eeprom, chip.Eeprom);
    QStringList warnings;
    if (chip.Flash > 0 && use.Flash > chip.Flash)
        warnings << QStringLiteral("Das Programm ist %1 größer als der Flash.")
                        .arg(Bytes(use.Flash - chip.Flash));
    if (const QString ram = RamWarning(use, chip); !ram.isEmpty())
        warnings << ram;
    if (use.Eeprom && chip.Eeprom > 0 && *use.Eeprom > chip.Eeprom)
        warnings << QStringLiteral("Die EEPROM-Daten sind %1 größer als das EEPROM.")
                        .arg(Bytes(*use.Eeprom - chip.Eeprom));
    QString text = QStringLiteral("Speicher: ") + shares.join(QStringLiteral(", ")) + '.';
    if (!warnings.isEmpty())
        text += QStringLiteral(" Warnung: ") + warnings.join(QLatin1Char(' '));
    return text;
}

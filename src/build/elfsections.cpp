#include "build/elfsections.h"

#include <cstring>

namespace {

constexpr qint64 HeaderSize = 52;
constexpr qint64 SectionHeaderSize = 40;
constexpr quint16 ExecutableType = 2;
constexpr quint16 AvrMachine = 83;
constexpr quint32 NoBitsType = 8;

// Every read is checked against the file's end, so that offsets and counts taken from a hostile
// file can never reach outside it.
class ElfBytes final
{
public:
    explicit ElfBytes(const QByteArray& file)
        : FFile(file)
    {}

    bool Holds(qint64 offset, qint64 size) const
    {
        return offset >= 0 && size >= 0 && offset <= FFile.size() && size <= FFile.size() - offset;
    }

    // Little-endian, whatever the machine reading it.
    std::optional<quint32> Word(qint64 offset, int bytes) const
    {
        if (!Holds(offset, bytes))
            return std::nullopt;
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | quint8(FFile[offset + i]);
        return value;
    }

    // The NUL-terminated name at offset within the table, which must end inside the table.
    std::optional<QByteArray> Name(qint64 table, qint64 tableSize, quint32 offset) const
    {
        if (!Holds(table, tableSize) || offset >= tableSize)
            return std::nullopt;
        const char* start = FFile.constData() + table + offset;
        const void* end = std::memchr(start, '\0', size_t(tableSize - offset));
        if (!end)
            return std::nullopt;
        return QByteArray(start, static_cast<const char*>(end) - start);
    }

private:
    const QByteArray& FFile;
};

bool IsAvrExecutable(const ElfBytes& elf, const QByteArray& file)
{
    static constexpr char ident[] = {'\x7F', 'E', 'L', 'F', 1 /* 32 bit */, 1 /* little-endian */,
                                     1 /* version */};
    return elf.Holds(0, HeaderSize) && std::memcmp(file.constData(), ident, sizeof ident) == 0 &&
           elf.Word(16, 2) == ExecutableType && elf.Word(18, 2) == AvrMachine;
}

struct SectionHeader
{
    quint32 Name = 0;
    quint32 Type = 0;
    quint32 Offset = 0;
    quint32 Size = 0;
};

std::optional<SectionHeader> ReadSectionHeader(const ElfBytes& elf, qint64 at)
{
    if (!elf.Holds(at, SectionHeaderSize))
        return std::nullopt;
    return SectionHeader{*elf.Word(at, 4), *elf.Word(at + 4, 4), *elf.Word(at + 16, 4),
                         *elf.Word(at + 20, 4)};
}

} // namespace

std::optional<std::vector<TElfSection>> ReadElfSections(const QByteArray& file)
{
    const ElfBytes elf(file);
    if (!IsAvrExecutable(elf, file))
        return std::nullopt;
    const qint64 tableAt = *elf.Word(32, 4);
    const qint64 entrySize = *elf.Word(46, 2);
    const qint64 count = *elf.Word(48, 2);
    const qint64 namesIndex = *elf.Word(50, 2);
    // A count of 0 with a table would mean more sections than the header can count, which no
    // AVR program has; an index past the count covers the escape value for the names as well.
    if (count == 0 || entrySize < SectionHeaderSize || namesIndex >= count ||
        !elf.Holds(tableAt, count * entrySize))
        return std::nullopt;
    std::vector<SectionHeader> headers;
    for (qint64 i = 0; i < count; ++i) {
        const std::optional<SectionHeader> header = ReadSectionHeader(elf, tableAt + i * entrySize);
        if (!header || (header->Type != NoBitsType && !elf.Holds(header->Offset, header->Size)))
            return std::nullopt;
        headers.push_back(*header);
    }
    const SectionHeader& names = headers[size_t(namesIndex)];
    std::vector<TElfSection> sections;
    for (const SectionHeader& header : headers) {
        const std::optional<QByteArray> name = elf.Name(names.Offset, names.Size, header.Name);
        if (!name)
            return std::nullopt;
        sections.push_back({*name, header.Size});
    }
    return sections;
}

#include "build/elfsections.h"

#include <QProcess>
#include <QtEndian>

#include <gtest/gtest.h>

#include "support/tempdir.h"
#include "support/toolchain.h"

namespace {

QString ToolOutput(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    EXPECT_TRUE(tool.waitForFinished(30000)) << program.toStdString();
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return QString::fromLatin1(tool.readAllStandardOutput());
}

// A linked program with every kind of section the memory report counts.
QString LinkedProgram(const TempDir& dir)
{
    const QString source =
        dir.Write(QStringLiteral("x.c"),
                  "#include <avr/eeprom.h>\nvolatile char d[40] = {1};\nchar b[20];\n"
                  "char n[5] __attribute__((section(\".noinit\")));\n"
                  "char e[10] EEMEM = {1};\nint main(void) { for (;;) d[b[n[1]]]++; }\n");
    const QString program = dir.Path(QStringLiteral("x.elf"));
    ToolOutput(TestGcc, {"-g", "-Os", "-mmcu=attiny26", source, "-o", program});
    return program;
}

} // namespace

TEST(ElfSections, ReadsTheSectionsAsTheToolChainListsThem)
{
    const TempDir dir;
    const QString program = LinkedProgram(dir);
    const auto sections = ReadElfSections(TempDir::Read(program));
    ASSERT_TRUE(sections);
    QStringList read;
    for (const TElfSection& section : *sections)
        if (!section.Name.isEmpty() && section.Name != ".shstrtab" && section.Name != ".symtab" &&
            section.Name != ".strtab") // avr-size leaves out the tables of the file itself
            read
                << QStringLiteral("%1 %2").arg(QString::fromLatin1(section.Name)).arg(section.Size);
    QStringList listed;
    for (const QString& line : ToolOutput(QStringLiteral("avr-size"), {"-A", program}).split('\n'))
        if (line.startsWith('.'))
            listed << line.section(' ', 0, 0) + ' ' + line.simplified().section(' ', 1, 1);
    EXPECT_EQ(read, listed);
    EXPECT_TRUE(listed.contains(".noinit 5") && listed.contains(".eeprom 10"));
}

// Every damage is one that a cut file, another tool's output or a hostile file brings; each must
// give no sections at all rather than wrong ones, and never a read outside the bytes.
TEST(ElfSections, ADamagedOrForeignFileGivesNoSections)
{
    const TempDir dir;
    const QByteArray good = TempDir::Read(LinkedProgram(dir));
    const auto word = [&good](qint64 at) {
        return qFromLittleEndian<quint32>(good.data() + at);
    };
    const qint64 table = word(32);
    const qint64 names = table + 40 * (word(50) & 0xFFFF);
    for (const qint64 size : {qint64(0), qint64(51), table, good.size() - 1}) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(ReadElfSections(good.left(size)).has_value());
    }
    const struct
    {
        const char* Damage;
        qint64 At;
        quint32 Value;
        int Bytes;
    } cases[] = {{"no ELF", 1, 'X', 1},
                 {"64-bit", 4, 2, 1},
                 {"big-endian", 5, 2, 1},
                 {"relocatable object", 16, 1, 2},
                 {"another machine", 18, 3, 2},
                 {"headers far past the end", 32, 0xFFFFFFF0, 4},
                 {"too many headers", 48, 0xFFFF, 2},
                 {"no headers", 48, 0, 2},
                 {"headers too short", 46, 20, 2},
                 {"names in a section that is not there", 50, word(48) & 0xFFFF, 2},
                 {"contents past the end", table + 40 + 20, 0xFFFFFFFF, 4},
                 {"name past its table", table + 40, 0xFFFFFF00, 4},
                 {"last name without its end", word(names + 16) + word(names + 20) - 1, 'x', 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Damage);
        QByteArray file = good;
        for (int i = 0; i < c.Bytes; ++i)
            file[c.At + i] = char(c.Value >> 8 * i);
        EXPECT_FALSE(ReadElfSections(file).has_value());
    }
}

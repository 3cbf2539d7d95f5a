#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QtGlobal>

// One section of a program file: its name and its size in memory (for a section without
// contents in the file, such as .bss, the size it takes at run time).
struct TElfSection
{
    QByteArray Name;
    quint32 Size = 0;
};

// The sections of a linked AVR program (a 32-bit little-endian ELF executable), in the order
// of its section headers. Nothing when the bytes are no such file or any header, name or
// section contents lie outside them: a cut or damaged file yields no sizes rather than wrong
// ones.
std::optional<std::vector<TElfSection>> ReadElfSections(const QByteArray& file);

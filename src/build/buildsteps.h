#pragma once

#include <optional>
#include <string_view>

#include <QString>

// The files of one build, all beside the source and named after it.
struct TBuildFiles
{
    QString Source;
    QString Object;
    QString Program;
    QString Hex;
    QString Binary;
    QString Listing;
};

// Replaces the extension, the part of the file name from its last dot on, or appends one to a
// name without a dot. extension includes its dot.
QString ChangeFileExt(const QString& path, const QString& extension);

TBuildFiles BuildFiles(const QString& source);

// One tool run of a build: the row shown before it starts, the program it starts and the command
// line it runs, which names the program first.
struct TToolStep
{
    QString Status;
    QString Program;
    QString CommandLine;
};

// mcu is the compiler's device name; listing is empty when no listing is wanted.
TToolStep CompileStep(const QString& gccPath, std::string_view mcu, const QString& source,
                      const QString& object, const QString& listing);
TToolStep LinkStep(const QString& gccPath, std::string_view mcu, const QString& object,
                   const QString& program);
TToolStep HexStep(const QString& objcopyPath, const QString& program, const QString& hex);
TToolStep BinaryStep(const QString& objcopyPath, const QString& program, const QString& binary);

// The size of the image file in bytes, or nothing if it is no regular file or cannot be opened
// for reading.
std::optional<qint64> ImageSize(const QString& binary);

// The last row of a successful build, with the code size when it is known.
QString CompletionText(std::optional<qint64> codeSize);

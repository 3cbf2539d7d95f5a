#pragma once

#include <optional>
#include <sys/types.h>

#include <QByteArray>
#include <QString>

#include "platform/files.h"

// How a source file's bytes were turned into text, so that saving gives the same bytes back.
enum class TextEncoding
{
    Utf8,
    Utf8WithBom,
    Windows1252,
};

// How a source file ends its lines: LF where every line end in it was LF, otherwise (and for a
// new file) CR LF.
enum class LineEnd
{
    CrLf,
    Lf,
};

struct TextFormat
{
    // Implicit, so that a plain encoding stands for a file with CR LF line ends.
    TextFormat(TextEncoding encoding = TextEncoding::Utf8, LineEnd lineEnds = LineEnd::CrLf)
        : Encoding(encoding)
        , LineEnds(lineEnds)
    {}

    TextEncoding Encoding;
    LineEnd LineEnds;

    bool operator==(const TextFormat&) const = default;
};

struct TextFileContents
{
    QString Text; // line ends are '\n'
    TextFormat Format;
    FileStamp Stamp; // of the file as it was read
};

// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252 (every byte maps to a character).
// CR LF, lone CR and lone LF all become '\n'.
TextFileContents DecodeText(const QByteArray& bytes);

// One line of text from outside (tool output, a store): UTF-8 when valid, else Windows-1252.
// Line ends are left as they are.
QString DecodeLine(QByteArrayView bytes);

// The text's bytes in the format; nothing when the format is Windows-1252 and the text holds a
// character that has no byte there.
std::optional<QByteArray> EncodeText(const QString& text, const TextFormat& format);

// Replaces the file's contents as a whole or not at all; false when the old contents stayed. A
// file that is already there keeps its permissions; a new one gets newFileMode when given.
bool SaveFileAtomically(const QString& path, const QByteArray& bytes,
                        std::optional<mode_t> newFileMode = std::nullopt);

// Reads regular files only. Throws FileError "Cannot open file <path>".
TextFileContents ReadTextFile(const QString& path);

// Replaces the contents of a regular file, or creates one, keeping everything else the file
// has: atomically where the new file can carry its owner, group, mode and extended attributes
// and its folder lets it take the name; otherwise in place, with a copy of the old contents
// among the BackupCopies until the new ones are written. On any failure the old contents stay
// and FileError "Cannot create file <path>" is thrown. Returns the stamp of the file written.
FileStamp WriteFileContents(const QString& path, const QByteArray& bytes);

// The text encoded and written; a text that does not fit the encoding is not written either.
FileStamp WriteTextFile(const QString& path, const QString& text, const TextFormat& format = {});

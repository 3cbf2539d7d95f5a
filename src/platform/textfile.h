#pragma once

#include <optional>
#include <sys/types.h>

#include <QByteArray>
#include <QString>

// How a source file's bytes were turned into text, so that saving gives the same bytes back.
enum class TextEncoding
{
    Utf8,
    Utf8WithBom,
    Windows1252,
};

struct TextFileContents
{
    QString Text; // line ends are '\n'
    TextEncoding Encoding = TextEncoding::Utf8;
};

// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252 (every byte maps to a character).
// CR LF, lone CR and lone LF all become '\n'.
TextFileContents DecodeText(const QByteArray& bytes);

// One line of text from outside (tool output, a store): UTF-8 when valid, else Windows-1252.
// Line ends are left as they are.
QString DecodeLine(QByteArrayView bytes);

// Line ends become CR LF. A Windows-1252 text holding a character outside that code page is
// encoded as UTF-8; encoding tells which one was used.
QByteArray EncodeText(const QString& text, TextEncoding& encoding);

// Replaces the file's contents as a whole or not at all; false when the old contents stayed. A
// file that is already there keeps its permissions; a new one gets newFileMode when given.
bool SaveFileAtomically(const QString& path, const QByteArray& bytes,
                        std::optional<mode_t> newFileMode = std::nullopt);

// Reads regular files only. Throws FileError "Cannot open file <path>".
TextFileContents ReadTextFile(const QString& path);

// Replaces the contents of a regular file, or creates one, keeping the file's links, owner and
// group: atomically where that keeps them, otherwise in place with a copy of the old contents in
// $XDG_STATE_HOME/quennor until the new ones are written. On any failure the old contents stay
// and FileError "Cannot create file <path>" is thrown. Returns the encoding written.
TextEncoding WriteTextFile(const QString& path, const QString& text, TextEncoding encoding);

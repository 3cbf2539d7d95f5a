#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// Reads the first maxBytes bytes (all of them for -1) of a regular file. Nothing when the path
// cannot be opened or names anything but a regular file: a FIFO or a device would block the
// program or never end. Then error, where given, holds the system's error number, or 0 for a
// path that names no regular file.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes = -1,
                                          int* error = nullptr);

// Whether both paths name the same file: the same path, or the same file reached through a
// symbolic or hard link. A path that names nothing is only the same as itself.
bool SameFile(const QString& first, const QString& second);

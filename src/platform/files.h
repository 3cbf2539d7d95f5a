#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// What tells one version of a file from the next: another program's change alters at least one.
struct FileStamp
{
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file a path names (symbolic links followed); nothing when there is none.
std::optional<FileStamp> StampOf(const QString& path);
FileStamp StampOfHandle(int handle);

// Reads the first maxBytes bytes (all of them for -1) of a regular file. Nothing when the path
// cannot be opened or names anything but a regular file: a FIFO or a device would block the
// program or never end. stamp, when given, receives the stamp of the file as it was opened;
// error, when given, the system's error number of a failure, or 0 for a path that names no
// regular file.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes = -1,
                                          FileStamp* stamp = nullptr, int* error = nullptr);

// Whether both paths name the same file: the same path, or the same file reached through a
// symbolic or hard link. A path that names nothing is only the same as itself.
bool SameFile(const QString& first, const QString& second);

// Makes the folder and every missing folder above it readable by their user only; false when
// the folder is not there afterwards. Folders already there keep their permissions.
bool MakePrivateFolder(const QString& folder);

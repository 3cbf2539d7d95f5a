#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

// Copies of a file's old contents, kept in the per-user state folder ($XDG_STATE_HOME/quennor,
// by default ~/.local/state/quennor) while the file is rewritten in place. Each copy has a record
// beside it, named like the copy with ".path" added, that holds the file's path, so that a copy
// that a crash left behind can be traced back to its file.
namespace BackupCopies {

QString Folder();

// The copy, synced to the disk with its record; nothing when that could not be done.
std::optional<QString> Make(const QString& path, const QByteArray& old);

// Removes the copy, then its record.
void Remove(const QString& copy);

// The copies left for the file at path, by any name that reaches it.
QStringList Of(const QString& path);

// Removes copies older than the given number of days, with their records, and records whose
// copy is gone.
void Prune(int days = 30);

} // namespace BackupCopies

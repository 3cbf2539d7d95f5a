#pragma once

#include <QString>

// An advisory lock (flock) on a lock file, held for the life of the object, so that programs
// that read, change and write the same file one after the other see each other's changes.
class FileLock final
{
public:
    // Creates the lock file (readable by its user only) when it is missing and waits at most
    // waitMs for the lock. A lock that cannot be had in that time, or a lock file that cannot
    // be opened, leaves the object without it.
    FileLock(const QString& path, int waitMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Held() const { return FHeld; }

private:
    int FHandle = -1;
    bool FHeld = false;
};

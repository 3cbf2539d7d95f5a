#pragma once

#include <optional>

#include <QString>

// Who holds a serial device, as far as the user can be told.
struct PortHolder
{
    enum Kind
    {
        LockFile, // a lock file "LCK..name" names a live process
        OpenFile  // another process has the device open
    };
    Kind How = OpenFile;
    long Pid = 0; // 0: not known, as for a lock file that names no process we can read
};

// Who else holds the serial device at path, if anyone, as far as the system lets us see: a
// lock file "LCK..name" in lockDirectory, as terminal programs leave them, naming a live
// process (or one we cannot read), or a descriptor of another process in /proc that we may
// read and that is open on the device. This process's own descriptors do not count.
std::optional<PortHolder>
FindPortHolder(const QString& path, const QString& lockDirectory = QStringLiteral("/var/lock"));

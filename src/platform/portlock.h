#pragma once

#include <QString>

// Whether another process holds the serial device at path, as far as the system lets us see:
// a lock file "LCK..name" in lockDirectory, as terminal programs leave them, naming a live
// process (or one we cannot read), or a descriptor of another process in /proc that we may
// read and that is open on the device. This process's own descriptors do not count.
bool PortInUse(const QString& path, const QString& lockDirectory = QStringLiteral("/var/lock"));

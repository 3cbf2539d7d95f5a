#pragma once

#include <QString>

#include "platform/serialchannel.h"

// Where a programming operation looks for the board: COM1 to COM8 in turn, one numbered port,
// or one device named by its path.
struct PortChoice
{
    int Number = -1; // COMn; below 1 searches COM1 to COM8
    QString Device;  // a device path; when set, the board is looked for there alone
    // Opens the numbered ports; empty for the system's serial ports, as outside the tests.
    PortOpener Ports = {};

    // Opens the ports as the link numbers them: COMn, or the named device as COM1.
    PortOpener Opener() const;
    // The port number to give the link's Connect.
    int ConnectPort() const { return Device.isEmpty() ? Number : 1; }
    // Where the board was found, as the user knows the port: "COM5", or the device path.
    QString Place(int port) const;
};

#include "programmer/portchoice.h"

#include "platform/serialport.h"

PortOpener PortChoice::Opener() const
{
    if (Device.isEmpty())
        return Ports ? Ports : SerialPort::Opener();
    return [device = Device](int) {
        return SerialPort::OpenDevice(device);
    };
}

QString PortChoice::Place(int port) const
{
    return Device.isEmpty() ? QStringLiteral("COM") + QString::number(port) : Device;
}

#pragma once

#include <QString>

#include "platform/serialchannel.h"

// A serial device opened exclusively at 115200 8N1, raw, DTR on and RTS off, with output
// flow control by CTS and the read and write time-outs of SerialChannel. A device without
// modem lines (a pseudo-terminal) counts as always clear to send.
class SerialPort final : public SerialChannel
{
public:
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // COMn is the n-th entry of the colon-separated list in QUENNOR_PORTS, or of the default
    // list of the usual serial, USB and ACM devices; empty when there is no such entry.
    static QString DevicePath(int port);
    static std::unique_ptr<SerialPort> Open(int port);
    static std::unique_ptr<SerialPort> OpenDevice(const QString& path);
    static PortOpener Opener();

    int Read(std::uint8_t* data, int size) override;
    int Write(const std::uint8_t* data, int size) override;
    void Purge() override;

    bool Failed() const { return FFailed; }

private:
    explicit SerialPort(int fd, bool hasModemLines);
    bool WaitForClearToSend(std::uint32_t start, std::int64_t limit);
    bool Wait(short events, int timeoutMs);

    int FFd = -1;
    bool FHasModemLines = false;
    bool FFailed = false;
};

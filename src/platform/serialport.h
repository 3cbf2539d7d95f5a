#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include <QString>

#include "platform/serialchannel.h"
#include "platform/serialdevice.h"

// The link's serial port on a device: the read and write time-outs of SerialChannel, output
// held back while the board drops CTS (at most MaxQueued bytes still leave after it does), and
// abort on error: a damaged byte, a break, an overrun or a hang-up fails that transfer and
// every later one. A device without modem lines (a pseudo-terminal) counts as always clear to
// send; one without error counters is judged by the marks in its data alone.
class SerialPort final : public SerialChannel
{
public:
    static constexpr int MaxQueued = 32;

    explicit SerialPort(std::unique_ptr<SerialDevice> device);
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // COMn is the n-th entry of the colon-separated list in QUENNOR_PORTS ("\:" a colon within
    // an entry, "\\" a backslash), or of the default list (USB adapters first, then the serial
    // ports); empty when there is no such entry.
    static QString DevicePath(int port);
    static PortOpening Open(int port);
    static PortOpening OpenDevice(const QString& path);
    static PortOpener Opener();

    int Read(std::uint8_t* data, int size) override;
    int Write(const std::uint8_t* data, int size) override;
    void Purge() override;
    bool Failed() const override { return FFailed; }
    void StopWaitsWhen(std::function<bool()> stop) override { FStop = std::move(stop); }

private:
    using Clock = std::chrono::steady_clock;

    bool Wait(short events, Clock::time_point deadline);
    bool WaitForRoom(int bytes, Clock::time_point deadline);
    bool ClearToSend();
    bool LineFailed();
    bool Stopped() const { return FStop && FStop(); }
    int Decode(const std::uint8_t* raw, int count, std::uint8_t* data);

    std::unique_ptr<SerialDevice> FDevice;
    bool FHasModemLines = false;
    std::optional<LineErrorCounts> FErrorsAtOpen;
    bool FMarkPending = false; // the last byte read was the 0xFF that starts a mark
    bool FFailed = false;
    std::function<bool()> FStop;
};

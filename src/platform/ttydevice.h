#pragma once

#include <memory>
#include <optional>
#include <termios.h>

#include <QString>

#include "platform/serialchannel.h"
#include "platform/serialdevice.h"

// A serial device node, opened only when no other program holds it, exclusively, at 115200
// 8N1, raw, with line errors marked, DTR on and RTS off, and low latency where the driver
// offers it. Closing it gives the device back the settings it had before.
class TtyDevice final : public SerialDevice
{
public:
    // The device, or empty with the reason in refusal and, for a device another program holds,
    // its process in holder (0 where not known).
    static std::unique_ptr<TtyDevice> Open(const QString& path, PortRefusal& refusal, long& holder);
    ~TtyDevice() override;
    TtyDevice(const TtyDevice&) = delete;
    TtyDevice& operator=(const TtyDevice&) = delete;

    ssize_t Read(std::uint8_t* data, std::size_t size) override;
    ssize_t Write(const std::uint8_t* data, std::size_t size) override;
    int Poll(short events, int timeoutMs) override;
    std::optional<bool> ClearToSend() override;
    int OutputQueue() override;
    std::optional<LineErrorCounts> ErrorCounts() override;
    void Flush() override;

private:
    TtyDevice(int fd, const termios& previous);
    bool Configure();
    void SetModemLines();
    void AskForLowLatency();

    int FFd = -1;
    termios FPrevious{};
    std::optional<int> FPreviousSerialFlags; // set once low latency was switched on here
};

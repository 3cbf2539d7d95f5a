#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <sys/types.h>

// The line errors a serial driver has counted.
struct LineErrorCounts
{
    int Framing = 0;
    int Parity = 0;
    int Overrun = 0;
    int Breaks = 0;
    int BufferOverrun = 0;

    bool operator==(const LineErrorCounts&) const = default;
};

// The system's side of one open serial device, the calls SerialPort builds on. A test puts a
// fake line in its place to play what a pseudo-terminal cannot: modem lines, line errors and
// a driver queue that drains at the wire rate.
class SerialDevice
{
public:
    virtual ~SerialDevice() = default;

    // As read(2) on a non-blocking descriptor: the bytes read, 0 once the line has hung up, -1
    // with errno set. Line errors come marked as the terminal layer's PARMRK marks them: 0xFF
    // 0xFF for a data byte 0xFF, 0xFF 0x00 c for a damaged byte c, 0xFF 0x00 0x00 for a break.
    virtual ssize_t Read(std::uint8_t* data, std::size_t size) = 0;
    // As write(2) on a non-blocking descriptor.
    virtual ssize_t Write(const std::uint8_t* data, std::size_t size) = 0;
    // As poll(2) on the descriptor: the events that came, 0 after the time-out, -1 with errno.
    virtual int Poll(short events, int timeoutMs) = 0;
    // Whether the board asserts CTS; empty for a device without modem lines, or one that no
    // longer answers.
    virtual std::optional<bool> ClearToSend() = 0;
    // Bytes written but not yet sent by the driver; 0 where the driver cannot tell.
    virtual int OutputQueue() = 0;
    // Empty when the driver keeps no counters, or no longer answers.
    virtual std::optional<LineErrorCounts> ErrorCounts() = 0;
    // Discards what waits in both directions.
    virtual void Flush() = 0;
};

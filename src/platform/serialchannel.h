#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// An open serial port as the programmer link uses it. Reads and writes are bounded by the
// port's time-outs and return the bytes that went through; after a line error every further
// transfer moves nothing until the port is closed (by destroying the object).
class SerialChannel
{
public:
    virtual ~SerialChannel() = default;

    // Returns once size bytes came, 100 ms passed without a byte after the first, or
    // 5 ms x size + 200 ms passed in all: the number of bytes received.
    virtual int Read(std::uint8_t* data, int size) = 0;
    // Gives up after 20 ms x size + 200 ms: the number of bytes written.
    virtual int Write(const std::uint8_t* data, int size) = 0;
    // Discards what is waiting in both directions.
    virtual void Purge() = 0;
};

// Opens port n ("COM"n) exclusively with the link's line settings; nullptr when it cannot.
using PortOpener = std::function<std::unique_ptr<SerialChannel>(int port)>;

#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QString>

// An open serial port as the programmer link uses it. Reads and writes are bounded by the
// port's time-outs and return the bytes that went through. After a line error (a damaged
// byte, a break, an overrun, a hang-up) that transfer and every later one move nothing until
// the port is closed (by destroying the object).
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
    // Whether a line error has ended the port's use.
    virtual bool Failed() const = 0;
    // From now on every wait ends at once once stop() is true, also one that a signal cut
    // short; empty lets the waits run their time again. For waits nothing depends on, such as
    // a search before any chip is in programming mode.
    virtual void StopWaitsWhen(std::function<bool()> stop) = 0;
};

// Why a port could not be opened.
enum class PortRefusal
{
    NoDevice,    // no such device, or the port names none
    NoAccess,    // the system refused it to this user
    InUse,       // another program has it open
    Locked,      // a lock file names a live program
    OwnTerminal, // the terminal this program runs in
    NotSerial,   // not a serial device, or it refused the line settings
};

// Port n opened, or why not, and the device it names.
struct PortOpening
{
    std::unique_ptr<SerialChannel> Channel;
    PortRefusal Refusal = PortRefusal::NoDevice; // only when Channel is empty
    QString Device = {};
    long Holder = 0; // InUse and Locked: the holding process, where known
};

// Opens port n ("COM"n) exclusively with the link's line settings.
using PortOpener = std::function<PortOpening(int port)>;

#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "board.h"
#include "platform/serialchannel.h"
#include "platform/serialdevice.h"
#include "support/pseudoterminal.h"

// The board simulator quennor-boardsim on a pseudo-terminal of its own, started for one test
// with the given options (e.g. {"--chip", "ATtiny26"}) and stopped when it goes out of scope.
// Its flash, fuses and received frames are read back while it runs or after it stopped.
class BoardSim final
{
public:
    explicit BoardSim(const QStringList& options = {});
    ~BoardSim();
    BoardSim(const BoardSim&) = delete;
    BoardSim& operator=(const BoardSim&) = delete;

    struct FuseBytes
    {
        std::uint8_t Low = 0;
        std::uint8_t High = 0;
    };

    // The path of the simulator's port, a symbolic link to its pseudo-terminal.
    QString Link() const { return FDir.filePath("port"); }
    bool Running() const { return FProcess.state() == QProcess::Running; }
    // Whether another process can open and lock the port now, as a second program would.
    bool PortFree() const;

    // Makes this simulator COMn for the rest of the test; the ports before it cannot be opened.
    void MapAsPort(int n) { MapPorts({{n, this}}); }
    // Sets QUENNOR_PORTS to these simulators, every other port naming nothing.
    static void MapPorts(const std::map<int, const BoardSim*>& ports);

    // The chip's flash, one word per address.
    std::vector<std::uint16_t> Flash();
    // The first bytes of the chip's flash, low byte of each word first, as a .bin file holds them.
    QByteArray FlashBytes(qsizetype count);
    FuseBytes Fuses();
    // Every frame the board received, oldest first, as "v 01 00 00 00".
    QStringList Frames();
    // Only the frames of one command letter.
    QStringList Frames(char letter);
    void Stop();

private:
    void Sync();
    QStringList LogLines() const;

    QTemporaryDir FDir;
    QProcess FProcess;
    int FDumps = 0;
};

// An image of that many bytes for a board's flash, in which no two bytes make a word 0xFFFF, so an
// unwritten (erased) word never passes for image data. Another seed gives other bytes.
QByteArray ImageBytes(int bytes, int seed = 1);

// A pseudo-terminal whose device only root may open, for tests of a port the system refuses;
// this process keeps its master.
class RefusedDevice final
{
public:
    RefusedDevice();

    QString Path() const { return FTerminal.Path(); }

private:
    PseudoTerminal FTerminal;
};

// A simulated board inside the test process on a line that behaves like real hardware where a
// pseudo-terminal cannot: the driver's output queue drains at 11520 bytes/s whatever CTS says,
// the board answers at the same rate, and the test drops CTS, damages the board's bytes or
// hangs the line up. Every port opened on it leads to the same board; one is open at a time,
// and the line outlives it.
class BoardLine final
{
public:
    enum class Damage
    {
        Framing,
        Parity,
        Break,
        Overrun
    };

    // The board takes the simulator's options, e.g. {"--chip", "ATtiny26"}.
    explicit BoardLine(const QStringList& options = {});
    BoardLine(const BoardLine&) = delete;
    BoardLine& operator=(const BoardLine&) = delete;

    std::unique_ptr<SerialDevice> Open();
    // Opens the line through SerialPort as COM1; there is no other port.
    PortOpener Opener();

    // False plays a driver without error counters: only the marks in the data tell.
    bool KeepsErrorCounts = true;
    // CTS drops once `after` more bytes have left the queue, and comes back `hold` later.
    void DropClearToSend(int after, std::chrono::milliseconds hold);
    // The board's byte `skip` places after those it has sent so far arrives damaged.
    void DamageAnswer(int skip, Damage damage);
    // The driver takes `after` more bytes, then none for `hold`, as when its buffer stays full.
    void StopTaking(int after, std::chrono::milliseconds hold);
    // Bytes from the board's side, sent from now on.
    void Answer(const std::vector<std::uint8_t>& bytes);
    void HangUp() { FHungUp = true; }
    // Waits until every byte on its way has arrived at its end.
    void Settle();

    // Every byte that has left the queue, oldest first.
    std::vector<std::uint8_t> Sent();
    // How many of them went out while CTS was off.
    int SentWhileHeld();
    // Every frame the board received, oldest first, as "v 01 00 00 00"; or those of one letter.
    QStringList Frames();
    QStringList Frames(char letter);
    SimulatedBoard& Board() { return FBoard; }

private:
    using Clock = std::chrono::steady_clock;
    friend class BoardLineEnd;

    struct Arrival
    {
        Clock::time_point At;
        int Byte = -1; // -1: the line hangs up
        std::optional<Damage> Damaged;
    };

    void Advance();
    void Transmit(std::uint8_t byte, Clock::time_point at);
    void PutOnWire(int byte, Clock::time_point at);
    void Arrive(const Arrival& arrival);
    std::size_t Room() const;

    ssize_t Read(std::uint8_t* data, std::size_t size);
    ssize_t Write(const std::uint8_t* data, std::size_t size);
    int Poll(short events, int timeoutMs);
    std::optional<bool> ClearToSend();
    int OutputQueue();
    std::optional<LineErrorCounts> ErrorCounts();
    void Flush();

    SimulatedBoard FBoard;
    std::deque<std::uint8_t> FQueue;
    Clock::time_point FSendDone;        // when the byte at the head of FQueue has gone out
    std::deque<Arrival> FWire;          // the board's bytes on their way
    Clock::time_point FWireFree;        // when the way back takes the next byte
    std::deque<std::uint8_t> FReceived; // arrived, as the driver hands them out
    LineErrorCounts FErrors;
    int FAnswers = 0;
    std::map<int, Damage> FDamage;
    int FDropAt = -1;
    std::chrono::milliseconds FHold{0};
    Clock::time_point FHeldFrom = Clock::time_point::max();
    Clock::time_point FHeldUntil = Clock::time_point::max();
    int FTaken = 0; // bytes the driver took in all
    int FStopAt = -1;
    std::chrono::milliseconds FStopHold{0};
    Clock::time_point FStoppedUntil = Clock::time_point::min();
    std::vector<std::uint8_t> FSent;
    QStringList FFrames;
    int FSentWhileHeld = 0;
    bool FHungUp = false;
};

#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

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

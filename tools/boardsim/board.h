#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

// One fault to inject: for the Nth frame of a command letter (0: every one).
struct BoardFault
{
    enum Kind
    {
        NoAck,       // send nothing where "+" is due
        BadAck,      // send '?' instead of "+"
        NoDone,      // leave out the closing "!"
        NoTextEnd,   // a version text without its closing 0
        ShortRead,   // an "f" block sends only half of its data, and "!" after a pause
        Stall,       // stop reading for good after Value data bytes of the block
        CorruptRead, // read-back of word Value carries Mask xor-ed in
        Unplug       // hang the line up after "+" (and the erase time), or after Value data
                     // bytes of a block
    };
    Kind What = NoAck;
    char Command = 0;
    int Occurrence = 0;
    int Value = 0;
    std::uint16_t Mask = 0;
};

struct BoardOptions
{
    std::uint32_t Signature = 0x1E9301;
    int FlashWords = 4096;
    int PageWords = 0; // 0: written word by word ("F"), else page by page ("P")
    std::string SoftwareText = "SW 2.1";
    std::string HardwareText = "HW 1.3";
    bool Silent = false;
    std::uint8_t LowFuse = 0xE1;
    std::uint8_t HighFuse = 0xF7;
    int EraseMilliseconds = 0;
    std::vector<BoardFault> Faults;
};

// What the board sends: a byte, a pause before the next one (a slow erase), or the end of the
// line (the cable pulled).
struct BoardOutput
{
    int Byte = -1;
    int PauseMilliseconds = 0;
    bool HangUp = false;
};

// A programming board with one chip, speaking the five-byte command frames: fed the bytes
// that arrive, it queues the bytes it answers and keeps the chip's flash and fuses. Like a real
// board it refuses ("?" instead of "+") chip commands outside programming mode and the block
// letter that does not fit the chip, and its flash takes a write only where bits go from 1 to
// 0: only the erase sets them.
class SimulatedBoard
{
public:
    explicit SimulatedBoard(BoardOptions options);

    void Receive(std::uint8_t byte);
    std::deque<BoardOutput>& Output() { return FOutput; }
    bool HasOutput() const { return !FOutput.empty(); }
    // False once a stall or an unplug has hit: the board takes no more bytes.
    bool Reading() const { return !FStalled; }

    const std::vector<std::uint16_t>& Flash() const { return FFlash; }
    std::uint8_t LowFuse() const { return FOptions.LowFuse; }
    std::uint8_t HighFuse() const { return FOptions.HighFuse; }
    // Every frame received, as "v 01 00 00 00", and notes on what changed.
    std::vector<std::string> TakeLog();

private:
    const BoardFault* FaultFor(BoardFault::Kind kind) const;
    void Frame();
    bool Acknowledged();
    const char* Refusal() const;
    bool UnpluggedAfterAck();
    void HangUp();
    void Finish();
    void Send(std::uint8_t byte) { FOutput.push_back({byte, 0}); }
    void ReadFlash(int address, int count);
    void Instruction(bool withAnswer);
    void BlockData(std::uint8_t byte);

    BoardOptions FOptions;
    std::vector<std::uint16_t> FFlash;
    std::deque<BoardOutput> FOutput;
    std::vector<std::string> FLog;
    std::map<char, int> FFrameCount;
    std::uint8_t FFrame[5] = {};
    int FFrameBytes = 0;
    char FCommand = 0;
    int FOccurrence = 0;
    int FBlockAddress = 0;
    int FBlockBytes = 0;
    int FBlockReceived = 0;
    std::vector<std::uint8_t> FBlock;
    bool FStalled = false;
    bool FProgramming = false;
};

#include "board.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr int ShortReadPauseMs = 250;
// The commands that work on the chip and so need programming mode.
constexpr std::string_view ChipCommands = "sCFPfDd";

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

} // namespace

SimulatedBoard::SimulatedBoard(BoardOptions options)
    : FOptions(std::move(options))
    , FFlash(std::size_t(FOptions.FlashWords), 0xFFFF)
{}

std::vector<std::string> SimulatedBoard::TakeLog()
{
    std::vector<std::string> log;
    log.swap(FLog);
    return log;
}

const BoardFault* SimulatedBoard::FaultFor(BoardFault::Kind kind) const
{
    for (const BoardFault& fault : FOptions.Faults)
        if (fault.What == kind && fault.Command == FCommand &&
            (fault.Occurrence == 0 || fault.Occurrence == FOccurrence))
            return &fault;
    return nullptr;
}

void SimulatedBoard::Receive(std::uint8_t byte)
{
    if (FStalled)
        return;
    if (FBlockReceived < FBlockBytes) {
        BlockData(byte);
        return;
    }
    FFrame[FFrameBytes++] = byte;
    if (FFrameBytes == 5) {
        FFrameBytes = 0;
        Frame();
    }
}

void SimulatedBoard::Frame()
{
    FCommand = char(FFrame[0]);
    FOccurrence = ++FFrameCount[FCommand];
    FLog.push_back(std::string(1, FCommand) + ' ' + Hex(FFrame[1], 2) + ' ' + Hex(FFrame[2], 2) +
                   ' ' + Hex(FFrame[3], 2) + ' ' + Hex(FFrame[4], 2));
    if (!Acknowledged())
        return;
    const int address = FFrame[1] | FFrame[2] << 8;
    const int count = FFrame[3] | FFrame[4] << 8;
    switch (FCommand) {
    case 'v': {
        const std::string& text = FFrame[1] ? FOptions.SoftwareText : FOptions.HardwareText;
        for (const char c : text)
            Send(std::uint8_t(c));
        if (!FaultFor(BoardFault::NoTextEnd))
            Send(0);
        break;
    }
    case 's':
        Send(FFrame[1] < 3 ? std::uint8_t(FOptions.Signature >> (16 - 8 * FFrame[1])) : 0xFF);
        break;
    case 'O':
        FLog.push_back("# parameter " + std::to_string(FFrame[1]) + " = " +
                       Hex(FFrame[2] | FFrame[3] << 8, 4));
        break;
    case 'C':
        FFlash.assign(FFlash.size(), 0xFFFF);
        if (FOptions.EraseMilliseconds > 0)
            FOutput.push_back({-1, FOptions.EraseMilliseconds});
        break;
    case 'F':
    case 'P':
        FBlockAddress = address;
        FBlockBytes = 2 * count;
        FBlockReceived = 0;
        FBlock.clear();
        if (count > 0)
            return; // "!" follows the data
        break;
    case 'f':
        ReadFlash(address, count);
        break;
    case 'D':
    case 'd':
        Instruction(FCommand == 'd');
        break;
    case 'M':
        FProgramming = FFrame[1] != 0;
        break;
    default:
        return;
    }
    Finish();
}

// Answers the frame with "+", "?" or, silent or faulty, nothing; true when the command goes on.
bool SimulatedBoard::Acknowledged()
{
    if (FOptions.Silent || FaultFor(BoardFault::NoAck))
        return false;
    if (FaultFor(BoardFault::BadAck)) {
        Send('?');
        return false;
    }
    if (const char* why = Refusal()) {
        FLog.push_back(std::string("# refused: ") + why);
        Send('?');
        return false;
    }
    Send('+');
    return !UnpluggedAfterAck();
}

const char* SimulatedBoard::Refusal() const
{
    if (!FProgramming && ChipCommands.find(FCommand) != std::string_view::npos)
        return "not in programming mode";
    if (FCommand == 'F' && FOptions.PageWords > 0)
        return "F on a paged chip";
    if (FCommand == 'P' && FOptions.PageWords == 0)
        return "P on a word-wise chip";
    return nullptr;
}

// An unplug fault that strikes right after "+" (an erase first takes its time); one with a
// byte count for a block write strikes later, in the block's data.
bool SimulatedBoard::UnpluggedAfterAck()
{
    const BoardFault* unplug = FaultFor(BoardFault::Unplug);
    if (!unplug || (unplug->Value > 0 && (FCommand == 'F' || FCommand == 'P')))
        return false;
    if (FCommand == 'C' && FOptions.EraseMilliseconds > 0)
        FOutput.push_back({-1, FOptions.EraseMilliseconds});
    HangUp();
    return true;
}

void SimulatedBoard::HangUp()
{
    FStalled = true;
    FOutput.push_back({-1, 0, true});
    FLog.push_back("# unplugged");
}

void SimulatedBoard::Finish()
{
    if (!FaultFor(BoardFault::NoDone))
        Send('!');
}

void SimulatedBoard::BlockData(std::uint8_t byte)
{
    FBlock.push_back(byte);
    ++FBlockReceived;
    if (const BoardFault* unplug = FaultFor(BoardFault::Unplug);
        unplug && unplug->Value == FBlockReceived) {
        HangUp();
        return;
    }
    if (const BoardFault* stall = FaultFor(BoardFault::Stall);
        stall && stall->Value == FBlockReceived) {
        FStalled = true;
        FLog.push_back("# stalled");
        return;
    }
    if (FBlockReceived < FBlockBytes)
        return;
    for (int i = 0; i < FBlockBytes / 2; ++i)
        if (FBlockAddress + i < int(FFlash.size()))
            FFlash[std::size_t(FBlockAddress + i)] &=
                std::uint16_t(FBlock[2 * i] | FBlock[2 * i + 1] << 8);
    FBlockBytes = FBlockReceived = 0;
    Finish();
}

void SimulatedBoard::ReadFlash(int address, int count)
{
    const bool cut = FaultFor(BoardFault::ShortRead) != nullptr;
    const int words = cut ? count / 2 : count;
    for (int i = 0; i < words; ++i) {
        const int at = address + i;
        std::uint16_t word = at < int(FFlash.size()) ? FFlash[std::size_t(at)] : 0xFFFF;
        for (const BoardFault& fault : FOptions.Faults)
            if (fault.What == BoardFault::CorruptRead && fault.Value == at)
                word ^= fault.Mask;
        Send(std::uint8_t(word));
        Send(std::uint8_t(word >> 8));
    }
    // Longer than the link's gap between two bytes, so the data end before "!" comes.
    if (cut)
        FOutput.push_back({-1, ShortReadPauseMs});
}

void SimulatedBoard::Instruction(bool withAnswer)
{
    const int opcode = FFrame[1] << 8 | FFrame[2];
    if (!withAnswer) {
        if (opcode == 0xACA0)
            FOptions.LowFuse = FFrame[4];
        else if (opcode == 0xACA8)
            FOptions.HighFuse = FFrame[4];
        else
            return;
        FLog.push_back("# fuses " + Hex(FOptions.LowFuse, 2) + ' ' + Hex(FOptions.HighFuse, 2));
        return;
    }
    if (opcode == 0x5000)
        Send(FOptions.LowFuse);
    else if (opcode == 0x5808)
        Send(FOptions.HighFuse);
    else
        Send(0xFF);
}

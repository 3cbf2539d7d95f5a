#include "options.h"

#include <cstdlib>

#include "programmer/devicetable.h"

const char* const SimulatorUsage =
    "usage: quennor-boardsim --link PATH [--chip NAME | --signature 0xSSSSSS]\n"
    "         [--sw TEXT] [--hw TEXT] [--silent] [--fuses LOW,HIGH]\n"
    "         [--erase-ms N] [--pace BAUD] [--flash-out FILE] [--log FILE]\n"
    "         [--no-ack L[:N]] [--bad-ack L[:N]] [--no-done L[:N]]\n"
    "         [--no-text-end N] [--short-read N]\n"
    "         [--stall L:N:BYTES] [--corrupt WORD:MASK] [--unplug L[:N[:BYTES]]]\n"
    "Plays a programming board with one chip on a pseudo-terminal linked at PATH.\n"
    "PATH must not exist, or be the dangling link an earlier simulator left behind.\n"
    "L is a command letter, N the how-manieth frame of it (every one without N or with 0);\n"
    "--no-text-end counts \"v\" frames, --short-read \"f\" frames.\n"
    "--unplug hangs the line up after the frame's \"+\" (for \"C\" after the erase time),\n"
    "or after BYTES data bytes of a block.\n";

namespace {

std::optional<long> Number(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != 0)
        return std::nullopt;
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (const char c : text)
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    return parts;
}

bool ChooseChip(const std::string& name, BoardOptions& board)
{
    const auto row = DeviceByName(name);
    if (!row || DeviceTable[*row].Signature == 0)
        return false;
    board.Signature = DeviceTable[*row].Signature;
    board.FlashWords = DeviceTable[*row].FlashWords;
    board.PageWords = DeviceTable[*row].PageWords;
    return true;
}

bool ChooseSignature(const std::string& text, BoardOptions& board)
{
    const auto value = Number(text);
    if (!value || *value < 0 || *value > 0xFFFFFF)
        return false;
    board.Signature = std::uint32_t(*value);
    const int row = DeviceBySignature(board.Signature);
    board.FlashWords = row ? DeviceTable[row].FlashWords : 0x10000;
    board.PageWords = row ? DeviceTable[row].PageWords : 0;
    return true;
}

// "L[:N]", for an unplug "L[:N[:BYTES]]", for a stall "L:N:BYTES".
bool AddFault(BoardFault::Kind kind, const std::string& text, BoardOptions& board)
{
    const auto parts = Split(text, ':');
    BoardFault fault{kind, 0, 0, 0, 0};
    if (kind == BoardFault::ShortRead || kind == BoardFault::NoTextEnd) {
        fault.Command = kind == BoardFault::ShortRead ? 'f' : 'v';
        const auto n = Number(parts[0]);
        if (parts.size() != 1 || !n)
            return false;
        fault.Occurrence = int(*n);
    } else if (kind == BoardFault::CorruptRead) {
        const auto word = parts.size() == 2 ? Number(parts[0]) : std::nullopt;
        const auto mask = parts.size() == 2 ? Number(parts[1]) : std::nullopt;
        if (!word || !mask)
            return false;
        fault.Value = int(*word);
        fault.Mask = std::uint16_t(*mask);
    } else {
        const bool withBytes = kind == BoardFault::Stall || kind == BoardFault::Unplug;
        if (parts[0].size() != 1 || parts.size() > (withBytes ? 3u : 2u))
            return false;
        fault.Command = parts[0][0];
        const auto n = parts.size() > 1 ? Number(parts[1]) : std::optional<long>(0);
        const auto bytes = parts.size() > 2 ? Number(parts[2]) : std::optional<long>(0);
        if (!n || !bytes || (kind == BoardFault::Stall && parts.size() != 3))
            return false;
        fault.Occurrence = int(*n);
        fault.Value = int(*bytes);
    }
    board.Faults.push_back(fault);
    return true;
}

bool SetFuses(const std::string& text, BoardOptions& board)
{
    const auto parts = Split(text, ',');
    const auto low = parts.size() == 2 ? Number(parts[0]) : std::nullopt;
    const auto high = parts.size() == 2 ? Number(parts[1]) : std::nullopt;
    if (!low || !high || *low < 0 || *low > 255 || *high < 0 || *high > 255)
        return false;
    board.LowFuse = std::uint8_t(*low);
    board.HighFuse = std::uint8_t(*high);
    return true;
}

bool Apply(const std::string& option, const std::string& value, SimulatorOptions& options)
{
    BoardOptions& board = options.Board;
    if (option == "--link")
        options.Link = value;
    else if (option == "--log")
        options.Log = value;
    else if (option == "--flash-out")
        options.FlashOut = value;
    else if (option == "--chip")
        return ChooseChip(value, board);
    else if (option == "--signature")
        return ChooseSignature(value, board);
    else if (option == "--sw")
        board.SoftwareText = value;
    else if (option == "--hw")
        board.HardwareText = value;
    else if (option == "--fuses")
        return SetFuses(value, board);
    else if (option == "--erase-ms" || option == "--pace") {
        const auto n = Number(value);
        if (!n || *n < 0 || *n > 10000000)
            return false;
        (option == "--pace" ? options.Baud : board.EraseMilliseconds) = int(*n);
    } else if (option == "--no-ack")
        return AddFault(BoardFault::NoAck, value, board);
    else if (option == "--bad-ack")
        return AddFault(BoardFault::BadAck, value, board);
    else if (option == "--no-done")
        return AddFault(BoardFault::NoDone, value, board);
    else if (option == "--no-text-end")
        return AddFault(BoardFault::NoTextEnd, value, board);
    else if (option == "--short-read")
        return AddFault(BoardFault::ShortRead, value, board);
    else if (option == "--stall")
        return AddFault(BoardFault::Stall, value, board);
    else if (option == "--corrupt")
        return AddFault(BoardFault::CorruptRead, value, board);
    else if (option == "--unplug")
        return AddFault(BoardFault::Unplug, value, board);
    else
        return false;
    return true;
}

} // namespace

std::optional<SimulatorOptions> ParseSimulatorOptions(const std::vector<std::string>& args,
                                                      std::string& error)
{
    SimulatorOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--silent") {
            options.Board.Silent = true;
        } else if (i + 1 >= args.size() || !Apply(option, args[i + 1], options)) {
            error = "bad or incomplete option: " + option;
            return std::nullopt;
        } else {
            ++i;
        }
    }
    if (options.Link.empty()) {
        error = "--link is required";
        return std::nullopt;
    }
    return options;
}

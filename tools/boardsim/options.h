#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board.h"

struct SimulatorOptions
{
    BoardOptions Board;
    std::string Link;     // symlink to the pseudo-terminal, as QUENNOR_PORTS names it
    std::string Log;      // received frames, one a line
    std::string FlashOut; // the chip's flash, little-endian words, written on exit and on SIGUSR1
    int Baud = 0;         // 0: as fast as the pseudo-terminal goes
};

extern const char* const SimulatorUsage;

// The options of a command line, or empty with the reason in error.
std::optional<SimulatorOptions> ParseSimulatorOptions(const std::vector<std::string>& args,
                                                      std::string& error);

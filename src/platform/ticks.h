#pragma once

#include <chrono>
#include <cstdint>

// A millisecond tick count that wraps at 2^32; only differences of two counts mean anything.
inline std::uint32_t TickCount()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

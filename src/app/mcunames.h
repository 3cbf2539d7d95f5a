#pragma once

#include <array>
#include <string_view>

#include "programmer/devicetable.h"

// Device names for the compiler's -mmcu option, indexed like DeviceTable.
inline constexpr std::array<std::string_view, DeviceCount> McuNames{
    "$illegal$", "at90s2313", "at90s2323", "at90s2333", "at90s2343", "at90s4414", "at90s4433",
    "at90s4434", "at90s8515", "at90s8535", "attiny22",  "attiny26",  "atmega103", "atmega603"};

namespace mcunames_detail {
constexpr bool MatchesDeviceTable()
{
    for (int i = 1; i < DeviceCount; ++i) {
        const std::string_view mcu = McuNames[i];
        const std::string_view name = DeviceTable[i].Name;
        if (mcu.size() != name.size())
            return false;
        for (std::size_t k = 0; k < mcu.size(); ++k)
            if (mcu[k] != (name[k] >= 'A' && name[k] <= 'Z' ? char(name[k] - 'A' + 'a') : name[k]))
                return false;
    }
    return true;
}
} // namespace mcunames_detail

static_assert(mcunames_detail::MatchesDeviceTable(),
              "each compiler device name is the lower-case device table name of its row");

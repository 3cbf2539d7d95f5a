#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// What the link and the dialogs know about one supported chip. The three waits are board
// parameters in ticks of 1/32768 s; PollValues holds two polling bytes, the first in bits 7..0.
// FlashWords and EepromWords are what the board is told and stay 0 for a chip it cannot
// recognise; the three byte sizes are the chip's own, from its datasheet, for every named chip.
struct TDeviceInfo
{
    std::uint32_t Signature = 0;
    std::string_view Name;
    std::int32_t FlashWords = 0;
    std::int32_t EepromWords = 0;
    std::int32_t Paged = 0;
    std::int32_t PageWords = 0;
    std::int32_t EraseWait = 0;
    std::int32_t FlashWait = 0;
    std::int32_t EepromWait = 0;
    std::uint32_t PollValues = 0;
    std::int32_t FlashBytes = 0;
    std::int32_t RamBytes = 0;
    std::int32_t EepromBytes = 0;
};

constexpr int DeviceCount = 14;

// Indexed by the target index; row 0 stands for no device. The order is shared with the
// Target menu and McuNames.
inline constexpr std::array<TDeviceInfo, DeviceCount> DeviceTable{{
    {0x000000, "unknown", 0, 0, 0, 0, 0, 0, 0, 0x0000, 0, 0, 0},
    {0x1E9101, "AT90S2313", 1024, 64, 0, 0, 262, 131, 131, 0x7F80, 2048, 128, 128},
    {0x000000, "AT90S2323", 0, 0, 0, 0, 0, 0, 0, 0x0000, 2048, 128, 128},
    {0x1E9105, "AT90S2333", 1024, 64, 0, 0, 262, 131, 131, 0xFF00, 2048, 128, 128},
    {0x000000, "AT90S2343", 0, 0, 0, 0, 0, 0, 0, 0x0000, 2048, 128, 128},
    {0x1E9201, "AT90S4414", 2048, 128, 0, 0, 262, 131, 131, 0x7F80, 4096, 256, 256},
    {0x1E9203, "AT90S4433", 2048, 128, 0, 0, 262, 131, 131, 0xFF00, 4096, 128, 256},
    {0x000000, "AT90S4434", 0, 0, 0, 0, 0, 0, 0, 0x0000, 4096, 256, 256},
    {0x1E9301, "AT90S8515", 4096, 256, 0, 0, 262, 131, 131, 0x7F80, 8192, 512, 512},
    {0x000000, "AT90S8535", 0, 0, 0, 0, 0, 0, 0, 0x0000, 8192, 512, 512},
    {0x1E9103, "ATtiny22", 1024, 64, 0, 0, 262, 131, 131, 0x7F80, 2048, 128, 128},
    {0x1E9109, "ATtiny26", 1024, 64, 1, 16, 294, 147, 294, 0x7F80, 2048, 128, 128},
    {0x1E9701, "ATmega103", 65536, 2048, 1, 128, 1441, 720, 131, 0x7F80, 131072, 4000, 4096},
    {0x000000, "ATmega603", 0, 0, 0, 0, 0, 0, 0, 0x0000, 65536, 4000, 2048},
}};

// Index of the first row 1..13 with this signature, 0 when none has it.
int DeviceBySignature(std::uint32_t signature);

// Index of the first row 0..13 whose name equals the token without regard to ASCII case.
std::optional<int> DeviceByName(std::string_view token);

namespace devicetable_detail {
constexpr char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

constexpr bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

constexpr bool Invariants()
{
    for (int i = 0; i < DeviceCount; ++i) {
        const TDeviceInfo& row = DeviceTable[i];
        if (row.Name.empty() || row.Name.size() > 11)
            return false;
        if ((row.PageWords != 0) != (row.Paged == 1) || (row.Paged != 0 && row.Paged != 1))
            return false;
        if (row.FlashWords % 128 != 0 || (row.PageWords != 0 && row.FlashWords % row.PageWords))
            return false;
        if (row.Signature > 0xFFFFFF)
            return false;
        if ((row.FlashWords != 0 && row.FlashBytes != 2 * row.FlashWords) ||
            (row.EepromWords != 0 && row.EepromBytes != 2 * row.EepromWords))
            return false;
        if (i != 0 && (row.FlashBytes <= 0 || row.RamBytes <= 0 || row.EepromBytes <= 0))
            return false;
        for (int j = i + 1; j < DeviceCount; ++j) {
            if (SameNameIgnoringCase(row.Name, DeviceTable[j].Name))
                return false;
            if (row.Signature != 0 && row.Signature == DeviceTable[j].Signature)
                return false;
        }
    }
    const TDeviceInfo& none = DeviceTable[0];
    return none.Signature == 0 && none.FlashWords == 0 && none.FlashBytes == 0 &&
           none.RamBytes == 0 && none.EepromBytes == 0;
}
} // namespace devicetable_detail

static_assert(devicetable_detail::Invariants(),
              "device names and signatures must be unique, page sizes must fit the flash, the "
              "board's sizes must be the chip's own");

#include "programmer/devicetable.h"

int DeviceBySignature(std::uint32_t signature)
{
    if (signature == 0)
        return 0; // the rows without a known signature must never match
    for (int i = 1; i < DeviceCount; ++i)
        if (DeviceTable[i].Signature == signature)
            return i;
    return 0;
}

std::optional<int> DeviceByName(std::string_view token)
{
    for (int i = 0; i < DeviceCount; ++i)
        if (devicetable_detail::SameNameIgnoringCase(token, DeviceTable[i].Name))
            return i;
    return std::nullopt;
}

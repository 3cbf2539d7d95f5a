#include "programmer/flashtexts.h"

#include "programmer/devicetable.h"

QString FlashTexts::DeviceLine(int device)
{
    const TDeviceInfo& row = DeviceTable[device];
    return QString::fromLatin1(row.Name) + QStringLiteral(", ") +
           QString::number(row.FlashWords * 2 / 1024) + QStringLiteral("K Flash, ") +
           (row.Paged ? QStringLiteral("paged") : QStringLiteral("non-paged"));
}

#include "programmer/fuses.h"

#include <utility>

#include <QThread>

#include "programmer/devicetable.h"
#include "programmer/flashtexts.h"

namespace {

constexpr int ATtiny26 = 11;
static_assert(DeviceTable[ATtiny26].Name == "ATtiny26", "the fuse steps know this chip's row");
// The chip needs time to burn a fuse byte before it takes the next instruction.
constexpr int BurnMilliseconds = 100;

FuseResult Failed(const QString& text)
{
    return {false, text};
}

} // namespace

FuseAccess::FuseAccess(const PortChoice& port, std::function<bool()> cancelRequested,
                       std::function<void(const PortAttempt&)> onPortTried)
    : FPort(port)
    , FLink(port.Opener())
{
    FLink.CancelRequested = std::move(cancelRequested);
    FLink.OnPortTried = std::move(onPortTried);
}

FuseResult FuseAccess::Connect()
{
    if (!FLink.Connect(FPort.ConnectPort()))
        return {false, FlashTexts::NotFound(), FLink.DeniedDevice,
                FLink.CancelRequested && FLink.CancelRequested()};
    if (FLink.Device != ATtiny26)
        return Failed(FlashTexts::NotATtiny26());
    return {true};
}

FuseResult FuseAccess::Read(FuseBytes& fuses)
{
    FuseBytes read;
    if (!FLink.ReadInstruction(0x50, 0x00, 0x00, read.Low))
        return Failed(FlashTexts::LowFuseUnreadable());
    if (!FLink.ReadInstruction(0x58, 0x08, 0x00, read.High))
        return Failed(FlashTexts::HighFuseUnreadable());
    fuses = read;
    return {true, FlashTexts::FusesRead()};
}

FuseResult FuseAccess::Write(FuseBytes fuses)
{
    if (!FLink.WriteInstruction(0xAC, 0xA0, 0x00, fuses.Low))
        return Failed(FlashTexts::LowFuseUnwritable());
    QThread::msleep(BurnMilliseconds);
    const bool high =
        FLink.WriteInstruction(0xAC, 0xA8, 0x00, std::uint8_t(fuses.High | UnusedHighBits));
    FBurning = true;
    return high ? FuseResult{true, FlashTexts::FusesWritten()}
                : Failed(FlashTexts::HighFuseUnwritable());
}

void FuseAccess::Disconnect()
{
    if (std::exchange(FBurning, false))
        QThread::msleep(BurnMilliseconds);
    FLink.Disconnect();
}

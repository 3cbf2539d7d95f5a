#pragma once

#include <cstdint>
#include <functional>

#include <QString>

#include "programmer/avrflash2.h"
#include "programmer/portchoice.h"

// The two fuse bytes of an ATtiny26; a bit of value 1 is an unprogrammed fuse.
struct FuseBytes
{
    std::uint8_t Low = 0;
    std::uint8_t High = 0;

    bool operator==(const FuseBytes&) const = default;
};

// What may change without unlocking: SUT1 and SUT0 of the low byte, BODLEVEL and BODEN of the
// high byte. Wrong clock or reset fuses can make the chip unreachable for the board.
constexpr FuseBytes OpenFuseBits{0x30, 0x03};
// Bits 7..5 of the high byte belong to no fuse; they are written as 1.
constexpr std::uint8_t UnusedHighBits = 0xE0;

// Whether going from one setting to the other changes a fuse that needs unlocking.
constexpr bool ChangesLockedFuses(FuseBytes from, FuseBytes to)
{
    const int low = (from.Low ^ to.Low) & ~OpenFuseBits.Low;
    const int high = (from.High ^ to.High) & ~UnusedHighBits & ~OpenFuseBits.High;
    return low != 0 || high != 0;
}

// How a fuse step ended, with the text that says so (empty after a connect that succeeded).
struct FuseResult
{
    bool Ok = false;
    QString Text = {};
    QString DeniedDevice = {}; // no board found: the first port the system refused to this user
    bool Cancelled = false;    // the search was stopped
};

// The fuse operations as the fuse bits dialog and quennor-flash run them, on one link that is
// disconnected by Disconnect or when the object goes, so that the caller can say how a step
// ended while the chip is still in programming mode. Only the ATtiny26's instructions are known,
// whatever the chosen target.
class FuseAccess final
{
public:
    // cancelRequested is asked before each port of the search, as the link does, and
    // onPortTried told of each port tried.
    explicit FuseAccess(const PortChoice& port, std::function<bool()> cancelRequested = {},
                        std::function<void(const PortAttempt&)> onPortTried = {});
    ~FuseAccess() { Disconnect(); }

    // Finds the board and checks that it holds an ATtiny26; the other steps need this first.
    FuseResult Connect();
    FuseResult Read(FuseBytes& fuses);
    // The low byte first, then the high byte with bits 7..5 set; the chip needs a pause after
    // each, the one after the high byte comes with Disconnect. A failed low byte leaves the high
    // byte alone.
    FuseResult Write(FuseBytes fuses);
    // Takes the chip out of programming mode, once it has burnt a byte just written.
    void Disconnect();

private:
    PortChoice FPort;
    TAVRFlash FLink;
    bool FBurning = false;
};

#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "programmer/fuses.h"
#include "programmer/portchoice.h"
#include "report.h"

// What quennor-flash was asked to do.
struct FlashOptions
{
    enum Mode
    {
        Flash,
        Verify,
        Read,
        ReadFuses,
        WriteFuses,
        ListDevices,
        Version,
        Help
    };
    Mode What = Flash;
    PortChoice Port;
    std::optional<int> Target; // a row of the device table; nothing: whatever chip is found
    // Each risk is confirmed on its own, so that accepting one never accepts another.
    bool AllowOtherChip = false;
    bool AllowTruncate = false;
    bool Unlock = false;
    bool Strict = false;       // an image of odd length is refused rather than cut
    std::optional<int> Length; // bytes to read; nothing: the whole flash
    Report::Talk Talk = Report::Normal;
    QString File; // the image to flash or verify, or the file to read into
    FuseBytes Fuses;
};

// The forms of the command line, as shown with a usage error and in the help.
extern const char* const FlashUsage;

// The options of the arguments (without the program name), or nothing with the reason in error.
std::optional<FlashOptions> ParseFlashOptions(const QStringList& arguments, QString& error);

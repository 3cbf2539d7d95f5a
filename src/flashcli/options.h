#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "programmer/fuses.h"
#include "programmer/portchoice.h"

// What quennor-flash was asked to do.
struct FlashOptions
{
    enum Mode
    {
        Flash,
        ReadFuses,
        WriteFuses,
        ListDevices,
        Version,
        Help
    };
    Mode What = Flash;
    PortChoice Port;
    std::optional<int> Target; // a row of the device table; nothing: no target check
    bool Yes = false;          // answer the questions and the unlock warning with yes
    QString Image;
    FuseBytes Fuses;
};

// The four forms of the command line, as shown with a usage error and in the help.
extern const char* const FlashUsage;

// The options of the arguments (without the program name), or nothing with the reason in error.
std::optional<FlashOptions> ParseFlashOptions(const QStringList& arguments, QString& error);

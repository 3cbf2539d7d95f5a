#include "options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include "programmer/avrflash2.h"
#include "programmer/devicetable.h"

const char* const FlashUsage =
    "Aufruf: quennor-flash [--port N|DEVICE] [--target NAME] [--yes] IMAGE.bin\n"
    "        quennor-flash [--port N|DEVICE] --read-fuses\n"
    "        quennor-flash [--port N|DEVICE] --write-fuses LOW:HIGH\n"
    "        quennor-flash --list-devices | --version | --help\n";

namespace {

struct Parsed
{
    QCommandLineParser Parser;
    QCommandLineOption Port{QStringLiteral("port"), QString(), QStringLiteral("N")};
    QCommandLineOption Target{QStringLiteral("target"), QString(), QStringLiteral("NAME")};
    QCommandLineOption Yes{QStringLiteral("yes")};
    QCommandLineOption ReadFuses{QStringLiteral("read-fuses")};
    QCommandLineOption WriteFuses{QStringLiteral("write-fuses"), QString(),
                                  QStringLiteral("LOW:HIGH")};
    QCommandLineOption ListDevices{QStringLiteral("list-devices")};
    QCommandLineOption Version{QStringLiteral("version")};
    QCommandLineOption Help{{QStringLiteral("h"), QStringLiteral("help")}};

    Parsed()
    {
        Parser.addOptions({Port, Target, Yes, ReadFuses, WriteFuses, ListDevices, Version, Help});
    }
    bool Given(const QCommandLineOption& option) const { return Parser.isSet(option); }
};

// "5" and "COM5" are COM5 of QUENNOR_PORTS; anything else names a device.
std::optional<PortChoice> ParsePort(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^(?:COM)?([0-9]+)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (const auto match = number.match(text); match.hasMatch()) {
        const int port = match.captured(1).toInt();
        if (port < TAVRFlash::FirstPort || port > TAVRFlash::LastPort)
            return std::nullopt;
        return PortChoice{port, {}};
    }
    if (text.isEmpty() || text.startsWith(QLatin1Char('-')))
        return std::nullopt;
    return PortChoice{-1, text};
}

// Two hexadecimal bytes, each with or without "0x".
std::optional<FuseBytes> ParseFuses(const QString& text)
{
    static const QRegularExpression pair(
        QStringLiteral("^(?:0[xX])?([0-9A-Fa-f]{1,2}):(?:0[xX])?([0-9A-Fa-f]{1,2})$"));
    const auto match = pair.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return FuseBytes{std::uint8_t(match.captured(1).toUInt(nullptr, 16)),
                     std::uint8_t(match.captured(2).toUInt(nullptr, 16))};
}

std::optional<int> ParseTarget(const QString& text)
{
    const std::optional<int> row = DeviceByName(text.toStdString());
    if (!row || *row == 0)
        return std::nullopt;
    return row;
}

// The one thing asked for; nothing when none or more than one was.
std::optional<FlashOptions::Mode> ChooseMode(const Parsed& parsed, QString& error)
{
    const std::pair<const QCommandLineOption*, FlashOptions::Mode> modes[] = {
        {&parsed.ReadFuses, FlashOptions::ReadFuses},
        {&parsed.WriteFuses, FlashOptions::WriteFuses},
        {&parsed.ListDevices, FlashOptions::ListDevices},
        {&parsed.Version, FlashOptions::Version}};
    std::optional<FlashOptions::Mode> chosen;
    int count = parsed.Parser.positionalArguments().isEmpty() ? 0 : 1;
    if (count)
        chosen = FlashOptions::Flash;
    for (const auto& [option, mode] : modes)
        if (parsed.Given(*option)) {
            chosen = mode;
            ++count;
        }
    if (count == 0)
        error = QStringLiteral("keine Binärdatei angegeben");
    else if (count > 1)
        error = QStringLiteral("nur eine Aufgabe auf einmal");
    else if (parsed.Parser.positionalArguments().size() > 1)
        error = QStringLiteral("nur eine Binärdatei auf einmal");
    return error.isEmpty() ? chosen : std::nullopt;
}

// Options that the chosen task does not take, or that were given twice.
QString Misplaced(const Parsed& parsed, FlashOptions::Mode mode)
{
    for (const QString& name : parsed.Parser.optionNames())
        if (parsed.Parser.optionNames().count(name) > 1)
            return QStringLiteral("--%1 mehrfach angegeben").arg(name);
    const bool flash = mode == FlashOptions::Flash;
    const bool fuses = mode == FlashOptions::ReadFuses || mode == FlashOptions::WriteFuses;
    if (parsed.Given(parsed.Port) && !flash && !fuses)
        return QStringLiteral("--port gilt nur beim Flashen und für die Fuse Bits");
    if (parsed.Given(parsed.Target) && !flash)
        return QStringLiteral("--target gilt nur beim Flashen");
    if (parsed.Given(parsed.Yes) && !flash && mode != FlashOptions::WriteFuses)
        return QStringLiteral("--yes gilt nur beim Flashen und bei --write-fuses");
    return {};
}

bool ReadValues(const Parsed& parsed, FlashOptions& options, QString& error)
{
    if (parsed.Given(parsed.Port)) {
        const auto port = ParsePort(parsed.Parser.value(parsed.Port));
        if (!port)
            error = QStringLiteral("--port braucht 1 bis 8 (COM1 bis COM8) oder ein Gerät");
        options.Port = port.value_or(PortChoice{});
    }
    if (parsed.Given(parsed.Target)) {
        options.Target = ParseTarget(parsed.Parser.value(parsed.Target));
        if (!options.Target)
            error = QStringLiteral("unbekannter Prozessor ") + parsed.Parser.value(parsed.Target) +
                    QStringLiteral(" (--list-devices nennt alle)");
    }
    if (parsed.Given(parsed.WriteFuses)) {
        const auto fuses = ParseFuses(parsed.Parser.value(parsed.WriteFuses));
        if (!fuses)
            error = QStringLiteral("--write-fuses braucht LOW:HIGH, zwei Bytes hexadezimal");
        options.Fuses = fuses.value_or(FuseBytes{});
    }
    return error.isEmpty();
}

} // namespace

std::optional<FlashOptions> ParseFlashOptions(const QStringList& arguments, QString& error)
{
    Parsed parsed;
    if (!parsed.Parser.parse(QStringList{QStringLiteral("quennor-flash")} + arguments)) {
        error = parsed.Parser.errorText();
        return std::nullopt;
    }
    FlashOptions options;
    if (parsed.Given(parsed.Help)) {
        options.What = FlashOptions::Help;
        return options;
    }
    const std::optional<FlashOptions::Mode> mode = ChooseMode(parsed, error);
    if (!mode)
        return std::nullopt;
    options.What = *mode;
    error = Misplaced(parsed, *mode);
    if (!error.isEmpty() || !ReadValues(parsed, options, error))
        return std::nullopt;
    options.Yes = parsed.Given(parsed.Yes);
    if (*mode == FlashOptions::Flash)
        options.Image = parsed.Parser.positionalArguments().constFirst();
    return options;
}

#include "options.h"

#include <initializer_list>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include "programmer/avrflash2.h"
#include "programmer/devicetable.h"
#include "programmer/flashimage.h"

const char* const FlashUsage =
    "Aufruf: quennor-flash [--port N|DEVICE] --target NAME|any [--allow-other-chip]\n"
    "          [--allow-truncate] [--strict] [-q|-v] IMAGE\n"
    "        quennor-flash [--port N|DEVICE] [--target NAME] [--allow-other-chip]\n"
    "          [--allow-truncate] [--strict] [-q|-v] --verify IMAGE\n"
    "        quennor-flash [--port N|DEVICE] [--target NAME] [--allow-other-chip]\n"
    "          [--length BYTES] [-q|-v] --read FILE\n"
    "        quennor-flash [--port N|DEVICE] [-q|-v] --read-fuses\n"
    "        quennor-flash [--port N|DEVICE] [--unlock] [-q|-v] --write-fuses LOW:HIGH\n"
    "        quennor-flash --list-devices | --version | --help\n";

namespace {

using Mode = FlashOptions::Mode;

constexpr unsigned Modes(std::initializer_list<Mode> modes)
{
    unsigned set = 0;
    for (const Mode mode : modes)
        set |= 1u << mode;
    return set;
}

// The tasks that talk to the board.
constexpr unsigned BoardModes =
    Modes({Mode::Flash, Mode::Verify, Mode::Read, Mode::ReadFuses, Mode::WriteFuses});
constexpr unsigned ImageModes = Modes({Mode::Flash, Mode::Verify});
constexpr unsigned FlashModes = Modes({Mode::Flash, Mode::Verify, Mode::Read});

struct Parsed
{
    QCommandLineParser Parser;
    QCommandLineOption Port{QStringLiteral("port"), QString(), QStringLiteral("N")};
    QCommandLineOption Target{QStringLiteral("target"), QString(), QStringLiteral("NAME")};
    QCommandLineOption AllowOtherChip{QStringLiteral("allow-other-chip")};
    QCommandLineOption AllowTruncate{QStringLiteral("allow-truncate")};
    QCommandLineOption Unlock{QStringLiteral("unlock")};
    QCommandLineOption Strict{QStringLiteral("strict")};
    QCommandLineOption Verify{QStringLiteral("verify"), QString(), QStringLiteral("IMAGE")};
    QCommandLineOption Read{QStringLiteral("read"), QString(), QStringLiteral("FILE")};
    QCommandLineOption Length{QStringLiteral("length"), QString(), QStringLiteral("BYTES")};
    QCommandLineOption Quiet{{QStringLiteral("q"), QStringLiteral("quiet")}};
    QCommandLineOption Verbose{{QStringLiteral("v"), QStringLiteral("verbose")}};
    QCommandLineOption ReadFuses{QStringLiteral("read-fuses")};
    QCommandLineOption WriteFuses{QStringLiteral("write-fuses"), QString(),
                                  QStringLiteral("LOW:HIGH")};
    QCommandLineOption ListDevices{QStringLiteral("list-devices")};
    QCommandLineOption Version{QStringLiteral("version")};
    QCommandLineOption Help{{QStringLiteral("h"), QStringLiteral("help")}};
    // Gone, but known: it confirmed three unrelated risks at once.
    QCommandLineOption Yes{QStringLiteral("yes")};

    Parsed()
    {
        Parser.addOptions({Port, Target, AllowOtherChip, AllowTruncate, Unlock, Strict, Verify,
                           Read, Length, Quiet, Verbose, ReadFuses, WriteFuses, ListDevices,
                           Version, Help, Yes});
    }
    bool Given(const QCommandLineOption& option) const { return Parser.isSet(option); }
    QString Value(const QCommandLineOption& option) const { return Parser.value(option); }
};

// "5" and "COM5" are COM5 of QUENNOR_PORTS; "ttyUSB0" is /dev/ttyUSB0; a path must exist.
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
    const QString device = QStringLiteral("/dev/") + text;
    if (!text.isEmpty() && !text.contains(QLatin1Char('/')) && QFileInfo::exists(device))
        return PortChoice{-1, device};
    if (text.isEmpty() || !QFileInfo::exists(text))
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

// A name from the device table, or "any" for whatever chip is found.
std::optional<std::optional<int>> ParseTarget(const QString& text)
{
    if (text.compare(QLatin1String("any"), Qt::CaseInsensitive) == 0)
        return std::optional<int>();
    const std::optional<int> row = DeviceByName(text.toStdString());
    if (!row || *row == 0)
        return std::nullopt;
    return row;
}

// Decimal, or hexadecimal with "0x"; at most an image's size.
std::optional<int> ParseLength(const QString& text)
{
    bool number = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const int bytes = (hex ? text.mid(2) : text).toInt(&number, hex ? 16 : 10);
    if (!number || bytes < 1 || bytes > MaxImageBytes)
        return std::nullopt;
    return bytes;
}

// The one thing asked for; nothing when none or more than one was.
std::optional<Mode> ChooseMode(const Parsed& parsed, QString& error)
{
    const std::pair<const QCommandLineOption*, Mode> modes[] = {
        {&parsed.Verify, Mode::Verify},           {&parsed.Read, Mode::Read},
        {&parsed.ReadFuses, Mode::ReadFuses},     {&parsed.WriteFuses, Mode::WriteFuses},
        {&parsed.ListDevices, Mode::ListDevices}, {&parsed.Version, Mode::Version}};
    const QStringList images = parsed.Parser.positionalArguments();
    std::optional<Mode> chosen;
    int count = images.isEmpty() ? 0 : 1;
    if (count)
        chosen = Mode::Flash;
    for (const auto& [option, mode] : modes)
        if (parsed.Given(*option)) {
            chosen = mode;
            ++count;
        }
    if (count == 0)
        error = QStringLiteral("keine Binärdatei angegeben");
    else if (count > 1)
        error = QStringLiteral("nur eine Aufgabe auf einmal");
    else if (images.size() > 1)
        error = QStringLiteral("nur eine Binärdatei auf einmal");
    return error.isEmpty() ? chosen : std::nullopt;
}

// The options that only some tasks take, with those tasks.
struct Scope
{
    const QCommandLineOption* Option;
    unsigned Modes;
    const char* Where;
};

// Options that the chosen task does not take, or that were given twice.
QString Misplaced(const Parsed& parsed, Mode mode)
{
    for (const QString& name : parsed.Parser.optionNames())
        if (parsed.Parser.optionNames().count(name) > 1)
            return QStringLiteral("--%1 mehrfach angegeben").arg(name);
    if (parsed.Given(parsed.Yes))
        return QStringLiteral("--yes gibt es nicht mehr: jedes Risiko hat seine eigene "
                              "Bestätigung, --allow-other-chip, --allow-truncate oder --unlock");
    const Scope scopes[] = {
        {&parsed.Port, BoardModes, "mit dem Programmiergerät"},
        {&parsed.Quiet, BoardModes, "mit dem Programmiergerät"},
        {&parsed.Verbose, BoardModes, "mit dem Programmiergerät"},
        {&parsed.Target, FlashModes, "beim Flashen, Überprüfen und Lesen"},
        {&parsed.AllowOtherChip, FlashModes, "beim Flashen, Überprüfen und Lesen"},
        {&parsed.AllowTruncate, ImageModes, "beim Flashen und Überprüfen"},
        {&parsed.Strict, ImageModes, "beim Flashen und Überprüfen"},
        {&parsed.Length, Modes({Mode::Read}), "bei --read"},
        {&parsed.Unlock, Modes({Mode::WriteFuses}), "bei --write-fuses"},
    };
    for (const Scope& scope : scopes)
        if (parsed.Given(*scope.Option) && (scope.Modes & Modes({mode})) == 0)
            return QStringLiteral("--%1 gilt nur %2")
                .arg(scope.Option->names().constLast(), QString::fromUtf8(scope.Where));
    if (parsed.Given(parsed.Quiet) && parsed.Given(parsed.Verbose))
        return QStringLiteral("-q und -v schließen sich aus");
    if (mode == Mode::Flash && !parsed.Given(parsed.Target))
        return QStringLiteral("Flashen braucht --target NAME (--list-devices nennt alle) oder "
                              "--target any für jeden gefundenen Chip");
    return {};
}

// An option given an empty value, as a script's unset variable gives it.
QString EmptyValue(const Parsed& parsed)
{
    for (const QCommandLineOption* option : {&parsed.Port, &parsed.Target, &parsed.Verify,
                                             &parsed.Read, &parsed.Length, &parsed.WriteFuses})
        if (parsed.Given(*option) && parsed.Value(*option).isEmpty())
            return QStringLiteral("--%1 ohne Wert").arg(option->names().constLast());
    if (parsed.Parser.positionalArguments().contains(QString()))
        return QStringLiteral("leerer Dateiname");
    return {};
}

// The values of the options, each checked; the first fault in error.
bool ReadValues(const Parsed& parsed, FlashOptions& options, QString& error)
{
    error = EmptyValue(parsed);
    const auto check = [&](const QCommandLineOption& option, auto parse, auto& into,
                           const QString& complaint) {
        if (!parsed.Given(option))
            return;
        const auto value = parse(parsed.Value(option));
        if (value)
            into = *value;
        else if (error.isEmpty())
            error = complaint;
    };
    check(parsed.Port, ParsePort, options.Port,
          QStringLiteral("--port braucht 1 bis 8 (COM1 bis COM8) oder ein vorhandenes Gerät, "
                         "nicht ") +
              parsed.Value(parsed.Port));
    check(parsed.Target, ParseTarget, options.Target,
          QStringLiteral("unbekannter Prozessor ") + parsed.Value(parsed.Target) +
              QStringLiteral(" (--list-devices nennt alle)"));
    check(parsed.WriteFuses, ParseFuses, options.Fuses,
          QStringLiteral("--write-fuses braucht LOW:HIGH, zwei Bytes hexadezimal"));
    check(parsed.Length, ParseLength, options.Length,
          QStringLiteral("--length braucht 1 bis 262144 Bytes"));
    return error.isEmpty();
}

std::optional<FlashOptions> Parse(const QStringList& arguments, QString& error)
{
    error.clear();
    Parsed parsed;
    if (!parsed.Parser.parse(QStringList{QStringLiteral("quennor-flash")} + arguments)) {
        error = parsed.Parser.errorText();
        return std::nullopt;
    }
    FlashOptions options;
    if (parsed.Given(parsed.Help)) {
        options.What = Mode::Help;
        return options;
    }
    const std::optional<Mode> mode = ChooseMode(parsed, error);
    if (!mode)
        return std::nullopt;
    options.What = *mode;
    error = Misplaced(parsed, *mode);
    if (!error.isEmpty() || !ReadValues(parsed, options, error))
        return std::nullopt;
    options.AllowOtherChip = parsed.Given(parsed.AllowOtherChip);
    options.AllowTruncate = parsed.Given(parsed.AllowTruncate);
    options.Unlock = parsed.Given(parsed.Unlock);
    options.Strict = parsed.Given(parsed.Strict);
    options.Talk = parsed.Given(parsed.Quiet)     ? Report::Quiet
                   : parsed.Given(parsed.Verbose) ? Report::Verbose
                                                  : Report::Normal;
    if (*mode == Mode::Flash)
        options.File = parsed.Parser.positionalArguments().constFirst();
    else if (*mode == Mode::Verify || *mode == Mode::Read)
        options.File = parsed.Value(*mode == Mode::Verify ? parsed.Verify : parsed.Read);
    return options;
}

} // namespace

std::optional<FlashOptions> ParseFlashOptions(const QStringList& arguments, QString& error)
{
    std::optional<FlashOptions> options = Parse(arguments, error);
    // The arguments' own text is quoted in the error, and a terminal must not take it as commands.
    error = Printable(error);
    return options;
}

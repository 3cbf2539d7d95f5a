#include "boardsim.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include "options.h"
#include "platform/serialport.h"

namespace {

constexpr int StartMs = 10000;
constexpr int SyncMs = 10000;
constexpr int StopMs = 5000;
// Ten bits of 8N1 at 115200 baud.
constexpr std::chrono::nanoseconds ByteTime{10'000'000'000LL / 115200};
constexpr std::uint8_t MarkStart = 0xFF;

BoardOptions ParseBoard(const QStringList& options)
{
    std::vector<std::string> args{"--link", "unused"};
    for (const QString& option : options)
        args.push_back(option.toStdString());
    std::string error;
    const auto parsed = ParseSimulatorOptions(args, error);
    if (!parsed)
        ADD_FAILURE() << error;
    return parsed ? parsed->Board : BoardOptions{};
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

BoardSim::BoardSim(const QStringList& options)
{
    FProcess.setProgram(QStringLiteral(QUENNOR_BINARY_DIR "/quennor-boardsim"));
    FProcess.setArguments(QStringList{"--link", Link(), "--log", FDir.filePath("frames.log"),
                                      "--flash-out", FDir.filePath("flash.bin")} +
                          options);
    FProcess.start();
    const QDeadlineTimer deadline(StartMs);
    FProcess.waitForStarted(StartMs);
    while (Running() && !FProcess.canReadLine() && !deadline.hasExpired())
        FProcess.waitForReadyRead(int(deadline.remainingTime()));
    if (!FProcess.readLine().startsWith("ready"))
        ADD_FAILURE() << "quennor-boardsim did not start: " << options.join(' ').toStdString()
                      << "\n"
                      << FProcess.readAllStandardError().toStdString();
}

BoardSim::~BoardSim()
{
    Stop();
    if (qEnvironmentVariable("QUENNOR_PORTS").contains(Link()))
        qunsetenv("QUENNOR_PORTS");
}

bool BoardSim::PortFree() const
{
    QProcess locker;
    locker.start(QStringLiteral("flock"),
                 {QStringLiteral("--nonblock"), Link(), QStringLiteral("true")});
    return locker.waitForFinished(StopMs) && locker.exitStatus() == QProcess::NormalExit &&
           locker.exitCode() == 0;
}

void BoardSim::MapPorts(const std::map<int, const BoardSim*>& ports)
{
    QStringList paths(ports.empty() ? 0 : ports.rbegin()->first);
    for (const auto& [port, sim] : ports)
        paths[port - 1] = sim->Link();
    qputenv("QUENNOR_PORTS", paths.join(':').toLocal8Bit());
}

// Asks the running simulator to write its flash and fuses, and waits until it has.
void BoardSim::Sync()
{
    if (!Running())
        return;
    ++FDumps;
    ::kill(pid_t(FProcess.processId()), SIGUSR1);
    const QDeadlineTimer deadline(SyncMs);
    while (LogLines().filter(QStringLiteral("# dumped")).size() < FDumps) {
        if (deadline.hasExpired()) {
            ADD_FAILURE() << "quennor-boardsim did not write its state";
            return;
        }
        QThread::msleep(2);
    }
}

QStringList BoardSim::LogLines() const
{
    return QString::fromLatin1(ReadAll(FDir.filePath("frames.log")))
        .split('\n', Qt::SkipEmptyParts);
}

std::vector<std::uint16_t> BoardSim::Flash()
{
    Sync();
    const QByteArray bytes = ReadAll(FDir.filePath("flash.bin"));
    std::vector<std::uint16_t> words(std::size_t(bytes.size() / 2));
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = std::uint16_t(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
    return words;
}

QByteArray BoardSim::FlashBytes(qsizetype count)
{
    Sync();
    return ReadAll(FDir.filePath("flash.bin")).left(count);
}

BoardSim::FuseBytes BoardSim::Fuses()
{
    Sync();
    static const QRegularExpression fuses(QStringLiteral("fuses ([0-9A-F]{2}) ([0-9A-F]{2})$"));
    const QStringList lines = LogLines();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (const auto match = fuses.match(*line); match.hasMatch())
            return {std::uint8_t(match.captured(1).toUInt(nullptr, 16)),
                    std::uint8_t(match.captured(2).toUInt(nullptr, 16))};
    ADD_FAILURE() << "quennor-boardsim logged no fuses";
    return {};
}

QStringList BoardSim::Frames()
{
    Sync();
    QStringList frames;
    for (const QString& line : LogLines())
        if (!line.startsWith('#'))
            frames << line;
    return frames;
}

QStringList BoardSim::Frames(char letter)
{
    QStringList frames = Frames();
    frames.removeIf(
        [letter](const QString& frame) { return !frame.startsWith(QLatin1Char(letter)); });
    return frames;
}

void BoardSim::Stop()
{
    if (FProcess.state() == QProcess::NotRunning)
        return;
    FProcess.terminate();
    if (!FProcess.waitForFinished(StopMs)) {
        ADD_FAILURE() << "quennor-boardsim did not end on SIGTERM";
        FProcess.kill();
        FProcess.waitForFinished(StopMs);
    }
}

QByteArray ImageBytes(int bytes, int seed)
{
    QByteArray image(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        image[i] = char((i * 37 + seed * 11 + i / 256) % 251);
    return image;
}

RefusedDevice::RefusedDevice()
{
    EXPECT_EQ(chmod(QFile::encodeName(FTerminal.Path()).constData(), 0), 0);
}

// One open port on a BoardLine; the line keeps the board and the bytes on their way.
class BoardLineEnd final : public SerialDevice
{
public:
    explicit BoardLineEnd(BoardLine& line)
        : FLine(line)
    {}

    ssize_t Read(std::uint8_t* data, std::size_t size) override { return FLine.Read(data, size); }
    ssize_t Write(const std::uint8_t* data, std::size_t size) override
    {
        return FLine.Write(data, size);
    }
    int Poll(short events, int timeoutMs) override { return FLine.Poll(events, timeoutMs); }
    std::optional<bool> ClearToSend() override { return FLine.ClearToSend(); }
    int OutputQueue() override { return FLine.OutputQueue(); }
    std::optional<LineErrorCounts> ErrorCounts() override { return FLine.ErrorCounts(); }
    void Flush() override { FLine.Flush(); }

private:
    BoardLine& FLine;
};

BoardLine::BoardLine(const QStringList& options)
    : FBoard(ParseBoard(options))
{}

std::unique_ptr<SerialDevice> BoardLine::Open()
{
    return std::make_unique<BoardLineEnd>(*this);
}

PortOpener BoardLine::Opener()
{
    return [this](int port) {
        if (port != 1)
            return PortOpening{};
        PortOpening opening{std::make_unique<SerialPort>(Open()), PortRefusal::NoDevice,
                            QStringLiteral("line")};
        opening.Channel->Purge();
        return opening;
    };
}

void BoardLine::DropClearToSend(int after, std::chrono::milliseconds hold)
{
    Advance();
    FDropAt = int(FSent.size()) + after;
    FHold = hold;
    if (after <= 0) {
        FHeldFrom = Clock::now();
        FHeldUntil = FHeldFrom + hold;
    }
}

void BoardLine::DamageAnswer(int skip, Damage damage)
{
    Advance();
    FDamage[FAnswers + skip] = damage;
}

void BoardLine::StopTaking(int after, std::chrono::milliseconds hold)
{
    FStopAt = FTaken + after;
    FStopHold = hold;
    if (after <= 0)
        FStoppedUntil = Clock::now() + hold;
}

void BoardLine::Answer(const std::vector<std::uint8_t>& bytes)
{
    Advance();
    for (const std::uint8_t byte : bytes)
        PutOnWire(byte, Clock::now());
}

void BoardLine::Settle()
{
    for (Advance(); !FWire.empty() || !FQueue.empty(); Advance())
        std::this_thread::sleep_until(FWire.empty() ? FSendDone : FWire.front().At);
}

std::vector<std::uint8_t> BoardLine::Sent()
{
    Advance();
    return FSent;
}

int BoardLine::SentWhileHeld()
{
    Advance();
    return FSentWhileHeld;
}

QStringList BoardLine::Frames()
{
    Advance();
    for (const std::string& line : FBoard.TakeLog())
        if (line[0] != '#')
            FFrames << QString::fromStdString(line);
    return FFrames;
}

QStringList BoardLine::Frames(char letter)
{
    QStringList frames = Frames();
    frames.removeIf(
        [letter](const QString& frame) { return !frame.startsWith(QLatin1Char(letter)); });
    return frames;
}

// Plays everything that has happened on the line up to now, in the order of the wire.
void BoardLine::Advance()
{
    const Clock::time_point now = Clock::now();
    while (!FQueue.empty() && FSendDone <= now) {
        const std::uint8_t byte = FQueue.front();
        FQueue.pop_front();
        Transmit(byte, FSendDone);
        FSendDone += ByteTime;
    }
    while (!FWire.empty() && FWire.front().At <= now) {
        Arrive(FWire.front());
        FWire.pop_front();
    }
}

void BoardLine::Transmit(std::uint8_t byte, Clock::time_point at)
{
    if (at > FHeldFrom && at < FHeldUntil)
        ++FSentWhileHeld;
    FSent.push_back(byte);
    if (int(FSent.size()) == FDropAt) {
        FHeldFrom = at;
        FHeldUntil = at + FHold;
    }
    if (FHungUp)
        return;
    FBoard.Receive(byte);
    for (const BoardOutput& output : FBoard.Output()) {
        if (output.HangUp)
            FWire.push_back({std::max(FWireFree, at), -1, std::nullopt});
        else if (output.Byte < 0)
            FWireFree =
                std::max(FWireFree, at) + std::chrono::milliseconds(output.PauseMilliseconds);
        else
            PutOnWire(output.Byte, at);
    }
    FBoard.Output().clear();
}

void BoardLine::PutOnWire(int byte, Clock::time_point at)
{
    FWireFree = std::max(FWireFree, at) + ByteTime;
    const auto damage = FDamage.find(FAnswers++);
    FWire.push_back(
        {FWireFree, byte, damage == FDamage.end() ? std::nullopt : std::optional(damage->second)});
}

// What the driver makes of a byte: marks for damage and breaks, counts for every error.
void BoardLine::Arrive(const Arrival& arrival)
{
    if (arrival.Byte < 0) {
        FHungUp = true;
        return;
    }
    const auto byte = std::uint8_t(arrival.Byte);
    if (!arrival.Damaged) {
        if (byte == MarkStart)
            FReceived.push_back(MarkStart);
        FReceived.push_back(byte);
        return;
    }
    switch (*arrival.Damaged) {
    case Damage::Overrun:
        ++FErrors.Overrun; // the byte is lost without a mark
        return;
    case Damage::Break:
        ++FErrors.Breaks;
        FReceived.insert(FReceived.end(), {MarkStart, 0, 0});
        return;
    case Damage::Framing:
        ++FErrors.Framing;
        break;
    case Damage::Parity:
        ++FErrors.Parity;
        break;
    }
    FReceived.insert(FReceived.end(), {MarkStart, 0, byte});
}

ssize_t BoardLine::Read(std::uint8_t* data, std::size_t size)
{
    Advance();
    if (FHungUp)
        return 0;
    if (FReceived.empty()) {
        errno = EAGAIN;
        return -1;
    }
    const std::size_t count = std::min(size, FReceived.size());
    std::copy_n(FReceived.begin(), count, data);
    FReceived.erase(FReceived.begin(), FReceived.begin() + std::ptrdiff_t(count));
    return ssize_t(count);
}

ssize_t BoardLine::Write(const std::uint8_t* data, std::size_t size)
{
    Advance();
    if (FHungUp) {
        errno = EIO;
        return -1;
    }
    const std::size_t taken = std::min(size, Room());
    if (taken == 0) {
        errno = EAGAIN;
        return -1;
    }
    if (FQueue.empty())
        FSendDone = Clock::now() + ByteTime;
    FQueue.insert(FQueue.end(), data, data + taken);
    FTaken += int(taken);
    if (FTaken == FStopAt)
        FStoppedUntil = Clock::now() + FStopHold;
    return ssize_t(taken);
}

std::size_t BoardLine::Room() const
{
    if (Clock::now() < FStoppedUntil)
        return 0;
    return FStopAt > FTaken ? std::size_t(FStopAt - FTaken) : SIZE_MAX;
}

// Sleeps until the next byte leaves or arrives, as long as nothing asked for has happened.
int BoardLine::Poll(short events, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Advance();
        if (FHungUp)
            return (events & (POLLIN | POLLOUT)) | POLLERR | POLLHUP;
        const int ready = ((events & POLLOUT) && Room() > 0 ? POLLOUT : 0) |
                          ((events & POLLIN) && !FReceived.empty() ? POLLIN : 0);
        if (ready != 0 || Clock::now() >= deadline)
            return ready;
        Clock::time_point next = deadline;
        if (events & POLLOUT)
            next = std::min(next, FStoppedUntil);
        if (!FWire.empty())
            next = std::min(next, FWire.front().At);
        if (!FQueue.empty())
            next = std::min(next, FSendDone);
        std::this_thread::sleep_until(next);
    }
}

std::optional<bool> BoardLine::ClearToSend()
{
    Advance();
    if (FHungUp)
        return std::nullopt;
    const Clock::time_point now = Clock::now();
    return !(now >= FHeldFrom && now < FHeldUntil);
}

int BoardLine::OutputQueue()
{
    Advance();
    return int(FQueue.size());
}

std::optional<LineErrorCounts> BoardLine::ErrorCounts()
{
    Advance();
    if (FHungUp || !KeepsErrorCounts)
        return std::nullopt;
    return FErrors;
}

void BoardLine::Flush()
{
    Advance();
    FQueue.clear();
    FReceived.clear();
}

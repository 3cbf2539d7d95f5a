#include "boardsim.h"

#include <csignal>

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int StartMs = 10000;
constexpr int SyncMs = 10000;
constexpr int StopMs = 5000;

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

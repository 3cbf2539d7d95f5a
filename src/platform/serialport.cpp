#include "platform/serialport.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <thread>

#include <QStringList>

#include "platform/ttydevice.h"

namespace {

// Almost every board hangs on a USB adapter today, and each port tried before its own costs
// seconds of waiting.
constexpr const char* DefaultPorts = "/dev/ttyUSB0:/dev/ttyUSB1:/dev/ttyACM0:/dev/ttyACM1:"
                                     "/dev/ttyS0:/dev/ttyS1:/dev/ttyS2:/dev/ttyS3";
constexpr std::chrono::milliseconds ReadInterval{100};
constexpr std::chrono::milliseconds ReadPerByte{5};
constexpr std::chrono::milliseconds ReadConstant{200};
constexpr std::chrono::milliseconds WritePerByte{20};
constexpr std::chrono::milliseconds WriteConstant{200};
// Ten bits of 8N1 at 115200 baud.
constexpr std::chrono::nanoseconds ByteTime{10'000'000'000LL / 115200};
constexpr std::chrono::milliseconds ClearToSendPoll{1};
// Small pieces top the driver's queue up long before it runs dry.
constexpr int WritePiece = SerialPort::MaxQueued / 4;
constexpr std::uint8_t MarkStart = 0xFF;
constexpr std::size_t ReadChunk = 256;

// The entries of a colon-separated list. A device name may itself hold colons, as the names
// below /dev/serial/by-path do: a backslash takes the character after it, colon or backslash,
// into the entry.
QStringList Entries(const QString& list)
{
    QStringList entries(1);
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i] == QLatin1Char('\\') && i + 1 < list.size())
            entries.back() += list[++i];
        else if (list[i] == QLatin1Char(':'))
            entries.append(QString());
        else
            entries.back() += list[i];
    }
    return entries;
}

} // namespace

SerialPort::SerialPort(std::unique_ptr<SerialDevice> device)
    : FDevice(std::move(device))
    , FHasModemLines(FDevice->ClearToSend().has_value())
    , FErrorsAtOpen(FDevice->ErrorCounts())
{}

QString SerialPort::DevicePath(int port)
{
    const QString list = qEnvironmentVariableIsSet("QUENNOR_PORTS")
                             ? qEnvironmentVariable("QUENNOR_PORTS")
                             : QString::fromLatin1(DefaultPorts);
    const QStringList paths = Entries(list);
    return port >= 1 && port <= paths.size() ? paths[port - 1] : QString();
}

PortOpening SerialPort::Open(int port)
{
    const QString path = DevicePath(port);
    return path.isEmpty() ? PortOpening{} : OpenDevice(path);
}

PortOpening SerialPort::OpenDevice(const QString& path)
{
    PortOpening opening{nullptr, PortRefusal::NoDevice, path};
    if (std::unique_ptr<TtyDevice> device =
            TtyDevice::Open(path, opening.Refusal, opening.Holder)) {
        opening.Channel = std::make_unique<SerialPort>(std::move(device));
        opening.Channel->Purge();
    }
    return opening;
}

PortOpener SerialPort::Opener()
{
    return [](int port) {
        return Open(port);
    };
}

// A signal ends poll early; only the time that is left is waited for again, unless the wait
// may stop.
bool SerialPort::Wait(short events, Clock::time_point deadline)
{
    for (;;) {
        if (Stopped())
            return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        const int ready = FDevice->Poll(events, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (ready & (POLLERR | POLLHUP | POLLNVAL))) {
            FFailed = true;
            return false;
        }
        if (ready & events)
            return true;
    }
}

int SerialPort::Read(std::uint8_t* data, int size)
{
    const Clock::time_point end = Clock::now() + ReadPerByte * size + ReadConstant;
    Clock::time_point quietEnd = end;
    int got = 0;
    while (!LineFailed() && got < size && Wait(POLLIN, std::min(end, quietEnd))) {
        std::uint8_t raw[ReadChunk];
        const ssize_t count = FDevice->Read(raw, std::min(ReadChunk, std::size_t(size - got)));
        if (count > 0) {
            const int decoded = Decode(raw, int(count), data + got);
            got += decoded;
            if (decoded > 0)
                quietEnd = Clock::now() + ReadInterval;
        } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            FFailed = true; // the line has hung up
        }
    }
    return LineFailed() ? 0 : got;
}

// Takes the marks out of what the device delivered: 0xFF 0xFF is a data byte 0xFF, anything
// else after 0xFF is a line error.
int SerialPort::Decode(const std::uint8_t* raw, int count, std::uint8_t* data)
{
    int decoded = 0;
    for (int i = 0; i < count && !FFailed; ++i) {
        if (FMarkPending) {
            FMarkPending = false;
            if (raw[i] == MarkStart)
                data[decoded++] = MarkStart;
            else
                FFailed = true;
        } else if (raw[i] == MarkStart) {
            FMarkPending = true;
        } else {
            data[decoded++] = raw[i];
        }
    }
    return decoded;
}

int SerialPort::Write(const std::uint8_t* data, int size)
{
    const Clock::time_point end = Clock::now() + WritePerByte * size + WriteConstant;
    int written = 0;
    while (written < size) {
        const int piece = std::min(size - written, WritePiece);
        if (!WaitForRoom(piece, end) || !Wait(POLLOUT, end))
            break;
        const ssize_t count = FDevice->Write(data + written, std::size_t(piece));
        if (count > 0)
            written += int(count);
        else if (count < 0 && errno != EAGAIN && errno != EINTR)
            FFailed = true;
    }
    return LineFailed() ? 0 : written;
}

// The driver sends whatever it holds, CTS or not, so CTS is asked before every piece and the
// driver's queue is kept so short that at most MaxQueued bytes still go out after the board has
// dropped CTS. The queue is measured before CTS is asked: a drop in between then still finds no
// more than that queued.
bool SerialPort::WaitForRoom(int bytes, Clock::time_point deadline)
{
    while (!LineFailed() && !Stopped()) {
        const int excess = FDevice->OutputQueue() + bytes - MaxQueued;
        Clock::duration pause = ByteTime * excess;
        if (!ClearToSend())
            pause = ClearToSendPoll;
        else if (excess <= 0)
            return true;
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(std::min(pause, deadline - now));
    }
    return false;
}

bool SerialPort::ClearToSend()
{
    if (!FHasModemLines)
        return true;
    const std::optional<bool> clear = FDevice->ClearToSend();
    if (!clear)
        FFailed = true; // the modem lines went away with the device
    return clear.value_or(false);
}

// Errors the driver counted since the port was opened: an overrun leaves no mark in the data.
bool SerialPort::LineFailed()
{
    if (!FFailed && FErrorsAtOpen) {
        const std::optional<LineErrorCounts> counts = FDevice->ErrorCounts();
        FFailed = !counts || *counts != *FErrorsAtOpen;
    }
    return FFailed;
}

void SerialPort::Purge()
{
    FDevice->Flush();
    FMarkPending = false;
}

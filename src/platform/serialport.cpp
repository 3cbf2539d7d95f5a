#include "platform/serialport.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <QFile>
#include <QStringList>

#include "platform/ticks.h"

namespace {

constexpr const char* DefaultPorts = "/dev/ttyS0:/dev/ttyS1:/dev/ttyS2:/dev/ttyS3:/dev/ttyUSB0:"
                                     "/dev/ttyUSB1:/dev/ttyACM0:/dev/ttyACM1";
constexpr int ReadIntervalMs = 100;
constexpr int ReadPerByteMs = 5;
constexpr int ReadConstantMs = 200;
constexpr int WritePerByteMs = 20;
constexpr int WriteConstantMs = 200;

bool ConfigureLine(int fd)
{
    termios line{};
    if (tcgetattr(fd, &line) != 0)
        return false;
    cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    return cfsetispeed(&line, B115200) == 0 && cfsetospeed(&line, B115200) == 0 &&
           tcsetattr(fd, TCSANOW, &line) == 0;
}

// DTR on and RTS off for good; false when the device has no modem lines at all.
bool SetModemLines(int fd)
{
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) != 0)
        return false;
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &dtr);
    ioctl(fd, TIOCMBIC, &rts);
    return true;
}

// Milliseconds left until limit counted from start; negative once it has passed.
std::int64_t Remaining(std::uint32_t start, std::int64_t limit)
{
    return limit - std::int64_t(std::uint32_t(TickCount() - start));
}

} // namespace

SerialPort::SerialPort(int fd, bool hasModemLines)
    : FFd(fd)
    , FHasModemLines(hasModemLines)
{}

SerialPort::~SerialPort()
{
    // The exclusive mode outlives this descriptor while others hold the device open.
    ioctl(FFd, TIOCNXCL);
    ::close(FFd);
}

QString SerialPort::DevicePath(int port)
{
    const QString list = qEnvironmentVariableIsSet("QUENNOR_PORTS")
                             ? qEnvironmentVariable("QUENNOR_PORTS")
                             : QString::fromLatin1(DefaultPorts);
    const QStringList paths = list.split(QLatin1Char(':'));
    return port >= 1 && port <= paths.size() ? paths[port - 1] : QString();
}

std::unique_ptr<SerialPort> SerialPort::Open(int port)
{
    const QString path = DevicePath(port);
    return path.isEmpty() ? nullptr : OpenDevice(path);
}

std::unique_ptr<SerialPort> SerialPort::OpenDevice(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // TIOCEXCL does not stop root, so a lock keeps a second Quennor off the port as well.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || !ConfigureLine(fd)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<SerialPort> port(new SerialPort(fd, SetModemLines(fd)));
    port->Purge();
    return port;
}

PortOpener SerialPort::Opener()
{
    return [](int port) -> std::unique_ptr<SerialChannel> {
        return Open(port);
    };
}

bool SerialPort::Wait(short events, int timeoutMs)
{
    pollfd watched{FFd, events, 0};
    int ready = 0;
    do
        ready = ::poll(&watched, 1, std::max(timeoutMs, 0));
    while (ready < 0 && errno == EINTR);
    const bool ok = ready > 0 && (watched.revents & events);
    if (ready < 0 || (!ok && (watched.revents & (POLLERR | POLLHUP | POLLNVAL))))
        FFailed = true;
    return ok;
}

int SerialPort::Read(std::uint8_t* data, int size)
{
    const std::uint32_t start = TickCount();
    std::uint32_t lastByte = start;
    int got = 0;
    while (!FFailed && got < size) {
        std::int64_t wait = Remaining(start, std::int64_t(ReadPerByteMs) * size + ReadConstantMs);
        if (got > 0)
            wait = std::min(wait, Remaining(lastByte, ReadIntervalMs));
        if (wait <= 0 || !Wait(POLLIN, int(wait)))
            break;
        const ssize_t count = ::read(FFd, data + got, size_t(size - got));
        if (count > 0) {
            got += int(count);
            lastByte = TickCount();
        } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            FFailed = true;
        }
    }
    return got;
}

bool SerialPort::WaitForClearToSend(std::uint32_t start, std::int64_t limit)
{
    for (;;) {
        int lines = 0;
        if (!FHasModemLines || (ioctl(FFd, TIOCMGET, &lines) == 0 && (lines & TIOCM_CTS)))
            return true;
        if (Remaining(start, limit) <= 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int SerialPort::Write(const std::uint8_t* data, int size)
{
    const std::uint32_t start = TickCount();
    const std::int64_t limit = std::int64_t(WritePerByteMs) * size + WriteConstantMs;
    if (FFailed || !WaitForClearToSend(start, limit))
        return 0;
    int written = 0;
    while (!FFailed && written < size) {
        const std::int64_t wait = Remaining(start, limit);
        if (wait <= 0 || !Wait(POLLOUT, int(wait)))
            break;
        const ssize_t count = ::write(FFd, data + written, size_t(size - written));
        if (count > 0)
            written += int(count);
        else if (count < 0 && errno != EAGAIN && errno != EINTR)
            FFailed = true;
    }
    return written;
}

void SerialPort::Purge()
{
    tcflush(FFd, TCIOFLUSH);
}

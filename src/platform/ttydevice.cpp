#include "platform/ttydevice.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/portlock.h"

namespace {

PortRefusal RefusalFor(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return PortRefusal::NoAccess;
    case EBUSY:
        return PortRefusal::InUse;
    default:
        return PortRefusal::NoDevice;
    }
}

// A device the kernel files under a class other than tty, such as /dev/null or /dev/zero: no
// port, and whoever holds it open is no reason to name. Pseudo-terminals are filed nowhere.
bool IsOtherDevice(dev_t device)
{
    const QString subsystem =
        QFileInfo(
            QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(device)).arg(minor(device)))
            .symLinkTarget();
    return !subsystem.isEmpty() && QFileInfo(subsystem).fileName() != QLatin1String("tty");
}

} // namespace

std::unique_ptr<TtyDevice> TtyDevice::Open(const QString& path, PortRefusal& refusal, long& holder)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat node = {};
    if (::stat(name.constData(), &node) != 0) {
        refusal = RefusalFor(errno);
        return nullptr;
    }
    if (!S_ISCHR(node.st_mode) || IsOtherDevice(node.st_rdev)) {
        refusal = PortRefusal::NotSerial;
        return nullptr;
    }
    // Checked before opening: opening alone can change the lines of a port in use.
    if (const std::optional<PortHolder> user = FindPortHolder(path)) {
        refusal = user->How == PortHolder::LockFile ? PortRefusal::Locked : PortRefusal::InUse;
        holder = user->Pid;
        return nullptr;
    }
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        refusal = RefusalFor(errno);
        return nullptr;
    }
    // /dev/tty and its kin name no device of their own that the check above could find, yet
    // frames sent there would land in the user's terminal.
    if (tcgetsid(fd) != -1) {
        refusal = PortRefusal::OwnTerminal;
        ::close(fd);
        return nullptr;
    }
    // The exclusive mode does not stop root, so a lock keeps a second Quennor off as well.
    termios previous{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &previous) != 0) {
        refusal = errno == EWOULDBLOCK ? PortRefusal::InUse : PortRefusal::NotSerial;
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<TtyDevice> device(new TtyDevice(fd, previous));
    if (ioctl(fd, TIOCEXCL) != 0 || !device->Configure()) {
        refusal = PortRefusal::NotSerial;
        return nullptr;
    }
    device->SetModemLines();
    device->AskForLowLatency();
    return device;
}

TtyDevice::TtyDevice(int fd, const termios& previous)
    : FFd(fd)
    , FPrevious(previous)
{}

TtyDevice::~TtyDevice()
{
    if (FPreviousSerialFlags) {
        serial_struct serial{};
        if (ioctl(FFd, TIOCGSERIAL, &serial) == 0) {
            serial.flags = *FPreviousSerialFlags;
            ioctl(FFd, TIOCSSERIAL, &serial);
        }
    }
    tcsetattr(FFd, TCSANOW, &FPrevious);
    // The exclusive mode outlives this descriptor while others hold the device open.
    ioctl(FFd, TIOCNXCL);
    ::close(FFd);
}

// Raw 8N1 without any handshake of the driver's own: CRTSCTS would also drive RTS, which must
// stay off, so CTS is watched by SerialPort instead. Line errors are marked in the data, so that
// a damaged byte never passes for a good one.
bool TtyDevice::Configure()
{
    termios line = FPrevious;
    cfmakeraw(&line);
    line.c_iflag = INPCK | PARMRK;
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    return cfsetispeed(&line, B115200) == 0 && cfsetospeed(&line, B115200) == 0 &&
           tcsetattr(FFd, TCSANOW, &line) == 0;
}

void TtyDevice::SetModemLines()
{
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    ioctl(FFd, TIOCMBIS, &dtr);
    ioctl(FFd, TIOCMBIC, &rts);
}

// USB adapters otherwise hold a short answer back for up to 16 ms, and the protocol waits for
// two of them per block. A driver that refuses is simply slower.
void TtyDevice::AskForLowLatency()
{
    serial_struct serial{};
    if (ioctl(FFd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return;
    const int previous = serial.flags;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(FFd, TIOCSSERIAL, &serial) == 0)
        FPreviousSerialFlags = previous;
}

ssize_t TtyDevice::Read(std::uint8_t* data, std::size_t size)
{
    return ::read(FFd, data, size);
}

ssize_t TtyDevice::Write(const std::uint8_t* data, std::size_t size)
{
    return ::write(FFd, data, size);
}

int TtyDevice::Poll(short events, int timeoutMs)
{
    pollfd watched{FFd, events, 0};
    const int ready = ::poll(&watched, 1, timeoutMs);
    return ready < 0 ? -1 : watched.revents;
}

std::optional<bool> TtyDevice::ClearToSend()
{
    int lines = 0;
    if (ioctl(FFd, TIOCMGET, &lines) != 0)
        return std::nullopt;
    return (lines & TIOCM_CTS) != 0;
}

int TtyDevice::OutputQueue()
{
    int queued = 0;
    return ioctl(FFd, TIOCOUTQ, &queued) == 0 ? queued : 0;
}

std::optional<LineErrorCounts> TtyDevice::ErrorCounts()
{
    serial_icounter_struct counts{};
    if (ioctl(FFd, TIOCGICOUNT, &counts) != 0)
        return std::nullopt;
    return LineErrorCounts{counts.frame, counts.parity, counts.overrun, counts.brk,
                           counts.buf_overrun};
}

void TtyDevice::Flush()
{
    tcflush(FFd, TCIOFLUSH);
}

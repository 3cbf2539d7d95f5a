#include "platform/serialport.h"

#include <fcntl.h>
#include <numeric>
#include <poll.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace {

// The other end of a serial line: the master side of a pseudo-terminal.
class Line
{
public:
    Line()
    {
        FMaster = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(FMaster, 0);
        EXPECT_EQ(grantpt(FMaster), 0);
        EXPECT_EQ(unlockpt(FMaster), 0);
        FDevice = QString::fromLocal8Bit(ptsname(FMaster));
    }
    ~Line() { HangUp(); }

    QString Device() const { return FDevice; }
    void Send(const std::vector<std::uint8_t>& bytes)
    {
        EXPECT_EQ(write(FMaster, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Whatever arrives within a second, up to size bytes.
    std::vector<std::uint8_t> Receive(std::size_t size)
    {
        std::vector<std::uint8_t> bytes(size);
        std::size_t got = 0;
        pollfd readable{FMaster, POLLIN, 0};
        while (got < size && poll(&readable, 1, 1000) > 0) {
            const ssize_t n = read(FMaster, bytes.data() + got, size - got);
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        bytes.resize(got);
        return bytes;
    }
    void HangUp()
    {
        if (FMaster >= 0)
            close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    QString FDevice;
};

std::vector<std::uint8_t> AllByteValues()
{
    std::vector<std::uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t(0));
    return bytes;
}

} // namespace

TEST(SerialPort, PortNumbersNameTheEntriesOfQuennorPorts)
{
    qputenv("QUENNOR_PORTS", "/dev/first::/dev/third");
    EXPECT_EQ(SerialPort::DevicePath(1), "/dev/first");
    EXPECT_EQ(SerialPort::DevicePath(2), "");
    EXPECT_EQ(SerialPort::DevicePath(3), "/dev/third");
    EXPECT_EQ(SerialPort::DevicePath(4), "");
    EXPECT_EQ(SerialPort::DevicePath(0), "");
    EXPECT_EQ(SerialPort::Open(2), nullptr) << "an empty entry is no port";
    EXPECT_EQ(SerialPort::Open(1), nullptr) << "a missing device is no port";

    qunsetenv("QUENNOR_PORTS");
    EXPECT_EQ(SerialPort::DevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(SerialPort::DevicePath(5), "/dev/ttyUSB0");
    EXPECT_EQ(SerialPort::DevicePath(8), "/dev/ttyACM1");
    EXPECT_EQ(SerialPort::DevicePath(9), "");
}

TEST(SerialPort, OpensOnlySerialDevicesAndEachOnlyOnce)
{
    Line line;
    auto port = SerialPort::OpenDevice(line.Device());
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(SerialPort::OpenDevice(line.Device()), nullptr) << "the port is in use";
    port.reset();
    EXPECT_NE(SerialPort::OpenDevice(line.Device()), nullptr) << "closing frees the port";

    TempDir dir;
    EXPECT_EQ(SerialPort::OpenDevice(dir.Write("plain", "data")), nullptr);
}

TEST(SerialPort, TransfersEveryByteValueUnchanged)
{
    Line line;
    auto port = SerialPort::OpenDevice(line.Device());
    ASSERT_NE(port, nullptr);

    EXPECT_EQ(port->Write(AllByteValues().data(), 256), 256);
    EXPECT_EQ(line.Receive(256), AllByteValues());

    line.Send(AllByteValues());
    std::vector<std::uint8_t> received(300);
    EXPECT_EQ(port->Read(received.data(), 300), 256) << "the read ends when the line goes quiet";
    received.resize(256);
    EXPECT_EQ(received, AllByteValues());
    EXPECT_EQ(port->Read(received.data(), 4), 0);
}

TEST(SerialPort, PurgeDiscardsWhatWasWaiting)
{
    Line line;
    auto port = SerialPort::OpenDevice(line.Device());
    ASSERT_NE(port, nullptr);
    line.Send({1, 2, 3});
    usleep(20000);
    port->Purge();
    std::uint8_t byte = 0;
    EXPECT_EQ(port->Read(&byte, 1), 0);
}

TEST(SerialPort, WriteGivesUpWhenNothingIsTaken)
{
    Line line;
    auto port = SerialPort::OpenDevice(line.Device());
    ASSERT_NE(port, nullptr);
    const std::uint8_t piece[8] = {};
    int pieces = 0;
    while (pieces < 1 << 17 && port->Write(piece, 8) == 8)
        ++pieces;
    ASSERT_LT(pieces, 1 << 17) << "the line never filled up";
    EXPECT_EQ(port->Write(piece, 1), 0);
    EXPECT_FALSE(port->Failed()) << "a full line is no line error";
}

TEST(SerialPort, LineErrorFailsEveryLaterTransfer)
{
    Line line;
    auto port = SerialPort::OpenDevice(line.Device());
    ASSERT_NE(port, nullptr);
    line.HangUp();
    std::uint8_t byte = 0x55;
    EXPECT_EQ(port->Read(&byte, 1), 0);
    EXPECT_TRUE(port->Failed());
    EXPECT_EQ(port->Write(&byte, 1), 0);
    EXPECT_EQ(port->Read(&byte, 1), 0);
}

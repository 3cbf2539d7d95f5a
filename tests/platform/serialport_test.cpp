#include "platform/serialport.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <numeric>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include "support/boardsim.h"
#include "support/pseudoterminal.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

namespace {

// The other end of a serial line: the master side of a pseudo-terminal.
class Line
{
public:
    QString Device() const { return FTerminal.Path(); }
    void Send(const std::vector<std::uint8_t>& bytes)
    {
        EXPECT_EQ(write(FTerminal.Master(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Whatever arrives within a second, up to size bytes.
    std::vector<std::uint8_t> Receive(std::size_t size)
    {
        std::vector<std::uint8_t> bytes(size);
        std::size_t got = 0;
        pollfd readable{FTerminal.Master(), POLLIN, 0};
        while (got < size && poll(&readable, 1, 1000) > 0) {
            const ssize_t n = read(FTerminal.Master(), bytes.data() + got, size - got);
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        bytes.resize(got);
        return bytes;
    }
    void HangUp() { FTerminal.Close(); }

private:
    PseudoTerminal FTerminal;
};

std::vector<std::uint8_t> AllByteValues()
{
    std::vector<std::uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t(0));
    return bytes;
}

// A port opened on a fresh line.
class OpenPort : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(Port, nullptr); }

    Line Wire;
    std::unique_ptr<SerialChannel> Port = SerialPort::OpenDevice(Wire.Device()).Channel;
};

} // namespace

TEST(SerialPort, PortNumbersNameTheEntriesOfQuennorPorts)
{
    qputenv("QUENNOR_PORTS", "/dev/first::/dev/third");
    EXPECT_EQ(SerialPort::DevicePath(1), "/dev/first");
    EXPECT_EQ(SerialPort::DevicePath(2), "");
    EXPECT_EQ(SerialPort::DevicePath(3), "/dev/third");
    EXPECT_EQ(SerialPort::DevicePath(4), "");
    EXPECT_EQ(SerialPort::DevicePath(0), "");
    EXPECT_EQ(SerialPort::Open(2).Channel, nullptr) << "an empty entry is no port";
    EXPECT_EQ(SerialPort::Open(1).Channel, nullptr) << "a missing device is no port";

    SCOPED_TRACE("a backslash keeps a colon or a backslash in its entry");
    qputenv("QUENNOR_PORTS", R"(/dev/serial/by-path/pci-0000\:00\:14.0-usb-0\:2\:1.0-port0:a\\b\)");
    EXPECT_EQ(SerialPort::DevicePath(1), "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
    EXPECT_EQ(SerialPort::DevicePath(2), R"(a\b\)");

    qunsetenv("QUENNOR_PORTS");
    const QStringList usbFirst{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyACM1",
                               "/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3"};
    for (int port = 1; port <= 8; ++port)
        EXPECT_EQ(SerialPort::DevicePath(port), usbFirst[port - 1]);
    EXPECT_EQ(SerialPort::DevicePath(9), "");
}

TEST_F(OpenPort, OpensOnlySerialDevicesAndEachOnlyOnce)
{
    const PortOpening again = SerialPort::OpenDevice(Wire.Device());
    EXPECT_EQ(again.Channel, nullptr);
    EXPECT_EQ(again.Refusal, PortRefusal::InUse);
    EXPECT_EQ(again.Device, Wire.Device());
    Port.reset();
    EXPECT_NE(SerialPort::OpenDevice(Wire.Device()).Channel, nullptr) << "closing frees the port";

    TempDir dir;
    const PortOpening plain = SerialPort::OpenDevice(dir.Write("plain", "data"));
    EXPECT_EQ(plain.Channel, nullptr);
    EXPECT_EQ(plain.Refusal, PortRefusal::NotSerial);
    // Held open by about every process, which is no sign of a port in use.
    EXPECT_EQ(SerialPort::OpenDevice("/dev/null").Refusal, PortRefusal::NotSerial);
    EXPECT_EQ(SerialPort::OpenDevice(dir.Path("missing")).Refusal, PortRefusal::NoDevice);
}

TEST_F(OpenPort, TransfersEveryByteValueUnchanged)
{
    EXPECT_EQ(Port->Write(AllByteValues().data(), 256), 256);
    EXPECT_EQ(Wire.Receive(256), AllByteValues());

    Wire.Send(AllByteValues());
    std::vector<std::uint8_t> received(300);
    EXPECT_EQ(Port->Read(received.data(), 300), 256) << "the read ends when the line goes quiet";
    received.resize(256);
    EXPECT_EQ(received, AllByteValues());
    EXPECT_EQ(Port->Read(received.data(), 4), 0);
}

TEST_F(OpenPort, PurgeDiscardsWhatWasWaiting)
{
    Wire.Send({1, 2, 3});
    usleep(20000);
    Port->Purge();
    std::uint8_t byte = 0;
    EXPECT_EQ(Port->Read(&byte, 1), 0);
}

TEST_F(OpenPort, WriteGivesUpWhenNothingIsTaken)
{
    const std::uint8_t piece[8] = {};
    int pieces = 0;
    while (pieces < 1 << 17 && Port->Write(piece, 8) == 8)
        ++pieces;
    ASSERT_LT(pieces, 1 << 17) << "the line never filled up";
    EXPECT_EQ(Port->Write(piece, 1), 0);
    EXPECT_FALSE(Port->Failed()) << "a full line is no line error";
}

TEST_F(OpenPort, LineErrorFailsEveryLaterTransfer)
{
    Wire.HangUp();
    std::uint8_t byte = 0x55;
    EXPECT_EQ(Port->Read(&byte, 1), 0);
    EXPECT_TRUE(Port->Failed());
    EXPECT_EQ(Port->Write(&byte, 1), 0);
    EXPECT_EQ(Port->Read(&byte, 1), 0);
}

namespace {

termios LineSettings(int fd)
{
    termios settings{};
    EXPECT_EQ(tcgetattr(fd, &settings), 0);
    return settings;
}

bool SameSettings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetospeed(&a) == cfgetospeed(&b);
}

} // namespace

TEST(SerialPort, GivesTheLineSettingsBackWhenClosed)
{
    Line line;
    const int other = open(QFile::encodeName(line.Device()).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    termios before = LineSettings(other);
    cfsetspeed(&before, B9600);
    before.c_lflag |= ICANON | ECHO;
    before.c_iflag |= ICRNL | IXON;
    ASSERT_EQ(tcsetattr(other, TCSANOW, &before), 0);

    auto port = SerialPort::OpenDevice(line.Device()).Channel;
    ASSERT_NE(port, nullptr) << "a descriptor of this very process is no other program";
    const termios during = LineSettings(other);
    EXPECT_EQ(cfgetospeed(&during), B115200);
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(during.c_iflag, tcflag_t(INPCK | PARMRK)) << "nothing but the error marks";
    port.reset();
    EXPECT_TRUE(SameSettings(LineSettings(other), before));
    close(other);
}

TEST(SerialPort, LeavesAPortAloneThatAnotherProgramHolds)
{
    Line line;
    QProcess holder;
    holder.setStandardInputFile(line.Device());
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(holder.waitForStarted());
    const int watch = open(QFile::encodeName(line.Device()).constData(), O_RDWR | O_NOCTTY);
    const termios before = LineSettings(watch);

    const PortOpening held = SerialPort::OpenDevice(line.Device());
    EXPECT_EQ(held.Channel, nullptr);
    EXPECT_EQ(held.Refusal, PortRefusal::InUse);
    EXPECT_EQ(held.Holder, holder.processId());
    EXPECT_TRUE(SameSettings(LineSettings(watch), before)) << "its settings stay untouched";

    holder.kill();
    holder.waitForFinished();
    EXPECT_NE(SerialPort::OpenDevice(line.Device()).Channel, nullptr) << "free once it ended";
    close(watch);

    const QString lockDirectory = QStringLiteral("/var/lock");
    if (!QFileInfo(lockDirectory).isWritable())
        return;
    SCOPED_TRACE("a lock file of a terminal program");
    const QString lock = lockDirectory + "/LCK.." + QFileInfo(line.Device()).fileName();
    ASSERT_FALSE(QFile::exists(lock));
    QFile file(lock);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(getppid()).rightJustified(10) + '\n');
    file.close();
    EXPECT_EQ(SerialPort::OpenDevice(line.Device()).Refusal, PortRefusal::Locked);
    QFile::remove(lock);
    EXPECT_NE(SerialPort::OpenDevice(line.Device()).Channel, nullptr);
}

TEST(SerialPort, ReportsADeviceItMayNotOpen)
{
    if (!Unprivileged::InChild()) {
        RefusedDevice refused;
        Unprivileged::RunAsNobody(refused.Path());
        return;
    }
    qputenv("QUENNOR_PORTS", ":" + QFile::encodeName(Unprivileged::Fixture()));
    const PortOpening opening = SerialPort::Open(2);
    qunsetenv("QUENNOR_PORTS");
    EXPECT_EQ(opening.Channel, nullptr);
    EXPECT_EQ(opening.Refusal, PortRefusal::NoAccess);
    EXPECT_EQ(opening.Device, Unprivileged::Fixture());
}

TEST_F(OpenPort, SignalsDoNotStretchAWait)
{
    struct sigaction action = {};
    action.sa_handler = [](int) {
    };
    struct sigaction previous = {};
    sigaction(SIGUSR2, &action, &previous); // no SA_RESTART: every signal ends poll early

    std::atomic<bool> reading = true;
    std::atomic<int> sent = 0;
    const pthread_t reader = pthread_self();
    std::thread storm([&] {
        for (; reading && sent < 5000; ++sent) {
            pthread_kill(reader, SIGUSR2);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::uint8_t byte = 0;
    const int got = Port->Read(&byte, 1);
    const bool ended = reading.exchange(false) && sent < 5000;
    storm.join();
    sigaction(SIGUSR2, &previous, nullptr);

    EXPECT_EQ(got, 0);
    EXPECT_TRUE(ended) << "the read outlasted a storm of " << sent << " signals";
    EXPECT_GT(sent, 20) << "too few signals came to prove anything";
    EXPECT_FALSE(Port->Failed());
}

TEST(SerialPort, LineErrorFailsTheTransferAndEveryLaterOne)
{
    using Damage = BoardLine::Damage;
    struct Case
    {
        const char* Name;
        std::optional<Damage> Damaged;
        bool Counters;
    };
    const Case cases[] = {
        {"a clean line", std::nullopt, true},
        {"a clean line, marks only", std::nullopt, false},
        {"a framing error", Damage::Framing, true},
        {"a framing error, marks only", Damage::Framing, false},
        {"a parity error", Damage::Parity, true},
        {"a break", Damage::Break, true},
        {"a break, marks only", Damage::Break, false},
        {"an overrun", Damage::Overrun, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        BoardLine line({"--silent"});
        line.KeepsErrorCounts = test.Counters;
        SerialPort port(line.Open());
        if (test.Damaged)
            line.DamageAnswer(2, *test.Damaged);
        line.Answer({0x11, 0xFF, 0x22, 0x00});
        std::uint8_t bytes[4] = {};
        if (!test.Damaged) {
            ASSERT_EQ(port.Read(bytes, 4), 4);
            EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 4),
                      std::vector<std::uint8_t>({0x11, 0xFF, 0x22, 0x00}));
            EXPECT_FALSE(port.Failed());
            continue;
        }
        EXPECT_EQ(port.Read(bytes, 4), 0);
        EXPECT_TRUE(port.Failed());
        line.Answer({0x44});
        EXPECT_EQ(port.Read(bytes, 1), 0) << "good data later do not heal the line";
        EXPECT_EQ(port.Write(bytes, 1), 0);
        port.Purge();
        EXPECT_EQ(port.Read(bytes, 1), 0) << "only closing the port does";
    }

    SCOPED_TRACE("an error between two transfers");
    BoardLine line({"--silent"});
    SerialPort port(line.Open());
    line.DamageAnswer(0, Damage::Overrun);
    line.Answer({0x55});
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::uint8_t byte = 0;
    EXPECT_EQ(port.Write(&byte, 1), 0);
    EXPECT_TRUE(port.Failed());
}

TEST(SerialPort, HoldsDataBackWhileTheBoardDropsClearToSend)
{
    BoardLine line({"--silent"});
    SerialPort port(line.Open());
    const std::vector<std::uint8_t> data = AllByteValues();

    line.DropClearToSend(40, std::chrono::milliseconds(60));
    EXPECT_EQ(port.Write(data.data(), 256), 256) << "sending goes on once CTS is back";
    for (int wait = 0; wait < 1000 && line.Sent().size() < data.size(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(line.Sent(), data);
    EXPECT_LE(line.SentWhileHeld(), SerialPort::MaxQueued);
    EXPECT_GT(line.SentWhileHeld(), 0) << "CTS dropped while bytes were still queued";

    line.DropClearToSend(0, std::chrono::seconds(10));
    const std::uint8_t piece[8] = {};
    EXPECT_EQ(port.Write(piece, 8), 0) << "the write time-out still ends the wait";
    EXPECT_FALSE(port.Failed()) << "a board that holds CTS off has made no line error";
}

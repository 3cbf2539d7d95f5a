#include "programmer/avrflash2.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/serialport.h"
#include "platform/ticks.h"
#include "programmer/devicetable.h"

namespace {

constexpr std::uint8_t Ack = '+';
constexpr std::uint8_t Done = '!';
constexpr std::uint32_t AckWait = 2000;
constexpr std::uint32_t DoneWait = 2000;
constexpr std::uint32_t EraseWait = 8000;
constexpr std::uint32_t TextByteWait = 200;
constexpr std::uint32_t AnswerWait = 200;
constexpr int ReadBlockWords = 128;
constexpr int WordBlockWords = 128;
constexpr int PieceWords = 4;
constexpr int MaxVersionLength = 255;
// A board that streams text without its closing 0 must not hold the search for ever.
constexpr std::uint32_t VersionTextWait = 2000;

constexpr std::uint8_t Low(int value)
{
    return std::uint8_t(value & 0xFF);
}

constexpr std::uint8_t High(int value)
{
    return std::uint8_t((value >> 8) & 0xFF);
}

} // namespace

TAVRFlash::TAVRFlash(PortOpener opener)
    : FOpener(std::move(opener))
{}

TAVRFlash::TAVRFlash()
    : TAVRFlash(SerialPort::Opener())
{}

TAVRFlash::~TAVRFlash()
{
    Disconnect();
}

bool TAVRFlash::OpenPort(int n)
{
    ClosePort();
    Port = n;
    FAttempt = {n};
    FHeard = false;
    FSignature.reset();
    if (n >= 1) {
        PortOpening opening = FOpener(n);
        if (!opening.Channel && opening.Refusal == PortRefusal::NoAccess && DeniedDevice.isEmpty())
            DeniedDevice = opening.Device;
        Handle = std::move(opening.Channel);
        FAttempt.Device = opening.Device;
        FAttempt.Refusal = opening.Refusal;
        FAttempt.Holder = opening.Holder;
    }
    if (!Handle) {
        Port = 0;
        return false;
    }
    Purge();
    return true;
}

void TAVRFlash::ClosePort()
{
    Purge();
    Port = 0;
    SWVersion.clear();
    Handle.reset();
}

void TAVRFlash::Purge()
{
    if (Handle)
        Handle->Purge();
}

bool TAVRFlash::SendByte(std::uint8_t b)
{
    return Handle && Handle->Write(&b, 1) == 1;
}

// A failed line answers every read at once, so waiting on would only burn the processor.
bool TAVRFlash::ReceiveByte(std::uint8_t& b, std::uint32_t timeoutMs)
{
    if (!Handle)
        return false;
    const std::uint32_t start = TickCount();
    do {
        std::uint8_t received = 0;
        if (Handle->Read(&received, 1) == 1) {
            b = received;
            FHeard = true;
            return true;
        }
    } while (!Handle->Failed() && !(FStoppable && StopRequested()) &&
             std::uint32_t(TickCount() - start) < timeoutMs);
    return false;
}

bool TAVRFlash::SendCommand(char letter, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                            std::uint8_t b4, std::uint32_t ackTimeoutMs)
{
    for (const std::uint8_t b : {std::uint8_t(letter), b1, b2, b3, b4})
        if (!SendByte(b))
            return false;
    std::uint8_t answer = 0;
    return ReceiveByte(answer, ackTimeoutMs) && answer == Ack;
}

bool TAVRFlash::WaitDone(std::uint32_t timeoutMs)
{
    std::uint8_t answer = 0;
    return ReceiveByte(answer, timeoutMs) && answer == Done;
}

QString TAVRFlash::GetVersionText(std::uint8_t which)
{
    QString text;
    if (!SendCommand('v', which, 0, 0, 0, AckWait))
        return text;
    // Read up to the closing 0 even past the kept length, or the rest of a long text would be
    // taken for the answers that follow.
    const std::uint32_t start = TickCount();
    std::uint8_t c = 0;
    while (std::uint32_t(TickCount() - start) < VersionTextWait && ReceiveByte(c, TextByteWait) &&
           c != 0)
        if (text.size() < MaxVersionLength)
            text += QChar(c);
    WaitDone(DoneWait);
    return text;
}

bool TAVRFlash::QueryVersions()
{
    const QString software = GetVersionText(1);
    if (!software.startsWith(QLatin1String("SW")))
        return false;
    SWVersion = software;
    const QString hardware = GetVersionText(0);
    if (!hardware.startsWith(QLatin1String("HW")))
        return false;
    HWVersion = hardware;
    return true;
}

bool TAVRFlash::EnterProgMode()
{
    return SendCommand('M', 1, 0, 0, 0, AckWait) && WaitDone(DoneWait);
}

bool TAVRFlash::LeaveProgMode()
{
    return SendCommand('M', 0, 0, 0, 0, AckWait) && WaitDone(DoneWait);
}

std::uint32_t TAVRFlash::ReadSignature()
{
    std::uint8_t bytes[3] = {};
    for (std::uint8_t i = 0; i < 3; ++i)
        if (!SendCommand('s', i, 0, 0, 0, AckWait) || !ReceiveByte(bytes[i], AckWait) ||
            !WaitDone(DoneWait))
            return 0;
    FSignature = std::uint32_t(bytes[0]) << 16 | std::uint32_t(bytes[1]) << 8 | bytes[2];
    if (bytes[0] == 0xFF && bytes[1] == 0xFF && bytes[2] == 0xFF)
        return 0;
    return *FSignature;
}

bool TAVRFlash::Identify()
{
    const std::uint32_t signature = ReadSignature();
    if (signature == 0x000000 || signature == 0xFFFFFF)
        return false;
    Device = std::int8_t(DeviceBySignature(signature));
    return Device != 0;
}

bool TAVRFlash::SendDeviceParams()
{
    const TDeviceInfo& row = DeviceTable[Device];
    const int values[4] = {row.EraseWait, row.FlashWait, row.EepromWait, int(row.PollValues)};
    for (std::uint8_t k = 1; k <= 4; ++k)
        if (!SendCommand('O', k, Low(values[k - 1]), High(values[k - 1]), 0, AckWait) ||
            !WaitDone(DoneWait))
            return false;
    return true;
}

bool TAVRFlash::Connect(int port)
{
    Disconnect();
    DeniedDevice.clear();
    const int first = port >= 1 ? port : FirstPort;
    const int last = port >= 1 ? port : LastPort;
    for (int candidate = first; candidate <= last && !StopRequested(); ++candidate) {
        if (!OpenPort(candidate)) {
            Tried(PortAttempt::Refused);
            continue;
        }
        if (Detect())
            return true;
        ClosePort();
    }
    return false;
}

// A stop request cuts the version queries short: until the board has confirmed programming
// mode, nothing is left to take back, and a silent port would hold the stop for seconds.
bool TAVRFlash::Detect()
{
    FStoppable = true;
    Handle->StopWaitsWhen(CancelRequested);
    const bool board = QueryVersions();
    Handle->StopWaitsWhen({});
    FStoppable = false;
    if (StopRequested()) {
        Tried(PortAttempt::Stopped);
        return false;
    }
    const PortAttempt::Kind what = board    ? Handshake()
                                   : FHeard ? PortAttempt::NoBoard
                                            : PortAttempt::Silent;
    if (what != PortAttempt::Found)
        LeaveProgMode();
    Tried(what);
    return what == PortAttempt::Found;
}

PortAttempt::Kind TAVRFlash::Handshake()
{
    if (!EnterProgMode())
        return PortAttempt::NoProgMode;
    if (!Identify()) {
        if (!FSignature)
            return PortAttempt::NoSignature;
        FAttempt.Signature = *FSignature;
        return *FSignature == 0 || *FSignature == 0xFFFFFF ? PortAttempt::EmptySignature
                                                           : PortAttempt::UnknownSignature;
    }
    return SendDeviceParams() ? PortAttempt::Found : PortAttempt::NoParameters;
}

void TAVRFlash::Tried(PortAttempt::Kind what)
{
    FAttempt.What = what;
    if (OnPortTried)
        OnPortTried(FAttempt);
}

void TAVRFlash::Disconnect()
{
    if (!IsOpen())
        return;
    LeaveProgMode();
    ClosePort();
}

QString TAVRFlash::DeviceName() const
{
    return QString::fromLatin1(DeviceTable[Device].Name);
}

int TAVRFlash::FlashWords() const
{
    return DeviceTable[Device].FlashWords;
}

bool TAVRFlash::IsPaged() const
{
    return DeviceTable[Device].Paged != 0;
}

bool TAVRFlash::ChipErase()
{
    return SendCommand('C', 0, 0, 0, 0, AckWait) && WaitDone(EraseWait);
}

int TAVRFlash::WriteBlock(int address, int count, const std::uint16_t* words)
{
    return WriteWords('F', address, count, words);
}

int TAVRFlash::WritePageBlock(int address, int count, const std::uint16_t* words)
{
    return WriteWords('P', address, count, words);
}

// The words go out in pieces of at most four, one write each. After a short piece the rest
// still goes out, so the board receives what the frame announced; a piece that moves no whole
// word ends the block, or a board that stopped taking data would hold it for ever.
int TAVRFlash::WriteWords(char letter, int address, int count, const std::uint16_t* words)
{
    if (!SendCommand(letter, Low(address), High(address), Low(count), High(count), AckWait))
        return 0;
    int firstShort = -1;
    int done = 0;
    while (done < count) {
        const int piece = std::min(PieceWords, count - done);
        std::uint8_t bytes[2 * PieceWords];
        for (int i = 0; i < piece; ++i) {
            bytes[2 * i] = Low(words[done + i]);
            bytes[2 * i + 1] = High(words[done + i]);
        }
        const int got = Handle ? Handle->Write(bytes, 2 * piece) : 0;
        if (got != 2 * piece && firstShort < 0)
            firstShort = done + got / 2;
        if (got < 2)
            break;
        done += got / 2;
    }
    const bool confirmed = WaitDone(DoneWait);
    if (firstShort >= 0)
        return firstShort;
    return confirmed ? count : 0;
}

int TAVRFlash::ReadBlock(int address, int count, std::uint16_t* words)
{
    if (!SendCommand('f', Low(address), High(address), Low(count), High(count), AckWait))
        return 0;
    std::vector<std::uint8_t> bytes(2 * std::size_t(std::max(count, 0)));
    const int got = Handle ? Handle->Read(bytes.data(), int(bytes.size())) : 0;
    for (int i = 0; i < got / 2; ++i)
        words[i] = std::uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return WaitDone(DoneWait) ? got / 2 : 0;
}

int TAVRFlash::ProgramFlash(const std::uint16_t* image, int count)
{
    if (!IsOpen())
        return 0;
    const int limit = std::min(FlashWords(), count);
    const int block = IsPaged() ? DeviceTable[Device].PageWords : WordBlockWords;
    int written = 0;
    if (ChipErase()) {
        StartTimer();
        while (written < limit && !StopRequested()) {
            const int n = std::min(block, count - written);
            const int r = IsPaged() ? WritePageBlock(written, n, image + written)
                                    : WriteBlock(written, n, image + written);
            written += r;
            ReportProgress(written, count);
            if (r != n)
                break;
        }
    }
    Purge();
    return written;
}

int TAVRFlash::ReadFlash(std::uint16_t* buffer, int count)
{
    if (!IsOpen())
        return 0;
    const int limit = std::min(FlashWords(), count);
    StartTimer();
    int read = 0;
    while (read < limit && !StopRequested()) {
        const int n = std::min(ReadBlockWords, count - read);
        const int r = ReadBlock(read, n, buffer + read);
        read += r;
        ReportProgress(read, count);
        if (r != n)
            break;
    }
    Purge();
    return read;
}

void TAVRFlash::ReportProgress(int done, int count) const
{
    if (!OnProgress)
        return;
    const double fraction = (done + 1.0) / count;
    OnProgress(fraction * 100, RemainingTime(fraction));
}

bool TAVRFlash::WriteInstruction(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3, std::uint8_t i4)
{
    return SendCommand('D', i1, i2, i3, i4, AckWait) && WaitDone(DoneWait);
}

bool TAVRFlash::ReadInstruction(std::uint8_t i1, std::uint8_t i2, std::uint8_t i3,
                                std::uint8_t& answer)
{
    return SendCommand('d', i1, i2, i3, 0, AckWait) && ReceiveByte(answer, AnswerWait) &&
           WaitDone(DoneWait);
}

void TAVRFlash::StartTimer()
{
    StartTicks = TickCount();
}

QString TAVRFlash::RemainingTime(double fraction) const
{
    return EstimateRemainingTime(std::int32_t(TickCount() - StartTicks), fraction);
}

QString FormatRemainingTime(int seconds)
{
    return QString::asprintf("%d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

QString EstimateRemainingTime(std::int32_t elapsedMs, double fraction)
{
    const double seconds = elapsedMs / fraction * (1 - fraction) * 0.001;
    // Past the end (the last report's fraction is above 1) the estimate turns negative; and a
    // fraction of 0 or below, which the link never passes, gives no number at all.
    if (!std::isfinite(seconds))
        return FormatRemainingTime(0);
    constexpr double limit = std::numeric_limits<int>::max();
    return FormatRemainingTime(int(std::clamp(seconds, 0.0, limit)));
}
